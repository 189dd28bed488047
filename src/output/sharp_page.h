#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QImage>
#include <QRect>
#include <QRectF>

#include "conversion/sheet_drawing.h"

class QPagedPaintDevice;
class QPainter;

namespace hakomiru {

// The resolutions the page's pictures are drawn at, in dots per inch: a printer's own resolution
// within these bounds.
inline constexpr int minimumPictureDpi = 300;
inline constexpr int maximumPictureDpi = 600;

// A device's resolution held to [minimumPictureDpi, maximumPictureDpi].
[[nodiscard]] int pictureDpiFor(int deviceDpi);

// The pictures of the 24 pieces of a drawing at any size. Each slot's kept picture is fitted into
// the source box as the slot's boxes were painted, at the slot's view, and each piece shows the
// same quarter of it as the cut piece does: averaged where the kept picture has
// more pixels than the piece's picture, interpolated where it has fewer.
class SharpPieces
{
public:
    // `picturePixelsPerSheetPixel`: about how many picture pixels the pieces will be drawn with
    // along a sheet pixel; the kept pictures are reduced once, to that.
    SharpPieces(const SheetDrawing& drawing, double picturePixelsPerSheetPixel);

    // The picture of piece k at `size` pixels, in Format_RGB32; null when its slot holds no
    // picture, and the piece is all backColor(k). Cheapest when asked in piece order.
    [[nodiscard]] QImage piece(int k, QSize size);
    // The piece's background: its slot's BackColor.
    [[nodiscard]] QRgb backColor(int k) const;
    // Where piece k lies on the canvas, in canvas pixels (as PlacePieces places it).
    [[nodiscard]] QRectF onSheet(int k) const;

private:
    struct Prepared
    {
        QImage image;
        QRectF inSourceBox;
    };
    const SheetDrawing& m_drawing;
    double m_pixelsPerBoxPixel;
    int m_preparedSlot = -1;
    Prepared m_prepared;
};

// Called after each piece of a sheet is made with how many of how many are made; false stops.
using SheetProgress = std::function<bool(int done, int total)>;

// The sheet of a drawing made for a destination, ready to draw: each piece's picture and the
// device pixels it covers (see paintSharpSheet).
struct SharpSheet
{
    struct Piece
    {
        QRect target;
        QImage picture; // null: the piece is all backColor
        QRgb backColor;
    };
    QRectF destination;
    std::vector<Piece> pieces;
};

// Makes the pictures of the pieces of `drawing` as paintSharpSheet draws them into `destination`,
// one by one, telling `progress` after each; nothing when `progress` stopped it.
[[nodiscard]] std::optional<SharpSheet> makeSharpSheet(const SheetDrawing& drawing,
                                                       const QRectF& destination,
                                                       double picturesPerDevicePixel = 1.0,
                                                       const SheetProgress& progress = {});
// Draws a sheet made by makeSharpSheet, as paintSharpSheet describes.
void drawSharpSheet(QPainter& painter, const SheetDrawing& drawing, const SharpSheet& sheet);

// Draws the sheet of `drawing` into `destination`, the canvas's rectangle in the painter's device
// pixels (the painter's transform is ignored and left as it was), without looking at the canvas:
// - the canvas's BackColor over the whole rectangle;
// - each of the 24 pieces from its slot's kept picture, fitted into the source box as the slot's
//   boxes were painted (at the slot's view), cut into the same quarter and laid
//   in its cell; each piece is a picture of its own at `picturesPerDevicePixel` times the device's
//   pixels, averaged where the kept picture is larger and interpolated where it is smaller; the
//   piece covers the whole device pixels nearest its rectangle, so neighbouring pieces meet without
//   a gap;
// - the black lines of remainingBlackLines() as lines one sheet pixel wide, through the centres of
//   the sheet pixels they cover, with square ends. Nothing white is drawn over them.
// Before the first conversion only the BackColor is drawn, as the canvas is then blank.
void paintSharpSheet(QPainter& painter, const SheetDrawing& drawing, const QRectF& destination,
                     double picturesPerDevicePixel = 1.0);

// Draws the sheet of `drawing` as the one page of `device` (a printer or a PDF writer, its paper
// already set): at sheetDestination() for the printable width of the device's page layout,
// converted to the device's pixels, whose origin is the printable area's top-left corner; the
// pictures at `pictureDpi`. Begins and ends the painting. Given `progress`, the pieces are all made
// (and held) first, telling it after each, and only then is the painting begun, so a stop leaves
// the device as it was. False when the canvas has no area, `progress` stopped, or the device
// refuses to paint.
[[nodiscard]] bool paintSharpSheetOnPage(QPagedPaintDevice& device, const SheetDrawing& drawing,
                                         int pictureDpi, const SheetProgress& progress = {});

// The sheet of `drawing` drawn `scale` times as large as the canvas, in Format_RGB32: pictures
// resampled at that size, lines `scale` pixels wide. Null when the image cannot be allocated.
[[nodiscard]] QImage sharpSheetImage(const SheetDrawing& drawing, int scale);

} // namespace hakomiru
