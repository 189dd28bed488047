#include <QtTest>

#include <QImageWriter>

#include "surface/picture_file.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

class tst_PictureFile : public QObject
{
    Q_OBJECT

private slots:
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
        QVERIFY2(load.picture.has_value(), qPrintable(load.error));
        QCOMPARE(load.picture->naturalSize, QSize(40, 30));
        QCOMPARE(load.picture->image.size(), QSize(40, 30));
        const QImage& image = load.picture->image;
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
            QVERIFY2(!load.picture.has_value(), qPrintable(name));
            QVERIFY2(!load.error.isEmpty(), qPrintable(name));
        }
    }

    void reducedDecodeKeepsNaturalSize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("big.jpg");
        QVERIFY(quadrantPicture(2000, 1500, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                qRgb(255, 255, 0))
                    .save(path, "jpg"));
        QSize asked;
        const PictureLoad load = loadPictureFile(path, [&](QSize natural) {
            asked = natural;
            return QSize(500, 375);
        });
        QVERIFY2(load.picture.has_value(), qPrintable(load.error));
        QCOMPARE(asked, QSize(2000, 1500));
        QCOMPARE(load.picture->naturalSize, QSize(2000, 1500));
        QCOMPARE(load.picture->image.size(), QSize(500, 375));
        QVERIFY(closeColor(load.picture->image.pixel(400, 300), qRgb(255, 255, 0), 40));

        // A larger wish than the picture decodes it whole.
        const PictureLoad whole = loadPictureFile(path, [](QSize) { return QSize(4000, 3000); });
        QVERIFY(whole.picture.has_value());
        QCOMPARE(whole.picture->image.size(), QSize(2000, 1500));
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
        QVERIFY2(load.picture.has_value(), qPrintable(load.error));
        const QImage flat = flattenOnto(load.picture->image, qRgb(10, 200, 30));
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
        QVERIFY(load.picture.has_value());
        QCOMPARE(load.picture->naturalSize, QSize(7, 5));
        QVERIFY(!loadPictureData(QByteArray("GIF89a")).picture.has_value());
    }
};

QTEST_MAIN(tst_PictureFile)
#include "tst_picture_file.moc"
