#include <algorithm>
#include <cstdint>
#include <vector>

#include "conversion/sheet.h"
#include "surface/rounding.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

// The source coordinate that each piece coordinate 0..last takes along one axis:
// nearest(offset + scale * (sign * v)), with the sign applied to the integer first.
std::vector<int> sourceTable(int last, double offset, double scale, int sign)
{
    std::vector<int> table(static_cast<std::size_t>(last) + 1);
    for (int v = 0; v <= last; ++v)
        table[static_cast<std::size_t>(v)] = toInt16(offset + scale * double(sign * v));
    return table;
}

std::vector<int> nestedTable(int last, double half, double scale)
{
    // nearest(half + (half + scale * (-v))): the grouping of the turned quarters 1 and 3.
    std::vector<int> table(static_cast<std::size_t>(last) + 1);
    for (int v = 0; v <= last; ++v)
        table[static_cast<std::size_t>(v)] = toInt16(half + (half + scale * double(-v)));
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

void CutQuarterPieces(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes)
{
    const std::int16_t sourceBoxHeight = toInt16(sourceBoxes[0].height());
    const std::int16_t sourceBoxWidth = toInt16(sourceBoxes[0].width());
    const std::int16_t pieceHeight = toInt16(pieceBoxes[0].height());
    const std::int16_t pieceWidth = toInt16(pieceBoxes[0].width());
    if (pieceWidth <= 0 || pieceHeight <= 0)
        return;
    const double pieceScaleX = double(sourceBoxWidth) / 2 / pieceWidth;
    const double pieceScaleY = double(sourceBoxHeight) / 2 / pieceHeight;
    const double halfW = double(sourceBoxWidth) / 2;
    const double halfH = double(sourceBoxHeight) / 2;
    const double kx = pieceScaleX;
    const double ky = pieceScaleY;

    // Upright quarters: x of the piece runs along x of the source.
    const auto leftColumns = sourceTable(pieceWidth, 0, kx, 1);
    const auto rightColumns = sourceTable(pieceWidth, halfW, kx, 1);
    const auto topRows = sourceTable(pieceHeight, 0, ky, 1);
    const auto bottomRows = sourceTable(pieceHeight, halfH, ky, 1);

    // Turned quarters of slot 1: x of the piece runs along y of the source and y along x.
    struct Turned
    {
        std::vector<int> alongX; // source rows, indexed by piece x
        std::vector<int> alongY; // source columns, indexed by piece y
    };
    const Turned turned[4] = {
        {sourceTable(pieceWidth, halfW, ky, -1), sourceTable(pieceHeight, 0, kx, 1)},
        {sourceTable(pieceWidth, 0, ky, 1), nestedTable(pieceHeight, halfH, kx)},
        {sourceTable(pieceWidth, halfW, ky, 1), sourceTable(pieceHeight, halfH, kx, -1)},
        {nestedTable(pieceWidth, halfW, ky), sourceTable(pieceHeight, halfH, kx, 1)},
    };

    for (int i = 0; i < slotCount; ++i) {
        const Surface& source = sourceBoxes[std::size_t(i)];
        for (int j = 0; j < 4; ++j) {
            Surface& piece = pieceBoxes[std::size_t(4 * i + j)];
            if (i == 1) {
                cutPiece(source, piece, turned[j].alongX, turned[j].alongY, true, sourceBoxWidth,
                         sourceBoxHeight);
            } else {
                const auto& columns = (j == 1 || j == 3) ? rightColumns : leftColumns;
                const auto& rows = (j >= 2) ? bottomRows : topRows;
                cutPiece(source, piece, columns, rows, false, sourceBoxWidth, sourceBoxHeight);
            }
        }
    }
}

} // namespace hakomiru
