#include <QtTest>

#include <cmath>
#include <vector>

#include "conversion/sheet.h"
#include "surface/surface.h"

using namespace hakomiru;

namespace {

// Every source pixel gets its own colour: x and y in the low bits, slot in the blue channel.
QRgb coordinateColor(int slot, int x, int y)
{
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) & 1) | (((y >> 8) & 1) << 1) | (slot << 2));
}

std::vector<Surface> coordinateSources(int side, QRgb back)
{
    std::vector<Surface> sources;
    for (int i = 0; i < 8; ++i) {
        sources.emplace_back(side, side, back);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                sources.back().pset(x, y, coordinateColor(i, x, y));
    }
    return sources;
}

std::vector<Surface> pieceBoxes(int side, QRgb back)
{
    std::vector<Surface> pieces;
    for (int n = 0; n < pieceBoxCount; ++n)
        pieces.emplace_back(side, side, back);
    return pieces;
}

// Nearest integer, ties to even, written independently of the program's own rounding.
int nearest(double v)
{
    return int(std::nearbyint(v)); // the default rounding mode rounds ties to even
}

// The source pixel of piece pixel (x, y) of quarter j, straight from the table. Every slot's
// quarters are upright, 絵B's too: turned quarters never make one picture on the folded box.
QPoint tableSource(int j, int x, int y, int W, int H, double kx, double ky)
{
    switch (j) {
    case 0:
        return {nearest(kx * x), nearest(ky * y)};
    case 1:
        return {nearest(W / 2.0 + kx * x), nearest(ky * y)};
    case 2:
        return {nearest(kx * x), nearest(H / 2.0 + ky * y)};
    default:
        return {nearest(W / 2.0 + kx * x), nearest(H / 2.0 + ky * y)};
    }
}

} // namespace

class tst_QuarterPieces : public QObject
{
    Q_OBJECT

private slots:
    void workedPixels_data()
    {
        QTest::addColumn<int>("piece");
        QTest::addColumn<QPoint>("piecePixel");
        QTest::addColumn<QPoint>("sourcePixel"); // (489, y) or (x, 489): beyond the box
        QTest::newRow("piece 0") << 0 << QPoint(0, 0) << QPoint(0, 0);
        QTest::newRow("piece 1") << 1 << QPoint(0, 0) << QPoint(244, 0);
        QTest::newRow("piece 2") << 2 << QPoint(0, 0) << QPoint(0, 244);
        QTest::newRow("piece 3") << 3 << QPoint(0, 0) << QPoint(244, 244);
        QTest::newRow("piece 1 at (1, 0)") << 1 << QPoint(1, 0) << QPoint(246, 0);
        // 絵B (pieces 4..7) is cut upright like the others; its quarters used to be turned, which
        // left 絵B in pieces on the folded box.
        QTest::newRow("piece 4") << 4 << QPoint(0, 0) << QPoint(0, 0);
        QTest::newRow("piece 5") << 5 << QPoint(0, 0) << QPoint(244, 0);
        QTest::newRow("piece 6") << 6 << QPoint(0, 0) << QPoint(0, 244);
        QTest::newRow("piece 7 last pixel") << 7 << QPoint(199, 199) << QPoint(488, 488);
        QTest::newRow("piece 5 at (7, 3)") << 5 << QPoint(7, 3) << QPoint(253, 4);
        QTest::newRow("piece 20 last pixel") << 20 << QPoint(199, 199) << QPoint(243, 243);
    }
    void workedPixels()
    {
        QFETCH(int, piece);
        QFETCH(QPoint, piecePixel);
        QFETCH(QPoint, sourcePixel);
        const QRgb back = qRgb(7, 7, 7);
        const auto sources = coordinateSources(489, back);
        auto pieces = pieceBoxes(200, qRgb(99, 99, 99));
        CutQuarterPieces(sources, pieces);
        const int slot = piece / 4;
        const QRgb expected = (sourcePixel.x() >= 489 || sourcePixel.y() >= 489)
                                  ? back
                                  : coordinateColor(slot, sourcePixel.x(), sourcePixel.y());
        QCOMPARE(pieces[std::size_t(piece)].point(piecePixel.x(), piecePixel.y()), expected);
    }

    // Every pixel of every piece against the coordinate tables, evaluated here on their own.
    void everyPixelFollowsTheTables()
    {
        const QRgb back = qRgb(7, 7, 7);
        const auto sources = coordinateSources(489, back);
        auto pieces = pieceBoxes(200, qRgb(99, 99, 99));
        CutQuarterPieces(sources, pieces);
        const double k = 244.5 / 200;
        for (int i = 0; i < slotCount; ++i)
            for (int j = 0; j < 4; ++j)
                for (int y = 0; y < 200; ++y)
                    for (int x = 0; x < 200; ++x) {
                        const QPoint s = tableSource(j, x, y, 489, 489, k, k);
                        QVERIFY(s.x() >= 0 && s.x() <= 489 && s.y() >= 0 && s.y() <= 489);
                        const QRgb expected = (s.x() == 489 || s.y() == 489)
                                                  ? back
                                                  : coordinateColor(i, s.x(), s.y());
                        const QRgb actual = pieces[std::size_t(4 * i + j)].point(x, y);
                        if (actual != expected)
                            QFAIL(qPrintable(QStringLiteral("piece %1 pixel (%2, %3)")
                                                 .arg(4 * i + j)
                                                 .arg(x)
                                                 .arg(y)));
                    }
        // Piece 24 is never written.
        for (int y = 0; y < 200; y += 13)
            for (int x = 0; x < 200; x += 13)
                QCOMPARE(pieces[24].point(x, y), qRgb(99, 99, 99));
    }

    // The continuous map of each piece covers exactly its quarter of the source box and takes
    // each piece pixel's centre near the centre of the source pixel the cut reads for it.
    void continuousMapFollowsTheCut()
    {
        const double k = 244.5 / 200;
        for (int i = 0; i < slotCount; ++i)
            for (int j = 0; j < 4; ++j) {
                const QTransform map = pieceToSourceBox(j, QSize(489, 489), QSize(200, 200));
                const QRectF quarter(j % 2 ? 244.5 : 0, j / 2 ? 244.5 : 0, 244.5, 244.5);
                QCOMPARE(map.mapRect(QRectF(0, 0, 200, 200)), quarter);
                for (int y = 0; y < 200; y += 7)
                    for (int x = 0; x < 200; x += 7) {
                        const QPointF centre =
                            QPointF(tableSource(j, x, y, 489, 489, k, k)) + QPointF(0.5, 0.5);
                        const QPointF mapped = map.map(QPointF(x + 0.5, y + 0.5));
                        if (std::abs(mapped.x() - centre.x()) > 0.65 ||
                            std::abs(mapped.y() - centre.y()) > 0.65)
                            QFAIL(qPrintable(QStringLiteral("piece %1 pixel (%2, %3)")
                                                 .arg(4 * i + j)
                                                 .arg(x)
                                                 .arg(y)));
                    }
            }
    }

    // Sizes come from box 0 of each kind, and pieces are not cleared before they are filled:
    // with a smaller piece box 0 the larger boxes keep what lies beyond its size.
    void sizesFromBoxZeroAndNoClearing()
    {
        const auto sources = coordinateSources(489, qRgb(7, 7, 7));
        std::vector<Surface> pieces;
        pieces.emplace_back(100, 100, qRgb(99, 99, 99));
        for (int n = 1; n < pieceBoxCount; ++n)
            pieces.emplace_back(200, 200, qRgb(99, 99, 99));
        pieces[2].pset(150, 150, qRgb(1, 2, 3));
        CutQuarterPieces(sources, pieces);
        // kx = 244.5 / 100: piece 2 pixel (100, 100) takes nearest(244.5 + 244.5) = 489 -> beyond
        const double k = 2.445;
        QCOMPARE(pieces[2].point(50, 50),
                 coordinateColor(0, nearest(k * 50), nearest(244.5 + k * 50)));
        QCOMPARE(pieces[2].point(100, 99), coordinateColor(0, 244, nearest(244.5 + k * 99)));
        QCOMPARE(pieces[2].point(101, 50), qRgb(99, 99, 99));
        QCOMPARE(pieces[2].point(150, 150), qRgb(1, 2, 3));
    }

    void unfilledSlotsGiveBlankPieces()
    {
        std::vector<Surface> sources;
        for (int i = 0; i < 8; ++i)
            sources.emplace_back(489, 489, qRgb(240, 240, 240));
        auto pieces = pieceBoxes(200, qRgb(0, 0, 0));
        CutQuarterPieces(sources, pieces);
        for (int n = 0; n < pieceCount; ++n)
            for (int y = 0; y < 200; y += 7)
                for (int x = 0; x < 200; x += 7)
                    QCOMPARE(pieces[std::size_t(n)].point(x, y), qRgb(240, 240, 240));
    }
};

QTEST_MAIN(tst_QuarterPieces)
#include "tst_quarter_pieces.moc"
