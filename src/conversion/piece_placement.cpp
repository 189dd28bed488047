#include "conversion/sheet.h"
#include "surface/rounding.h"
#include "surface/surface.h"

namespace hakomiru {

// clang-format off
const std::array<Cell, pieceCount> PieceLayout = {{
    {2, 7}, {2, 2}, {5, 7}, {5, 2},   // slot 0 (絵A): beside the band ends
    {2, 8}, {2, 1}, {5, 8}, {5, 1},   // slot 1 (絵B): band ends
    {6, 3}, {6, 6}, {1, 3}, {1, 6},   // slot 2: strip ends
    {2, 4}, {2, 5}, {5, 4}, {5, 5},   // slot 3: band middles
    {2, 3}, {2, 6}, {5, 3}, {5, 6},   // slot 4: crossings
    {3, 3}, {3, 6}, {4, 3}, {4, 6},   // slot 5 (絵C): strip middles
}};
// clang-format on

QSize sheetCanvasSize(const Surface& pieceBox0)
{
    return QSize(toInt(pieceBox0.width() * 8.5 + 2), toInt(pieceBox0.height() * 6.5 + 2));
}

QPointF pieceCorner(int piece, float W, float H)
{
    return cellCorner(PieceLayout.at(std::size_t(piece)), W, H);
}

QPointF cellCorner(Cell cell, float W, float H)
{
    const float sheetMargin = W / 4;
    const float left = float(cell.column - 1) * W + 1 + sheetMargin;
    const float top = float(cell.row - 1) * H + 1;
    return {left, top};
}

void PlacePieces(std::span<Surface> pieceBoxes, Surface& canvas)
{
    for (int k = 0; k < pieceCount; ++k) {
        const auto W = static_cast<float>(pieceBoxes[0].width());
        const auto H = static_cast<float>(pieceBoxes[0].height());
        const QPointF corner = pieceCorner(k, W, H);
        Surface& piece = pieceBoxes[std::size_t(k)];
        piece.setLeft(static_cast<float>(corner.x()));
        piece.setTop(static_cast<float>(corner.y()));
        canvas.paintPicture(piece.image(), piece.left(), piece.top());
    }
}

void convertSheet(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes,
                  Surface& canvas)
{
    CutQuarterPieces(sourceBoxes, pieceBoxes);
    PlacePieces(pieceBoxes, canvas);
    DrawSheetLines(pieceBoxes[0], canvas);
}

} // namespace hakomiru
