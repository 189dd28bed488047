#include <QtTest>

#include <QPainter>

#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "intake/slot_read.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

const QRgb sourceBack = qRgb(90, 160, 220);
const QRgb previewBack = qRgb(230, 220, 120);
const QRgb leftover = qRgb(20, 20, 20); // what a slot held before
const QRgb paint = qRgb(200, 30, 40);

// The picture reader and the clipboard as the intake meets them, recording what was read.
struct Intake
{
    std::optional<QImage> clipboard;
    std::function<void()> beforeRead; // called just before a file or the clipboard is read
    std::vector<std::pair<QString, QSize>> loads; // path, size decoded (invalid on failure)
    int clipboardReads = 0;

    bool open(const QString& path, int fitMode, SlotBoxes boxes)
    {
        const PictureLoader load = [this](const QString& file, const DecodeSizeFor& decodeSize) {
            if (beforeRead)
                beforeRead();
            PictureLoad loaded = loadPictureFile(file, decodeSize);
            loads.emplace_back(file, loaded.ok() ? loaded->image.size() : QSize());
            return loaded;
        };
        return fillSlotFromFile(load, path, fitMode, boxes).ok();
    }
    bool paste(int fitMode, SlotBoxes boxes)
    {
        const PastedPicture pasted = [this] {
            ++clipboardReads;
            if (beforeRead)
                beforeRead();
            return clipboard;
        };
        return fillSlotFromPicture(pasted, fitMode, boxes).ok();
    }
};

// A file that counts the bytes read from it and the reads that asked for them.
class CountingFile : public QFile
{
public:
    using QFile::QFile;
    qint64 bytesRead = 0;
    int reads = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 read = QFile::readData(data, maxSize);
        if (read > 0) {
            bytesRead += read;
            ++reads;
        }
        return read;
    }
};

struct Slot
{
    Surface source{489, 489, sourceBack};
    Surface preview{145, 145, previewBack};
    SlotBoxes boxes() { return {source, preview}; }
    void fillWithLeftovers()
    {
        source.paintPicture(solidPicture(1, 1, leftover), 0, 0, 489, 489);
        preview.paintPicture(solidPicture(1, 1, leftover), 0, 0, 145, 145);
    }
};

bool uniform(const Surface& box, QRgb color)
{
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            if (box.point(x, y) != color)
                return false;
    return true;
}

// Checks that along `axis` ('r' rows, 'c' columns) the picture covers exactly first..last through
// the middle of the box, the rest showing `back`; '-' means the picture covers the whole box.
QString checkSpan(const Surface& box, char axis, int first, int last, QRgb back, int tolerance)
{
    const int size = box.width();
    const int mid = size / 2;
    auto at = [&](int along) {
        return axis == 'r' ? box.point(mid, along) : box.point(along, mid);
    };
    auto expect = [&](int along, QRgb color) -> QString {
        if (along < 0 || along >= size)
            return {};
        if (!closeColor(at(along), color, tolerance))
            return QStringLiteral("box %1: at %2 %3 found %4, expected %5")
                .arg(size)
                .arg(QChar(axis))
                .arg(along)
                .arg(colorText(at(along)), colorText(color));
        return {};
    };
    if (axis == '-') {
        first = 0;
        last = size - 1;
        axis = 'r';
    }
    for (const QString& fault : {expect(first - 1, back), expect(first, paint), expect(mid, paint),
                                 expect(last, paint), expect(last + 1, back)})
        if (!fault.isEmpty())
            return fault;
    return {};
}

} // namespace

class tst_SlotIntake : public QObject
{
    Q_OBJECT

private slots:
    // The fit of the worked examples, as pixels in both boxes, from files of each format and from
    // the clipboard. Expected spans: a pixel is painted when its centre lies in the fitted
    // rectangle, e.g. 400 x 300 in 489: y 61.125 .. 427.875 -> rows 61..427.
    void placesWithBands_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("mode");
        QTest::addColumn<char>("axis");
        QTest::addColumn<int>("sFirst");
        QTest::addColumn<int>("sLast");
        QTest::addColumn<int>("pFirst");
        QTest::addColumn<int>("pLast");

        QTest::newRow("bmp landscape whole")
            << "file"
            << "a.bmp" << 400 << 300 << 0 << 'r' << 61 << 427 << 18 << 126;
        QTest::newRow("jpeg landscape whole")
            << "file"
            << "b.jpg" << 400 << 300 << 0 << 'r' << 61 << 427 << 18 << 126;
        QTest::newRow("gif portrait whole")
            << "file"
            << "c.gif" << 300 << 400 << 0 << 'c' << 61 << 427 << 18 << 126;
        QTest::newRow("bmp landscape cover")
            << "file"
            << "d.bmp" << 400 << 300 << 1 << '-' << 0 << 0 << 0 << 0;
        QTest::newRow("jpeg portrait cover")
            << "file"
            << "e.jpeg" << 300 << 400 << 1 << '-' << 0 << 0 << 0 << 0;
        QTest::newRow("square whole") << "file"
                                      << "f.bmp" << 250 << 250 << 0 << '-' << 0 << 0 << 0 << 0;
        QTest::newRow("small picture enlarged")
            << "file"
            << "g.gif" << 40 << 20 << 0 << 'r' << 122 << 366 << 36 << 108;
        QTest::newRow("japanese name with spaces, upper-case ending")
            << "file"
            << "絵 ファイル 一.JPG" << 400 << 300 << 0 << 'r' << 61 << 427 << 18 << 126;
        // 139 MB decoded, more than Qt's reader takes by itself; a BMP cannot be decoded reduced.
        QTest::newRow("bmp larger than the reader's own limit")
            << "file"
            << "scan.bmp" << 6800 << 5100 << 0 << 'r' << 61 << 427 << 18 << 126;
        QTest::newRow("upper-case bmp")
            << "file"
            << "PHOTO.BMP" << 300 << 400 << 0 << 'c' << 61 << 427 << 18 << 126;
        // 300 x 330 lies between cos 30° and 1: placed differently from the clipboard.
        QTest::newRow("file 300x330 whole: bands at the sides")
            << "file"
            << "h.bmp" << 300 << 330 << 0 << 'c' << 22 << 466 << 7 << 137;
        QTest::newRow("file 300x330 cover: box covered")
            << "file"
            << "i.bmp" << 300 << 330 << 1 << '-' << 0 << 0 << 0 << 0;
        QTest::newRow("pasted 300x330 whole: box covered")
            << "paste"
            << "" << 300 << 330 << 0 << '-' << 0 << 0 << 0 << 0;
        QTest::newRow("pasted 300x330 cover: bands at the sides")
            << "paste"
            << "" << 300 << 330 << 1 << 'c' << 22 << 466 << 7 << 137;
        QTest::newRow("pasted landscape whole")
            << "paste"
            << "" << 400 << 300 << 0 << 'r' << 61 << 427 << 18 << 126;
    }
    void placesWithBands()
    {
        QFETCH(QString, road);
        QFETCH(QString, name);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, mode);
        QFETCH(char, axis);
        QFETCH(int, sFirst);
        QFETCH(int, sLast);
        QFETCH(int, pFirst);
        QFETCH(int, pLast);

        Intake intake;
        Slot slot;
        slot.fillWithLeftovers();
        bool placed = false;
        int tolerance = 0;
        if (road == "file") {
            QTemporaryDir dir;
            const QString path = dir.filePath(name);
            const QString format = QFileInfo(name).suffix().toLower();
            QVERIFY(savePicture(solidPicture(w, h, paint), path,
                                format == "jpeg" ? "jpg" : format.toLatin1().constData()));
            tolerance = format.startsWith("jp") ? 8 : 0;
            placed = intake.open(path, mode, slot.boxes());
            QCOMPARE(intake.loads.size(), std::size_t(1));
            QCOMPARE(intake.loads.front().first, path);
        } else {
            intake.clipboard = solidPicture(w, h, paint);
            placed = intake.paste(mode, slot.boxes());
            QCOMPARE(intake.clipboardReads, 1);
        }
        QVERIFY(placed);
        const QString sourceFault =
            checkSpan(slot.source, axis, sFirst, sLast, sourceBack, tolerance);
        QVERIFY2(sourceFault.isEmpty(), qPrintable(sourceFault));
        const QString previewFault =
            checkSpan(slot.preview, axis, pFirst, pLast, previewBack, tolerance);
        QVERIFY2(previewFault.isEmpty(), qPrintable(previewFault));
    }

    // The slot is emptied before the picture is read, so a failed read leaves it empty.
    void boxesAreClearedBeforeTheRead_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("file") << true;
        QTest::newRow("clipboard") << false;
    }
    void boxesAreClearedBeforeTheRead()
    {
        QFETCH(bool, fromFile);
        Intake intake;
        Slot slot;
        slot.fillWithLeftovers();
        bool sourceClear = false;
        bool previewClear = false;
        intake.beforeRead = [&] {
            sourceClear = uniform(slot.source, sourceBack);
            previewClear = uniform(slot.preview, previewBack);
        };
        intake.clipboard = solidPicture(10, 10, paint);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.bmp");
        QVERIFY(savePicture(solidPicture(10, 10, paint), path, "bmp"));
        QVERIFY(fromFile ? intake.open(path, 0, slot.boxes()) : intake.paste(0, slot.boxes()));
        QVERIFY(sourceClear);
        QVERIFY(previewClear);
        QCOMPARE(slot.source.point(244, 244), paint);
    }

    void unreadablePictureLeavesSlotEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text named .bmp") << "notes.bmp" << QByteArray("not a picture\n");
        QTest::newRow("empty .jpg") << "empty.jpg" << QByteArray();
        QTest::newRow("gif header only") << "cut.gif" << QByteArray("GIF89a");
        QTest::newRow("missing file") << "missing.gif" << QByteArray("-");
    }
    void unreadablePictureLeavesSlotEmpty()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (bytes != "-")
            QVERIFY(writeFile(path, bytes));
        Intake intake;
        Slot slot;
        slot.fillWithLeftovers();
        QVERIFY(!intake.open(path, 0, slot.boxes()));
        QVERIFY(uniform(slot.source, sourceBack));
        QVERIFY(uniform(slot.preview, previewBack));
    }

    void clipboardWithoutPictureLeavesSlotEmpty()
    {
        Intake intake;
        Slot slot;
        slot.fillWithLeftovers();
        QVERIFY(!intake.paste(0, slot.boxes()));
        QCOMPARE(intake.clipboardReads, 1);
        QVERIFY(uniform(slot.source, sourceBack));
        QVERIFY(uniform(slot.preview, previewBack));
    }

    // Transparent parts of a picture show each box's own background, not black.
    void gifTransparencyShowsBoxBackground()
    {
        QImage picture(40, 40, QImage::Format_ARGB32);
        picture.fill(qRgba(0, 0, 0, 0));
        QPainter(&picture).fillRect(20, 0, 20, 40, QColor(paint));
        QTemporaryDir dir;
        const QString path = dir.filePath("clear.gif");
        QVERIFY(savePicture(picture, path, "gif"));
        Intake intake;
        Slot slot;
        QVERIFY(intake.open(path, 0, slot.boxes()));
        QCOMPARE(slot.source.point(100, 244), sourceBack);
        QCOMPARE(slot.source.point(400, 244), paint);
        QCOMPARE(slot.preview.point(30, 72), previewBack);
        QCOMPARE(slot.preview.point(110, 72), paint);
    }

    // A picture is read once for a slot: its file's bytes pass through the device once, however
    // many sizes the slot needs, and each size is what the plan asks. 3000 x 2000 fits the 489 box
    // 489 x 326 and the 1000 box 1000 x 667 (666.7 rounded up; a pixel wider where the float fit
    // is a hair over); 600 x 400 is smaller than the 1000 box, which keeps it whole.
    void readsTheFileOnce_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("boxes");
        QTest::addColumn<QSize>("kept");
        QTest::newRow("JPEG, two reduced decodes")
            << QByteArray("jpg") << QSize(3000, 2000) << QSize(489, 326) << QSize(1000, 667);
        QTest::newRow("PNG, decoded once")
            << QByteArray("png") << QSize(3000, 2000) << QSize(489, 326) << QSize(1000, 667);
        QTest::newRow("BMP, kept whole")
            << QByteArray("bmp") << QSize(600, 400) << QSize(489, 326) << QSize(600, 400);
        QTest::newRow("GIF, one size")
            << QByteArray("gif") << QSize(300, 200) << QSize(300, 200) << QSize(300, 200);
    }
    void readsTheFileOnce()
    {
        QFETCH(QByteArray, format);
        QFETCH(QSize, natural);
        QFETCH(QSize, boxes);
        QFETCH(QSize, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("picture"));
        QVERIFY(savePicture(quadrantPicture(natural.width(), natural.height(), qRgb(255, 0, 0),
                                            qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)),
                            path, format.constData()));
        CountingFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        SlotReadPlan plan;
        plan.fitMode = fitWhole;
        plan.boxSide = 489;
        plan.keptSide = 1000;
        plan.backColor = sourceBack;
        const SlotReading read = readSlotPicture(file, plan);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QVERIFY2(file.bytesRead == file.size(),
                 qPrintable(QStringLiteral("%1 bytes read of %2, in %3 reads")
                                .arg(file.bytesRead)
                                .arg(file.size())
                                .arg(file.reads)));
        QCOMPARE(read->boxes.naturalSize, natural);
        QCOMPARE(read->boxes.image.size(), boxes);
        QCOMPARE(read->kept.naturalSize, natural);
        const QSize keptSize = read->kept.image.size();
        QVERIFY2(
            keptSize.height() == kept.height() && keptSize.width() >= kept.width() &&
                keptSize.width() <= kept.width() + 1,
            qPrintable(QStringLiteral("%1 x %2").arg(keptSize.width()).arg(keptSize.height())));
        QCOMPARE(read->kept.image.format(), QImage::Format_RGB32);
        QVERIFY(closeColor(read->kept.image.pixel(kept.width() / 4, kept.height() / 4),
                           qRgb(255, 0, 0), 24));
        QVERIFY(closeColor(read->boxes.image.pixel(boxes.width() * 3 / 4, boxes.height() * 3 / 4),
                           qRgb(255, 255, 0), 24));
    }

    // A 48-megapixel photo is decoded no larger than the source box needs, yet fitted by its
    // real size: 8000 x 6000 is 4:3 like 400 x 300, so it lies in rows 61..427.
    void largePhotoIsDecodedSmallAndFittedBySize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("camera photo.JPG");
        {
            QImage photo(8000, 6000, QImage::Format_RGB888);
            QPainter painter(&photo);
            painter.fillRect(0, 0, 4000, 3000, QColor(255, 0, 0));
            painter.fillRect(4000, 0, 4000, 3000, QColor(0, 255, 0));
            painter.fillRect(0, 3000, 4000, 3000, QColor(0, 0, 255));
            painter.fillRect(4000, 3000, 4000, 3000, QColor(255, 255, 0));
            painter.end();
            QVERIFY(photo.save(path, "jpg", 60));
        }
        Intake intake;
        Slot slot;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(intake.open(path, 0, slot.boxes()));
        qInfo("placed in %lld ms", clock.elapsed());
        QCOMPARE(intake.loads.front().second, QSize(489, 367));
        QCOMPARE(slot.source.point(244, 60), sourceBack);
        QCOMPARE(slot.source.point(244, 428), sourceBack);
        QVERIFY(closeColor(slot.source.point(100, 100), qRgb(255, 0, 0), 24));
        QVERIFY(closeColor(slot.source.point(400, 100), qRgb(0, 255, 0), 24));
        QVERIFY(closeColor(slot.source.point(100, 400), qRgb(0, 0, 255), 24));
        QVERIFY(closeColor(slot.source.point(400, 400), qRgb(255, 255, 0), 24));
        QVERIFY(closeColor(slot.preview.point(30, 110), qRgb(0, 0, 255), 24));
        QCOMPARE(slot.preview.point(72, 17), previewBack);
    }
};

QTEST_MAIN(tst_SlotIntake)
#include "tst_slot_intake.moc"
