#pragma once

#include <optional>

#include <QImage>
#include <QSize>
#include <QSizeF>

namespace hakomiru {

class Surface;

// fitMode 0: the whole picture visible, centred ("横幅にあわせる").
inline constexpr int fitWhole = 0;
// fitMode 1: the box covered, centred, the overflow cut off ("縦幅にあわせる").
inline constexpr int fitCover = 1;

// The factor on the picture's height in the width-limited test: 1 for a picture from a file, the
// cosine of 30 degrees for a picture from the clipboard.
inline constexpr double fileAspectThreshold = 1.0;
[[nodiscard]] double pasteAspectThreshold();

// Where a picture lands in a box: the holder's size and the offset of its top-left corner, in the
// box's pixels, as single-precision numbers (never rounded). Offsets are negative when the
// picture overflows the box.
struct Fit
{
    bool widthLimited = false;
    float holderWidth = 0;
    float holderHeight = 0;
    float offsetX = 0;
    float offsetY = 0;
};

// The fit of a picture measured `pictureWidth` x `pictureHeight` into a box of `boxWidth` x
// `boxHeight`. Width-limited when W >= H * threshold (fitMode 0) or W <= H * threshold (fitMode 1);
// a width-limited picture takes the box's width, otherwise the box's height, the other side in
// proportion, centred. Any other fitMode, or a picture without area, gives nothing: paint nothing.
[[nodiscard]] std::optional<Fit> fitPicture(double pictureWidth, double pictureHeight,
                                            double boxWidth, double boxHeight, int fitMode,
                                            double aspectThreshold);

// The size a picture of `naturalSize` must be decoded at to be painted by fitPicture into a box of
// `boxSide` pixels: its natural size when it is painted that large or larger, otherwise the
// painted size rounded up (never smaller than painted). Keeps the picture's proportions.
[[nodiscard]] QSize decodeSizeFor(QSize naturalSize, int boxSide, int fitMode,
                                  double aspectThreshold);

// Paints `picture`, measured as `measured`, into `box` as fitPicture places it. The picture is
// copied as it is; transparency must have been flattened before. Returns the fit used, or nothing
// when nothing was painted.
std::optional<Fit> paintFitted(Surface& box, const QImage& picture, QSizeF measured, int fitMode,
                               double aspectThreshold);

} // namespace hakomiru
