#pragma once

#include <vector>

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include "intake/fit.h"

namespace hakomiru {

class Surface;

// The part of its picture a slot shows. The fit places the picture in the square as it always
// has; the view then zooms it `zoom` times about the square's centre and moves it by (dx, dy)
// source-box pixels. The default view (1, 0, 0) shows the picture as the fit placed it.
struct SlotView
{
    double zoom = 1.0;
    int dx = 0;
    int dy = 0;

    [[nodiscard]] bool isDefault() const { return zoom == 1.0 && dx == 0 && dy == 0; }
    friend bool operator==(const SlotView&, const SlotView&) = default;
};

inline constexpr double minimumZoom = 1.0;
inline constexpr double maximumZoom = 8.0;
// One wheel notch, or one press of + or -, zooms by this factor (or by its inverse).
inline constexpr double zoomStep = 1.25;
// One press of an arrow key moves the picture this many source-box pixels.
inline constexpr int viewKeyStep = 10;

// What a slot's boxes are painted from:
// - `image`: the picture as it was read for the source box (or pasted), transparency kept; the
//   default view paints it whole, as a slot has always been painted;
// - `ladder`: the same picture opaque (flattened onto the source box's BackColor) at sizes that
//   double from about what the source box needs up to the size the slot keeps for the printed
//   page; every other view paints from the smallest one that is sharp enough;
// - what the fit is worked out from.
// A slot may hold only the ladder, once its boxes as placed are kept by other means; the default
// view then paints nothing.
struct HeldPicture
{
    QImage image;
    std::vector<QImage> ladder;
    QSizeF measured;
    int fitMode = fitWhole;
    double aspectThreshold = fileAspectThreshold;
};

// The pictures from `kept` (opaque, Format_RGB32) down, each half the size of the one above, for
// as long as they stay at least `smallest`; smallest first, `kept` last.
[[nodiscard]] std::vector<QImage> pictureLadder(const QImage& kept, QSize smallest);

// `fit`, made for a box `boxScale` times as wide as the source box, with `view` applied: the
// holder zoomed about the box's centre and moved by the view's shift, scaled to the box. The
// default view gives `fit` unchanged, to the bit.
[[nodiscard]] Fit viewedFit(const Fit& fit, const SlotView& view, double boxWidth, double boxHeight,
                            double boxScale);

// `view` held within its limits for a picture fitted into the source box as `sourceFit`: the zoom
// within [minimumZoom, maximumZoom] and rounded to four decimals (so that it reads back the same
// when written out), each shift no more than half the zoomed picture's size in that direction, so
// that the picture always covers the square's centre.
[[nodiscard]] SlotView limitedView(SlotView view, const Fit& sourceFit);

// `view` zoomed to `zoom` (held to the limits of the zoom) so that the picture point at `anchor`,
// in source-box pixels, stays where it is, to the nearest whole pixel of shift. `sourceBoxSide`
// gives the square's centre.
[[nodiscard]] SlotView zoomedAbout(const SlotView& view, double zoom, QPointF anchor,
                                   double sourceBoxSide);

// `start` moved by a pointer movement of `movement` pixels on a box of `boxSide`: the movement
// scaled to the source box and rounded to whole pixels.
[[nodiscard]] SlotView draggedBy(const SlotView& start, QPointF movement, double boxSide,
                                 double sourceBoxSide);

// The whole pixels of a picture of `pictureSize` pixels, placed over `holder` (in box pixels),
// that show in a box of `box`, with one more on each side to interpolate from, clipped to the
// picture: a zoomed or covering picture can reach far beyond its box. Empty when none shows.
[[nodiscard]] QRect pixelsInBox(const QRectF& holder, QSize pictureSize, QSizeF box);

// Paints one box of a slot (its source box, or its preview) with the slot's picture at `view`,
// the view's shift scaled by the box's side over `sourceBoxSide`. The box is cleared to its
// BackColor first. The default view paints `held.image` whole, as paintFitted always has; any
// other view paints only the part that shows (pixelsInBox), from the smallest picture of the
// ladder that has at least as many pixels as it is painted with, or the largest. Nothing more is
// painted when there is no picture to paint from, or for a fit that places nothing.
void paintSlotView(Surface& box, const HeldPicture& held, const SlotView& view, int sourceBoxSide);

} // namespace hakomiru
