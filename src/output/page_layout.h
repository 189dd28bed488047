#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>

class QPagedPaintDevice;

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

// The page a setup describes when no printer gives one (the exporter's page and drawing): its
// paper without margins, Ｂ４ (the fresh start's paper) when the setup names none, in its
// orientation.
[[nodiscard]] QPageLayout marginlessPage(const PageSetup& setup);

// Where the sheet lies on a page and what its pictures come out at, for a canvas of
// `canvasSize` pixels on a page with `layout`, drawn at `dotsPerInchX` x `dotsPerInchY`.
struct SheetOnPage
{
    QRectF twips;        // see sheetDestination
    QRectF devicePixels; // the same in the device's pixels (see twipsToDevicePixels)
    // The width, in device pixels, that `sheetPixels` pixels of the canvas's width span.
    [[nodiscard]] double pixelsFor(double sheetPixels, double canvasWidth, double dotsPerInch) const
    {
        return twips.width() / twipsPerInch * dotsPerInch * sheetPixels / canvasWidth;
    }
};
// The sheet on a page: the one reckoning the print, the PDF page, the SVG drawing and the
// exporter's read size share. Nothing for a canvas or page without area.
[[nodiscard]] std::optional<SheetOnPage> sheetOnPage(const QPageLayout& layout, QSizeF canvasSize,
                                                     double dotsPerInchX, double dotsPerInchY);

// A rectangle in twips as pixels of a device with `dotsPerInchX` x `dotsPerInchY` pixels to the
// inch.
[[nodiscard]] QRectF twipsToDevicePixels(const QRectF& twips, double dotsPerInchX,
                                         double dotsPerInchY);

} // namespace hakomiru
