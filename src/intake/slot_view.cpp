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

void paintSlotView(Surface& box, const HeldPicture& held, const SlotView& view, int sourceBoxSide)
{
    box.clear();
    if (view.isDefault()) {
        if (!held.image.isNull())
            (void)paintFitted(box, flattenOnto(held.image, box.backColor()), held.measured,
                              held.fitMode, held.aspectThreshold);
        return;
    }
    const std::vector<QImage> own =
        held.ladder.empty() && !held.image.isNull()
            ? std::vector<QImage>{flattenOnto(held.image, box.backColor())}
            : std::vector<QImage>{};
    const std::vector<QImage>& ladder = held.ladder.empty() ? own : held.ladder;
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

    // Only the picture pixels inside the box, and one more on each side, are painted from: a
    // zoomed picture reaches far beyond its box.
    const double perX = double(placed.holderWidth) / picture.width();
    const double perY = double(placed.holderHeight) / picture.height();
    auto edge = [](double at, double per, int limit, bool up) {
        const double v = up ? std::ceil(at / per) + 1 : std::floor(at / per) - 1;
        return static_cast<int>(std::clamp(v, 0.0, double(limit)));
    };
    const double left = -double(placed.offsetX);
    const double top = -double(placed.offsetY);
    const int x0 = edge(left, perX, picture.width(), false);
    const int x1 = edge(left + box.width(), perX, picture.width(), true);
    const int y0 = edge(top, perY, picture.height(), false);
    const int y1 = edge(top + box.height(), perY, picture.height(), true);
    if (x1 <= x0 || y1 <= y0)
        return;
    box.paintPicture(picture, static_cast<float>(placed.offsetX + x0 * perX),
                     static_cast<float>(placed.offsetY + y0 * perY),
                     static_cast<float>((x1 - x0) * perX), static_cast<float>((y1 - y0) * perY),
                     static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0),
                     static_cast<float>(y1 - y0));
}

} // namespace hakomiru
