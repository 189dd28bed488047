#include <QtTest>

#include "intake/fit.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

class tst_Fit : public QObject
{
    Q_OBJECT

private slots:
    void thresholdIsTheCosineOfThirtyDegrees()
    {
        QCOMPARE(pasteAspectThreshold(), 0.8660254037844389);
    }

    // The worked examples: picture size, box side, mode, threshold -> holder and offset.
    void workedExamples_data()
    {
        QTest::addColumn<double>("w");
        QTest::addColumn<double>("h");
        QTest::addColumn<double>("box");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<bool>("widthLimited");
        QTest::addColumn<float>("holderW");
        QTest::addColumn<float>("holderH");
        QTest::addColumn<float>("offX");
        QTest::addColumn<float>("offY");
        QTest::newRow("400x300 whole")
            << 400.0 << 300.0 << 489.0 << 0 << false << true << 489.f << 366.75f << 0.f << 61.125f;
        QTest::newRow("400x300 whole preview")
            << 400.0 << 300.0 << 145.0 << 0 << false << true << 145.f << 108.75f << 0.f << 18.125f;
        QTest::newRow("400x300 cover")
            << 400.0 << 300.0 << 489.0 << 1 << false << false << 652.f << 489.f << -81.5f << 0.f;
        QTest::newRow("300x400 whole")
            << 300.0 << 400.0 << 489.0 << 0 << false << false << 366.75f << 489.f << 61.125f << 0.f;
        QTest::newRow("300x400 cover")
            << 300.0 << 400.0 << 489.0 << 1 << false << true << 489.f << 652.f << 0.f << -81.5f;
        QTest::newRow("square whole")
            << 250.0 << 250.0 << 489.0 << 0 << false << true << 489.f << 489.f << 0.f << 0.f;
        QTest::newRow("square cover")
            << 250.0 << 250.0 << 489.0 << 1 << false << true << 489.f << 489.f << 0.f << 0.f;
        QTest::newRow("square pasted cover")
            << 250.0 << 250.0 << 489.0 << 1 << true << false << 489.f << 489.f << 0.f << 0.f;
        QTest::newRow("pasted 300x330 whole")
            << 300.0 << 330.0 << 489.0 << 0 << true << true << 489.f << 537.9f << 0.f << -24.45f;
        QTest::newRow("pasted 300x330 cover") << 300.0 << 330.0 << 489.0 << 1 << true << false
                                              << 444.54545f << 489.f << 22.227272f << 0.f;
        QTest::newRow("file 300x330 whole") << 300.0 << 330.0 << 489.0 << 0 << false << false
                                            << 444.54545f << 489.f << 22.227272f << 0.f;
        QTest::newRow("file 300x330 cover")
            << 300.0 << 330.0 << 489.0 << 1 << false << true << 489.f << 537.9f << 0.f << -24.45f;
    }
    void workedExamples()
    {
        QFETCH(double, w);
        QFETCH(double, h);
        QFETCH(double, box);
        QFETCH(int, mode);
        QFETCH(bool, pasted);
        QFETCH(bool, widthLimited);
        QFETCH(float, holderW);
        QFETCH(float, holderH);
        QFETCH(float, offX);
        QFETCH(float, offY);
        const auto fit =
            fitPicture(w, h, box, box, mode, pasted ? pasteAspectThreshold() : fileAspectThreshold);
        QVERIFY(fit.has_value());
        QCOMPARE(fit->widthLimited, widthLimited);
        QCOMPARE(fit->holderWidth, holderW);
        QCOMPARE(fit->holderHeight, holderH);
        QCOMPARE(fit->offsetX, offX);
        QCOMPARE(fit->offsetY, offY);
    }

    void pastedThresholdAt400High()
    {
        const double t = pasteAspectThreshold();
        QVERIFY(!fitPicture(346, 400, 489, 489, fitWhole, t)->widthLimited);
        QVERIFY(fitPicture(347, 400, 489, 489, fitWhole, t)->widthLimited);
        QVERIFY(fitPicture(346, 400, 489, 489, fitCover, t)->widthLimited);
        QVERIFY(!fitPicture(347, 400, 489, 489, fitCover, t)->widthLimited);
    }

    void nothingForOtherModesOrEmptyPictures()
    {
        QVERIFY(!fitPicture(400, 300, 489, 489, 2, 1.0));
        QVERIFY(!fitPicture(400, 300, 489, 489, -1, 1.0));
        QVERIFY(!fitPicture(0, 300, 489, 489, 0, 1.0));
        QVERIFY(!fitPicture(400, std::numeric_limits<double>::quiet_NaN(), 489, 489, 0, 1.0));
    }

    void decodeSizeNeverBelowPaintedSize()
    {
        QCOMPARE(decodeSizeFor(QSize(8000, 6000), 489, fitWhole, 1.0), QSize(489, 367));
        QCOMPARE(decodeSizeFor(QSize(8000, 6000), 489, fitCover, 1.0), QSize(652, 489));
        QCOMPARE(decodeSizeFor(QSize(300, 200), 489, fitWhole, 1.0), QSize(300, 200));
        const QSize pasted =
            decodeSizeFor(QSize(3000, 3300), 489, fitWhole, pasteAspectThreshold());
        QVERIFY(pasted.width() >= 489 && pasted.height() >= 538);
    }

    // The bands of background above and below a landscape picture, and its centring.
    void paintFittedCentresWithBands()
    {
        Surface box(489, 489, qRgb(240, 240, 240));
        const QImage red = solidPicture(400, 300, qRgb(255, 0, 0));
        const auto fit = paintFitted(box, red, QSizeF(400, 300), fitWhole, 1.0);
        QVERIFY(fit.has_value());
        // holder 489 x 366.75 at y 61.125: rows 61..427 painted (centres 61.5 .. 427.5).
        for (int x : {0, 244, 488}) {
            QCOMPARE(box.point(x, 60), qRgb(240, 240, 240));
            QCOMPARE(box.point(x, 61), qRgb(255, 0, 0));
            QCOMPARE(box.point(x, 427), qRgb(255, 0, 0));
            QCOMPARE(box.point(x, 428), qRgb(240, 240, 240));
        }
        // Cover mode: the box is filled, the sides cut off equally.
        Surface covered(489, 489, qRgb(240, 240, 240));
        const QImage quadrants =
            quadrantPicture(400, 300, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                            qRgb(255, 255, 0), qRgb(255, 0, 0));
        QVERIFY(paintFitted(covered, quadrants, QSizeF(400, 300), fitCover, 1.0));
        QCOMPARE(covered.point(0, 0), qRgb(255, 0, 0));
        QCOMPARE(covered.point(488, 0), qRgb(0, 255, 0));
        QCOMPARE(covered.point(0, 488), qRgb(0, 0, 255));
        QCOMPARE(covered.point(488, 488), qRgb(255, 255, 0));
        // The split between left and right halves falls in the middle column of the box.
        QCOMPARE(covered.point(243, 100), qRgb(255, 0, 0));
        QCOMPARE(covered.point(245, 100), qRgb(0, 255, 0));
    }
};

QTEST_MAIN(tst_Fit)
#include "tst_fit.moc"
