#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

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

// Makes the sheet as the program does from a fresh start, on a workbench of its own: each given
// picture opened into its slot (or, with `pasted`, placed as a pasted picture is) by `fitMode`;
// then cut, placed and drawn. The sheet is the canvas's image. Stops at the first picture that
// cannot be read; the failure's subject is that picture's path. Only the decoding may run in
// several threads; the pictures are placed and converted in order.
Result<QImage> makeSheet(const ExportOptions& options, Decoding decoding = Decoding::SideBySide);

// The printed page of `sheet` as a PDF document: one page of the paper and orientation of
// `setup`, without margins (a PDF page has no unprintable edge), the sheet placed and painted as
// printing does.
Result<QByteArray> sheetPdf(const QImage& sheet, const PageSetup& setup);

} // namespace hakomiru
