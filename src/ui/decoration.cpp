#include "ui/decoration.h"

#include <algorithm>

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace hakomiru {

QImage decorationPicture(int side)
{
    QImage picture(side, side, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    if (side <= 0)
        return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = double(side) / decorationSide;
    painter.scale(scale, scale);
    // Pen widths are in the 50-pixel design; on small sizes they are kept to one device pixel.
    const double onePixel = 1.0 / scale;
    painter.setPen(QPen(QColor(40, 40, 40), std::max(1.5, onePixel)));

    // A cube seen from above: top, left and right faces in the button colours of the program.
    const QPointF top(25, 5);
    const QPointF left(6, 15);
    const QPointF right(44, 15);
    const QPointF centre(25, 25);
    const QPointF bottom(25, 46);
    const QPointF lowerLeft(6, 36);
    const QPointF lowerRight(44, 36);
    painter.setBrush(QColor(openFace));
    painter.drawPolygon(QPolygonF({top, right, centre, left}));
    painter.setBrush(QColor(goFace));
    painter.drawPolygon(QPolygonF({left, centre, bottom, lowerLeft}));
    painter.setBrush(QColor(backFace));
    painter.drawPolygon(QPolygonF({centre, right, lowerRight, bottom}));

    // A dashed fold line across the top face.
    QPen fold(QColor(40, 40, 40), std::max(1.0, onePixel), Qt::DashLine);
    painter.setPen(fold);
    painter.drawLine(QPointF(15.5, 10), QPointF(34.5, 20));
    painter.end();
    return picture;
}

QIcon programIcon()
{
    QIcon icon;
    for (int side : iconSides)
        icon.addPixmap(QPixmap::fromImage(decorationPicture(side)));
    return icon;
}

} // namespace hakomiru
