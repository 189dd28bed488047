#pragma once

#include <array>

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QSizeF>

#include "conversion/sheet.h"
#include "intake/fit.h"
#include "intake/slot_view.h"

namespace hakomiru {

// The side of a slot's source box on the sharpest page the program makes: the sheet at 96 % of
// an A3 landscape page without margins, at 600 dots per inch, shows the 489-pixel box 2238.5
// device pixels wide. A slot keeps its picture no larger than that needs.
inline constexpr int keptBoxSide = 2240;

// A slot's picture as the slot keeps it for drawing the sheet at any resolution: decoded at no
// more than keptBoxSide needs, opaque (transparent parts flattened onto the source box's
// BackColor), with what its fit was worked out from when it was placed and the view the slot
// shows it at.
struct KeptPicture
{
    QImage image; // null: the slot holds no picture and shows its BackColor
    QSizeF measured;
    int fitMode = fitWhole;
    double aspectThreshold = fileAspectThreshold;
    SlotView view;
};

// Everything the sheet's drawing is made of, as a conversion made it: the slots' kept pictures
// and colours, and the sizes of the boxes. With PieceLayout and sheetSegments() it gives the
// same sheet as the canvas at any resolution.
struct SheetDrawing
{
    // False before the first conversion: the canvas is still blank.
    bool converted = false;
    std::array<KeptPicture, slotCount> pictures;
    std::array<QRgb, slotCount> slotBackColors{};
    QSize sourceBox;
    QSize pieceBox;
    QSize canvas;
    QRgb canvasBackColor = 0xffffffff;
};

} // namespace hakomiru
