#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "output/page_layout.h"
#include "surface/result.h"

namespace hakomiru {

struct ExportOptions;

// Makes the sheet as the program does from a fresh start, on a workbench of its own: each given
// picture opened into its slot (or, with `pasted`, placed as a pasted picture is) by `fitMode`;
// then cut, placed and drawn. The sheet is the canvas's image. Stops at the first picture that
// cannot be read; the failure's subject is that picture's path.
Result<QImage> makeSheet(const ExportOptions& options);

// The printed page of `sheet` as a PDF document: one page of the paper and orientation of
// `setup`, without margins (a PDF page has no unprintable edge), the sheet placed and painted as
// printing does.
Result<QByteArray> sheetPdf(const QImage& sheet, const PageSetup& setup);

} // namespace hakomiru
