#include "intake/fit.h"

#include <algorithm>
#include <cmath>

#include "surface/surface.h"

namespace hakomiru {

double pasteAspectThreshold()
{
    return std::cos(30.0 / 180.0 * 3.14159265358979);
}

std::optional<Fit> fitPicture(double pictureWidth, double pictureHeight, double boxWidth,
                              double boxHeight, int fitMode, double aspectThreshold)
{
    if (fitMode != fitWhole && fitMode != fitCover)
        return std::nullopt;
    if (!(pictureWidth > 0) || !(pictureHeight > 0) || !std::isfinite(pictureWidth) ||
        !std::isfinite(pictureHeight))
        return std::nullopt;

    const float w = static_cast<float>(pictureWidth);
    const float h = static_cast<float>(pictureHeight);
    const double limit = double(h) * aspectThreshold;

    Fit fit;
    fit.widthLimited = fitMode == fitWhole ? w >= limit : w <= limit;
    if (fit.widthLimited) {
        fit.holderWidth = static_cast<float>(boxWidth);
        fit.holderHeight = static_cast<float>(boxHeight * h / w);
    } else {
        fit.holderHeight = static_cast<float>(boxHeight);
        fit.holderWidth = static_cast<float>(boxWidth * w / h);
    }
    fit.offsetY = static_cast<float>((boxHeight - fit.holderHeight) / 2);
    fit.offsetX = static_cast<float>((boxWidth - fit.holderWidth) / 2);
    return fit;
}

QSize decodeSizeFor(QSize naturalSize, int boxSide, int fitMode, double aspectThreshold)
{
    const auto fit = fitPicture(naturalSize.width(), naturalSize.height(), boxSide, boxSide,
                                fitMode, aspectThreshold);
    if (!fit || naturalSize.isEmpty())
        return naturalSize;
    const double scale = std::max(double(fit->holderWidth) / naturalSize.width(),
                                  double(fit->holderHeight) / naturalSize.height());
    if (!(scale < 1.0))
        return naturalSize;
    const int width = static_cast<int>(std::ceil(naturalSize.width() * scale));
    const int height = static_cast<int>(std::ceil(naturalSize.height() * scale));
    return QSize(std::clamp(width, 1, naturalSize.width()),
                 std::clamp(height, 1, naturalSize.height()));
}

std::optional<Fit> paintFitted(Surface& box, const QImage& picture, QSizeF measured, int fitMode,
                               double aspectThreshold)
{
    auto fit = fitPicture(measured.width(), measured.height(), box.width(), box.height(), fitMode,
                          aspectThreshold);
    if (!fit)
        return std::nullopt;
    box.paintPicture(picture, fit->offsetX, fit->offsetY, fit->holderWidth, fit->holderHeight);
    return fit;
}

} // namespace hakomiru
