#include "output/box_drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QPainter>
#include <QPolygonF>
#include <QTransform>

namespace hakomiru {

namespace {

// The colour of the paper's unprinted side.
const QColor paperBack(226, 222, 212);

// A cell's corners in the order of its picture's: top-left, top-right, bottom-right, bottom-left.
std::array<QVector3D, 4> corners(const PlacedCell& cell)
{
    return {cell.at(0, 0), cell.at(1, 0), cell.at(1, 1), cell.at(0, 1)};
}

QPolygonF pictureCorners(const QImage& image)
{
    const qreal w = image.width();
    const qreal h = image.height();
    return QPolygonF({QPointF(0, 0), QPointF(w, 0), QPointF(w, h), QPointF(0, h)});
}

} // namespace

BoxPictures::BoxPictures(const QImage& sheet, bool blankHiddenSlots)
{
    const double W = (sheet.width() - 2) / 8.5;
    const double H = (sheet.height() - 2) / 6.5;
    const QImage rgb = sheet.convertToFormat(QImage::Format_RGB32);
    for (int k = 0; k < pieceCount; ++k) {
        const QPointF corner = cellCorner(PieceLayout[std::size_t(k)], float(W), float(H));
        // From the line on its left and top to the line on its right and bottom.
        const QRect cell(int(std::lround(corner.x())), int(std::lround(corner.y())),
                         int(std::lround(W)) + 1, int(std::lround(H)) + 1);
        QImage image = rgb.copy(cell);
        if (blankHiddenSlots && !isVisibleSlot(k / 4) && image.width() > 2 && image.height() > 2) {
            QPainter paper(&image);
            paper.fillRect(image.rect().adjusted(1, 1, -1, -1), Qt::white);
        }
        m_cells[std::size_t(k)] = image;
    }
}

QImage BoxPictures::face(const BoxPose& pose, const BoxFace& face, int cellPixels) const
{
    QImage image(2 * cellPixels, 2 * cellPixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QVector3D across = face.frame.across / face.frame.across.lengthSquared();
    const QVector3D down = face.frame.down / face.frame.down.lengthSquared();
    auto onFace = [&](const QVector3D& p) {
        const QVector3D d = p - face.frame.origin;
        return QPointF(QVector3D::dotProduct(d, across) * 2 * cellPixels,
                       QVector3D::dotProduct(d, down) * 2 * cellPixels);
    };
    for (int k : face.quadrants) {
        QPolygonF quad;
        for (const QVector3D& c : corners(pose[std::size_t(k)]))
            quad << onFace(c);
        QTransform map;
        if (!QTransform::quadToQuad(pictureCorners(cell(k)), quad, map))
            continue;
        painter.setTransform(map);
        painter.drawImage(0, 0, cell(k));
    }
    return image;
}

void paintBox(QPainter& painter, const QRectF& target, const BoxPictures& pictures,
              const BoxPose& pose, const QMatrix4x4& turn, float zoom)
{
    painter.save();
    painter.fillRect(target, QColor::fromRgb(boxBackground));
    painter.setClipRect(target);

    // In view space: centred, turned; the viewer stands `distance` cells in front, on -z.
    const QVector3D centre = poseCentre(pose);
    QMatrix4x4 view = turn;
    view.translate(-centre);
    float radius = 0;
    for (const PlacedCell& cell : pose)
        for (const QVector3D& c : corners(cell))
            radius = std::max(radius, (c - centre).length());
    constexpr float distance = 7;
    radius = std::clamp(radius, 0.5f, distance - 1);
    const float scale = zoom * 0.46f * float(std::min(target.width(), target.height())) *
                        (distance - radius) / radius;
    auto project = [&](const QVector3D& p) {
        const float depth = distance + p.z();
        return QPointF(target.center().x() + double(scale * p.x() / depth),
                       target.center().y() + double(scale * p.y() / depth));
    };
    const QVector3D eye(0, 0, -distance);
    const QVector3D light = QVector3D(-0.3f, -0.45f, -1).normalized();

    struct Drawn
    {
        int piece;
        float far;
        std::array<QVector3D, 4> at;
        QVector3D outward;
    };
    std::vector<Drawn> cells;
    for (int k = 0; k < pieceCount; ++k) {
        const PlacedCell& cell = pose[std::size_t(k)];
        // A cell pressed against another, face to face, is hidden between them.
        const bool pressed = std::any_of(pose.begin(), pose.end(), [&](const PlacedCell& other) {
            return &other != &cell && (other.centre() - cell.centre()).lengthSquared() < 1e-4f &&
                   QVector3D::dotProduct(other.outward(), cell.outward()) < -0.99f;
        });
        if (pressed)
            continue;
        Drawn d{k, 0, {}, view.mapVector(cell.outward())};
        const auto c = corners(cell);
        for (std::size_t i = 0; i < 4; ++i)
            d.at[i] = view.map(c[i]);
        d.far = ((d.at[0] + d.at[2]) / 2 - eye).length();
        cells.push_back(d);
    }
    std::sort(cells.begin(), cells.end(),
              [](const Drawn& a, const Drawn& b) { return a.far > b.far; });

    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    for (const Drawn& d : cells) {
        QPolygonF quad;
        for (const QVector3D& p : d.at)
            quad << project(p);
        const QVector3D middle = (d.at[0] + d.at[2]) / 2;
        const bool printedSide = QVector3D::dotProduct(d.outward, eye - middle) > 0;
        const QVector3D facing = printedSide ? d.outward : -d.outward;
        const float lit = std::max(0.0f, QVector3D::dotProduct(facing.normalized(), light));
        if (printedSide) {
            QTransform map;
            const QImage& picture = pictures.cell(d.piece);
            if (QTransform::quadToQuad(pictureCorners(picture), quad, map)) {
                painter.setTransform(map);
                painter.drawImage(0, 0, picture);
                painter.resetTransform();
            }
        } else {
            painter.setBrush(paperBack);
            painter.drawPolygon(quad);
        }
        painter.setBrush(QColor(0, 0, 0, int(std::lround(110 * (1 - lit)))));
        painter.drawPolygon(quad);
    }
    painter.restore();
}

QMatrix4x4 startingTurn(const Box& box, int state)
{
    QMatrix4x4 tilt;
    tilt.rotate(16, 1, 0, 0);
    tilt.rotate(-26, 0, 1, 0);
    return tilt * facingView(box, state);
}

QImage boxStatesPicture(const BoxPictures& pictures)
{
    const Box& box = sheetBox();
    QImage image(boxStateCount * boxStatePictureSide, boxStatePictureSide, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int s = 0; s < boxStateCount; ++s)
        paintBox(painter,
                 QRectF(s * boxStatePictureSide, 0, boxStatePictureSide, boxStatePictureSide),
                 pictures, statePose(box, s), startingTurn(box, s));
    return image;
}

} // namespace hakomiru
