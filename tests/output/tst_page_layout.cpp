#include <QtTest>

#include <cmath>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "output/page_layout.h"
#include "output/print_test_support.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

// Twips for a length in millimetres, from the inch (25.4 mm = 1440 twips).
double twipsOf(double millimetres)
{
    return millimetres / 25.4 * 1440.0;
}

QPageLayout letterLayout(QMarginsF marginsMm)
{
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, marginsMm,
                       QPageLayout::Millimeter);
}

// The page layout of a device that had `layout` once printing has applied `setup` to it; an
// invalid layout when the device refuses.
QPageLayout appliedTo(const QPageLayout& layout, const PageSetup& setup)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter device(&buffer);
    if (!device.setPageLayout(layout) || !applyPageSetup(device, setup))
        return {};
    return device.pageLayout();
}

} // namespace

class tst_PageLayout : public QObject
{
    Q_OBJECT

private slots:
    // Every paper in both orientations, from a printer that had US Letter: the paper's size in
    // the page's orientation, the printable width in twips, and the sheet's rectangle.
    void sheetOnEachPaper_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("shortMm");
        QTest::addColumn<double>("longMm");
        QTest::addColumn<double>("marginMm");
        for (int size = 0; size < 4; ++size) {
            for (int orientation = 0; orientation < 2; ++orientation) {
                for (double margin : {0.0, 6.35}) {
                    QTest::addRow("%s %s margin %.2f", testPapers[size].name,
                                  orientation == 0 ? "landscape" : "portrait", margin)
                        << size << orientation << testPapers[size].shortMm
                        << testPapers[size].longMm << margin;
                }
            }
        }
    }
    void sheetOnEachPaper()
    {
        QFETCH(int, paperSize);
        QFETCH(int, orientation);
        QFETCH(double, shortMm);
        QFETCH(double, longMm);
        QFETCH(double, marginMm);

        const QPageLayout layout =
            appliedTo(letterLayout(QMarginsF(marginMm, marginMm, marginMm, marginMm)),
                      pageSetupFor(paperSize, orientation));
        const bool landscape = orientation == 0;
        const double paperWidthMm = landscape ? longMm : shortMm;
        const double paperHeightMm = landscape ? shortMm : longMm;
        const QSizeF paper = layout.fullRect(QPageLayout::Millimeter).size();
        QVERIFY2(
            std::abs(paper.width() - paperWidthMm) < 0.01 &&
                std::abs(paper.height() - paperHeightMm) < 0.01,
            qPrintable(QStringLiteral("paper %1 x %2 mm").arg(paper.width()).arg(paper.height())));

        const double expectedWidthTwips = std::nearbyint(twipsOf(paperWidthMm - 2 * marginMm));
        QCOMPARE(printableWidthTwips(layout), static_cast<std::int32_t>(expectedWidthTwips));

        const auto destination =
            sheetDestination(printableWidthTwips(layout), QSizeF(sheetWidth, sheetHeight));
        QVERIFY(destination);
        QCOMPARE(destination->x(), 0.05);
        QCOMPARE(destination->y(), 0.05);
        QCOMPARE(destination->width(), expectedWidthTwips * 0.96);
        QCOMPARE(destination->height(), expectedWidthTwips * 0.96 * 1302.0 / 1702.0);

        // The sheet's sides are 1.31 : 1, a landscape page's 1.41 : 1: at 96 % of the width the
        // sheet is some 4 % taller than the page, and its bottom is cut off. In portrait it
        // takes about half the page.
        const double heightShare = destination->height() / twipsOf(paperHeightMm - 2 * marginMm);
        if (landscape)
            QVERIFY2(heightShare > 1.02 && heightShare < 1.08,
                     qPrintable(QString::number(heightShare)));
        else
            QVERIFY2(heightShare > 0.45 && heightShare < 0.56,
                     qPrintable(QString::number(heightShare)));
    }

    // Only 0..3 choose a paper; anything else prints on the printer's paper.
    void otherPaperSizeKeepsThePrintersPaper_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::newRow("-1") << -1;
        QTest::newRow("4") << 4;
        QTest::newRow("9 (a paper code, not an index)") << 9;
        QTest::newRow("32767") << 32767;
    }
    void otherPaperSizeKeepsThePrintersPaper()
    {
        QFETCH(int, paperSize);
        const PageSetup setup = pageSetupFor(paperSize, 1);
        QVERIFY(!setup.paper);
        const QPageLayout layout = appliedTo(letterLayout({}), setup);
        QCOMPARE(layout.pageSize().id(), QPageSize::Letter);
        QCOMPARE(printableWidthTwips(layout), 12240); // 8.5 inches
    }

    void orientation_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("0 landscape") << 0 << int(QPageLayout::Landscape);
        QTest::newRow("1 portrait") << 1 << int(QPageLayout::Portrait);
        QTest::newRow("2 portrait") << 2 << int(QPageLayout::Portrait);
        QTest::newRow("-1 portrait") << -1 << int(QPageLayout::Portrait);
    }
    void orientation()
    {
        QFETCH(int, value);
        QFETCH(int, expected);
        QCOMPARE(int(pageSetupFor(2, value).orientation), expected);
        // The paper is set before the orientation, so a landscape B4 is 364 mm wide.
        const QPageLayout layout = appliedTo(letterLayout({}), pageSetupFor(2, value));
        QCOMPARE(qRound(layout.fullRect(QPageLayout::Millimeter).width()),
                 expected == QPageLayout::Landscape ? 364 : 257);
    }

    // A canvas without area has no proportions: nothing to place, rather than an infinite or
    // undefined rectangle handed to the printer.
    void noDestinationWithoutProportions_data()
    {
        QTest::addColumn<int>("pageWidth");
        QTest::addColumn<QSizeF>("canvas");
        QTest::newRow("no width") << 16000 << QSizeF(0, 1302);
        QTest::newRow("no height") << 16000 << QSizeF(1702, 0);
        QTest::newRow("negative") << 16000 << QSizeF(-1702, 1302);
        QTest::newRow("not a number") << 16000 << QSizeF(std::nan(""), 1302);
        QTest::newRow("page without width") << 0 << QSizeF(1702, 1302);
    }
    void noDestinationWithoutProportions()
    {
        QFETCH(int, pageWidth);
        QFETCH(QSizeF, canvas);
        QVERIFY(!sheetDestination(pageWidth, canvas));
    }

    void twipsToDevice()
    {
        // One inch is 1440 twips: at 300 x 600 dots per inch, 1440 x 720 twips are 300 x 300.
        const QRectF device = twipsToDevicePixels(QRectF(0.05, 144, 1440, 720), 300, 600);
        QCOMPARE(device.x(), 0.05 * 300 / 1440);
        QCOMPARE(device.y(), 60.0);
        QCOMPARE(device.width(), 300.0);
        QCOMPARE(device.height(), 300.0);
    }

    // Enlarged, the sheet's pixels are repeated: every painted pixel is black or white, and each
    // one-pixel line becomes a solid band as wide as the scale.
    void enlargedSheetStaysCrisp()
    {
        QImage sheet(170, 130, QImage::Format_RGB32);
        sheet.fill(0xffffffff);
        const std::vector<int> lines{3, 40, 41, 99, 169};
        for (int x : lines)
            for (int y = 0; y < sheet.height(); ++y)
                sheet.setPixel(x, y, 0xff000000);

        QImage page(500, 400, QImage::Format_RGB32);
        page.fill(0xffffffff);
        QPainter painter(&page);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true); // must not leak in
        paintSheetPage(painter, sheet, QRectF(10, 5, 170 * 2.5, 130 * 2.5));
        painter.end();

        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const int grey = qGray(page.pixel(x, y));
                QVERIFY2(grey == 0 || grey == 255,
                         qPrintable(QStringLiteral("grey %1 at %2,%3").arg(grey).arg(x).arg(y)));
            }
        const int row = 100;
        const std::vector<double> runs = darkRunsAlongRow(page, row);
        // Lines 40 and 41 touch, so they make one band.
        const std::vector<double> expected{10 + 3.5 * 2.5, 10 + 41 * 2.5, 10 + 99.5 * 2.5,
                                           10 + 169.5 * 2.5};
        QCOMPARE(runs.size(), expected.size());
        for (std::size_t i = 0; i < runs.size(); ++i)
            QVERIFY2(std::abs(runs[i] - expected[i]) <= 0.75, qPrintable(runsText(runs)));
    }

    // Reduced onto a coarse device, no line may fall between two device pixels and vanish.
    void reducedSheetKeepsEveryLine()
    {
        QImage sheet(200, 100, QImage::Format_RGB32);
        sheet.fill(0xffffffff);
        for (int x = 2; x < sheet.width(); x += 5)
            for (int y = 0; y < sheet.height(); ++y)
                sheet.setPixel(x, y, 0xff000000);

        QImage page(80, 40, QImage::Format_RGB32);
        page.fill(0xffffffff);
        QPainter painter(&page);
        paintSheetPage(painter, sheet, QRectF(0, 0, 80, 40));
        painter.end();

        for (int x = 2; x < sheet.width(); x += 5) {
            const int column = static_cast<int>((x + 0.5) * 0.4);
            int darkest = 255;
            for (int c = std::max(0, column - 1); c <= std::min(79, column + 1); ++c)
                darkest = std::min(darkest, qGray(page.pixel(c, 20)));
            QVERIFY2(darkest < 230, qPrintable(QStringLiteral("line %1 lost").arg(x)));
        }
    }

    // In a page description the sheet is kept whole and exact: not re-encoded as a JPEG and not
    // marked for smoothing.
    void pageDescriptionKeepsTheSheetExact()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("sheet.pdf"));
        const QImage sheet = linedSheet();
        {
            QPdfWriter writer(path);
            writer.setResolution(1200);
            writer.setPageSize(QPageSize(QPageSize::A3));
            writer.setPageOrientation(QPageLayout::Landscape);
            QPainter painter(&writer);
            paintSheetPage(painter, sheet, QRectF(0, 0, sheetWidth * 5.5, sheetHeight * 5.5));
        }
        bool ok = false;
        const QString list =
            runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path}, &ok);
        QVERIFY2(ok, "pdfimages (poppler-utils) must be installed");
        const QStringList lines = list.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3); // two heading lines, one image
        const QStringList fields = lines[2].simplified().split(QLatin1Char(' '));
        QCOMPARE(fields.value(3), QStringLiteral("1702"));
        QCOMPARE(fields.value(4), QStringLiteral("1302"));
        QCOMPARE(fields.value(8), QStringLiteral("image")); // not "jpeg"
        QCOMPARE(fields.value(9), QStringLiteral("no"));    // no interpolation

        runTool(QStringLiteral("pdfimages"),
                {QStringLiteral("-png"), path, dir.filePath(QStringLiteral("img"))}, &ok);
        QVERIFY(ok);
        const QImage extracted = QImage(dir.filePath(QStringLiteral("img-000.png")))
                                     .convertToFormat(QImage::Format_RGB32);
        QVERIFY(extracted == sheet);
    }
};

QTEST_MAIN(tst_PageLayout)
#include "tst_page_layout.moc"
