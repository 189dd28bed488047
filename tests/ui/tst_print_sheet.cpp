#include <QtTest>

#include <cmath>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "ui/program_state.h"
#include "ui/print_sheet.h"
#include "ui/print_services.h"
#include "output/print_test_support.h"
#include "conversion/workbench.h"
#include "surface/surface.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

constexpr int renderDpi = 200;
constexpr double marginMm = 5.0;

double pointsOfMm(double millimetres)
{
    return millimetres / 25.4 * 72.0;
}

// A PDF printer into `path`, with 5 mm margins all round, that had US Letter portrait before.
void setUpPdfPrinter(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                      QMarginsF(marginMm, marginMm, marginMm, marginMm),
                                      QPageLayout::Millimeter));
}

} // namespace

class tst_PrintSheet : public QObject
{
    Q_OBJECT

private slots:
    // One page of the chosen paper, the sheet from the top-left corner of the printable area at
    // 96 % of its width: every line of the sheet lies where that scale puts it.
    void printsOnEachPaper_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("shortMm");
        QTest::addColumn<double>("longMm");
        for (int size = 0; size < 4; ++size)
            for (int orientation = 0; orientation < 2; ++orientation)
                QTest::addRow("%s %s", testPapers[size].name,
                              orientation ? "portrait" : "landscape")
                    << size << orientation << testPapers[size].shortMm << testPapers[size].longMm;
    }
    void printsOnEachPaper()
    {
        QFETCH(int, paperSize);
        QFETCH(int, orientation);
        QFETCH(double, shortMm);
        QFETCH(double, longMm);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        setUpPdfPrinter(printer, path);
        ScriptedPrintServices services;
        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = static_cast<std::int16_t>(paperSize);
        state.paperOrientation = static_cast<std::int16_t>(orientation);

        QCOMPARE(PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                            state.orientation(), printer),
                 PrintResult::Printed);
        QCOMPARE(services.printDialogs, 1);
        QCOMPARE(services.messages, 0);

        const bool landscape = orientation == 0;
        const double pageWidthMm = landscape ? longMm : shortMm;
        const double pageHeightMm = landscape ? shortMm : longMm;
        const auto info = pdfInfo(path);
        QVERIFY2(info, "pdfinfo (poppler-utils) must read the printed file");
        QCOMPARE(info->pages, 1);
        QVERIFY2(std::abs(info->pageSizePoints.width() - pointsOfMm(pageWidthMm)) < 1.0 &&
                     std::abs(info->pageSizePoints.height() - pointsOfMm(pageHeightMm)) < 1.0,
                 qPrintable(QStringLiteral("page %1 x %2 pt")
                                .arg(info->pageSizePoints.width())
                                .arg(info->pageSizePoints.height())));

        const QImage page = renderPdf(path, renderDpi);
        QVERIFY(!page.isNull());
        // The pictures at the printer's 1200 dpi held to 600.
        for (const PdfImage& image : pdfImages(path))
            QVERIFY2(image.xPpi >= 599 && image.yPpi >= 599, qPrintable(image.encoding));
        const double printableWidthMm = pageWidthMm - 2 * marginMm;
        const SheetOnPage sheet =
            findSheet(page, renderDpi, QPointF(marginMm, marginMm), printableWidthMm * 0.96);
        QVERIFY2(sheet.error.isEmpty(), qPrintable(sheet.error));
        QVERIFY2(std::abs(sheet.widthMm / printableWidthMm - 0.96) < 0.005,
                 qPrintable(QString::number(sheet.widthMm)));
        if (landscape) {
            // The sheet (1.31 : 1) at 96 % of the width is taller than the page (1.41 : 1): the
            // page edge cuts its bottom off.
            QVERIFY(sheet.cutByPageBottom);
            // Only the empty strip below the drawing is lost.
            QVERIFY(!sheet.rowsSeen.empty());
            QCOMPARE(sheet.rowsSeen.back(), lowestDrawnRow);
        } else {
            // 96 % of the width, about half the height of the page, nothing below it.
            QVERIFY(!sheet.cutByPageBottom);
            QVERIFY(sheet.heightMm);
            const double heightShare = *sheet.heightMm / pageHeightMm;
            QVERIFY2(heightShare > 0.45 && heightShare < 0.56,
                     qPrintable(QString::number(heightShare)));
            const int below = qRound((marginMm + *sheet.heightMm + 1) / 25.4 * renderDpi);
            for (int y = below; y < page.height(); y += 7)
                QVERIFY(darkRunsAlongRow(page, y).empty());
        }
    }

    // Cancelling the print dialog prints nothing and changes neither the printer nor the canvas.
    void cancelChangesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        setUpPdfPrinter(printer, path);
        const QPageLayout before = printer.pageLayout();
        ScriptedPrintServices services;
        services.acceptPrintDialog = false;
        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = 3;

        QCOMPARE(PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                            state.orientation(), printer),
                 PrintResult::Cancelled);
        QCOMPARE(services.printDialogs, 1);
        QVERIFY(!QFile::exists(path));
        QVERIFY(printer.pageLayout().isEquivalentTo(before));
        QVERIFY(canvas.picture().isNull());
        QCOMPARE(services.messages, 0);
    }

    // The canvas's image becomes its picture; the page is drawn from the conversion that made the
    // canvas: printing twice prints the same page, and a picture opened after the conversion is
    // printed only once it is converted too.
    void printingTwiceDrawsTheConvertedSheet()
    {
        QTemporaryDir dir;
        ScriptedPrintServices services;
        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = 0;
        state.paperOrientation = 1;
        auto print = [&](const QString& name) {
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, dir.filePath(name));
            return PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                              state.orientation(), printer);
        };
        auto render = [&](const QString& name) {
            return renderPdf(dir.filePath(name), renderDpi);
        };

        QCOMPARE(print(QStringLiteral("first.pdf")), PrintResult::Printed);
        QVERIFY(canvas.picture() == canvas.image());
        QCOMPARE(print(QStringLiteral("second.pdf")), PrintResult::Printed);
        const QImage first = render(QStringLiteral("first.pdf"));
        QVERIFY(!first.isNull());
        QVERIFY(first == render(QStringLiteral("second.pdf")));

        // 絵A turns dark: not on the page until converted. Piece 1 (絵A's top-right quarter) lies
        // in cell (2, 2), at (251, 201) on the sheet.
        (void)bench.fillSlotFromPicture(
            0, [] { return std::optional<QImage>(solidPicture(40, 40, qRgb(20, 20, 20))); }, 0);
        QCOMPARE(print(QStringLiteral("third.pdf")), PrintResult::Printed);
        QVERIFY(render(QStringLiteral("third.pdf")) == first);
        bench.convert();
        QCOMPARE(print(QStringLiteral("fourth.pdf")), PrintResult::Printed);
        const double pxPerMm = renderDpi / 25.4;
        const double scale = (210 - 2 * marginMm) * 0.96 * pxPerMm / sheetWidth;
        const int x = static_cast<int>(marginMm * pxPerMm + 350 * scale);
        const int y = static_cast<int>(marginMm * pxPerMm + 300 * scale);
        QVERIFY(!isDark(first, x, y));
        QVERIFY(isDark(render(QStringLiteral("fourth.pdf")), x, y));
    }

    // The pictures come at the printer's resolution, held to 300..600 dpi.
    void picturesAtThePrintersResolution_data()
    {
        QTest::addColumn<int>("printerDpi");
        QTest::addColumn<int>("pictureDpi");
        QTest::newRow("150 dpi") << 150 << 300;
        QTest::newRow("450 dpi") << 450 << 450;
        QTest::newRow("1200 dpi") << 1200 << 600;
    }
    void picturesAtThePrintersResolution()
    {
        QFETCH(int, printerDpi);
        QFETCH(int, pictureDpi);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        setUpPdfPrinter(printer, path);
        printer.setResolution(printerDpi);
        ScriptedPrintServices services;
        Workbench bench;
        makeLightSheet(bench);
        QCOMPARE(PrintSheet(services, nullptr, bench.canvas(), bench.sheetDrawing(), 0, 1, printer),
                 PrintResult::Printed);
        bool ok = false;
        const std::vector<PdfImage> images = pdfImages(path, &ok);
        QVERIFY(ok);
        QCOMPARE(images.size(), std::size_t(12)); // 絵A, 絵B and 絵C, four pieces each
        for (const PdfImage& image : images)
            QVERIFY2(std::abs(image.xPpi - pictureDpi) <= 1 &&
                         std::abs(image.yPpi - pictureDpi) <= 1,
                     qPrintable(QStringLiteral("%1 x %2 ppi").arg(image.xPpi).arg(image.yPpi)));
    }

    // A paperSize outside 0..3 prints on the paper the printer already has (US Letter here),
    // still in the chosen orientation.
    void otherPaperSizeKeepsThePrintersPaper()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        setUpPdfPrinter(printer, path);
        ScriptedPrintServices services;
        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = 4;

        QCOMPARE(PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                            state.orientation(), printer),
                 PrintResult::Printed);
        const auto info = pdfInfo(path);
        QVERIFY(info);
        QCOMPARE(qRound(info->pageSizePoints.width()), 792); // 11 inches, landscape
        QCOMPARE(qRound(info->pageSizePoints.height()), 612);
    }

    // The paper and orientation stay on the printer after the print, as the next print finds them.
    void printerKeepsTheSettings()
    {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        setUpPdfPrinter(printer, dir.filePath(QStringLiteral("page.pdf")));
        ScriptedPrintServices services;
        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = 1;

        QCOMPARE(PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                            state.orientation(), printer),
                 PrintResult::Printed);
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::JisB5);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    }

    // A print that cannot be made ends quietly as a failure, never as a success and never with a
    // crash; the steps before the failing one keep their effect.
    void failuresEndQuietly()
    {
        QTemporaryDir dir;
        ScriptedPrintServices services;
        ProgramState state;
        state.paperSize = 3;

        // The output cannot be opened.
        {
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, dir.filePath(QStringLiteral("missing/folder/page.pdf")));
            Workbench bench;
            makeLightSheet(bench);
            Surface& canvas = bench.canvas();
            QCOMPARE(PrintSheet(services, nullptr, canvas, bench.sheetDrawing(), state.paperSize,
                                state.orientation(), printer),
                     PrintResult::Failed);
            QVERIFY(canvas.picture() == canvas.image());
            QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A3);
        }
        // A sheet without area has no proportions to print.
        {
            const QString path = dir.filePath(QStringLiteral("empty.pdf"));
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, path);
            Surface canvas(0, 0);
            QCOMPARE(PrintSheet(services, nullptr, canvas, SheetDrawing{}, state.paperSize,
                                state.orientation(), printer),
                     PrintResult::Failed);
            QVERIFY(!QFile::exists(path));
        }
        QCOMPARE(services.messages, 0);
    }
};

QTEST_MAIN(tst_PrintSheet)
#include "tst_print_sheet.moc"
