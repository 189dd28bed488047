#pragma once

#include <array>
#include <span>
#include <vector>

#include <QChar>
#include <QPoint>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QTransform>

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
[[nodiscard]] constexpr bool isVisibleSlot(int slot)
{
    for (const VisibleSlot& v : visibleSlots)
        if (v.index == slot)
            return true;
    return false;
}

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
// 1 top-right, 2 bottom-left, 3 bottom-right) of source box i, point-sampled and upright, so that
// each slot's picture comes out whole on the folded box. Sizes come from source box 0 and piece
// box 0 only, rounded to whole pixels (ties to even). A piece pixel whose source lies outside the
// bound test keeps its colour; the pieces are not cleared first. Piece 24 is never touched.
// ASSUMES: sourceBoxes has at least slotCount boxes and pieceBoxes at least pieceCount, none of
// piece size 0.
void CutQuarterPieces(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes);

// One axis of a piece as CutQuarterPieces reads it: piece coordinate v takes the source coordinate
// offset + step * v, rounded as the cut rounds it.
struct QuarterAxis
{
    double offset = 0;
    double step = 0;
};

// Where a piece of quarter 0..3 reads its slot's source box: along x and along y of the piece.
struct QuarterMap
{
    QuarterAxis alongX;
    QuarterAxis alongY;
};

// The map of one quarter for source boxes of `sourceBox` and piece boxes of `pieceBox` pixels
// (whole, positive sizes; the cut rounds them to 16-bit integers first).
[[nodiscard]] QuarterMap quarterMap(int quarter, QSize sourceBox, QSize pieceBox);

// The same map as a transform of continuous coordinates, from the piece box onto the source box:
// the piece's square covers exactly the quarter it is cut from.
[[nodiscard]] QTransform pieceToSourceBox(int quarter, QSize sourceBox, QSize pieceBox);

// The top-left corner of piece k's cell on the canvas, for pieces of W x H pixels, as PlacePieces
// places it.
[[nodiscard]] QPointF pieceCorner(int piece, float pieceWidth, float pieceHeight);
// The top-left corner of a cell of the grid, for pieces of W x H pixels.
[[nodiscard]] QPointF cellCorner(Cell cell, float pieceWidth, float pieceHeight);

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

// A black line left on the sheet once the white segments have erased theirs: from the centre of
// its first pixel to the centre of its last (both whole canvas pixels, as Surface::line rounds
// the segment's ends). Collinear black segments that touch or overlap are one line.
struct SheetLine
{
    QPoint from;
    QPoint to;

    friend bool operator==(const SheetLine&, const SheetLine&) = default;
};

// The black lines the segments leave, drawn in order: a white segment erases the pixels of the
// black lines drawn before it on the same line; later black segments draw again. Drawn one pixel
// wide with Surface::line, they cover exactly the black pixels of the segments drawn in order,
// for the sheet's own segments (lines along a row, a column or a diagonal).
[[nodiscard]] std::vector<SheetLine> remainingBlackLines(const std::vector<Segment>& segments);

// Draws sheetSegments() for the size of `pieceBox0` onto the canvas.
void DrawSheetLines(const Surface& pieceBox0, Surface& canvas);

// The three stages in order: cut, place, draw.
void convertSheet(std::span<const Surface> sourceBoxes, std::span<Surface> pieceBoxes,
                  Surface& canvas);

} // namespace hakomiru
