#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "conversion/sheet.h"
#include "intake/slot_view.h"
#include "output/page_layout.h"

namespace hakomiru {

// One picture given on the command line and the slot it fills.
struct SlotPicture
{
    int slot = 0;
    QString path;
    SlotView view;
};

// What one run of the exporter makes.
struct ExportOptions
{
    // The pictures in the order 絵A, 絵B, 絵C; slots not given stay blank.
    std::array<std::optional<QString>, visibleSlots.size()> pictures;
    // The view each of those pictures is shown at, as the window's preview sets it; held within
    // its limits when the picture is placed.
    std::array<SlotView, visibleSlots.size()> views{};
    // fitMode: 0 the whole picture visible, 1 the box covered.
    int fitMode = 0;
    // Fit as a picture pasted from the clipboard is fitted, instead of as an opened file.
    bool pasted = false;
    // Where the sheet goes (PNG when the name ends in .png, otherwise BMP); empty for none.
    QString sheetPath;
    // The sheet drawn this many times as large, 1 to 4 (1: the window's sheet, byte for byte).
    int scale = 1;
    // Where the printed page goes as a PDF file; empty for none.
    QString pdfPath;
    // Where the sheet goes as an SVG drawing with cut and fold layers; empty for none.
    QString svgPath;
    // Where the folded box goes as a PNG picture, its three states side by side; empty for none.
    QString boxPath;
    // The resolution of the pictures on the PDF page and in the SVG drawing, 300 to 600 dpi.
    int pictureDpi = 300;
    // The paper and orientation of the page, as the print settings number them: paperSize as
    // `papers` has them; orientation 0 landscape, 1 portrait. A fresh start prints on B4
    // landscape.
    int paperSize = defaultPaperSize;
    int paperOrientation = 0;

    // The slots the pictures fill (see visibleSlots), only those given.
    [[nodiscard]] std::vector<SlotPicture> slotPictures() const;
    // Whether anything is drawn sharper than the canvas (a page, a drawing or a larger sheet), so
    // that the slots must keep their pictures larger than their boxes.
    [[nodiscard]] bool drawsSharp() const
    {
        return !pdfPath.isEmpty() || !svgPath.isEmpty() || scale > 1;
    }
};

// What the command line asks for.
struct ExportCommand
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Error, // the arguments are wrong; `error` says how
    };
    Action action = Action::Error;
    ExportOptions options;
    QString error;
};

// Reads the arguments (without the program name). An option's value is always the next argument,
// whatever it begins with, or follows "=" in the same argument for the long options
// (--fit=cover). "--" ends the options: the arguments after it are pictures for 絵A, 絵B and 絵C
// in that order. Each option may be given once. A view (--view-a ZOOM,DX,DY) needs its slot's
// picture. At least one of -o, --pdf, --svg and --box is needed;
// --paper, --orientation and --dpi only go with --pdf or --svg, --scale only with -o; no two of the
// files may be the same.
[[nodiscard]] ExportCommand parseExportArguments(const QStringList& arguments);

// The usage text that --help prints.
[[nodiscard]] QString exportUsage(const QString& programName);

} // namespace hakomiru
