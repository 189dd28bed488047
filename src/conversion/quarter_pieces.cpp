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
        table[static_cast<std::size_t>(v)] = toInt16(axis.offset + axis.step * double(v));
    return table;
}

// Copies one piece. `alongX` gives the source column for each piece x, `alongY` the source row
// for each piece y. A coordinate outside 0..bound fails the bound test and leaves the piece pixel
// as it was; one inside the bound but beyond the source bitmap reads the source's BackColor.
void cutPiece(const Surface& source, Surface& piece, const std::vector<int>& alongX,
              const std::vector<int>& alongY, int boundX, int boundY)
{
    // Piece pixels beyond the box are dropped, so only rows and columns inside it are visited.
    const int rows = std::min<int>(piece.height(), int(alongY.size()));
    const int columns = std::min<int>(piece.width(), int(alongX.size()));
    const QRgb back = source.backColor();
    const QRgb* bits = source.constBits();
    const qsizetype stride = source.stride();
    constexpr std::int32_t skip = -1;    // fails the bound test
    constexpr std::int32_t outside = -2; // passes it but lies beyond the bitmap

    // Per piece column: the source column, or why it is not read.
    std::vector<std::int32_t> inner(static_cast<std::size_t>(columns));
    for (int x = 0; x < columns; ++x) {
        const int v = alongX[std::size_t(x)];
        inner[std::size_t(x)] = (v < 0 || v > boundX) ? skip
                                : v >= source.width() ? outside
                                                      : static_cast<std::int32_t>(v);
    }

    const bool everyColumnInside =
        std::all_of(inner.begin(), inner.end(), [](std::int32_t offset) { return offset >= 0; });

    for (int y = 0; y < rows; ++y) {
        const int v = alongY[std::size_t(y)];
        if (v < 0 || v > boundY)
            continue;
        const QRgb* base = v >= source.height() ? nullptr : bits + v * stride;
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

QuarterMap quarterMap(int quarter, QSize sourceBox, QSize pieceBox)
{
    const std::int16_t sourceBoxHeight = toInt16(sourceBox.height());
    const std::int16_t sourceBoxWidth = toInt16(sourceBox.width());
    const std::int16_t pieceHeight = toInt16(pieceBox.height());
    const std::int16_t pieceWidth = toInt16(pieceBox.width());
    const double kx = double(sourceBoxWidth) / 2 / pieceWidth;
    const double ky = double(sourceBoxHeight) / 2 / pieceHeight;
    const bool right = quarter == 1 || quarter == 3;
    const bool bottom = quarter >= 2;
    return {{right ? double(sourceBoxWidth) / 2 : 0, kx},
            {bottom ? double(sourceBoxHeight) / 2 : 0, ky}};
}

QTransform pieceToSourceBox(int quarter, QSize sourceBox, QSize pieceBox)
{
    const QuarterMap map = quarterMap(quarter, sourceBox, pieceBox);
    return QTransform(map.alongX.step, 0, 0, map.alongY.step, map.alongX.offset, map.alongY.offset);
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
            const QuarterMap map = quarterMap(j, sourceBox, pieceBox);
            cutPiece(source, piece, sourceTable(pieceWidth, map.alongX),
                     sourceTable(pieceHeight, map.alongY), sourceBoxWidth, sourceBoxHeight);
        }
    }
}

} // namespace hakomiru
