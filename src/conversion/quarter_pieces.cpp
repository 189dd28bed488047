#include <algorithm>
#include <cstdint>
#include <vector>

#include "conversion/sheet.h"
#include "surface/rounding.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

// The source coordinate that each piece coordinate 0..last takes along one axis, rounded to a
// whole pixel (ties to even).
std::vector<int> sourceTable(int last, const QuarterAxis& axis)
{
    std::vector<int> table(static_cast<std::size_t>(last) + 1);
    for (int v = 0; v <= last; ++v)
        table[static_cast<std::size_t>(v)] =
            axis.nested ? toInt16(axis.offset + (axis.offset + axis.step * double(v)))
                        : toInt16(axis.offset + axis.step * double(v));
    return table;
}

// Copies one piece. `alongX` gives the source coordinate for each piece x, `alongY` for each
// piece y; when `turned`, alongX holds source rows and alongY source columns. A coordinate outside
// 0..bound fails the bound test and leaves the piece pixel as it was; one inside the bound but
// beyond the source bitmap reads the source's BackColor.
void cutPiece(const Surface& source, Surface& piece, const std::vector<int>& alongX,
              const std::vector<int>& alongY, bool turned, int boundX, int boundY)
{
    // Piece pixels beyond the box are dropped, so only rows and columns inside it are visited.
    const int rows = std::min<int>(piece.height(), int(alongY.size()));
    const int columns = std::min<int>(piece.width(), int(alongX.size()));
    const int sourceWidth = source.width();
    const int sourceHeight = source.height();
    const QRgb back = source.backColor();
    const QRgb* bits = source.constBits();
    const qsizetype stride = source.stride();
    constexpr std::int32_t skip = -1;    // fails the bound test
    constexpr std::int32_t outside = -2; // passes it but lies beyond the bitmap

    // Per piece column: the offset of the source pixel along the inner axis.
    std::vector<std::int32_t> inner(static_cast<std::size_t>(columns));
    for (int x = 0; x < columns; ++x) {
        const int v = alongX[std::size_t(x)];
        const int bound = turned ? boundY : boundX;
        const int size = turned ? sourceHeight : sourceWidth;
        inner[std::size_t(x)] = (v < 0 || v > bound) ? skip
                                : v >= size          ? outside
                                            : static_cast<std::int32_t>(turned ? v * stride : v);
    }

    const bool everyColumnInside =
        std::all_of(inner.begin(), inner.end(), [](std::int32_t offset) { return offset >= 0; });

    for (int y = 0; y < rows; ++y) {
        const int v = alongY[std::size_t(y)];
        const int bound = turned ? boundX : boundY;
        if (v < 0 || v > bound)
            continue;
        const bool beyond = v >= (turned ? sourceWidth : sourceHeight);
        const QRgb* base = beyond ? nullptr : bits + (turned ? v : v * stride);
        QRgb* target = piece.row(y);
        if (base && everyColumnInside) {
            // The usual case: every pixel of the row comes from inside the source bitmap.
            const std::int32_t* offsets = inner.data();
            for (int x = 0; x < columns; ++x)
                target[x] = base[offsets[x]];
            continue;
        }
        for (int x = 0; x < columns; ++x) {
            const std::int32_t offset = inner[std::size_t(x)];
            if (offset == skip)
                continue;
            target[x] = (base && offset != outside) ? base[offset] : back;
        }
    }
}

} // namespace

QuarterMap quarterMap(int slot, int quarter, QSize sourceBox, QSize pieceBox)
{
    const std::int16_t sourceBoxHeight = toInt16(sourceBox.height());
    const std::int16_t sourceBoxWidth = toInt16(sourceBox.width());
    const std::int16_t pieceHeight = toInt16(pieceBox.height());
    const std::int16_t pieceWidth = toInt16(pieceBox.width());
    const double kx = double(sourceBoxWidth) / 2 / pieceWidth;
    const double ky = double(sourceBoxHeight) / 2 / pieceHeight;
    const double halfW = double(sourceBoxWidth) / 2;
    const double halfH = double(sourceBoxHeight) / 2;

    if (slot != 1) {
        // Upright quarters: x of the piece runs along x of the source.
        const bool right = quarter == 1 || quarter == 3;
        const bool bottom = quarter >= 2;
        return {false, {right ? halfW : 0, kx, false}, {bottom ? halfH : 0, ky, false}};
    }
    // Turned quarters of slot 1: x of the piece runs along y of the source (alongX gives source
    // rows) and y along x (alongY gives source columns).
    switch (quarter) {
    case 0:
        return {true, {halfW, -ky, false}, {0, kx, false}};
    case 1:
        return {true, {0, ky, false}, {halfH, -kx, true}};
    case 2:
        return {true, {halfW, ky, false}, {halfH, -kx, false}};
    default:
        return {true, {halfW, -ky, true}, {halfH, kx, false}};
    }
}

QTransform pieceToSourceBox(int slot, int quarter, QSize sourceBox, QSize pieceBox)
{
    const QuarterMap map = quarterMap(slot, quarter, sourceBox, pieceBox);
    // A nested axis sums its offset twice.
    auto origin = [](const QuarterAxis& axis) {
        return axis.nested ? 2 * axis.offset : axis.offset;
    };
    const double x0 = origin(map.alongX);
    const double y0 = origin(map.alongY);
    if (!map.turned) // source = (x0 + sx * px, y0 + sy * py)
        return QTransform(map.alongX.step, 0, 0, map.alongY.step, x0, y0);
    // source x = y0 + sy * py, source y = x0 + sx * px
    return QTransform(0, map.alongX.step, map.alongY.step, 0, y0, x0);
}

void CutQuarterPieces(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes)
{
    const QSize sourceBox(sourceBoxes[0].width(), sourceBoxes[0].height());
    const QSize pieceBox(pieceBoxes[0].width(), pieceBoxes[0].height());
    const std::int16_t sourceBoxHeight = toInt16(sourceBox.height());
    const std::int16_t sourceBoxWidth = toInt16(sourceBox.width());
    const std::int16_t pieceHeight = toInt16(pieceBox.height());
    const std::int16_t pieceWidth = toInt16(pieceBox.width());
    if (pieceWidth <= 0 || pieceHeight <= 0)
        return;

    for (int i = 0; i < slotCount; ++i) {
        const Surface& source = sourceBoxes[std::size_t(i)];
        for (int j = 0; j < 4; ++j) {
            Surface& piece = pieceBoxes[std::size_t(4 * i + j)];
            const QuarterMap map = quarterMap(i, j, sourceBox, pieceBox);
            cutPiece(source, piece, sourceTable(pieceWidth, map.alongX),
                     sourceTable(pieceHeight, map.alongY), map.turned, sourceBoxWidth,
                     sourceBoxHeight);
        }
    }
}

} // namespace hakomiru
