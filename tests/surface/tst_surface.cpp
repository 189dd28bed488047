#include <QtTest>

#include "surface/rounding.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

class tst_Surface : public QObject
{
    Q_OBJECT

private slots:
    void roundingTiesGoToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("3.5") << 3.5 << 4;
        QTest::newRow("244.5") << 244.5 << 244;
        QTest::newRow("245.7225") << 245.7225 << 246;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("-3.5") << -3.5 << -4;
        QTest::newRow("0.49999") << 0.49999 << 0;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("saturates high") << 1e9 << 32767;
        QTest::newRow("saturates low") << -1e9 << -32768;
    }
    void roundingTiesGoToEven()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(int(toInt16(value)), expected);
    }

    void qbColorBlackAndWhite()
    {
        QCOMPARE(QBColor(0), qRgb(0, 0, 0));
        QCOMPARE(QBColor(15), qRgb(255, 255, 255));
    }

    void pictureSetClearsAndDrawsAtNaturalSize()
    {
        Surface box(10, 10, qRgb(1, 2, 3));
        box.pset(9, 9, qRgb(200, 0, 0));
        box.setPicture(solidPicture(4, 3, qRgb(0, 255, 0)));
        QCOMPARE(box.point(3, 2), qRgb(0, 255, 0));
        QCOMPARE(box.point(4, 2), qRgb(1, 2, 3));
        QCOMPARE(box.point(3, 3), qRgb(1, 2, 3));
        QCOMPARE(box.point(9, 9), qRgb(1, 2, 3)); // earlier drawing is gone
        box.clear();
        QCOMPARE(box.point(0, 0), qRgb(1, 2, 3));
        QVERIFY(box.picture().isNull());
    }

    void pointOutsideGivesBackColorAndPsetOutsideIsDropped()
    {
        Surface box(5, 5, qRgb(9, 9, 9));
        box.pset(-1, 0, qRgb(255, 0, 0));
        box.pset(5, 0, qRgb(255, 0, 0));
        box.pset(0, 5, qRgb(255, 0, 0));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(box.point(x, y), qRgb(9, 9, 9));
        QCOMPARE(box.point(5, 0), qRgb(9, 9, 9));
        QCOMPARE(box.point(-1, -1), qRgb(9, 9, 9));
        QCOMPARE(box.point(100000, 3), qRgb(9, 9, 9));
    }

    void imageIsASnapshot()
    {
        Surface box(3, 3, qRgb(0, 0, 0));
        const QImage before = box.image();
        box.pset(1, 1, qRgb(255, 255, 255));
        QCOMPARE(before.pixel(1, 1), qRgb(0, 0, 0));
        QCOMPARE(box.image().pixel(1, 1), qRgb(255, 255, 255));
    }

    // A destination pixel is painted when its centre lies in the rectangle.
    void paintPictureCoversPixelCentres()
    {
        Surface box(20, 20, qRgb(255, 255, 255));
        box.paintPicture(solidPicture(2, 2, qRgb(255, 0, 0)), 2.6f, 3.4f, 4.0f, 2.2f);
        // columns whose centre is in [2.6, 6.6): 3..6; rows in [3.4, 5.6): 3..5 (5.5 < 5.6)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 3 && x <= 6 && y >= 3 && y <= 5;
                QVERIFY2(box.point(x, y) == (inside ? qRgb(255, 0, 0) : qRgb(255, 255, 255)),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    void paintPictureNegativeOriginIsClipped()
    {
        Surface box(10, 10, qRgb(255, 255, 255));
        // A 4x4 picture of four quadrants enlarged to 20x20 at (-10, -10): only its bottom-right
        // quadrant shows, filling the box.
        const QImage quadrants =
            quadrantPicture(4, 4, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                            qRgb(255, 255, 0), qRgb(255, 0, 0));
        box.paintPicture(quadrants, -10, -10, 20, 20);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                QCOMPARE(box.point(x, y), qRgb(255, 255, 0));
    }

    void paintPictureSourcePartAndEnlargement()
    {
        Surface box(8, 8, qRgb(0, 0, 0));
        const QImage quadrants =
            quadrantPicture(4, 4, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                            qRgb(255, 255, 0), qRgb(255, 0, 0));
        // Only the top-right quadrant (2,0,2,2), enlarged to 8x8.
        box.paintPicture(quadrants, 0, 0, 8, 8, 2, 0, 2, 2);
        QCOMPARE(box.point(0, 0), qRgb(0, 255, 0));
        QCOMPARE(box.point(7, 7), qRgb(0, 255, 0));
        // The three-argument form copies at natural size.
        Surface other(6, 6, qRgb(0, 0, 0));
        other.paintPicture(quadrants, 1, 1);
        QCOMPARE(other.point(1, 1), qRgb(255, 0, 0));
        QCOMPARE(other.point(3, 1), qRgb(0, 255, 0));
        QCOMPARE(other.point(1, 3), qRgb(0, 0, 255));
        QCOMPARE(other.point(4, 4), qRgb(255, 255, 0));
        QCOMPARE(other.point(5, 5), qRgb(0, 0, 0));
        QCOMPARE(other.point(0, 0), qRgb(0, 0, 0));
    }

    void paintPictureReductionAveragesAndIgnoresAlpha()
    {
        // A fine black-and-white checkerboard reduced to one pixel becomes mid grey, not one of
        // its own pixels.
        QImage checker(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        Surface box(4, 4, qRgb(255, 0, 0));
        box.paintPicture(checker, 0, 0, 4, 4);
        QVERIFY(closeColor(box.point(2, 2), qRgb(128, 128, 128), 8));

        QImage clear(2, 2, QImage::Format_ARGB32);
        clear.fill(qRgba(10, 20, 30, 0));
        box.paintPicture(clear, 0, 0);
        QCOMPARE(box.point(0, 0), qRgb(10, 20, 30));
    }

    void paintPictureRejectsDegenerateRectangles()
    {
        Surface box(4, 4, qRgb(0, 0, 0));
        const QImage red = solidPicture(2, 2, qRgb(255, 0, 0));
        box.paintPicture(red, 0, 0, 0, 4);
        box.paintPicture(red, 0, 0, -3, 4);
        box.paintPicture(red, 0, 0, std::numeric_limits<float>::infinity(), 4);
        box.paintPicture(red, std::numeric_limits<float>::quiet_NaN(), 0, 4, 4);
        box.paintPicture(red, 0, 0.2f, 4, 0.2f); // a fraction of a pixel high: no centre inside
        box.paintPicture(QImage(), 0, 0, 4, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(box.point(x, y), qRgb(0, 0, 0));
        // Huge but finite rectangles are clipped, not walked.
        box.paintPicture(red, -1e30f, -1e30f, 3e30f, 3e30f);
        QCOMPARE(box.point(3, 3), qRgb(255, 0, 0));
    }

    void lineDrawsBothEndsAndClips()
    {
        Surface box(10, 10, qRgb(255, 255, 255));
        box.line(1, 2, 6, 2, QBColor(0));
        for (int x = 0; x < 10; ++x)
            QCOMPARE(box.point(x, 2), (x >= 1 && x <= 6) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        box.line(3, 0, 3, 9, QBColor(0));
        box.line(3, 4, 3, 5, QBColor(15));
        QCOMPARE(box.point(3, 3), qRgb(0, 0, 0));
        QCOMPARE(box.point(3, 4), qRgb(255, 255, 255));
        QCOMPARE(box.point(3, 5), qRgb(255, 255, 255));
        QCOMPARE(box.point(3, 6), qRgb(0, 0, 0));
        // 45 degrees: one pixel per step on the diagonal.
        Surface diagonal(6, 6, qRgb(255, 255, 255));
        diagonal.line(0, 5, 5, 0, QBColor(0));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(diagonal.point(i, 5 - i), qRgb(0, 0, 0));
        QCOMPARE(diagonal.point(1, 1), qRgb(255, 255, 255));
        // Far outside and partly outside.
        diagonal.line(-1e9f, 2, 1e9f, 2, QBColor(0));
        for (int x = 0; x < 6; ++x)
            QCOMPARE(diagonal.point(x, 2), qRgb(0, 0, 0));
        diagonal.line(100, 100, 200, 200, QBColor(0));
    }
};

QTEST_MAIN(tst_Surface)
#include "tst_surface.moc"
