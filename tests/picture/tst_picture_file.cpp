#include <QtTest>

#include <QImageReader>
#include <QImageWriter>

#include "picture/colour_profile.h"
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

    // A profile's colours are converted however the picture comes (a file, bytes held, a file
    // read once) and at every size read, a reduced picture with transparency as well. The
    // profiles' red is sRGB's green, and their green sRGB's red; the CMYK profile's cyan is
    // sRGB's red and its magenta sRGB's green.
    void profileConvertedAtEverySize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRgb>("topLeft");
        QTest::addColumn<QRgb>("topRight");
        QTest::addColumn<int>("tolerance"); // see tst_hostile_pictures
        const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0);
        QTest::newRow("jpeg") << "jpeg-icc-swapped-3-chunks.jpg" << green << red << 2;
        QTest::newRow("png with alpha") << "png-icc-swapped-alpha.png" << green << red << 2;
        QTest::newRow("cmyk jpeg") << "jpeg-cmyk-icc.jpg" << red << green << 4;
    }
    void profileConvertedAtEverySize()
    {
        QFETCH(QString, name);
        QFETCH(QRgb, topLeft);
        QFETCH(QRgb, topRight);
        QFETCH(int, tolerance);
        QFile file(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(file.seek(0));
        const DecodeSizeFor sizes[] = {{}, [](QSize) { return QSize(20, 15); }, {}};
        const PictureLoads held = loadPictureBytes(bytes, sizes);
        const PictureLoads once = loadPictureOnce(file, sizes);
        for (const PictureLoads* loads : {&held, &once}) {
            QVERIFY2(loads->ok(), qPrintable(loads->error()));
            QCOMPARE((*loads)->size(), std::size_t(3));
            for (const Picture& picture : loads->value()) {
                const QImage& image = picture.image;
                const QPoint left(image.width() * 3 / 8, image.height() / 4);
                const QPoint right(image.width() * 3 / 4, image.height() / 4);
                QVERIFY2(closeColor(image.pixel(left), topLeft, tolerance),
                         qPrintable(colorText(image.pixel(left))));
                QVERIFY2(closeColor(image.pixel(right), topRight, tolerance),
                         qPrintable(colorText(image.pixel(right))));
            }
        }
    }

    // A pixel converted as a colour box (nclx: primaries, transfer) or an ICC profile (from one of
    // the PNGs) describes it, or left as it is, not even passed through an sRGB transform, for
    // sRGB. Expected colours: the primaries' published D65 matrices to XYZ and from XYZ to sRGB,
    // the curves by hand (a grey of 64 on gamma 2.2 is 0.0478 of white, 61.7 on sRGB's curve).
    void colourDescriptions_data()
    {
        QTest::addColumn<int>("primaries");
        QTest::addColumn<int>("transfer");
        QTest::addColumn<QString>("iccFrom");
        QTest::addColumn<QRgb>("stored");
        QTest::addColumn<QRgb>("shown");
        QTest::addColumn<bool>("converted");
        const QRgb orange = qRgb(200, 100, 50), grey = qRgb(64, 64, 64);
        QTest::newRow("unspecified") << 2 << 2 << "" << orange << orange << false;
        QTest::newRow("sRGB") << 1 << 13 << "" << orange << orange << false;
        QTest::newRow("BT.709 curve, shown as sRGB") << 1 << 1 << "" << orange << orange << false;
        QTest::newRow("unknown primaries") << 99 << 13 << "" << orange << orange << false;
        QTest::newRow("Display P3") << 12 << 13 << "" << orange << qRgb(215, 93, 31) << true;
        QTest::newRow("Display P3, PQ not tone-mapped")
            << 12 << 16 << "" << orange << qRgb(215, 93, 31) << true;
        QTest::newRow("BT.2020") << 9 << 13 << "" << orange << qRgb(241, 76, 29) << true;
        QTest::newRow("gamma 2.2") << 1 << 4 << "" << grey << qRgb(62, 62, 62) << true;
        QTest::newRow("gamma 2.8") << 1 << 5 << "" << grey << qRgb(40, 40, 40) << true;
        QTest::newRow("linear") << 1 << 8 << "" << grey << qRgb(137, 137, 137) << true;
        QTest::newRow("sRGB's ICC profile")
            << 0 << 0 << "png-icc-srgb.png" << orange << orange << false;
        QTest::newRow("P3 ICC profile, gamma 2.2")
            << 0 << 0 << "png-icc-p3.png" << orange << qRgb(216, 93, 24) << true;
    }
    void colourDescriptions()
    {
        QFETCH(int, primaries);
        QFETCH(int, transfer);
        QFETCH(QString, iccFrom);
        QFETCH(QRgb, stored);
        QFETCH(QRgb, shown);
        QFETCH(bool, converted);
        ColourDescription colour;
        if (iccFrom.isEmpty()) {
            colour.nclx = Nclx{primaries, transfer, 0, true};
        } else {
            QFile png(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + iccFrom);
            QVERIFY(png.open(QIODevice::ReadOnly));
            colour.icc = readPngIccProfile(png);
            QVERIFY(!colour.icc.isEmpty());
        }
        QImage image(1, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, stored);
        const uchar* before = image.constBits();
        QCOMPARE(convertToSrgb(image, colour), converted);
        QVERIFY2(closeColor(image.pixel(0, 0), shown, 1), qPrintable(colorText(image.pixel(0, 0))));
        if (!converted)
            QCOMPARE(image.constBits(), before); // untouched, not even detached
    }

    // The ICC profile of a JPEG, from its APP2 segments joined by their sequence numbers. Each
    // segment is given as "n/of:bytes"; a segment after the first scan is not read.
    void jpegProfileSegments_data()
    {
        QTest::addColumn<QStringList>("segments");
        QTest::addColumn<QByteArray>("profile");
        QTest::newRow("one") << QStringList{"1/1:abc"} << QByteArray("abc");
        QTest::newRow("three in order")
            << QStringList{"1/3:ab", "2/3:cd", "3/3:e"} << QByteArray("abcde");
        QTest::newRow("three out of order")
            << QStringList{"3/3:e", "1/3:ab", "2/3:cd"} << QByteArray("abcde");
        QTest::newRow("other segments between")
            << QStringList{"1/2:ab", "comment", "2/2:cd"} << QByteArray("abcd");
        QTest::newRow("an empty segment") << QStringList{"1/2:", "2/2:cd"} << QByteArray("cd");
        QTest::newRow("none") << QStringList{"comment"} << QByteArray();
        QTest::newRow("one missing") << QStringList{"1/3:ab", "3/3:e"} << QByteArray();
        QTest::newRow("one twice") << QStringList{"1/2:ab", "1/2:ab", "2/2:cd"} << QByteArray();
        QTest::newRow("counts disagree") << QStringList{"1/2:ab", "2/3:cd"} << QByteArray();
        QTest::newRow("number 0") << QStringList{"0/1:ab"} << QByteArray();
        QTest::newRow("number beyond count") << QStringList{"2/1:ab"} << QByteArray();
        QTest::newRow("the last after the scan")
            << QStringList{"1/2:ab", "scan", "2/2:cd"} << QByteArray();
        QTest::newRow("cut short") << QStringList{"1/1:abc", "cut"} << QByteArray();
    }
    void jpegProfileSegments()
    {
        QFETCH(QStringList, segments);
        QFETCH(QByteArray, profile);
        QByteArray jpeg("\xff\xd8");
        auto segment = [&jpeg](char marker, const QByteArray& data) {
            jpeg += '\xff';
            jpeg += marker;
            jpeg += char((data.size() + 2) >> 8);
            jpeg += char((data.size() + 2) & 0xff);
            jpeg += data;
        };
        for (const QString& text : segments) {
            if (text == "comment") {
                segment('\xfe', "a comment");
            } else if (text == "scan") {
                segment('\xda', QByteArray(10, '\0'));
            } else if (text == "cut") {
                jpeg.chop(2); // the last segment ends before its length says
            } else {
                const QStringList parts = text.split(QRegularExpression("[/:]"));
                segment('\xe2', QByteArray("ICC_PROFILE", 12) + char(parts[0].toInt()) +
                                    char(parts[1].toInt()) + parts[2].toLatin1());
            }
        }
        jpeg += "\xff\xd9";
        if (segments.endsWith("cut"))
            jpeg.chop(2);
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::ReadOnly);
        QCOMPARE(readJpegIccProfile(buffer), profile);
    }
};

QTEST_MAIN(tst_PictureFile)
#include "tst_picture_file.moc"
