#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "conversion/sheet.h"
#include "output/page_layout.h"

namespace hakomiru {

// One picture given on the command line and the slot it fills.
struct SlotPicture
{
    int slot = 0;
    QString path;
};

// What one run of the exporter makes.
struct ExportOptions
{
    // The pictures in the order 絵A, 絵B, 絵C; slots not given stay blank.
    std::array<std::optional<QString>, visibleSlots.size()> pictures;
    // fitMode: 0 the whole picture visible, 1 the box covered.
    int fitMode = 0;
    // Fit as a picture pasted from the clipboard is fitted, instead of as an opened file.
    bool pasted = false;
    // Where the sheet goes (PNG when the name ends in .png, otherwise BMP); empty for none.
    QString sheetPath;
    // Where the printed page goes as a PDF file; empty for none.
    QString pdfPath;
    // The paper and orientation of the page, as the print settings number them: paperSize as
    // `papers` has them; orientation 0 landscape, 1 portrait. A fresh start prints on B4
    // landscape.
    int paperSize = defaultPaperSize;
    int paperOrientation = 0;

    // The slots the pictures fill (see visibleSlots), only those given.
    [[nodiscard]] std::vector<SlotPicture> slotPictures() const;
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
// in that order. Each option may be given once. At least one of -o and --pdf is needed; --paper
// and --orientation only go with --pdf; no two of the files may be the same.
[[nodiscard]] ExportCommand parseExportArguments(const QStringList& arguments);

// The usage text that --help prints.
[[nodiscard]] QString exportUsage(const QString& programName);

} // namespace hakomiru
