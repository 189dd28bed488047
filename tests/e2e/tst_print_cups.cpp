// Prints the sheet through the real print system: a CUPS queue on the CUPS-PDF backend (set up by
// cups-pdf-printer.sh) as the default printer, the platform's print dialog answered with OK, and
// the PDF file that comes out of the queue measured.

#include <QtTest>

#include <QApplication>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "ui/program_state.h"
#include "ui/print_services.h"
#include "ui/print_sheet.h"
#include "output/print_test_support.h"
#include "conversion/workbench.h"
#include "surface/surface.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

constexpr int renderDpi = 150;

QStringList pdfFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

bool queueIsEmpty(const QString& queue)
{
    bool ok = false;
    const QString jobs = runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue}, &ok);
    return ok && jobs.trimmed().isEmpty();
}

} // namespace

class tst_PrintCups : public QObject
{
    Q_OBJECT

public:
    bool cupsMissing = false;

private slots:
    void initTestCase()
    {
        QVERIFY(m_out.isValid());
        QProcess setup;
        setup.start(QStringLiteral("bash"), {QStringLiteral(HAKOMIRU_CUPS_SETUP), m_out.path()});
        QVERIFY(setup.waitForFinished(120000));
        const QString messages = QString::fromLocal8Bit(setup.readAllStandardError()).trimmed();
        if (setup.exitCode() == 77) {
            cupsMissing = true;
            QSKIP(qPrintable(QStringLiteral("No CUPS print system to print through: ") + messages));
        }
        QVERIFY2(setup.exitCode() == 0, qPrintable(messages));
        m_queue = QString::fromLocal8Bit(setup.readAllStandardOutput()).trimmed();
        QVERIFY(!m_queue.isEmpty());
    }

    void printsThroughTheDefaultPrinter_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<double>("shortMm");
        QTest::addColumn<double>("longMm");
        // The settings say landscape, and the user turns the page to portrait in the print
        // dialog's properties.
        QTest::addColumn<bool>("turnedInDialog");
        // The program's start values: Ｂ４, orientation not yet chosen (landscape).
        QTest::newRow("JIS B4 landscape") << 2 << false << 257.0 << 364.0 << false;
        QTest::newRow("A4 portrait") << 0 << true << 210.0 << 297.0 << false;
        QTest::newRow("A4, turned to portrait in the print dialog")
            << 0 << true << 210.0 << 297.0 << true;
    }
    void printsThroughTheDefaultPrinter()
    {
        QFETCH(int, paperSize);
        QFETCH(bool, portrait);
        QFETCH(double, shortMm);
        QFETCH(double, longMm);
        QFETCH(bool, turnedInDialog);

        QPrinter printer(QPrinter::HighResolution);
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        QCOMPARE(printer.printerName(), m_queue);

        Workbench bench;
        makeLightSheet(bench);
        Surface& canvas = bench.canvas();
        ProgramState state;
        state.paperSize = static_cast<std::int16_t>(paperSize);
        if (portrait && !turnedInDialog)
            state.paperOrientation = 1;

        // The user presses OK in the print dialog as soon as it is up; or first opens its
        // properties, chooses portrait there and presses OK.
        bool answered = false;
        bool turned = false;
        QTimer answer;
        answer.setInterval(50);
        connect(&answer, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<QPrintDialog*>(modal);
            if (dialog != nullptr && turnedInDialog && !turned) {
                auto* properties = dialog->findChild<QPushButton*>("properties");
                QVERIFY(properties);
                // Clicked once this call has returned: the properties are a dialog of their own.
                QTimer::singleShot(0, properties, &QPushButton::click);
            } else if (dialog != nullptr) {
                answered = true;
                dialog->accept();
            } else if (turnedInDialog && !turned && modal != nullptr) {
                auto* upright = modal->findChild<QRadioButton*>("portrait");
                QVERIFY(upright);
                upright->click();
                turned = true;
                QVERIFY(qobject_cast<QDialog*>(modal));
                static_cast<QDialog*>(modal)->accept();
            }
        });
        answer.start();

        const QStringList before = pdfFiles(m_out.path());
        PrintDialogServices services;
        const PrintResult result = PrintSheet(services, nullptr, canvas, bench.sheetDrawing(),
                                              state.paperSize, state.orientation(), printer);
        answer.stop();
        QVERIFY(answered);
        QCOMPARE(turned, turnedInDialog);
        QCOMPARE(result, PrintResult::Printed);

        QString path;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QStringList now = pdfFiles(m_out.path());
                for (const QString& name : now)
                    if (!before.contains(name))
                        path = m_out.filePath(name);
                return !path.isEmpty() && queueIsEmpty(m_queue);
            }(),
            90000);

        // The job is named ハコミル in the queue: CUPS-PDF names the file after the job's name,
        // each of its bytes written in octal.
        QStringList jobName;
        for (const char byte : QString("ハコミル").toUtf8())
            jobName << QString::number(uchar(byte), 8);
        QVERIFY2(QFileInfo(path).fileName().startsWith(jobName.join('_') + "-job_"),
                 qPrintable(path));

        const auto info = pdfInfo(path);
        QVERIFY2(info, qPrintable(path));
        // The pictures of the page that came out of the queue: 300 dpi or more. The program sends
        // them at 600 dpi (Qt gives a CUPS printer 1200); CUPS-PDF's Ghostscript brings every
        // picture above 450 dpi down to its 300, in whole pixels, which pdfimages may show as 299
        // (270 pixels over 0.903 inches).
        bool listed = false;
        const std::vector<PdfImage> images = pdfImages(path, &listed);
        QVERIFY(listed);
        QCOMPARE(images.size(), std::size_t(12));
        for (const PdfImage& image : images)
            QVERIFY2(image.xPpi >= 299 && image.yPpi >= 299,
                     qPrintable(QStringLiteral("%1 x %2 ppi").arg(image.xPpi).arg(image.yPpi)));
        QCOMPARE(info->pages, 1);
        // The paper leaves the printer upright; a landscape page is turned onto it. The printer
        // describes its papers in whole points (its JIS B4 is 727 x 1029), hence 1 mm of play,
        // still far from the next paper size.
        const double widthPt = info->pageSizePoints.width();
        const double heightPt = info->pageSizePoints.height();
        const QSizeF expectedPt(shortMm / 25.4 * 72, longMm / 25.4 * 72);
        QVERIFY2(std::abs(std::min(widthPt, heightPt) - expectedPt.width()) < 3 &&
                     std::abs(std::max(widthPt, heightPt) - expectedPt.height()) < 3,
                 qPrintable(QStringLiteral("page %1 x %2 pt").arg(widthPt).arg(heightPt)));

        QImage page = renderPdf(path, renderDpi);
        QVERIFY(!page.isNull());
        if (!portrait && page.height() > page.width()) {
            // The landscape page was turned a quarter anticlockwise onto the paper: turn it back.
            page = page.transformed(QTransform().rotate(90));
        }
        QCOMPARE(page.width() > page.height(), !portrait);

        const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Millimeter);
        const double pageWidthMm = portrait ? shortMm : longMm;
        QVERIFY(printable.width() > pageWidthMm * 0.9 && printable.width() <= pageWidthMm);
        // The print system centres the page on its paper; where the two differ a little in size
        // (the printer's JIS B4 is 1.5 x 3 pt smaller), everything moves by half the difference.
        const QSizeF pagePt = printer.pageLayout().fullRect(QPageLayout::Point).size();
        const QSizeF paperPt =
            portrait ? QSizeF(std::min(widthPt, heightPt), std::max(widthPt, heightPt))
                     : QSizeF(std::max(widthPt, heightPt), std::min(widthPt, heightPt));
        const QPointF centring((paperPt.width() - pagePt.width()) / 2 * 25.4 / 72,
                               (paperPt.height() - pagePt.height()) / 2 * 25.4 / 72);
        const SheetOnPage sheet =
            findSheet(page, renderDpi, printable.topLeft() + centring, printable.width() * 0.96);
        QVERIFY2(sheet.error.isEmpty(), qPrintable(sheet.error));
        if (portrait) {
            QVERIFY(sheet.heightMm);
            const double heightShare = *sheet.heightMm / longMm;
            QVERIFY2(heightShare > 0.45 && heightShare < 0.56,
                     qPrintable(QString::number(heightShare)));
        } else {
            QVERIFY(sheet.cutByPageBottom);
            QVERIFY(!sheet.rowsSeen.empty());
            QCOMPARE(sheet.rowsSeen.back(), lowestDrawnRow);
        }
    }

private:
    QTemporaryDir m_out;
    QString m_queue;
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    tst_PrintCups test;
    const int failures = QTest::qExec(&test, argc, argv);
    // 77 tells CTest the test was skipped, not passed.
    return failures == 0 && test.cupsMissing ? 77 : failures;
}

#include "tst_print_cups.moc"
