// Damaged, unusual and hostile picture files: the readable ones are placed as any other picture,
// the others fail with a reason, and none may crash, hang or exhaust memory.

#include <QtTest>

#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "picture/picture_file.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

QString picturePath(const QString& name)
{
    return QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + name;
}

const QRgb back = qRgb(236, 233, 216);
const QRgb clear = qRgba(0, 0, 0, 0); // a transparent quadrant: shows the box colour
const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
           white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);

// Opens a file into a slot's boxes as the program does.
Result<void> place(const QString& path, int fitMode, Surface& source, Surface& preview)
{
    return fillSlotFromFile(loadPictureFile, path, fitMode, SlotBoxes{source, preview});
}

// Pastes a picture's bytes into a slot's boxes as the program does: read by the picture reader,
// placed when it gives a picture. Returns the reader's outcome.
PictureLoad paste(const QByteArray& bytes, int fitMode, Surface& source, Surface& preview)
{
    PictureLoad load = loadPictureData(bytes);
    (void)fillSlotFromPicture(
        [&load]() -> std::optional<QImage> {
            return load.ok() ? std::optional<QImage>(load->image) : std::nullopt;
        },
        fitMode, SlotBoxes{source, preview});
    return load;
}

int paintedPixels(const Surface& box)
{
    int count = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            count += box.point(x, y) != back;
    return count;
}

} // namespace

class tst_HostilePictures : public QObject
{
    Q_OBJECT

private slots:
    // `shown`: for the pictures of tests/data/make_pictures.py, the colours of the four quadrants
    // and the marker, which every pixel of the decoded picture must show exactly.
    // `tolerance`: 0 for pictures stored without loss, every pixel exact; otherwise each pixel
    // whose neighbours (two each way) show one colour must be within it of that colour.
    void readableOnesArePlaced_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QList<QRgb>>("shown");
        QTest::addColumn<int>("tolerance");
        for (const char* name :
             {"bmp-1bit.bmp", "bmp-4bit.bmp", "bmp-8bit.bmp", "bmp-16bit.bmp", "bmp-32bit.bmp",
              "bmp-rle4.bmp", "bmp-rle8.bmp", "bmp-topdown.bmp", "jpeg-progressive.jpg",
              "jpeg-cmyk.jpg", "gif-plain.gif", "gif-interlaced.gif", "gif-animated.gif",
              "gif-transparent.gif", "png-alpha.png"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << QList<QRgb>() << 0;
        QTest::newRow("one-by-one.png") << "one-by-one.png" << QSize(1, 1) << QList<QRgb>() << 0;
        // Bit fields wider than 8 bits, scaled exactly; a 2-bit alpha field of 0 is transparent.
        const QList<QRgb> plain{red, green, blue, white, black};
        const QList<QRgb> clearBottomLeft{red, green, clear, white, black};
        QTest::newRow("10-10-10-2")
            << "bmp-32bit-1010102.bmp" << QSize(40, 30) << clearBottomLeft << 0;
        QTest::newRow("11-11-10") << "bmp-32bit-111110.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("3-10-3") << "bmp-16bit-3103.bmp" << QSize(40, 30) << plain << 0;
        // Headers of 52 and 56 bytes with their masks inside; OS/2 headers of 12 and 16 bytes
        // with a palette shorter than 256 colours.
        QTest::newRow("header 52") << "bmp-header52.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("header 56") << "bmp-header56.bmp" << QSize(40, 30) << clearBottomLeft << 0;
        QTest::newRow("os/2 short palette")
            << "bmp-os2-short-palette.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("os/2 header 16") << "bmp-os2v2-header16.bmp" << QSize(40, 30) << plain << 0;
        // 16-bit RGB with a transparent colour: the bottom left differs from it in the low byte.
        QTest::newRow("png 16-bit rgb, transparent colour")
            << "png-rgb16-trns.png" << QSize(40, 30)
            << QList<QRgb>{clear, green, qRgb(128, 64, 32), white, black} << 0;
        // WebP: lossless, with alpha, the first frame of an animation (the second is black), and
        // lossy. TIFF: 8 and 16 bits a sample (deflated, big-endian), with alpha, grey, palette,
        // CMYK, and stored turned with orientation 6. HEIC and AVIF, lossy: plain, with alpha,
        // and stored turned with a rotation property.
        for (const char* name :
             {"webp-lossless.webp", "webp-animated.webp", "tiff-rgb8.tif", "tiff-rgb16-deflate.tif",
              "tiff-palette.tif", "tiff-cmyk.tif", "tiff-orientation-6.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << plain << 0;
        for (const char* name : {"webp-alpha.webp", "tiff-rgba8.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << clearBottomLeft
                                << 0;
        QTest::newRow("tiff-grey8.tif")
            << "tiff-grey8.tif" << QSize(40, 30)
            << QList<QRgb>{qRgb(200, 200, 200), qRgb(100, 100, 100), qRgb(50, 50, 50), white, black}
            << 0;
        for (const char* name :
             {"webp-lossy.webp", "heic-plain.heic", "heic-turned.heic", "avif-plain.avif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << plain << 40;
        QTest::newRow("heic-alpha.heic")
            << "heic-alpha.heic" << QSize(40, 30) << clearBottomLeft << 40;
    }
    void readableOnesArePlaced()
    {
        QFETCH(QString, name);
        QFETCH(QSize, natural);
        QFETCH(QList<QRgb>, shown);
        QFETCH(int, tolerance);
        QCOMPARE(loadPictureFile(picturePath(name))->naturalSize, natural);
        for (int mode : {fitWhole, fitCover}) {
            Surface source(489, 489, back), preview(145, 145, back);
            const Result<void> placed = place(picturePath(name), mode, source, preview);
            QVERIFY2(placed.ok(), qPrintable(placed.error()));
            QVERIFY(paintedPixels(source) > 0);
            QVERIFY(paintedPixels(preview) > 0);
        }
        if (shown.isEmpty())
            return;
        const QImage decoded = flattenOnto(loadPictureFile(picturePath(name))->image, back);
        auto onBox = [](QRgb c) {
            return qAlpha(c) == 0 ? back : c;
        };
        const QImage expected = quadrantPicture(40, 30, onBox(shown[0]), onBox(shown[1]),
                                                onBox(shown[2]), onBox(shown[3]), onBox(shown[4]));
        auto oneColourAround = [&expected](int x, int y) {
            for (int v = std::max(0, y - 2); v <= std::min(29, y + 2); ++v)
                for (int u = std::max(0, x - 2); u <= std::min(39, x + 2); ++u)
                    if (expected.pixel(u, v) != expected.pixel(x, y))
                        return false;
            return true;
        };
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                QVERIFY2(tolerance == 0
                             ? decoded.pixel(x, y) == expected.pixel(x, y)
                             : !oneColourAround(x, y) ||
                                   closeColor(decoded.pixel(x, y), expected.pixel(x, y), tolerance),
                         qPrintable(QStringLiteral("(%1, %2) is %3, expected %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(colorText(decoded.pixel(x, y)),
                                             colorText(expected.pixel(x, y)))));
    }

    void pictureKindsShowTheirContent()
    {
        Surface source(489, 489, back), preview(145, 145, back);
        // Top-down rows: red above, blue below.
        QVERIFY(place(picturePath("bmp-topdown.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 100), qRgb(255, 0, 0));
        QCOMPARE(source.point(244, 380), qRgb(0, 0, 255));
        // RLE4 runs: colour 0 (red) on the left half, colour 1 (blue) on the right.
        QVERIFY(place(picturePath("bmp-rle4.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(100, 244), qRgb(255, 0, 0));
        QCOMPARE(source.point(400, 244), qRgb(0, 0, 255));
        // An animated GIF shows its first frame (red), not a later one.
        QVERIFY(place(picturePath("gif-animated.gif"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 244), qRgb(255, 0, 0));
        // Interlaced rows land where they belong.
        QVERIFY(place(picturePath("gif-interlaced.gif"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 100), qRgb(255, 0, 0));
        QCOMPARE(source.point(244, 380), qRgb(0, 0, 255));
        // Transparent pixels show the box colour.
        for (const char* name : {"gif-transparent.gif", "png-alpha.png"}) {
            QVERIFY(place(picturePath(QString::fromLatin1(name)), fitWhole, source, preview).ok());
            QCOMPARE(source.point(100, 244), back);
            QCOMPARE(preview.point(30, 72), back);
        }
    }

    // A picture a fraction of a pixel wide in one fit paints nothing and does not fail.
    void slivers()
    {
        Surface source(489, 489, back), preview(145, 145, back);
        QVERIFY(place(picturePath("tall-1x10000.jpg"), fitWhole, source, preview).ok());
        QCOMPARE(paintedPixels(source), 0);
        QCOMPARE(paintedPixels(preview), 0);
        QVERIFY(place(picturePath("wide-10000x1.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(paintedPixels(source), 0);
        // In cover mode the sliver is stretched over the whole box.
        QVERIFY(place(picturePath("wide-10000x1.bmp"), fitCover, source, preview).ok());
        QCOMPARE(paintedPixels(source), 489 * 489);
    }

    void unreadableOnesFailWithAReason_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"empty.jpg",
                                 "text.bmp",
                                 "bmp-negative-width.bmp",
                                 "bmp-zero-size.bmp",
                                 "bmp-100000x100000.bmp",
                                 "gif-screen-65535.gif",
                                 "jpeg-60000x60000.jpg",
                                 "truncated-plain-10.jpg",
                                 "truncated-gif-plain-10.gif",
                                 "truncated-bmp-8bit-10.bmp",
                                 "fuzz-png-huge-text-chunk.png",
                                 "jpeg-progressive-49157x27397.jpg",
                                 "jpeg-1100-comments.jpg",
                                 "fuzz-jpeg-11104x60000.jpg",
                                 "no-such-file.jpg",
                                 "webp-100000x100000.webp",
                                 "tiff-100000x100000.tif",
                                 "tiff-huge-tiles.tif",
                                 "avif-100000x100000.avif",
                                 "avif-60000x60000.avif",
                                 "heic-grid-100000x100000.heic",
                                 "png-4294967295x4294967295.png",
                                 "truncated-tiff-rgb8-50.tif",
                                 "truncated-webp-lossy-50.webp",
                                 "truncated-heic-plain-50.heic"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    // From the file, and as bytes (pasted or dropped), whole as they come, into a slot that
    // held a picture: the slot is left cleared.
    void unreadableOnesFailWithAReason()
    {
        QFETCH(QString, name);
        Surface source(489, 489, back), preview(145, 145, back);
        QFile file(picturePath(name));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        for (const bool pasted : {false, true}) {
            QVERIFY(place(picturePath("bmp-32bit.bmp"), fitCover, source, preview).ok());
            QCOMPARE(paintedPixels(preview), 145 * 145);
            const QString error = pasted
                                      ? paste(bytes, fitWhole, source, preview).error()
                                      : place(picturePath(name), fitWhole, source, preview).error();
            QVERIFY(!error.isEmpty());
            QCOMPARE(paintedPixels(source), 0); // cleared, nothing shown
            QCOMPARE(paintedPixels(preview), 0);
        }
    }

    // Cut short anywhere, a picture either reads (partly) or fails; it never takes the program
    // down. Every file of the corpus, cut at many points.
    void truncatedAnywhere()
    {
        const QDir dir(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures"));
        const QStringList names = dir.entryList(QDir::Files);
        QVERIFY(names.size() > 30);
        for (const QString& name : names) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray whole = file.readAll();
            for (int cut = 0; cut < whole.size(); cut += std::max<int>(1, int(whole.size()) / 23)) {
                Surface source(489, 489, back), preview(145, 145, back);
                const PictureLoad load = paste(whole.left(cut), fitCover, source, preview);
                QVERIFY(load.ok() || !load.error().isEmpty());
            }
        }
    }
};

QTEST_MAIN(tst_HostilePictures)
#include "tst_hostile_pictures.moc"
