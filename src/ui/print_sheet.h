#pragma once

class QPrinter;
class QWidget;

namespace hakomiru {

class PlatformServices;
class Surface;
struct SheetDrawing;

// How a print ended. The program shows nothing in any case; the value is for whoever wants to
// know (tests, a status line).
enum class PrintResult
{
    Printed,   // the page was handed to the printer
    Cancelled, // the user cancelled the print dialog (nothing changed), or stopped the print
               // while it showed its progress (nothing was sent)
    Failed,    // the printer refused a setting, the page or the job; nothing (more) was printed
};

// Prints the sheet on one page of `printer`:
// 1. lets the user choose the printer in the print dialog (`services.choosePrinter`, modal to
//    `owner`), which opens with the paper of `paperSize` (0 A4, 1 JIS B5, 2 JIS B4, 3 A3; any
//    other value keeps the printer's paper) and the orientation `paperOrientation` (0 landscape,
//    otherwise portrait); a cancel ends here with the printer as it was and the canvas untouched;
// 2. makes the canvas's image its picture (`Picture` := `Image`), the picture that is printed;
// 3. names the job ハコミル, sets the paper of `paperSize` again, overriding a paper chosen in the
//    print dialog, and keeps the orientation the print dialog ended with: the user may turn the
//    page there, and the sheet is then laid out for that orientation;
// 4. draws the sheet at 0.05 twips from the top-left corner of the printable area, 96 % of the
//    printable width wide, its height in proportion (a sheet taller than the page is cut by the
//    page edge), and ends the job. The sheet is drawn from `drawing` (paintSharpSheetOnPage), the
//    conversion that made the canvas: its pictures at the printer's resolution held to 300..600
//    dpi, its lines as lines. A print that takes longer than half a second shows its progress in
//    a dialog modal to `owner`, which stops it before anything is sent.
// A failing step ends the print at once; the steps before it keep their effect.
//
// `printer` outlives the call and keeps the paper and orientation set here, as a program-wide
// printer does.
PrintResult PrintSheet(PlatformServices& services, QWidget* owner, Surface& canvas,
                       const SheetDrawing& drawing, int paperSize, int paperOrientation,
                       QPrinter& printer);

} // namespace hakomiru
