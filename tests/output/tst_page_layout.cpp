#include <QtTest>

#include <cmath>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "conversion/workbench.h"
#include "output/page_layout.h"
#include "output/sharp_page.h"
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
    // A page that names no paper, without a printer to keep its own, is Ｂ４ (257 x 364 mm)
    // without margins: 20636 twips wide in landscape, the sheet 19810.56 of them.
    void fallbackPaperIsB4()
    {
        const QPageLayout page = marginlessPage(pageSetupFor(-1, 0));
        QCOMPARE(page.pageSize().id(), QPageSize::JisB4);
        QCOMPARE(page.orientation(), QPageLayout::Landscape);
        QCOMPARE(page.margins(), QMarginsF());
        const auto onPage = sheetOnPage(page, QSizeF(sheetWidth, sheetHeight), 300, 300);
        QVERIFY(onPage);
        QCOMPARE(onPage->twips.width(), 19810.56);
        QCOMPARE(onPage->devicePixels.width(), 4127.2);
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
        const bool marginless = marginMm == 0;
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
        // No page needs a slot's picture larger than it keeps it: the 489-pixel box spans 400
        // sheet pixels.
        const double boxAt600Dpi = destination->width() / 1440.0 * 600 * 400 / sheetWidth;
        QVERIFY2(boxAt600Dpi <= keptBoxSide, qPrintable(QString::number(boxAt600Dpi)));
        // The exporter's page without margins is this one, and gives the same place.
        const auto onPage =
            sheetOnPage(marginless ? marginlessPage(pageSetupFor(paperSize, orientation)) : layout,
                        QSizeF(sheetWidth, sheetHeight), 600, 300);
        QVERIFY(onPage);
        QCOMPARE(onPage->twips, *destination);
        QCOMPARE(onPage->devicePixels.width(), destination->width() / 1440.0 * 600);
        QCOMPARE(onPage->devicePixels.height(), destination->height() / 1440.0 * 300);
        QCOMPARE(onPage->pixelsFor(400, sheetWidth, 600), boxAt600Dpi);

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

    // The sharp page of each paper, drawn at 300 dpi, lies exactly where the 1x sheet lies: seen
    // at the sheet's own resolution (1702 pixels across it), every line pixel within one pixel and
    // the pictures the same colours. The lines are drawn as lines: the page's pictures, all at
    // 300 dpi, hold no line pixel.
    void sharpPageMatchesTheSheet_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("orientation");
        for (int size = 0; size < 4; ++size)
            for (int orientation = 0; orientation < 2; ++orientation)
                QTest::addRow("%s %s", testPapers[size].name,
                              orientation == 0 ? "landscape" : "portrait")
                    << size << orientation;
    }
    // A page followed piece by piece is the page drawn without being followed, told once for
    // each of the 24 pieces; stopped, it leaves the device untouched: nothing was begun on it.
    void followedPage_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<bool>("painted");
        QTest::addColumn<int>("told");
        QTest::newRow("followed to the end") << 0 << true << 24;
        QTest::newRow("stopped at the first piece") << 1 << false << 1;
        QTest::newRow("stopped at the last piece") << 24 << false << 24;
    }
    void followedPage()
    {
        QFETCH(int, stopAt);
        QFETCH(bool, painted);
        QFETCH(int, told);
        Workbench bench;
        makeLightSheet(bench, 0);
        auto page = [&bench](const SheetProgress& progress, bool* ok) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            {
                QPdfWriter writer(&buffer);
                writer.setResolution(300);
                writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
                (void)applyPageSetup(writer, pageSetupFor(1, 0));
                *ok = paintSharpSheetOnPage(writer, bench.sheetDrawing(), 300, progress);
            }
            // Less the lines that name the moment it was written.
            QByteArrayList lines = bytes.split('\n');
            lines.removeIf([](const QByteArray& line) {
                return line.contains("/CreationDate") || line.startsWith("/ID");
            });
            return lines.join('\n');
        };
        int calls = 0;
        bool ok = false;
        const QByteArray followed = page(
            [&](int done, int total) {
                ++calls;
                return done == calls && total == 24 && done != stopAt;
            },
            &ok);
        QCOMPARE(ok, painted);
        QCOMPARE(calls, told);
        if (!painted) {
            QVERIFY(followed.isEmpty());
            return;
        }
        bool drawn = false;
        QCOMPARE(followed, page({}, &drawn));
        QVERIFY(drawn);
    }

    void sharpPageMatchesTheSheet()
    {
        QFETCH(int, paperSize);
        QFETCH(int, orientation);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        Workbench bench;
        makeLightSheet(bench, orientation); // whole pictures on one, covering on the other
        {
            QPdfWriter writer(path);
            writer.setResolution(300);
            QVERIFY(writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
            QVERIFY(applyPageSetup(writer, pageSetupFor(paperSize, orientation)));
            QVERIFY(paintSharpSheetOnPage(writer, bench.sheetDrawing(), 300));
        }

        bool ok = false;
        const std::vector<PdfImage> images = pdfImages(path, &ok);
        QVERIFY2(ok, "pdfimages (poppler-utils) must be installed");
        QCOMPARE(images.size(), std::size_t(12));
        for (const PdfImage& image : images) {
            QVERIFY2(image.xPpi == 300 && image.yPpi == 300 && image.encoding == "jpeg",
                     qPrintable(QStringLiteral("%1 x %2 ppi, %3")
                                    .arg(image.xPpi)
                                    .arg(image.yPpi)
                                    .arg(image.encoding)));
        }
        runTool(QStringLiteral("pdfimages"),
                {QStringLiteral("-png"), path, dir.filePath(QStringLiteral("piece"))}, &ok);
        QVERIFY(ok);
        for (int i = 0; i < 12; ++i) {
            const QImage piece(
                dir.filePath(QStringLiteral("piece-%1.png").arg(i, 3, 10, QChar('0'))));
            QVERIFY(!piece.isNull());
            int darkest = 255;
            for (int y = 0; y < piece.height(); ++y)
                for (int x = 0; x < piece.width(); ++x)
                    darkest = std::min(darkest, qGray(piece.pixel(x, y)));
            QVERIFY2(darkest > 160, qPrintable(QString::number(darkest)));
        }

        // 1702 pixels across the sheet: 96 % of the paper's width.
        const PaperMillimetres paper = testPapers[paperSize];
        const double paperWidthMm = orientation == 0 ? paper.longMm : paper.shortMm;
        const double paperHeightMm = orientation == 0 ? paper.shortMm : paper.longMm;
        const double dpi = sheetWidth / (paperWidthMm * 0.96 / 25.4);
        const int rows = std::min(sheetHeight, int(paperHeightMm / 25.4 * dpi) - 1);
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(dpi, 'f', 6), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), path, dir.filePath(QStringLiteral("render"))},
                &ok);
        QVERIFY(ok);
        const QImage drawn = QImage(dir.filePath(QStringLiteral("render.png")))
                                 .convertToFormat(QImage::Format_RGB32);
        const QString difference = sheetDifference(drawn, bench.canvas().image(), 10, rows);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // A picture with detail finer than a sheet pixel, a one-pixel checkerboard of 1000 x 1000
    // (2.5 of its pixels to a sheet pixel), keeps it on an A4 page at 600 dpi (0.9 of its pixels
    // to a device pixel), where the 1x sheet averages it to one grey. (One of 2000 x 2000 is
    // finer than the device pixels too, 1.8 to one: averaged, it is grey on the page as well.)
    void sharperThanTheSheet()
    {
        QImage checkerboard(1000, 1000, QImage::Format_RGB32);
        for (int y = 0; y < checkerboard.height(); ++y)
            for (int x = 0; x < checkerboard.width(); ++x)
                checkerboard.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        Workbench bench;
        QVERIFY(bench.fillSlotFromPicture(
            0, [&] { return std::optional<QImage>(checkerboard); }, 0));
        bench.convert();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        {
            QPdfWriter writer(path);
            writer.setResolution(600);
            QVERIFY(writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
            QVERIFY(applyPageSetup(writer, pageSetupFor(0, 1)));
            QVERIFY(paintSharpSheetOnPage(writer, bench.sheetDrawing(), 600));
        }
        // The spread of the grey levels inside piece 0 (cell (2, 7), sheet pixels 1251..1450 by
        // 201..400) and inside its picture in the page, 20 sheet pixels in from its edges.
        auto spread = [](const QImage& image, QRect area) {
            double sum = 0, squares = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const double g = qGray(image.pixel(x, y));
                    sum += g;
                    squares += g * g;
                }
            const double count = double(area.width()) * area.height();
            const double mean = sum / count;
            return std::sqrt(squares / count - mean * mean);
        };
        const double sheetSpread = spread(bench.canvas().image(), QRect(1271, 221, 160, 160));
        bool ok = false;
        const std::vector<PdfImage> images = pdfImages(path, &ok);
        QVERIFY(ok);
        QCOMPARE(images.size(), std::size_t(4)); // 絵A's four pieces; the others are blank
        QVERIFY(images[0].xPpi == 600 && images[0].yPpi == 600);
        runTool(QStringLiteral("pdfimages"),
                {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-png"), path,
                 dir.filePath(QStringLiteral("piece"))},
                &ok);
        QVERIFY(ok);
        const QImage piece(dir.filePath(QStringLiteral("piece-000.png")));
        QVERIFY(!piece.isNull());
        const int margin = piece.width() / 10;
        const double pageSpread =
            spread(piece, piece.rect().adjusted(margin, margin, -margin, -margin));
        QVERIFY2(sheetSpread < 3 && pageSpread > 30,
                 qPrintable(QStringLiteral("spread %1 on the sheet, %2 on the page")
                                .arg(sheetSpread)
                                .arg(pageSpread)));
    }
};

QTEST_MAIN(tst_PageLayout)
#include "tst_page_layout.moc"
