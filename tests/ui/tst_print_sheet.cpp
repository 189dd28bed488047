#include <QtTest>

#include <cmath>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "ui/program_state.h"
#include "ui/print_sheet.h"
#include "ui/print_services.h"
#include "output/print_test_support.h"
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = static_cast<std::int16_t>(paperSize);
        state.paperOrientation = static_cast<std::int16_t>(orientation);

        QCOMPARE(
            PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(), printer),
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
            QVERIFY(!sheet.heightMm);
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 3;

        QCOMPARE(
            PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(), printer),
            PrintResult::Cancelled);
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
            return PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(),
                              printer);
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
        const double pxPerMm = renderDpi / 25.4;
        const double scale = (210 - 2 * marginMm) * 0.96 * pxPerMm / sheetWidth;
        const int bandRow = static_cast<int>(marginMm * pxPerMm + 650 * scale);
        const int bandColumn = static_cast<int>(marginMm * pxPerMm + 300 * scale);
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

        QCOMPARE(
            PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(), printer),
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
        Surface canvas = sheetCanvas();
        ProgramState state;
        state.paperSize = 1;

        QCOMPARE(
            PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(), printer),
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
            Surface canvas = sheetCanvas();
            QCOMPARE(PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(),
                                printer),
                     PrintResult::Failed);
            QVERIFY(canvas.picture() == canvas.image());
            QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A3);
        }
        // A canvas without area has no proportions to print.
        {
            const QString path = dir.filePath(QStringLiteral("empty.pdf"));
            QPrinter printer(QPrinter::HighResolution);
            setUpPdfPrinter(printer, path);
            Surface canvas(0, 0);
            QCOMPARE(PrintSheet(services, nullptr, canvas, state.paperSize, state.orientation(),
                                printer),
                     PrintResult::Failed);
            QVERIFY(!QFile::exists(path));
        }
        QCOMPARE(services.messages, 0);
    }
};

QTEST_MAIN(tst_PrintSheet)
#include "tst_print_sheet.moc"
