#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>

class QImage;
class QPagedPaintDevice;
class QPainter;

namespace hakomiru {

// The papers the sheet is printed on, by their code (paperSize, the print settings' option
// index): the page size, the option's caption and the exporter's name for it. The B sizes are
// the Japanese (JIS) ones.
struct Paper
{
    QPageSize::PageSizeId id;
    const char16_t* caption;
    const char* name;
};
inline constexpr std::array<Paper, 4> papers = {{{QPageSize::A4, u"Ａ４", "A4"},
                                                 {QPageSize::JisB5, u"Ｂ５", "B5"},
                                                 {QPageSize::JisB4, u"Ｂ４", "B4"},
                                                 {QPageSize::A3, u"Ａ３", "A3"}}};
// A fresh start prints on Ｂ４, landscape.
inline constexpr int defaultPaperSize = 2;

// The sheet is printed at this share of the page width, its height in proportion.
inline constexpr double sheetWidthFactor = 0.96;
// The sheet's top-left corner, in twips from the top-left corner of the printable area: 1/28800
// inch, far less than any printer's dot, so the sheet starts at the corner. The page has always
// been laid out so, and a page description (PDF) keeps the offset in its drawing, so it stays.
inline constexpr double sheetOffsetTwips = 0.05;
inline constexpr double twipsPerInch = 1440.0;
inline constexpr double millimetresPerInch = 25.4;

// What printing sets on the printer before it draws.
struct PageSetup
{
    // The paper to use; nothing keeps the printer's own paper.
    std::optional<QPageSize::PageSizeId> paper;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
};

// The paper for a paperSize value: the first of 0..3 that matches; any other value keeps the
// printer's paper. Orientation 0 is landscape, every other value portrait.
[[nodiscard]] PageSetup pageSetupFor(int paperSize, int paperOrientation);

// Sets the setup on a printer or PDF writer: the paper (when the setup names one) before the
// orientation. False when the device refuses either; the steps before the refused one keep their
// effect.
[[nodiscard]] bool applyPageSetup(QPagedPaintDevice& device, const PageSetup& setup);

// A length in millimetres as whole twips: nearest, ties to even, saturating at the 32-bit range.
[[nodiscard]] std::int32_t millimetresToTwips(double millimetres);

// The page width a printer with this layout reports, in whole twips: the width of its printable
// area (the paper less the left and right margins), in the page's orientation.
[[nodiscard]] std::int32_t printableWidthTwips(const QPageLayout& layout);

// Where the sheet goes on the page, in twips from the top-left corner of the printable area: at
// (0.05, 0.05), 96 % of `pageWidthTwips` wide, as tall as the canvas's proportions make it. The
// height is never compared with the page: a sheet taller than the page is cut by the page edge.
// Nothing for a canvas without area (or a page without width), whose proportions are undefined.
[[nodiscard]] std::optional<QRectF> sheetDestination(std::int32_t pageWidthTwips,
                                                     QSizeF canvasSize);

// A rectangle in twips as pixels of a device with `dotsPerInchX` x `dotsPerInchY` pixels to the
// inch.
[[nodiscard]] QRectF twipsToDevicePixels(const QRectF& twips, double dotsPerInchX,
                                         double dotsPerInchY);

// Paints `sheet` into `destination` (device pixels of the painter's device, in the painter's
// current coordinates), without blending it with the page. When the sheet is enlarged, its pixels
// are repeated (nearest neighbour), so its one-pixel lines stay solid black; where the device has
// fewer pixels than the sheet, the pixels are averaged instead, so that no line drops out between
// two device pixels. The sheet reaches a page description (PDF) losslessly and unsmoothed.
void paintSheetPage(QPainter& painter, const QImage& sheet, const QRectF& destination);

// Paints `sheet` as the one page of `device` (a printer or a PDF writer, its paper already set):
// at sheetDestination() for the printable width of the device's page layout and the proportions
// of `canvasSize`, converted to the device's pixels, whose origin is the printable area's
// top-left corner; painted by paintSheetPage(). Begins and ends the painting. False when there is
// no place for the sheet (a canvas without area) or the device refuses to paint.
[[nodiscard]] bool paintSheetOnPage(QPagedPaintDevice& device, const QImage& sheet,
                                    QSizeF canvasSize);

} // namespace hakomiru
