#include "conversion/sheet.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <numeric>
#include <tuple>

#include "surface/rounding.h"
#include "surface/surface.h"

namespace hakomiru {

std::vector<Segment> sheetSegments(float W, float H)
{
    const QRgb black = QBColor(0);
    const QRgb white = QBColor(15);
    const float m = W / 4; // the left margin and the depth of every tab
    auto x = [&](int c) {
        return float(c) * W + m + 1;
    };
    const float bottom = 6 * H + 1;

    std::vector<Segment> s;
    s.reserve(130);
    auto line = [&](float x1, float y1, float x2, float y2, QRgb color) {
        s.push_back({x1, y1, x2, y2, color});
    };

    // Full-height verticals, then the middle one erased: the edges of the two strips remain.
    for (int k = 2; k <= 6; ++k)
        line(x(k), 0, x(k), bottom, black);
    line(x(4), 0, x(4), bottom, white);
    // Every column edge within both bands.
    for (int k = 0; k <= 8; ++k) {
        line(x(k), H + 1, x(k), 2 * H + 1, black);
        line(x(k), 4 * H + 1, x(k), 5 * H + 1, black);
    }
    // Full-width horizontals, then the middle one erased outside the strips.
    for (int k = 1; k <= 5; ++k)
        line(m, float(k) * H + 1, x(8), float(k) * H + 1, black);
    const float middle = 3 * H + 1;
    line(m, middle, x(2), middle, white);
    line(x(3), middle, x(5), middle, white);
    line(x(6), middle, x(8), middle, white);
    // Row edges across the two strips, their ends included.
    for (int k = 0; k <= 6; ++k) {
        line(x(2), float(k) * H + 1, x(3), float(k) * H + 1, black);
        line(x(5), float(k) * H + 1, x(6), float(k) * H + 1, black);
    }
    // End tabs on the left, then on the right, of the upper and the lower band.
    for (const float T : {H, 4 * H}) {
        const float B = T + H;
        line(0, T + m, 0, B - m, black);
        line(0, T + m, m, T, black);
        line(0, B - m, m, B, black);
    }
    const float outer = 8 * W + 2 * m + 1;
    const float end = 8 * W + m + 1;
    for (const float T : {H, 4 * H}) {
        const float B = T + H;
        line(outer, T + m, outer, B - m, black);
        line(outer, T + m, end, T, black);
        line(outer, B - m, end, B, black);
    }
    // Tabs above and below the band cells, except the columns of the strips.
    for (int k = 0; k <= 7; ++k) {
        if (k == 2 || k == 5)
            continue;
        const float a = float(k) * W + 2 * m;
        const float b = float(k + 1) * W;
        const float baseLeft = float(k) * W + m;
        for (const float base : {H, 4 * H}) { // above the upper band, above the lower band
            line(a, base - m, b, base - m, black);
            line(a, base - m, baseLeft, base, black);
            line(b, base - m, b + m, base, black);
        }
        for (const float base : {2 * H, 5 * H}) { // below the upper band, below the lower band
            line(a, base + m, b, base + m, black);
            line(a, base + m, baseLeft, base, black);
            line(b, base + m, b + m, base, black);
        }
    }
    return s;
}

namespace {

// A straight line through whole pixels: its direction (dx, dy), reduced and pointing right or
// down, and c = dx * y - dy * x, the same for every pixel on it.
using LineKey = std::tuple<int, int, long long>;

// Inclusive ranges of t = dx * x + dy * y along one line; neighbouring pixels differ by
// dx * dx + dy * dy.
struct Range
{
    long long first;
    long long last;
};

void addRange(std::vector<Range>& ranges, Range added, long long step)
{
    std::vector<Range> merged;
    for (const Range& r : ranges) {
        if (r.last + step < added.first || added.last + step < r.first) {
            merged.push_back(r);
            continue;
        }
        added = {std::min(added.first, r.first), std::max(added.last, r.last)};
    }
    merged.push_back(added);
    ranges = std::move(merged);
}

void removeRange(std::vector<Range>& ranges, Range removed, long long step)
{
    std::vector<Range> kept;
    for (const Range& r : ranges) {
        if (r.last < removed.first || removed.last < r.first) {
            kept.push_back(r);
            continue;
        }
        if (r.first < removed.first)
            kept.push_back({r.first, removed.first - step});
        if (removed.last < r.last)
            kept.push_back({removed.last + step, r.last});
    }
    ranges = std::move(kept);
}

} // namespace

std::vector<SheetLine> remainingBlackLines(const std::vector<Segment>& segments)
{
    std::map<LineKey, std::vector<Range>> lines;
    for (const Segment& segment : segments) {
        QPoint a(toInt(segment.x1), toInt(segment.y1));
        QPoint b(toInt(segment.x2), toInt(segment.y2));
        int dx = b.x() - a.x();
        int dy = b.y() - a.y();
        if (dx < 0 || (dx == 0 && dy < 0)) {
            std::swap(a, b);
            dx = -dx;
            dy = -dy;
        }
        const int divisor = std::gcd(dx, dy);
        if (divisor == 0) { // a single pixel: a piece of a row
            dx = 1;
        } else {
            dx /= divisor;
            dy /= divisor;
        }
        const long long c = (long long)dx * a.y() - (long long)dy * a.x();
        const long long step = (long long)dx * dx + (long long)dy * dy;
        const Range range{(long long)dx * a.x() + (long long)dy * a.y(),
                          (long long)dx * b.x() + (long long)dy * b.y()};
        std::vector<Range>& ranges = lines[{dx, dy, c}];
        if ((segment.color & 0xffffffu) == (QBColor(15) & 0xffffffu))
            removeRange(ranges, range, step);
        else
            addRange(ranges, range, step);
    }

    std::vector<SheetLine> remaining;
    for (auto& [key, ranges] : lines) {
        const int dx = std::get<0>(key);
        const int dy = std::get<1>(key);
        const long long c = std::get<2>(key);
        const long long step = (long long)dx * dx + (long long)dy * dy;
        // The pixel at t on this line: x = (dx t - dy c) / step, y = (dy t + dx c) / step.
        auto at = [&](long long t) {
            return QPoint(int((dx * t - dy * c) / step), int((dy * t + dx * c) / step));
        };
        std::sort(ranges.begin(), ranges.end(),
                  [](const Range& a, const Range& b) { return a.first < b.first; });
        for (const Range& r : ranges)
            remaining.push_back({at(r.first), at(r.last)});
    }
    return remaining;
}

void DrawSheetLines(const Surface& pieceBox0, Surface& canvas)
{
    const auto segments = sheetSegments(static_cast<float>(pieceBox0.width()),
                                        static_cast<float>(pieceBox0.height()));
    for (const Segment& segment : segments)
        canvas.line(segment.x1, segment.y1, segment.x2, segment.y2, segment.color);
}

} // namespace hakomiru
