#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include "output/page_layout.h"

namespace hakomiru {

struct ExportOptions;

// The sheet made from the pictures, or the picture that could not be read and why.
struct SheetMaking
{
    QImage sheet;
    QString failedPicture;
    QString error;
};

// Makes the sheet as the program does from a fresh start: every slot's boxes, piece boxes and the
// canvas of the program's sizes with `backColor`; each given picture opened into its slot (or, with
// `pasted`, placed as a pasted picture is) by `fitMode`; then cut, placed and drawn. The sheet is
// the canvas's image. Stops at the first picture that cannot be read.
[[nodiscard]] SheetMaking makeSheet(const ExportOptions& options, QRgb backColor);

// The printed page of `sheet` as a PDF document: one page of the paper and orientation of
// `setup`, without margins (a PDF page has no unprintable edge), the sheet placed and painted as
// printing does. Nothing when the page cannot be made; `error` then says why.
[[nodiscard]] std::optional<QByteArray> sheetPdf(const QImage& sheet, const PageSetup& setup,
                                                 QString* error = nullptr);

} // namespace hakomiru
