#include <QtTest>

#include <QImageReader>
#include <QImageWriter>

#include "picture/picture_file.h"
#include "picture/tiff_reader.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

class tst_PictureFile : public QObject
{
    Q_OBJECT

private slots:
    // Qt's readers are held to the program's budget (448 MB) from the start, before any read.
    void initTestCase() { QCOMPARE(QImageReader::allocationLimit(), 448); }

    void readsFormatsWhateverTheName_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("bmp") << "bmp"
                             << "a.bmp" << 0;
        QTest::newRow("BMP upper case") << "bmp"
                                        << "PHOTO.BMP" << 0;
        QTest::newRow("jpeg") << "jpg"
                              << "写真 一枚.JPG" << 40;
        QTest::newRow("jpeg named .jpeg") << "jpg"
                                          << "photo.jpeg" << 40;
        QTest::newRow("gif") << "gif"
                             << "絵ファイル.Gif" << 0;
        QTest::newRow("png named .bmp") << "png"
                                        << "really-png.bmp" << 0;
        QTest::newRow("webp, lossy") << "webp"
                                     << "写真.WEBP" << 40;
        QTest::newRow("tiff named .jpg") << "tiff"
                                         << "scan.jpg" << 0;
    }
    void readsFormatsWhateverTheName()
    {
        QFETCH(QString, format);
        QFETCH(QString, fileName);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        const QImage original = quadrantPicture(40, 30, qRgb(255, 0, 0), qRgb(0, 255, 0),
                                                qRgb(0, 0, 255), qRgb(255, 255, 0));
        QVERIFY(savePicture(original, path, format.toLatin1().constData()));

        const PictureLoad load = loadPictureFile(path);
        QVERIFY2(load.ok(), qPrintable(load.error()));
        QCOMPARE(load->naturalSize, QSize(40, 30));
        QCOMPARE(load->image.size(), QSize(40, 30));
        const QImage& image = load->image;
        QVERIFY(closeColor(image.pixel(15, 10), qRgb(255, 0, 0), tolerance));
        QVERIFY(closeColor(image.pixel(30, 10), qRgb(0, 255, 0), tolerance));
        QVERIFY(closeColor(image.pixel(10, 25), qRgb(0, 0, 255), tolerance));
        QVERIFY(closeColor(image.pixel(30, 25), qRgb(255, 255, 0), tolerance));
    }

    void failuresCarryAReason()
    {
        QTemporaryDir dir;
        QFile text(dir.filePath("notes.bmp"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("this is not a picture\n");
        text.close();
        QFile empty(dir.filePath("empty.jpg"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();

        for (const QString& name : {QStringLiteral("notes.bmp"), QStringLiteral("empty.jpg"),
                                    QStringLiteral("missing.gif")}) {
            const PictureLoad load = loadPictureFile(dir.filePath(name));
            QVERIFY2(!load.ok(), qPrintable(name));
            QVERIFY2(!load.error().isEmpty(), qPrintable(name));
        }
    }

    // What reading a picture takes, known before it is decoded: a 24-bit BMP decodes into 32 bits
    // a pixel, and a reduced one takes its reduced form besides; nothing for a file refused
    // before decoding or no picture at all.
    void costBeforeDecoding()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.bmp");
        QVERIFY(savePicture(solidPicture(100, 80, qRgb(9, 9, 9)), path, "bmp"));
        QCOMPARE(pictureFileCost(path), 100 * 80 * 4);
        QCOMPARE(pictureFileCost(path, [](QSize) { return QSize(50, 40); }),
                 100 * 80 * 4 + 50 * 40 * 4);
        // A deflated 16-bit RGB TIFF of 40 x 30 (214 bytes, read whole): its strip of 6 bytes a
        // pixel, the picture in 8 and the 32-bit form in 4.
        QCOMPARE(
            pictureFileCost(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/tiff-rgb16-deflate.tif")),
            214 + 40 * 30 * (6 + 8 + 4));
        for (const char* refused : {"bmp-100000x100000.bmp", "jpeg-60000x60000.jpg", "text.bmp",
                                    "tiff-100000x100000.tif"})
            QCOMPARE(pictureFileCost(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") +
                                     QLatin1String(refused)),
                     0);
        // A fax page and a flat 4K AVIF claim thousands of times their few KB, as their codings
        // allow: measured and planned, within the budget, not refused as damaged.
        for (const char* packed : {"tiff-fax-g4-4000x4000.tif", "avif-3840x2160.avif"}) {
            const QString path =
                QStringLiteral(HAKOMIRU_TEST_DATA "/large/") + QLatin1String(packed);
            const qint64 cost = pictureFileCost(path);
            QVERIFY2(
                cost > 4096 * QFileInfo(path).size() && cost <= pictureMemoryBudget,
                qPrintable(QStringLiteral("%1 costs %2").arg(QLatin1String(packed)).arg(cost)));
        }
    }

    // Asked for less than half its size, a JPEG is decoded reduced by its reader; every other
    // format is decoded whole and averaged as PaintPicture averages, so a palette picture is not
    // re-quantised with dithering (a flat grey of 188 became a 153/204 checkerboard).
    void reducedDecodeKeepsNaturalSize_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("jpeg") << "jpg"
                              << quadrantPicture(2000, 1500, qRgb(255, 0, 0), qRgb(0, 255, 0),
                                                 qRgb(0, 0, 255), qRgb(255, 255, 0))
                              << QSize(500, 375) << 40;
        // A flat grey above a band of gradient (so that the reduction has more colours than a
        // palette holds), and a gradient over the whole picture.
        QList<QRgb> ramp;
        for (int i = 0; i < 256; ++i)
            ramp << qRgb(i, 255 - i, (i * 5) % 256);
        QImage flat(1200, 800, QImage::Format_Indexed8), gradient = flat;
        gradient.setColorTable(ramp);
        for (int y = 0; y < 800; ++y)
            for (int x = 0; x < 1200; ++x)
                gradient.scanLine(y)[x] = uchar((x + y / 4) * 256 / 1400);
        ramp[0] = qRgb(188, 188, 188);
        flat.setColorTable(ramp);
        flat.fill(0);
        for (int y = 600; y < 800; ++y)
            for (int x = 0; x < 1200; ++x)
                flat.scanLine(y)[x] = uchar(1 + x * 255 / 1200);
        for (const char* format : {"bmp", "png", "tiff"}) {
            QTest::addRow("%s palette, flat grey", format)
                << format << flat << QSize(489, 326) << 0;
            QTest::addRow("%s palette, gradient", format)
                << format << gradient << QSize(489, 326) << 0;
        }
    }
    void reducedDecodeKeepsNaturalSize()
    {
        QFETCH(QString, format);
        QFETCH(QImage, picture);
        QFETCH(QSize, wanted);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        const QString path = dir.filePath("big." + format);
        QVERIFY(picture.save(path, format.toLatin1().constData()));
        QSize asked;
        const PictureLoad load = loadPictureFile(path, [&](QSize natural) {
            asked = natural;
            return wanted;
        });
        QVERIFY2(load.ok(), qPrintable(load.error()));
        QCOMPARE(asked, picture.size());
        QCOMPARE(load->naturalSize, picture.size());
        QCOMPARE(load->image.size(), wanted);
        const QImage averaged =
            averagedReduction(picture.convertToFormat(QImage::Format_RGB32), wanted);
        for (int y = 0; y < wanted.height(); ++y)
            for (int x = 0; x < wanted.width(); ++x)
                QVERIFY2(closeColor(load->image.pixel(x, y), averaged.pixel(x, y), tolerance),
                         qPrintable(QStringLiteral("(%1, %2) is %3, averaged %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(colorText(load->image.pixel(x, y)),
                                             colorText(averaged.pixel(x, y)))));

        // A larger wish than the picture decodes it whole.
        const PictureLoad whole = loadPictureFile(path, [&](QSize) { return picture.size() * 2; });
        QVERIFY(whole.ok());
        QCOMPARE(whole->image.size(), picture.size());
    }

    // A TIFF's ICC profile is handed on as its bytes, for the colours to be converted.
    void tiffProfileHandedOn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("profile");
        QTest::newRow("with a profile") << "tiff-cielab.tif" << QByteArray("hakomiru test profile");
        QTest::newRow("without") << "tiff-rgb8.tif" << QByteArray();
    }
    void tiffProfileHandedOn()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, profile);
        QFile file(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const Result<TiffPicture> tiff = TiffPicture::open(bytes);
        QVERIFY2(tiff.ok(), qPrintable(tiff.error()));
        QCOMPARE(tiff->iccProfile(), profile);
    }

    void gifFirstFrameAndTransparencyFlattened()
    {
        QImage frame(4, 4, QImage::Format_ARGB32);
        frame.fill(qRgba(0, 0, 0, 0));
        frame.setPixel(0, 0, qRgba(255, 0, 0, 255));
        QTemporaryDir dir;
        const QString path = dir.filePath("clear.gif");
        QVERIFY(savePicture(frame, path, "gif"));
        const PictureLoad load = loadPictureFile(path);
        QVERIFY2(load.ok(), qPrintable(load.error()));
        const QImage flat = flattenOnto(load->image, qRgb(10, 200, 30));
        QVERIFY(!flat.hasAlphaChannel());
        QCOMPARE(flat.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(flat.pixel(3, 3), qRgb(10, 200, 30));
    }

    void readsFromMemory()
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(solidPicture(7, 5, qRgb(1, 2, 3)).save(&buffer, "bmp"));
        const PictureLoad load = loadPictureData(bytes);
        QVERIFY(load.ok());
        QCOMPARE(load->naturalSize, QSize(7, 5));
        QVERIFY(!loadPictureData(QByteArray("GIF89a")).ok());
    }
};

QTEST_MAIN(tst_PictureFile)
#include "tst_picture_file.moc"
