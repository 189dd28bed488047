#include "output/page_layout.h"

#include <algorithm>
#include <cmath>

#include <QPagedPaintDevice>

#include "surface/rounding.h"

namespace hakomiru {

PageSetup pageSetupFor(int paperSize, int paperOrientation)
{
    PageSetup setup;
    for (std::size_t index = 0; index < papers.size(); ++index) {
        if (paperSize == static_cast<int>(index)) {
            setup.paper = papers[index].id;
            break;
        }
    }
    setup.orientation = paperOrientation == 0 ? QPageLayout::Landscape : QPageLayout::Portrait;
    return setup;
}

bool applyPageSetup(QPagedPaintDevice& device, const PageSetup& setup)
{
    if (setup.paper && !device.setPageSize(QPageSize(*setup.paper)))
        return false;
    return device.setPageOrientation(setup.orientation);
}

std::int32_t millimetresToTwips(double millimetres)
{
    return toInt(millimetres / millimetresPerInch * twipsPerInch);
}

std::int32_t printableWidthTwips(const QPageLayout& layout)
{
    return millimetresToTwips(layout.paintRect(QPageLayout::Millimeter).width());
}

std::optional<QRectF> sheetDestination(std::int32_t pageWidthTwips, QSizeF canvasSize)
{
    if (!(canvasSize.width() > 0) || !(canvasSize.height() > 0) || pageWidthTwips <= 0)
        return std::nullopt;
    const double printWidth = pageWidthTwips * sheetWidthFactor;
    const double printHeight = canvasSize.height() * (printWidth / canvasSize.width());
    if (!std::isfinite(printHeight))
        return std::nullopt;
    return QRectF(sheetOffsetTwips, sheetOffsetTwips, printWidth, printHeight);
}

QPageLayout marginlessPage(const PageSetup& setup)
{
    return QPageLayout(QPageSize(setup.paper.value_or(papers[std::size_t(defaultPaperSize)].id)),
                       setup.orientation, QMarginsF());
}

std::optional<SheetOnPage> sheetOnPage(const QPageLayout& layout, QSizeF canvasSize,
                                       double dotsPerInchX, double dotsPerInchY)
{
    const std::optional<QRectF> twips = sheetDestination(printableWidthTwips(layout), canvasSize);
    if (!twips)
        return std::nullopt;
    return SheetOnPage{*twips, twipsToDevicePixels(*twips, dotsPerInchX, dotsPerInchY)};
}

QRectF twipsToDevicePixels(const QRectF& twips, double dotsPerInchX, double dotsPerInchY)
{
    const double scaleX = dotsPerInchX / twipsPerInch;
    const double scaleY = dotsPerInchY / twipsPerInch;
    return QRectF(twips.x() * scaleX, twips.y() * scaleY, twips.width() * scaleX,
                  twips.height() * scaleY);
}

} // namespace hakomiru
