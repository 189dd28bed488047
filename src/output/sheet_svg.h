#pragma once

#include <vector>

#include <QByteArray>
#include <QLineF>
#include <QPointF>
#include <QSize>

#include "conversion/sheet_drawing.h"
#include "output/page_layout.h"
#include "surface/result.h"

namespace hakomiru {

// The sheet's black lines split by what scissors do with them, in canvas pixels through the
// centres of the pixels the lines cover.
struct CutAndFold
{
    // The outlines of the net with its tabs, each a closed polygon (its last point joins its
    // first): the outline around the whole net, and the outline of the hole the bands and strips
    // close in between them. Empty when the cut lines do not close into outlines; they are then
    // in `cutLines`.
    std::vector<std::vector<QPointF>> outlines;
    std::vector<QLineF> cutLines;
    // Every other line: the edges between neighbouring pieces and the tabs' bases.
    std::vector<QLineF> foldLines;
};

// Splits the lines of remainingBlackLines() for pieces of `pieceBox` on a canvas of `canvas` at
// every point where another line meets them. A piece of line with the outside of the net on one
// side only is cut; everything else, pieces too short to have sides among them, is fold. The
// outside of the net is what a blank pixel of the 1x sheet's lines reaches, without crossing a
// line, from the canvas's edge or from the middle of a cell of the grid that holds no piece.
[[nodiscard]] CutAndFold cutAndFold(QSize canvas, QSize pieceBox);

// The sheet of `drawing` as an SVG document, sized in millimetres as the sheet is printed on the
// paper and orientation of `setup` without margins, its viewBox the canvas's pixels: the canvas's
// BackColor, each piece as an embedded JPEG picture (quality 94) at `pictureDpi`, the lines one
// canvas pixel wide and black in two Inkscape layers, "cut" (one path of closed outlines) and
// "fold".
[[nodiscard]] Result<QByteArray> sheetSvg(const SheetDrawing& drawing, const PageSetup& setup,
                                          int pictureDpi);

} // namespace hakomiru
