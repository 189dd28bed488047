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
    // The outline of the whole net with its tabs, as one closed polygon (its last point joins its
    // first). Empty when the cut lines do not close into one outline; they are then in `cutLines`.
    std::vector<QPointF> outline;
    std::vector<QLineF> cutLines;
    // Every other line: the edges between neighbouring pieces and the tabs' bases.
    std::vector<QLineF> foldLines;
};

// Splits the lines of remainingBlackLines() for pieces of `pieceBox` on a canvas of `canvas` at
// every point where another line meets them. A piece of line with the outside of the net (the
// canvas's blank pixels reachable from its edge without crossing a line of the 1x sheet) on one
// side only is cut; everything else, pieces too short to have sides among them, is fold.
[[nodiscard]] CutAndFold cutAndFold(QSize canvas, QSize pieceBox);

// The sheet of `drawing` as an SVG document, sized in millimetres as the sheet is printed on the
// paper and orientation of `setup` without margins, its viewBox the canvas's pixels: the canvas's
// BackColor, each piece as an embedded JPEG picture (quality 94) at `pictureDpi`, the lines one
// canvas pixel wide and black in two Inkscape layers, "cut" (the outline as one closed path) and
// "fold".
[[nodiscard]] Result<QByteArray> sheetSvg(const SheetDrawing& drawing, const PageSetup& setup,
                                          int pictureDpi);

} // namespace hakomiru
