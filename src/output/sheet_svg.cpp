#include "output/sheet_svg.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>

#include <QBuffer>
#include <QImageWriter>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include "conversion/sheet.h"
#include "output/sharp_page.h"
#include "surface/program_title.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

constexpr double jpegQuality = 94;

// The canvas pixels of the outside of the net: blank pixels joined by blank pixels side by side
// (a diagonal line of pixels, joined only at corners, is a wall) to the canvas's edge or to one of
// `seeds`.
std::vector<bool> outsideOfTheNet(const Surface& lines, const std::vector<QPoint>& seeds)
{
    const int width = lines.width();
    const int height = lines.height();
    const QRgb black = QBColor(0);
    std::vector<bool> outside(std::size_t(width) * std::size_t(height), false);
    std::deque<QPoint> next;
    auto reach = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
        if (outside[at] || lines.point(x, y) == black)
            return;
        outside[at] = true;
        next.emplace_back(x, y);
    };
    for (int x = 0; x < width; ++x) {
        reach(x, 0);
        reach(x, height - 1);
    }
    for (int y = 0; y < height; ++y) {
        reach(0, y);
        reach(width - 1, y);
    }
    for (const QPoint& seed : seeds)
        reach(seed.x(), seed.y());
    while (!next.empty()) {
        const QPoint p = next.front();
        next.pop_front();
        reach(p.x() - 1, p.y());
        reach(p.x() + 1, p.y());
        reach(p.x(), p.y() - 1);
        reach(p.x(), p.y() + 1);
    }
    return outside;
}

// Where segment ab meets segment cd, as a fraction of ab; nothing when they do not meet or are
// parallel.
std::optional<double> meeting(QPointF a, QPointF b, QPointF c, QPointF d)
{
    const QPointF r = b - a;
    const QPointF s = d - c;
    const double denominator = r.x() * s.y() - r.y() * s.x();
    if (std::abs(denominator) < 1e-12)
        return std::nullopt;
    const QPointF q = c - a;
    const double t = (q.x() * s.y() - q.y() * s.x()) / denominator;
    const double u = (q.x() * r.y() - q.y() * r.x()) / denominator;
    constexpr double eps = 1e-9;
    if (t < -eps || t > 1 + eps || u < -eps || u > 1 + eps)
        return std::nullopt;
    return std::clamp(t, 0.0, 1.0);
}

// The smallest index among the points joined to `i` (points within 1.5 pixels are one corner:
// lines meeting at a corner may end on neighbouring pixels).
int root(std::vector<int>& parent, int i)
{
    while (parent[std::size_t(i)] != i)
        i = parent[std::size_t(i)] = parent[std::size_t(parent[std::size_t(i)])];
    return i;
}

// The cut lines as closed polygons, or nothing when they do not all close into loops.
std::vector<std::vector<QPointF>> closedOutlines(const std::vector<QLineF>& cut)
{
    if (cut.size() < 3)
        return {};
    std::vector<QPointF> ends; // line i has the ends 2 i and 2 i + 1
    for (const QLineF& line : cut) {
        ends.push_back(line.p1());
        ends.push_back(line.p2());
    }
    std::vector<int> parent(ends.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (std::size_t i = 0; i < ends.size(); ++i)
        for (std::size_t j = i + 1; j < ends.size(); ++j)
            if (QLineF(ends[i], ends[j]).length() <= 1.5)
                parent[std::size_t(root(parent, int(j)))] = root(parent, int(i));
    // Each corner must join exactly two lines, and no line may begin and end at one corner.
    std::vector<std::vector<std::size_t>> atCorner(ends.size());
    for (std::size_t i = 0; i < ends.size(); ++i)
        atCorner[std::size_t(root(parent, int(i)))].push_back(i);
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t corner = std::size_t(root(parent, int(i)));
        if (atCorner[corner].size() != 2 || root(parent, int(i ^ 1)) == int(corner))
            return {};
    }
    // Walk each loop from its first line not yet walked.
    std::vector<std::vector<QPointF>> outlines;
    std::vector<bool> walked(cut.size(), false);
    for (std::size_t first = 0; first < cut.size(); ++first) {
        if (walked[first])
            continue;
        std::vector<QPointF> outline;
        std::size_t end = 2 * first; // the end at which the walk enters a line
        while (!walked[end / 2]) {
            walked[end / 2] = true;
            const std::size_t leave = end ^ 1;
            if (outline.empty() || outline.back() != ends[end])
                outline.push_back(ends[end]);
            outline.push_back(ends[leave]);
            const auto& joined = atCorner[std::size_t(root(parent, int(leave)))];
            end = joined[0] == leave ? joined[1] : joined[0];
        }
        if (end != 2 * first)
            return {};
        if (outline.size() > 1 && outline.back() == outline.front())
            outline.pop_back();
        outlines.push_back(std::move(outline));
    }
    return outlines;
}

QString number(double value)
{
    return QString::number(value, 'f', 4).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

QString colorText(QRgb color)
{
    return QStringLiteral("#%1").arg(color & 0xffffffu, 6, 16, QLatin1Char('0'));
}

QString pathOf(const std::vector<QLineF>& lines)
{
    QStringList parts;
    for (const QLineF& line : lines)
        parts << QStringLiteral("M%1 %2L%3 %4")
                     .arg(number(line.x1()), number(line.y1()), number(line.x2()),
                          number(line.y2()));
    return parts.join(QString());
}

} // namespace

CutAndFold cutAndFold(QSize canvas, QSize pieceBox)
{
    CutAndFold result;
    if (canvas.isEmpty() || pieceBox.isEmpty())
        return result;
    const auto segments = sheetSegments(float(pieceBox.width()), float(pieceBox.height()));
    const std::vector<SheetLine> lines = remainingBlackLines(segments);

    Surface drawn(canvas.width(), canvas.height(), QBColor(15));
    DrawSheetLines(Surface(pieceBox.width(), pieceBox.height()), drawn);
    // The middles of the grid's cells without a piece: the hole between the bands and the strips
    // is outside the net too, though the net closes it in.
    std::vector<QPoint> emptyCells;
    const float W = float(pieceBox.width());
    const float H = float(pieceBox.height());
    for (int row = 1; row <= 6; ++row)
        for (int column = 1; column <= 8; ++column) {
            bool holdsAPiece = false;
            for (int k = 0; k < pieceCount; ++k)
                holdsAPiece = holdsAPiece || (PieceLayout[std::size_t(k)].row == row &&
                                              PieceLayout[std::size_t(k)].column == column);
            if (holdsAPiece)
                continue;
            const QPointF middle = cellCorner({row, column}, W, H) + QPointF(W / 2, H / 2);
            emptyCells.push_back(middle.toPoint());
        }
    const std::vector<bool> outside = outsideOfTheNet(drawn, emptyCells);
    auto isOutside = [&](QPointF at) {
        const int x = static_cast<int>(std::floor(at.x()));
        const int y = static_cast<int>(std::floor(at.y()));
        if (x < 0 || y < 0 || x >= canvas.width() || y >= canvas.height())
            return true;
        return bool(outside[std::size_t(y) * std::size_t(canvas.width()) + std::size_t(x)]);
    };

    std::vector<QLineF> cut;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QPointF a(lines[i].from);
        const QPointF b(lines[i].to);
        std::vector<double> splits{0.0, 1.0};
        for (std::size_t j = 0; j < lines.size(); ++j)
            if (j != i)
                if (const auto t = meeting(a, b, QPointF(lines[j].from), QPointF(lines[j].to)))
                    splits.push_back(*t);
        std::sort(splits.begin(), splits.end());
        for (std::size_t k = 0; k + 1 < splits.size(); ++k) {
            const QPointF from = a + (b - a) * splits[k];
            const QPointF to = a + (b - a) * splits[k + 1];
            const QLineF piece(from + QPointF(0.5, 0.5), to + QPointF(0.5, 0.5));
            if (piece.length() < 1e-9)
                continue;
            bool isCut = false;
            if (piece.length() >= 2) {
                const QPointF middle = piece.center();
                const QPointF normal(-piece.dy() / piece.length(), piece.dx() / piece.length());
                isCut = isOutside(middle + normal) != isOutside(middle - normal);
            }
            (isCut ? cut : result.foldLines).push_back(piece);
        }
    }
    result.outlines = closedOutlines(cut);
    if (result.outlines.empty())
        result.cutLines = cut;
    return result;
}

Result<QByteArray> sheetSvg(const SheetDrawing& drawing, const PageSetup& setup, int pictureDpi)
{
    const QSize canvas = drawing.canvas;
    const auto sheetPlace =
        sheetOnPage(marginlessPage(setup), QSizeF(canvas), pictureDpi, pictureDpi);
    if (!sheetPlace || canvas.isEmpty())
        return Failure{QStringLiteral("the sheet has no area")};
    const double millimetresPerTwip = millimetresPerInch / twipsPerInch;
    const double widthMm = sheetPlace->twips.width() * millimetresPerTwip;
    const double heightMm = sheetPlace->twips.height() * millimetresPerTwip;
    const double picturePixelsPerSheetPixel =
        widthMm / canvas.width() / millimetresPerInch * pictureDpi;

    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeNamespace(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("xlink"));
    xml.writeNamespace(QStringLiteral("http://www.inkscape.org/namespaces/inkscape"),
                       QStringLiteral("inkscape"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("width"), number(widthMm) + QStringLiteral("mm"));
    xml.writeAttribute(QStringLiteral("height"), number(heightMm) + QStringLiteral("mm"));
    xml.writeAttribute(QStringLiteral("viewBox"),
                       QStringLiteral("0 0 %1 %2").arg(canvas.width()).arg(canvas.height()));
    xml.writeTextElement(QStringLiteral("title"), programTitle);

    auto rect = [&](const QRectF& r, QRgb color) {
        xml.writeEmptyElement(QStringLiteral("rect"));
        xml.writeAttribute(QStringLiteral("x"), number(r.x()));
        xml.writeAttribute(QStringLiteral("y"), number(r.y()));
        xml.writeAttribute(QStringLiteral("width"), number(r.width()));
        xml.writeAttribute(QStringLiteral("height"), number(r.height()));
        xml.writeAttribute(QStringLiteral("fill"), colorText(color));
    };
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("pictures"));
    rect(QRectF(QPointF(0, 0), QSizeF(canvas)), drawing.canvasBackColor);
    if (drawing.converted) {
        SharpPieces pieces(drawing, picturePixelsPerSheetPixel);
        for (int k = 0; k < pieceCount; ++k) {
            const QRectF onSheet = pieces.onSheet(k);
            const QSize size(std::max(1, qRound(onSheet.width() * picturePixelsPerSheetPixel)),
                             std::max(1, qRound(onSheet.height() * picturePixelsPerSheetPixel)));
            const QImage picture = pieces.piece(k, size);
            if (picture.isNull()) {
                rect(onSheet, pieces.backColor(k));
                continue;
            }
            QByteArray jpeg;
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(int(jpegQuality));
            if (!writer.write(picture))
                return Failure{
                    QStringLiteral("a picture cannot be encoded: %1").arg(writer.errorString())};
            xml.writeEmptyElement(QStringLiteral("image"));
            xml.writeAttribute(QStringLiteral("x"), number(onSheet.x()));
            xml.writeAttribute(QStringLiteral("y"), number(onSheet.y()));
            xml.writeAttribute(QStringLiteral("width"), number(onSheet.width()));
            xml.writeAttribute(QStringLiteral("height"), number(onSheet.height()));
            xml.writeAttribute(QStringLiteral("preserveAspectRatio"), QStringLiteral("none"));
            xml.writeAttribute(
                QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"),
                QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64()));
        }
    }
    xml.writeEndElement();

    if (drawing.converted) {
        const CutAndFold lines = cutAndFold(canvas, drawing.pieceBox);
        auto layer = [&](const QString& name, const QString& path) {
            xml.writeStartElement(QStringLiteral("g"));
            xml.writeAttribute(QStringLiteral("id"), name);
            xml.writeAttribute(QStringLiteral("http://www.inkscape.org/namespaces/inkscape"),
                               QStringLiteral("groupmode"), QStringLiteral("layer"));
            xml.writeAttribute(QStringLiteral("http://www.inkscape.org/namespaces/inkscape"),
                               QStringLiteral("label"), name);
            xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("none"));
            xml.writeAttribute(QStringLiteral("stroke"), colorText(QBColor(0)));
            xml.writeAttribute(QStringLiteral("stroke-width"), QStringLiteral("1"));
            xml.writeAttribute(QStringLiteral("stroke-linecap"), QStringLiteral("square"));
            xml.writeAttribute(QStringLiteral("stroke-linejoin"), QStringLiteral("miter"));
            if (!path.isEmpty()) {
                xml.writeEmptyElement(QStringLiteral("path"));
                xml.writeAttribute(QStringLiteral("d"), path);
            }
            xml.writeEndElement();
        };
        QString cutPath;
        for (const std::vector<QPointF>& outline : lines.outlines) {
            QStringList points;
            for (const QPointF& p : outline)
                points << number(p.x()) + QLatin1Char(' ') + number(p.y());
            cutPath += QStringLiteral("M") + points.join(QStringLiteral("L")) + QStringLiteral("Z");
        }
        cutPath += pathOf(lines.cutLines);
        layer(QStringLiteral("cut"), cutPath);
        layer(QStringLiteral("fold"), pathOf(lines.foldLines));
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError())
        return Failure{QStringLiteral("the drawing cannot be written")};
    return bytes;
}

} // namespace hakomiru
