#include "intake/slot_view.h"

#include <algorithm>
#include <cmath>

#include "picture/picture_file.h"
#include "surface/rounding.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

double heldZoom(double zoom)
{
    if (!std::isfinite(zoom))
        return minimumZoom;
    return std::clamp(std::round(zoom * 10000) / 10000, minimumZoom, maximumZoom);
}

// The whole shift that keeps a zoomed side of `extent` source-box pixels over the centre.
int heldShift(int shift, double zoom, float extent)
{
    const int most = toInt(std::floor(zoom * double(extent) / 2));
    return std::clamp(shift, -most, most);
}

} // namespace

std::vector<QImage> pictureLadder(const QImage& kept, QSize smallest)
{
    std::vector<QImage> ladder;
    if (kept.isNull())
        return ladder;
    ladder.push_back(kept);
    for (;;) {
        const QSize half(ladder.back().width() / 2, ladder.back().height() / 2);
        if (half.width() < std::max(1, smallest.width()) ||
            half.height() < std::max(1, smallest.height()))
            break;
        ladder.push_back(averagedReduction(ladder.back(), half));
    }
    std::reverse(ladder.begin(), ladder.end());
    return ladder;
}

Fit viewedFit(const Fit& fit, const SlotView& view, double boxWidth, double boxHeight,
              double boxScale)
{
    // In double, every step is exact for the default view: x - c + c gives x back.
    const double centreX = boxWidth / 2;
    const double centreY = boxHeight / 2;
    Fit viewed = fit;
    viewed.holderWidth = static_cast<float>(view.zoom * double(fit.holderWidth));
    viewed.holderHeight = static_cast<float>(view.zoom * double(fit.holderHeight));
    viewed.offsetX = static_cast<float>(centreX + view.zoom * (double(fit.offsetX) - centreX) +
                                        view.dx * boxScale);
    viewed.offsetY = static_cast<float>(centreY + view.zoom * (double(fit.offsetY) - centreY) +
                                        view.dy * boxScale);
    return viewed;
}

SlotView limitedView(SlotView view, const Fit& sourceFit)
{
    view.zoom = heldZoom(view.zoom);
    view.dx = heldShift(view.dx, view.zoom, sourceFit.holderWidth);
    view.dy = heldShift(view.dy, view.zoom, sourceFit.holderHeight);
    return view;
}

SlotView zoomedAbout(const SlotView& view, double zoom, QPointF anchor, double sourceBoxSide)
{
    // The anchor is at c + z (u - c) + d for the picture point u; the new shift keeps it there.
    const double centre = sourceBoxSide / 2;
    const double to = heldZoom(zoom);
    const double ratio = to / view.zoom;
    SlotView zoomed;
    zoomed.zoom = to;
    zoomed.dx = toInt(anchor.x() - centre - ratio * (anchor.x() - centre - view.dx));
    zoomed.dy = toInt(anchor.y() - centre - ratio * (anchor.y() - centre - view.dy));
    return zoomed;
}

SlotView draggedBy(const SlotView& start, QPointF movement, double boxSide, double sourceBoxSide)
{
    const double scale = sourceBoxSide / boxSide;
    SlotView moved = start;
    moved.dx = toInt(double(start.dx) + std::round(movement.x() * scale));
    moved.dy = toInt(double(start.dy) + std::round(movement.y() * scale));
    return moved;
}

QRect pixelsInBox(const QRectF& holder, QSize pictureSize, QSizeF box)
{
    const QRectF visible = holder.intersected(QRectF(QPointF(0, 0), box));
    if (visible.isEmpty() || pictureSize.isEmpty())
        return {};
    const double perX = holder.width() / pictureSize.width();
    const double perY = holder.height() / pictureSize.height();
    auto pixel = [](double at, double per, int limit, bool up) {
        const double v = up ? std::ceil(at / per) + 1 : std::floor(at / per) - 1;
        return static_cast<int>(std::clamp(v, 0.0, double(limit)));
    };
    const int x0 = pixel(visible.left() - holder.left(), perX, pictureSize.width(), false);
    const int x1 = pixel(visible.right() - holder.left(), perX, pictureSize.width(), true);
    const int y0 = pixel(visible.top() - holder.top(), perY, pictureSize.height(), false);
    const int y1 = pixel(visible.bottom() - holder.top(), perY, pictureSize.height(), true);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

void paintSlotView(Surface& box, const HeldPicture& held, const SlotView& view, int sourceBoxSide)
{
    box.clear();
    if (view.isDefault()) {
        if (!held.image.isNull())
            (void)paintFitted(box, flattenOnto(held.image, box.backColor()), held.measured,
                              held.fitMode, held.aspectThreshold);
        return;
    }
    const std::vector<QImage>& ladder = held.ladder;
    if (ladder.empty() || sourceBoxSide <= 0)
        return;
    const auto fit = fitPicture(held.measured.width(), held.measured.height(), box.width(),
                                box.height(), held.fitMode, held.aspectThreshold);
    if (!fit)
        return;
    const Fit placed =
        viewedFit(*fit, view, box.width(), box.height(), double(box.width()) / sourceBoxSide);

    // The smallest picture with at least one pixel for each painted pixel.
    const auto sharpEnough = std::find_if(ladder.begin(), ladder.end(), [&](const QImage& p) {
        return p.width() >= placed.holderWidth && p.height() >= placed.holderHeight;
    });
    const QImage& picture = sharpEnough != ladder.end() ? *sharpEnough : ladder.back();

    const QRectF holder(placed.offsetX, placed.offsetY, placed.holderWidth, placed.holderHeight);
    const QRect part = pixelsInBox(holder, picture.size(), QSizeF(box.width(), box.height()));
    if (part.isEmpty())
        return;
    const double perX = holder.width() / picture.width();
    const double perY = holder.height() / picture.height();
    box.paintPicture(picture, static_cast<float>(holder.left() + part.left() * perX),
                     static_cast<float>(holder.top() + part.top() * perY),
                     static_cast<float>(part.width() * perX),
                     static_cast<float>(part.height() * perY), static_cast<float>(part.left()),
                     static_cast<float>(part.top()), static_cast<float>(part.width()),
                     static_cast<float>(part.height()));
}

} // namespace hakomiru
