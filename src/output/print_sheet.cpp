#include "output/print_sheet.h"

#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "app/program_state.h"
#include "output/page_layout.h"
#include "surface/platform_services.h"
#include "surface/surface.h"

namespace hakomiru {

PrintResult PrintSheet(PlatformServices& services, Surface& canvas, const ProgramState& state,
                       QPrinter& printer)
{
    if (!services.choosePrinter(printer))
        return PrintResult::Cancelled;

    canvas.setPicture(canvas.image());

    // Set after the print dialog, so that the settings dialog's choice wins over the dialog's.
    const PageSetup setup = pageSetupFor(state.paperSize, state.orientation());
    if (setup.paper && !printer.setPageSize(QPageSize(*setup.paper)))
        return PrintResult::Failed;
    if (!printer.setPageOrientation(setup.orientation))
        return PrintResult::Failed;

    // The printable width, not the paper's: the painter's origin is the printable area's corner,
    // so 96 % of the paper width could reach past the right margin.
    const std::int32_t pageWidth = printableWidthTwips(printer.pageLayout());
    const auto destination = sheetDestination(pageWidth, QSizeF(canvas.width(), canvas.height()));
    if (!destination)
        return PrintResult::Failed;

    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::Failed;
    paintSheetPage(painter, canvas.picture(),
                   twipsToDevicePixels(*destination, printer.logicalDpiX(), printer.logicalDpiY()));
    if (!painter.end())
        return PrintResult::Failed;
    const QPrinter::PrinterState endState = printer.printerState();
    if (endState == QPrinter::Error || endState == QPrinter::Aborted)
        return PrintResult::Failed;
    return PrintResult::Printed;
}

} // namespace hakomiru
