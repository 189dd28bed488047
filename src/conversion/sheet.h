#pragma once

#include <array>
#include <span>
#include <vector>

#include <QChar>
#include <QRgb>
#include <QSize>

namespace hakomiru {

class Surface;

// Slots in use (0..5) and the pieces they are cut into: slot i, quarter j is piece 4 * i + j.
inline constexpr int slotCount = 6;
inline constexpr int pieceCount = 24;
// The result window holds one more piece box (24) that nothing draws into.
inline constexpr int pieceBoxCount = 25;

// The three slots the user fills, 絵A, 絵B and 絵C. The letter names a slot wherever the user
// sees it (captions, the exporter's -a, -b and -c); the paste question numbers slots from 1
// (絵1, 絵2, 絵6), as the program has always asked, and the menu items are named by that number.
// Slots 2..4 are in use but never shown.
struct VisibleSlot
{
    int index;
    QChar letter;
    int pasteNumber;
};
inline constexpr std::array<VisibleSlot, 3> visibleSlots = {
    {{0, u'A', 1}, {1, u'B', 2}, {5, u'C', 6}}};

// Source boxes: one for each slot in use, and two more that nothing fills or reads.
inline constexpr int sourceBoxCount = 8;

// The boxes as the program sizes them at start-up, in pixels, all square: each slot's source box
// (which the conversion reads) and preview box, and the result window's piece boxes. The two
// source boxes beyond the slots keep their designed 401 x 489.
inline constexpr int sourceBoxSide = 489;
inline constexpr QSize unusedSourceBoxSize{401, 489};
inline constexpr int previewBoxSide = 145;
inline constexpr int pieceBoxSide = 200;

// A cell of the sheet's grid: rows 1..6 from the top, columns 1..8 from the left.
struct Cell
{
    int row;
    int column;
};

// The cell of every piece: two bands (rows 2 and 5) crossed by two strips (columns 3 and 6).
extern const std::array<Cell, pieceCount> PieceLayout;

// The sheet canvas for pieces the size of `pieceBox0`: 8.5 piece widths + 2 by 6.5 piece heights
// + 2 pixels (1702 x 1302 for 200-pixel pieces).
[[nodiscard]] QSize sheetCanvasSize(const Surface& pieceBox0);

// Cuts each of the six slot pictures into its quarters: piece 4 * i + j gets quarter j (0 top-left,
// 1 top-right, 2 bottom-left, 3 bottom-right) of source box i, point-sampled, turned a quarter turn
// for slot 1 and upright for the others. Sizes come from source box 0 and piece box 0 only,
// rounded to whole pixels (ties to even). A piece pixel whose source lies outside the bound test
// keeps its colour; the pieces are not cleared first. Piece 24 is never touched.
// ASSUMES: sourceBoxes has at least slotCount boxes and pieceBoxes at least pieceCount, none of
// piece size 0.
void CutQuarterPieces(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes);

// Moves pieces 0..23 to their cells (Left, Top) and paints each, at its natural size, onto the
// canvas at the position read back. The canvas is not cleared first. Cell (r, c) starts at
// ((c - 1) * W + 1 + W / 4, (r - 1) * H + 1), W and H the size of piece box 0.
void PlacePieces(std::span<Surface> pieceBoxes, Surface& canvas);

// One straight segment of the sheet's drawing.
struct Segment
{
    float x1;
    float y1;
    float x2;
    float y2;
    QRgb color;

    friend bool operator==(const Segment&, const Segment&) = default;
};

// The 130 segments of the sheet's cut and fold lines and glue tabs, in drawing order, for pieces
// of W x H pixels: 126 black, 4 white that erase parts of earlier black ones.
[[nodiscard]] std::vector<Segment> sheetSegments(float pieceWidth, float pieceHeight);

// Draws sheetSegments() for the size of `pieceBox0` onto the canvas.
void DrawSheetLines(const Surface& pieceBox0, Surface& canvas);

// The three stages in order: cut, place, draw.
void convertSheet(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes,
                  Surface& canvas);

} // namespace hakomiru
