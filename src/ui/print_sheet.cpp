#include "ui/print_sheet.h"

#include <QPrinter>

#include "output/page_layout.h"
#include "surface/program_title.h"
#include "surface/surface.h"
#include "ui/platform_services.h"

namespace hakomiru {

PrintResult PrintSheet(PlatformServices& services, QWidget* owner, Surface& canvas, int paperSize,
                       int paperOrientation, QPrinter& printer)
{
    if (!services.choosePrinter(owner, printer))
        return PrintResult::Cancelled;

    canvas.setPicture(canvas.image());
    // The job's name in the printer queue.
    printer.setDocName(programTitle);

    // Set after the print dialog, so that the settings dialog's choice wins over the dialog's.
    if (!applyPageSetup(printer, pageSetupFor(paperSize, paperOrientation)))
        return PrintResult::Failed;
    if (!paintSheetOnPage(printer, canvas.picture(), QSizeF(canvas.width(), canvas.height())))
        return PrintResult::Failed;
    const QPrinter::PrinterState endState = printer.printerState();
    if (endState == QPrinter::Error || endState == QPrinter::Aborted)
        return PrintResult::Failed;
    return PrintResult::Printed;
}

} // namespace hakomiru
