#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "conversion/sheet_drawing.h"
#include "output/page_layout.h"
#include "surface/result.h"

namespace hakomiru {

struct ExportOptions;

// How makeSheet decodes the pictures: side by side on the machine's cores where memory allows, or
// one after another. The sheet is the same either way.
enum class Decoding
{
    SideBySide,
    OneAfterAnother,
};

// The sheet as the exporter made it: the canvas's image, and its drawing for the sharp outputs.
struct MadeSheet
{
    QImage canvas;
    SheetDrawing drawing;
};

// Makes the sheet as the program does from a fresh start, on a workbench of its own: each given
// picture opened into its slot (or, with `pasted`, placed as a pasted picture is) by `fitMode`
// and shown at its view; then cut, placed and drawn. A file is read at its boxes' size, and again
// at the size the sharp outputs need when there are any (the size the window keeps a picture at,
// when its view is not the default); when nothing shows the boxes (no sheet at its own size), only
// at that size, which then paints the boxes too (the canvas is then not the window's, byte for
// byte, but nothing shows it). Stops at the
// first picture that cannot be read; the failure's subject is that picture's path. Only the
// decoding may run in several threads; the pictures are placed and converted in order.
Result<MadeSheet> makeSheet(const ExportOptions& options, Decoding decoding = Decoding::SideBySide);

// How pictures that take `costs` bytes to read (in their order) are read side by side: the
// sizes of the runs of consecutive pictures read together, each run as long as its pictures
// together stay within pictureMemoryBudget (a picture beyond it alone). Sums to costs.size().
[[nodiscard]] std::vector<std::size_t> readingGroups(std::span<const qint64> costs);

// The printed page of the sheet as a PDF document: one page of the paper and orientation of
// `setup`, without margins (a PDF page has no unprintable edge), the sheet drawn as printing
// draws it, its pictures at `pictureDpi`.
Result<QByteArray> sheetPdf(const SheetDrawing& drawing, const PageSetup& setup, int pictureDpi);

} // namespace hakomiru
