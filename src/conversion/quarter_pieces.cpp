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
// piece y; when `turned`, alongX holds source rows and alongY source columns.
void cutPiece(const Surface& source, Surface& piece, const std::vector<int>& alongX,
              const std::vector<int>& alongY, bool turned, int boundX, int boundY)
{
    // Piece pixels beyond the box are dropped, so only rows and columns inside it are visited.
    const int rows = std::min<int>(piece.height(), int(alongY.size()));
    const int columns = std::min<int>(piece.width(), int(alongX.size()));
    auto admitsX = [&](int sx) {
        return sx >= 0 && sx <= boundX;
    };
    auto admitsY = [&](int sy) {
        return sy >= 0 && sy <= boundY;
    };

    for (int y = 0; y < rows; ++y) {
        QRgb* target = piece.row(y);
        if (!turned) {
            const int sy = alongY[std::size_t(y)];
            if (!admitsY(sy))
                continue;
            const bool rowInside = sy < source.height();
            const QRgb* sourceRow = rowInside ? source.constRow(sy) : nullptr;
            for (int x = 0; x < columns; ++x) {
                const int sx = alongX[std::size_t(x)];
                if (!admitsX(sx))
                    continue;
                target[x] = (rowInside && sx < source.width()) ? sourceRow[sx] : source.backColor();
            }
        } else {
            const int sx = alongY[std::size_t(y)];
            if (!admitsX(sx))
                continue;
            for (int x = 0; x < columns; ++x) {
                const int sy = alongX[std::size_t(x)];
                if (!admitsY(sy))
                    continue;
                target[x] = source.point(sx, sy);
            }
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
