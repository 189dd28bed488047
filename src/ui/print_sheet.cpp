#include "ui/print_sheet.h"

#include <QPrinter>
#include <QProgressDialog>

#include "conversion/sheet.h"
#include "output/page_layout.h"
#include "output/sharp_page.h"
#include "surface/program_title.h"
#include "surface/surface.h"
#include "ui/platform_services.h"

namespace hakomiru {

namespace {

// How long a print may take before it shows its progress, in milliseconds.
constexpr int printProgressDelay = 500;

} // namespace

PrintResult PrintSheet(PlatformServices& services, QWidget* owner, Surface& canvas,
                       const SheetDrawing& drawing, int paperSize, int paperOrientation,
                       QPrinter& printer)
{
    // The print dialog opens with the settings dialog's paper and orientation; the page is
    // printed in the orientation it ends with, so that turning the page there is not ignored.
    const QPageLayout before = printer.pageLayout();
    PageSetup setup = pageSetupFor(paperSize, paperOrientation);
    (void)applyPageSetup(printer, setup);
    if (!services.choosePrinter(owner, printer)) {
        printer.setPageLayout(before);
        return PrintResult::Cancelled;
    }
    setup.orientation = printer.pageLayout().orientation();

    canvas.setPicture(canvas.image());
    // The job's name in the printer queue.
    printer.setDocName(programTitle);

    // The paper is set again after the print dialog: the settings dialog's choice wins there.
    if (!applyPageSetup(printer, setup))
        return PrintResult::Failed;
    // A print that takes longer than half a second shows how far it has come, and can be stopped
    // then: the page is made whole before anything reaches the printer, so nothing half-printed
    // is sent.
    QProgressDialog progress(QStringLiteral("いんさつしています…"), QStringLiteral("やめる"), 0,
                             pieceCount, owner);
    progress.setWindowTitle(programTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(printProgressDelay);
    progress.setValue(0);
    const bool painted = paintSharpSheetOnPage(
        printer, drawing, pictureDpiFor(printer.resolution()), [&progress](int done, int) {
            progress.setValue(done);
            return !progress.wasCanceled();
        });
    const bool stopped = progress.wasCanceled();
    progress.reset();
    if (!painted)
        return stopped ? PrintResult::Cancelled : PrintResult::Failed;
    const QPrinter::PrinterState endState = printer.printerState();
    if (endState == QPrinter::Error || endState == QPrinter::Aborted)
        return PrintResult::Failed;
    return PrintResult::Printed;
}

} // namespace hakomiru
