#include "output/page_layout.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

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

QRectF twipsToDevicePixels(const QRectF& twips, double dotsPerInchX, double dotsPerInchY)
{
    const double scaleX = dotsPerInchX / twipsPerInch;
    const double scaleY = dotsPerInchY / twipsPerInch;
    return QRectF(twips.x() * scaleX, twips.y() * scaleY, twips.width() * scaleX,
                  twips.height() * scaleY);
}

void paintSheetPage(QPainter& painter, const QImage& sheet, const QRectF& destination)
{
    if (sheet.isNull() || destination.isEmpty())
        return;
    // Along an axis where the device has fewer pixels than the sheet, the sheet is first averaged
    // down to the device's pixels (area averaging keeps a thin line as a grey one; sampling would
    // drop it). Along the others it keeps its pixels, which the device repeats.
    const QRectF onDevice = painter.transform().mapRect(destination);
    const int width = std::min(sheet.width(), std::max(1, qRound(onDevice.width())));
    const int height = std::min(sheet.height(), std::max(1, qRound(onDevice.height())));
    const QImage picture =
        width == sheet.width() && height == sheet.height()
            ? sheet
            : sheet.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // A page description (PDF, the print spool) would otherwise keep the sheet as a JPEG, whose
    // ringing greys the lines and stains the white around them.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    painter.drawImage(destination, picture);
    painter.restore();
}

bool paintSheetOnPage(QPagedPaintDevice& device, const QImage& sheet, QSizeF canvasSize)
{
    // The printable width, not the paper's: the painter's origin is the printable area's corner,
    // so 96 % of the paper width could reach past the right margin.
    const std::int32_t pageWidth = printableWidthTwips(device.pageLayout());
    const std::optional<QRectF> destination = sheetDestination(pageWidth, canvasSize);
    if (!destination)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    paintSheetPage(painter, sheet,
                   twipsToDevicePixels(*destination, device.logicalDpiX(), device.logicalDpiY()));
    return painter.end();
}

} // namespace hakomiru
