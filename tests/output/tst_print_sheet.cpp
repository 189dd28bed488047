#include <QtTest>

#include <cmath>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "app/program_state.h"
#include "output/print_sheet.h"
#include "output/print_services.h"
#include "output/print_test_support.h"
#include "surface/surface.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

constexpr int renderDpi = 200;
constexpr double marginMm = 5.0;

double pixelsOfMm(double millimetres)
{
    return millimetres / 25.4 * renderDpi;
}

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

Surface sheetCanvas()
{
    Surface canvas(sheetWidth, sheetHeight);
    canvas.paintPicture(linedSheet(), 0, 0);
    return canvas;
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
        const struct
        {
            const char* name;
            double shortMm;
            double longMm;
        } papers[] = {
            {"A4", 210, 297}, {"JIS B5", 182, 257}, {"JIS B4", 257, 364}, {"A3", 297, 420}};
        for (int size = 0; size < 4; ++size)
            for (int orientation = 0; orientation < 2; ++orientation)
                QTest::addRow("%s %s", papers[size].name, orientation ? "portrait" : "landscape")
                    << size << orientation << papers[size].shortMm << papers[size].longMm;
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = static_cast<std::int16_t>(paperSize);
        state.paperOrientation = static_cast<std::int16_t>(orientation);

        QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Printed);
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
        // Canvas pixel c (its centre) lands at margin + 0.05 twips + (c + 0.5) * scale.
        const double scale = pixelsOfMm((pageWidthMm - 2 * marginMm) * 0.96) / sheetWidth;
        const double origin = pixelsOfMm(marginMm);
        auto at = [&](int canvasPixel) {
            return origin + (canvasPixel + 0.5) * scale;
        };
        // A quarter of a millimetre: the renderer snaps the picture to whole pixels.
        const double tolerance = 2.0;

        const int scanRow = static_cast<int>(at(50));
        const std::vector<double> columns = darkRunsAlongRow(page, scanRow);
        QCOMPARE(columns.size(), sheetColumns().size());
        for (int x : sheetColumns())
            QVERIFY2(hasRunNear(columns, at(x), tolerance),
                     qPrintable(QStringLiteral("column %1 expected near %2, found %3")
                                    .arg(x)
                                    .arg(at(x))
                                    .arg(runsText(columns))));

        const int scanColumn = static_cast<int>(at(150));
        const std::vector<double> rows = darkRunsDownColumn(page, scanColumn);
        const double pageBottom = page.height();
        for (int y : sheetRows()) {
            const bool onPage = at(y) < pageBottom - tolerance;
            QVERIFY2(hasRunNear(rows, at(y), tolerance) == onPage,
                     qPrintable(QStringLiteral("row %1 expected %2 near %3, found %4")
                                    .arg(y)
                                    .arg(onPage ? "on the page" : "cut off")
                                    .arg(at(y))
                                    .arg(runsText(rows))));
        }

        if (landscape) {
            // Taller than the page: the sheet's frame is cut by the bottom edge, so the frame's
            // sides still run down the last row of the page.
            QVERIFY(at(sheetHeight - 1) > pageBottom);
            const int lastRow = page.height() - 1;
            const std::vector<double> lastColumns = darkRunsAlongRow(page, lastRow);
            QVERIFY2(hasRunNear(lastColumns, at(0), tolerance) &&
                         hasRunNear(lastColumns, at(sheetWidth - 1), tolerance),
                     qPrintable(runsText(lastColumns)));
        } else {
            // 96 % of the printable width and about half the height of the page.
            const double widthShare =
                (at(sheetWidth - 1) - at(0) + scale) / pixelsOfMm(pageWidthMm - 2 * marginMm);
            QVERIFY(std::abs(widthShare - 0.96) < 0.005);
            const double heightShare = (at(sheetHeight - 1) + scale) / pixelsOfMm(pageHeightMm);
            QVERIFY2(heightShare > 0.45 && heightShare < 0.56,
                     qPrintable(QString::number(heightShare)));
            for (int y = qRound(at(sheetHeight - 1)) + 3; y < page.height(); y += 7)
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 3;

        QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Cancelled);
        QCOMPARE(services.printDialogs, 1);
        QVERIFY(!QFile::exists(path));
        QVERIFY(printer.pageLayout().isEquivalentTo(before));
        QVERIFY(canvas.picture().isNull());
        QCOMPARE(services.messages, 0);
    }

    // The canvas's image becomes its picture, and the picture is what is printed: printing twice
    // prints the same sheet, and a change drawn on the canvas in between is printed too.
    void printingTwiceTakesThePictureAgain()
    {
        QTemporaryDir dir;
        ScriptedPrintServices services;
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 0;
        state.paperOrientation = 1;
        auto print = [&](const QString& name) {
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, dir.filePath(name));
            return PrintSheet(services, canvas, state, printer);
        };

        QCOMPARE(print(QStringLiteral("first.pdf")), PrintResult::Printed);
        QVERIFY(canvas.picture() == canvas.image());
        QCOMPARE(print(QStringLiteral("second.pdf")), PrintResult::Printed);
        const QImage first = renderPdf(dir.filePath(QStringLiteral("first.pdf")), renderDpi);
        const QImage second = renderPdf(dir.filePath(QStringLiteral("second.pdf")), renderDpi);
        QVERIFY(!first.isNull());
        QVERIFY(first == second);

        // A black band across the middle of the sheet, then a third print.
        for (int y = 640; y < 660; ++y)
            canvas.line(0, y, sheetWidth - 1, y, 0xff000000);
        QCOMPARE(print(QStringLiteral("third.pdf")), PrintResult::Printed);
        const QImage third = renderPdf(dir.filePath(QStringLiteral("third.pdf")), renderDpi);
        const double scale = pixelsOfMm((210 - 2 * marginMm) * 0.96) / sheetWidth;
        const int bandRow = static_cast<int>(pixelsOfMm(marginMm) + 650 * scale);
        const int bandColumn = static_cast<int>(pixelsOfMm(marginMm) + 300 * scale);
        QVERIFY(!isDark(second, bandColumn, bandRow));
        QVERIFY(isDark(third, bandColumn, bandRow));
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 4;

        QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Printed);
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 1;

        QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Printed);
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
            Surface canvas = sheetCanvas();
            QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Failed);
            QVERIFY(canvas.picture() == canvas.image());
            QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A3);
        }
        // A canvas without area has no proportions to print.
        {
            const QString path = dir.filePath(QStringLiteral("empty.pdf"));
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, path);
            Surface canvas(0, 0);
            QCOMPARE(PrintSheet(services, canvas, state, printer), PrintResult::Failed);
            QVERIFY(!QFile::exists(path));
        }
        QCOMPARE(services.messages, 0);
    }
};

QTEST_MAIN(tst_PrintSheet)
#include "tst_print_sheet.moc"
