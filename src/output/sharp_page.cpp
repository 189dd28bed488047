#include "output/sharp_page.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

#include "output/page_layout.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

// The part of a kept picture that shows in its source box, ready to be drawn: reduced (averaged)
// to about `pixelsPerBoxPixel` when it is larger, and where it lies in the source box's
// coordinates. A null image draws nothing.
std::pair<QImage, QRectF> preparePicture(const KeptPicture& kept, QSizeF sourceBox,
                                         double pixelsPerBoxPixel)
{
    if (kept.image.isNull())
        return {};
    const auto fitted = fitPicture(kept.measured.width(), kept.measured.height(), sourceBox.width(),
                                   sourceBox.height(), kept.fitMode, kept.aspectThreshold);
    // A holder less than half a pixel wide or high paints nothing on the boxes either.
    if (!fitted || fitted->holderWidth < 0.5f || fitted->holderHeight < 0.5f)
        return {};
    const Fit viewed = viewedFit(*fitted, kept.view, sourceBox.width(), sourceBox.height(), 1.0);
    const QRectF holder(viewed.offsetX, viewed.offsetY, viewed.holderWidth, viewed.holderHeight);
    const QRect shown = pixelsInBox(holder, kept.image.size(), sourceBox);
    if (shown.isEmpty())
        return {};
    QImage part = shown == kept.image.rect() ? kept.image : kept.image.copy(shown);
    const double boxPerPixelX = holder.width() / kept.image.width();
    const double boxPerPixelY = holder.height() / kept.image.height();
    const QRectF placed(holder.left() + shown.left() * boxPerPixelX,
                        holder.top() + shown.top() * boxPerPixelY, shown.width() * boxPerPixelX,
                        shown.height() * boxPerPixelY);

    const double wantedWidth = placed.width() * pixelsPerBoxPixel;
    const double wantedHeight = placed.height() * pixelsPerBoxPixel;
    if (wantedWidth < part.width() || wantedHeight < part.height()) {
        const QSize size(std::clamp(static_cast<int>(std::ceil(wantedWidth)), 1, part.width()),
                         std::clamp(static_cast<int>(std::ceil(wantedHeight)), 1, part.height()));
        part = averagedReduction(part.convertToFormat(QImage::Format_RGB32), size);
    }
    return {part, placed};
}

} // namespace

SharpPieces::SharpPieces(const SheetDrawing& drawing, double picturePixelsPerSheetPixel)
    : m_drawing(drawing)
{
    // A piece's side shows half the source box's.
    const double boxToPiece =
        std::max(double(drawing.pieceBox.width()) * 2 / std::max(1, drawing.sourceBox.width()),
                 double(drawing.pieceBox.height()) * 2 / std::max(1, drawing.sourceBox.height()));
    m_pixelsPerBoxPixel = picturePixelsPerSheetPixel * boxToPiece;
}

QRgb SharpPieces::backColor(int k) const
{
    return m_drawing.slotBackColors.at(std::size_t(k / 4));
}

QRectF SharpPieces::onSheet(int k) const
{
    const QSizeF size(m_drawing.pieceBox);
    return {pieceCorner(k, static_cast<float>(size.width()), static_cast<float>(size.height())),
            size};
}

QImage SharpPieces::piece(int k, QSize size)
{
    const int slot = k / 4;
    if (k < 0 || k >= pieceCount || size.isEmpty() || m_drawing.pieceBox.isEmpty() ||
        m_drawing.sourceBox.isEmpty())
        return {};
    if (slot != m_preparedSlot) {
        m_prepared = {};
        auto [image, inSourceBox] =
            preparePicture(m_drawing.pictures.at(std::size_t(slot)), QSizeF(m_drawing.sourceBox),
                           m_pixelsPerBoxPixel);
        m_prepared = {std::move(image), inSourceBox};
        m_preparedSlot = slot;
    }
    if (m_prepared.image.isNull())
        return {};

    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(backColor(k));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Pixels of the piece's picture -> the piece box's coordinates -> the source box's.
    const QSizeF pieceSize(m_drawing.pieceBox);
    const QTransform toSource = QTransform::fromScale(pieceSize.width() / size.width(),
                                                      pieceSize.height() / size.height()) *
                                pieceToSourceBox(k % 4, m_drawing.sourceBox, m_drawing.pieceBox);
    painter.setTransform(toSource.inverted());
    painter.drawImage(m_prepared.inSourceBox, m_prepared.image);
    painter.end();
    return image;
}

int pictureDpiFor(int deviceDpi)
{
    return std::clamp(deviceDpi, minimumPictureDpi, maximumPictureDpi);
}

namespace {

// Makes the pieces of `drawing` for `destination` in piece order and hands each to `take`, which
// may stop them by returning false. False when stopped.
bool makePieces(const SheetDrawing& drawing, const QRectF& destination,
                double picturesPerDevicePixel,
                const std::function<bool(SharpSheet::Piece piece)>& take)
{
    const double scaleX = destination.width() / drawing.canvas.width();
    const double scaleY = destination.height() / drawing.canvas.height();
    const QTransform sheetToDevice(scaleX, 0, 0, scaleY, destination.left(), destination.top());
    SharpPieces pieces(drawing, std::max(scaleX, scaleY) * picturesPerDevicePixel);
    for (int k = 0; k < pieceCount; ++k) {
        // The piece covers the whole device pixels nearest its rectangle.
        const QRectF onDevice = sheetToDevice.mapRect(pieces.onSheet(k));
        const QPoint topLeft(qRound(onDevice.left()), qRound(onDevice.top()));
        const QPoint bottomRight(qRound(onDevice.right()), qRound(onDevice.bottom()));
        const QRect target(topLeft,
                           QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
        SharpSheet::Piece piece{target, {}, pieces.backColor(k)};
        if (!target.isEmpty())
            piece.picture = pieces.piece(
                k, QSize(std::max(1, qRound(target.width() * picturesPerDevicePixel)),
                         std::max(1, qRound(target.height() * picturesPerDevicePixel))));
        if (!take(std::move(piece)))
            return false;
    }
    return true;
}

void drawPiece(QPainter& painter, const SharpSheet::Piece& piece)
{
    if (piece.target.isEmpty())
        return;
    if (piece.picture.isNull())
        painter.fillRect(piece.target, QColor::fromRgb(piece.backColor));
    else
        painter.drawImage(piece.target, piece.picture);
}

// Whether there is anything to draw, and whether there are pieces.
bool drawsAnything(const SheetDrawing& drawing, const QRectF& destination,
                   double picturesPerDevicePixel)
{
    return !drawing.canvas.isEmpty() && destination.isValid() && picturesPerDevicePixel > 0;
}
bool drawsPieces(const SheetDrawing& drawing)
{
    return drawing.converted && !drawing.pieceBox.isEmpty() && !drawing.sourceBox.isEmpty();
}

// Draws the sheet: the BackColor, each piece as `pieces` hands it over (false: stop), the lines.
void drawSheet(QPainter& painter, const SheetDrawing& drawing, const QRectF& destination,
               const std::function<bool(const std::function<bool(SharpSheet::Piece)>&)>& pieces)
{
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The pieces come at the device's resolution: nothing for a viewer to smooth.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(destination, QColor::fromRgb(drawing.canvasBackColor));
    if (!drawsPieces(drawing)) {
        painter.restore();
        return;
    }
    (void)pieces([&painter](const SharpSheet::Piece& piece) {
        drawPiece(painter, piece);
        return true;
    });

    // The lines, one sheet pixel wide, through the centres of the pixels they cover.
    const double scaleX = destination.width() / drawing.canvas.width();
    const double scaleY = destination.height() / drawing.canvas.height();
    const QTransform sheetToDevice(scaleX, 0, 0, scaleY, destination.left(), destination.top());
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor::fromRgb(QBColor(0)), (scaleX + scaleY) / 2, Qt::SolidLine, Qt::SquareCap,
             Qt::MiterJoin);
    painter.setPen(pen);
    const auto segments = sheetSegments(static_cast<float>(drawing.pieceBox.width()),
                                        static_cast<float>(drawing.pieceBox.height()));
    for (const SheetLine& line : remainingBlackLines(segments)) {
        const QPointF from = sheetToDevice.map(QPointF(line.from) + QPointF(0.5, 0.5));
        const QPointF to = sheetToDevice.map(QPointF(line.to) + QPointF(0.5, 0.5));
        painter.drawLine(QLineF(from, to));
    }
    painter.restore();
}

} // namespace

std::optional<SharpSheet> makeSharpSheet(const SheetDrawing& drawing, const QRectF& destination,
                                         double picturesPerDevicePixel,
                                         const SheetProgress& progress)
{
    SharpSheet sheet;
    if (!drawsAnything(drawing, destination, picturesPerDevicePixel))
        return sheet;
    sheet.destination = destination;
    if (!drawsPieces(drawing))
        return sheet;
    int done = 0;
    const bool made =
        makePieces(drawing, destination, picturesPerDevicePixel, [&](SharpSheet::Piece piece) {
            sheet.pieces.push_back(std::move(piece));
            return !progress || progress(++done, pieceCount);
        });
    if (!made)
        return std::nullopt;
    return sheet;
}

void drawSharpSheet(QPainter& painter, const SheetDrawing& drawing, const SharpSheet& sheet)
{
    if (!sheet.destination.isValid() || drawing.canvas.isEmpty())
        return;
    drawSheet(painter, drawing, sheet.destination, [&sheet](const auto& draw) {
        for (const SharpSheet::Piece& piece : sheet.pieces)
            (void)draw(piece);
        return true;
    });
}

void paintSharpSheet(QPainter& painter, const SheetDrawing& drawing, const QRectF& destination,
                     double picturesPerDevicePixel)
{
    if (!drawsAnything(drawing, destination, picturesPerDevicePixel))
        return;
    // Each piece is drawn as soon as it is made, so only one is held at a time.
    drawSheet(painter, drawing, destination, [&](const auto& draw) {
        return makePieces(drawing, destination, picturesPerDevicePixel, draw);
    });
}

bool paintSharpSheetOnPage(QPagedPaintDevice& device, const SheetDrawing& drawing, int pictureDpi,
                           const SheetProgress& progress)
{
    const std::optional<SheetOnPage> sheetPlace = sheetOnPage(
        device.pageLayout(), QSizeF(drawing.canvas), device.logicalDpiX(), device.logicalDpiY());
    if (!sheetPlace || device.logicalDpiX() <= 0)
        return false;
    const QRectF onDevice = sheetPlace->devicePixels;
    const double picturesPerDevicePixel = double(pictureDpi) / device.logicalDpiX();
    // Followed, the pieces are all made before the page is begun, so that a stop leaves the
    // device as it was; otherwise each is drawn as it is made.
    std::optional<SharpSheet> sheet;
    if (progress) {
        sheet = makeSharpSheet(drawing, onDevice, picturesPerDevicePixel, progress);
        if (!sheet)
            return false;
    }
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    if (sheet)
        drawSharpSheet(painter, drawing, *sheet);
    else
        paintSharpSheet(painter, drawing, onDevice, picturesPerDevicePixel);
    return painter.end();
}

QImage sharpSheetImage(const SheetDrawing& drawing, int scale)
{
    if (scale < 1 || drawing.canvas.isEmpty())
        return {};
    QImage image(drawing.canvas * scale, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(drawing.canvasBackColor);
    QPainter painter(&image);
    paintSharpSheet(painter, drawing, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    return image;
}

} // namespace hakomiru
