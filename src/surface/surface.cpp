#include "surface/surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "surface/rounding.h"

namespace hakomiru {

QRgb QBColor(int number)
{
    static constexpr std::array<QRgb, 16> palette = {
        0xff000000, 0xff000080, 0xff008000, 0xff008080, 0xff800000, 0xff800080,
        0xff808000, 0xffc0c0c0, 0xff808080, 0xff0000ff, 0xff00ff00, 0xff00ffff,
        0xffff0000, 0xffff00ff, 0xffffff00, 0xffffffff};
    return palette[static_cast<std::size_t>(((number % 16) + 16) % 16)];
}

QImage averagedReduction(const QImage& picture, QSize size)
{
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

Surface::Surface(int width, int height, QRgb backColor)
    : m_bitmap(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32),
      m_width(m_bitmap.width()), m_height(m_bitmap.height()), m_backColor(backColor | 0xff000000u)
{
    m_bitmap.fill(m_backColor);
}

void Surface::setPicture(const QImage& picture)
{
    m_picture = picture;
    m_bitmap.fill(m_backColor);
    if (!picture.isNull())
        paintPicture(picture, 0, 0);
}

void Surface::paintPicture(const QImage& picture, float x1, float y1)
{
    paintPicture(picture, x1, y1, static_cast<float>(picture.width()),
                 static_cast<float>(picture.height()));
}

void Surface::paintPicture(const QImage& picture, float x1, float y1, float w1, float h1)
{
    paintPicture(picture, x1, y1, w1, h1, 0, 0);
}

void Surface::paintPicture(const QImage& picture, float x1, float y1, float w1, float h1, float x2,
                           float y2)
{
    paintPicture(picture, x1, y1, w1, h1, x2, y2, static_cast<float>(picture.width()) - x2,
                 static_cast<float>(picture.height()) - y2);
}

namespace {

// The whole pixels [first, last) whose centres lie in [start, start + extent), clipped to
// [0, limit). Works in double so that any float input is safe.
struct Span
{
    int first = 0;
    int last = 0;
};

Span coveredPixels(double start, double extent, int limit)
{
    const double from = std::ceil(start - 0.5);
    const double to = std::ceil(start + extent - 0.5);
    Span span;
    span.first = static_cast<int>(std::clamp(from, 0.0, static_cast<double>(limit)));
    span.last = static_cast<int>(std::clamp(to, 0.0, static_cast<double>(limit)));
    return span;
}

bool allFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

void Surface::paintPicture(const QImage& picture, float x1, float y1, float w1, float h1, float x2,
                           float y2, float w2, float h2)
{
    if (picture.isNull() || m_bitmap.isNull())
        return;
    if (!allFinite({x1, y1, w1, h1, x2, y2, w2, h2, double(x1) + w1, double(y1) + h1,
                    double(x2) + w2, double(y2) + h2}))
        return;
    // A destination less than half a pixel wide or high rounds to no pixel at all.
    if (w1 < 0.5f || h1 < 0.5f || w2 <= 0 || h2 <= 0)
        return;

    // The source pixels the part touches, as a whole-pixel rectangle inside the picture.
    const int srcLeft =
        static_cast<int>(std::clamp(std::floor(double(x2)), 0.0, double(picture.width())));
    const int srcTop =
        static_cast<int>(std::clamp(std::floor(double(y2)), 0.0, double(picture.height())));
    const int srcRight =
        static_cast<int>(std::clamp(std::ceil(double(x2) + w2), 0.0, double(picture.width())));
    const int srcBottom =
        static_cast<int>(std::clamp(std::ceil(double(y2) + h2), 0.0, double(picture.height())));
    if (srcLeft >= srcRight || srcTop >= srcBottom)
        return;

    const Span columns = coveredPixels(x1, w1, width());
    const Span rows = coveredPixels(y1, h1, height());
    if (columns.first >= columns.last || rows.first >= rows.last)
        return;

    // A copy at natural size to whole-pixel positions (the pieces onto the sheet) is a plain
    // row copy.
    const bool wholePixels = x1 == std::floor(x1) && y1 == std::floor(y1) && x2 == std::floor(x2) &&
                             y2 == std::floor(y2);
    if (wholePixels && w1 == w2 && h1 == h2 &&
        (picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32)) {
        const int shiftX = static_cast<int>(x2 - x1);
        const int shiftY = static_cast<int>(y2 - y1);
        const int first = std::max(columns.first, srcLeft - shiftX);
        const int last = std::min(columns.last, srcRight - shiftX);
        for (int y = std::max(rows.first, srcTop - shiftY);
             y < std::min(rows.last, srcBottom - shiftY); ++y) {
            const QRgb* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y + shiftY));
            QRgb* to = row(y);
            if (picture.format() == QImage::Format_RGB32) { // already opaque
                if (last > first)
                    std::memcpy(to + first, from + first + shiftX,
                                std::size_t(last - first) * sizeof(QRgb));
                continue;
            }
            for (int x = first; x < last; ++x)
                to[x] = from[x + shiftX] | 0xff000000u;
        }
        return;
    }

    const int regionWidth = srcRight - srcLeft;
    const int regionHeight = srcBottom - srcTop;
    // A part of the picture is copied out; the whole picture is used as it is (it may be large).
    QImage source = regionWidth == picture.width() && regionHeight == picture.height()
                        ? picture
                        : picture.copy(srcLeft, srcTop, regionWidth, regionHeight);
    source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);

    // A reduction first averages the source down to about the painted size, so a large photo
    // does not sparkle; an enlargement samples the source pixels directly.
    const int sampleWidth =
        w1 < regionWidth ? static_cast<int>(std::max(1.0, std::ceil(double(w1)))) : regionWidth;
    const int sampleHeight =
        h1 < regionHeight ? static_cast<int>(std::max(1.0, std::ceil(double(h1)))) : regionHeight;
    if (sampleWidth != regionWidth || sampleHeight != regionHeight)
        source = averagedReduction(source, QSize(sampleWidth, sampleHeight));

    // Maps a destination pixel centre to a sample index along one axis.
    auto sampleIndex = [](int pixel, double start, double extent, double srcStart, double srcExtent,
                          int regionStart, int regionSize, int sampleSize) {
        const double t = (pixel + 0.5 - start) / extent;
        const double u = srcStart + t * srcExtent; // in picture pixels
        const double s = (u - regionStart) * sampleSize / regionSize;
        return static_cast<int>(std::clamp(std::floor(s), 0.0, double(sampleSize - 1)));
    };

    std::vector<int> sourceColumn(static_cast<std::size_t>(columns.last - columns.first));
    for (int x = columns.first; x < columns.last; ++x)
        sourceColumn[static_cast<std::size_t>(x - columns.first)] =
            sampleIndex(x, x1, w1, x2, w2, srcLeft, regionWidth, source.width());

    int lastSourceRow = -1;
    const QRgb* sourceRow = nullptr;
    for (int y = rows.first; y < rows.last; ++y) {
        const int sy = sampleIndex(y, y1, h1, y2, h2, srcTop, regionHeight, source.height());
        if (sy != lastSourceRow) {
            sourceRow = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
            lastSourceRow = sy;
        }
        QRgb* target = row(y);
        for (int x = columns.first; x < columns.last; ++x)
            target[x] =
                sourceRow[sourceColumn[static_cast<std::size_t>(x - columns.first)]] | 0xff000000u;
    }
}

void Surface::line(float x1, float y1, float x2, float y2, QRgb color)
{
    if (!allFinite({x1, y1, x2, y2}))
        return;
    // Segments far outside any box are first cut to a frame one pixel wider than the bitmap, so
    // the walk below never takes more steps than the bitmap is wide or high.
    double ax = x1, ay = y1, bx = x2, by = y2;
    const double minX = -1, minY = -1, maxX = width(), maxY = height();
    {
        double t0 = 0, t1 = 1;
        const double dx = bx - ax, dy = by - ay;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {ax - minX, maxX - ax, ay - minY, maxY - ay};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0)
                    return;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, r);
            else
                t1 = std::min(t1, r);
        }
        if (t0 > t1)
            return;
        if (t0 > 0 || t1 < 1) {
            const double sx = ax, sy = ay;
            ax = sx + t0 * dx;
            ay = sy + t0 * dy;
            bx = sx + t1 * dx;
            by = sy + t1 * dy;
        }
    }

    int x = toInt(ax), y = toInt(ay);
    const int endX = toInt(bx), endY = toInt(by);
    const int stepX = x < endX ? 1 : -1;
    const int stepY = y < endY ? 1 : -1;
    const long long spanX = std::llabs(static_cast<long long>(endX) - x);
    const long long spanY = -std::llabs(static_cast<long long>(endY) - y);
    long long error = spanX + spanY;
    const QRgb opaque = color | 0xff000000u;
    QRgb* bits = m_bitmap.isNull() ? nullptr : reinterpret_cast<QRgb*>(m_bitmap.bits());
    const qsizetype pitch = stride();
    for (;;) {
        if (bits && x >= 0 && y >= 0 && x < m_width && y < m_height)
            bits[y * pitch + x] = opaque;
        if (x == endX && y == endY)
            break;
        const long long doubled = 2 * error;
        if (doubled >= spanY) {
            error += spanY;
            x += stepX;
        }
        if (doubled <= spanX) {
            error += spanX;
            y += stepY;
        }
    }
}

} // namespace hakomiru
