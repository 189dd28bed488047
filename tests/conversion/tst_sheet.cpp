#include <QtTest>

#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "output/sharp_page.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

const QRgb black = qRgb(0, 0, 0);
const QRgb white = qRgb(255, 255, 255);
const QRgb canvasBack = qRgb(212, 208, 200); // not white, so erased lines show

// Quadrant colours of each slot: slot i, quadrant j.
QRgb quadrantColor(int slot, int quadrant)
{
    return qRgb(40 + 30 * slot, 60 + 40 * quadrant, 200 - 20 * slot - 10 * quadrant);
}
const QRgb markerColor = qRgb(255, 0, 255);

// A workbench on a grey background (so erased lines show) whose six slots hold quadrant pictures.
struct Sheet
{
    Workbench bench{canvasBack};
    std::span<const Surface> sources = bench.slotSources();
    std::span<Surface> pieces = bench.pieceBoxes();
    Surface& canvas = bench.canvas();

    Sheet()
    {
        for (int i = 0; i < slotCount; ++i)
            bench.sourceBox(i).setPicture(quadrantPicture(489, 489, quadrantColor(i, 0),
                                                          quadrantColor(i, 1), quadrantColor(i, 2),
                                                          quadrantColor(i, 3), markerColor));
    }
    void convert() { bench.convert(); }
};

// The top-left corner of cell (row, column) for 200-pixel pieces: margin 50, one pixel inset.
QPoint cellCorner(int row, int column)
{
    return {(column - 1) * 200 + 1 + 50, (row - 1) * 200 + 1};
}

bool hasSegment(const std::vector<Segment>& segments, Segment wanted)
{
    return std::find(segments.begin(), segments.end(), wanted) != segments.end();
}

} // namespace

class tst_Sheet : public QObject
{
    Q_OBJECT

private slots:
    void canvasSize() { QCOMPARE(sheetCanvasSize(Surface(200, 200)), QSize(1702, 1302)); }

    void piecesLandInTheirCells_data()
    {
        QTest::addColumn<int>("piece");
        QTest::addColumn<QPoint>("corner");
        QTest::newRow("piece 5") << 5 << QPoint(51, 201);
        QTest::newRow("piece 10") << 10 << QPoint(451, 1);
        QTest::newRow("piece 4") << 4 << QPoint(1451, 201);
        QTest::newRow("piece 8") << 8 << QPoint(451, 1001);
        QTest::newRow("piece 0") << 0 << QPoint(1251, 201);
        // 絵C's quarters stand in their own columns, left quarters in column 3 and right ones in
        // column 6, so that 絵C is whole on the folded box; they used to stand the other way round.
        QTest::newRow("piece 23") << 23 << QPoint(1051, 601);
        // The other 18 cells, from the map of the net (rows 1..6 at y = 1, 201, .. 1001; columns
        // 1..8 at x = 51, 251, .. 1451): band rows 2 and 5 hold 5 1 16 12 13 17 0 4 and
        // 7 3 18 14 15 19 2 6; strip columns 3 and 6 hold, in rows 1, 3, 4 and 6, 10 20 22 8
        // and 11 21 23 9.
        QTest::newRow("piece 1") << 1 << QPoint(251, 201);
        QTest::newRow("piece 2") << 2 << QPoint(1251, 801);
        QTest::newRow("piece 3") << 3 << QPoint(251, 801);
        QTest::newRow("piece 6") << 6 << QPoint(1451, 801);
        QTest::newRow("piece 7") << 7 << QPoint(51, 801);
        QTest::newRow("piece 9") << 9 << QPoint(1051, 1001);
        QTest::newRow("piece 11") << 11 << QPoint(1051, 1);
        QTest::newRow("piece 12") << 12 << QPoint(651, 201);
        QTest::newRow("piece 13") << 13 << QPoint(851, 201);
        QTest::newRow("piece 14") << 14 << QPoint(651, 801);
        QTest::newRow("piece 15") << 15 << QPoint(851, 801);
        QTest::newRow("piece 16") << 16 << QPoint(451, 201);
        QTest::newRow("piece 17") << 17 << QPoint(1051, 201);
        QTest::newRow("piece 18") << 18 << QPoint(451, 801);
        QTest::newRow("piece 19") << 19 << QPoint(1051, 801);
        QTest::newRow("piece 20") << 20 << QPoint(451, 401);
        QTest::newRow("piece 21") << 21 << QPoint(1051, 401);
        QTest::newRow("piece 22") << 22 << QPoint(451, 601);
    }
    void piecesLandInTheirCells()
    {
        QFETCH(int, piece);
        QFETCH(QPoint, corner);
        Sheet sheet;
        CutQuarterPieces(sheet.sources, sheet.pieces);
        PlacePieces(sheet.pieces, sheet.canvas);
        const Surface& box = sheet.pieces[std::size_t(piece)];
        QCOMPARE(QPointF(box.left(), box.top()), QPointF(corner));
        // The painted copy: the piece's own pixels from the corner on, nothing left of it.
        for (const QPoint p : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 199), QPoint(123, 77)})
            QCOMPARE(sheet.canvas.point(corner.x() + p.x(), corner.y() + p.y()),
                     box.point(p.x(), p.y()));
    }

    // Each cell shows the right quarter of the right slot, upright (絵B's quarters too: turned,
    // they never made one picture on the folded box).
    void everyCellShowsItsQuarter()
    {
        Sheet sheet;
        sheet.convert();
        for (int k = 0; k < pieceCount; ++k) {
            const int slot = k / 4;
            const int quarter = k % 4;
            const QPoint corner =
                cellCorner(PieceLayout[std::size_t(k)].row, PieceLayout[std::size_t(k)].column);
            QVERIFY2(sheet.canvas.point(corner.x() + 100, corner.y() + 100) ==
                         quadrantColor(slot, quarter),
                     qPrintable(QStringLiteral("piece %1").arg(k)));
            // The marker sits in the top-left corner of quarter 0, and upright stays there.
            if (quarter == 0) {
                QCOMPARE(sheet.canvas.point(corner.x() + 4, corner.y() + 4), markerColor);
                QCOMPARE(sheet.canvas.point(corner.x() + 195, corner.y() + 4),
                         quadrantColor(slot, 0));
            }
        }
        // The layout as a map: 24 pieces in 24 distinct cells of the two bands and two strips.
        std::vector<std::pair<int, int>> cells;
        for (const Cell c : PieceLayout) {
            QVERIFY(c.row == 2 || c.row == 5 || c.column == 3 || c.column == 6);
            cells.emplace_back(c.row, c.column);
        }
        std::sort(cells.begin(), cells.end());
        QVERIFY(std::adjacent_find(cells.begin(), cells.end()) == cells.end());
    }

    void segmentsInOrderWithWorkedValues()
    {
        const auto s = sheetSegments(200, 200);
        QCOMPARE(int(s.size()), 130);
        QCOMPARE(int(std::count_if(s.begin(), s.end(),
                                   [](const Segment& g) { return g.color == white; })),
                 4);
        QCOMPARE(int(std::count_if(s.begin(), s.end(),
                                   [](const Segment& g) { return g.color == black; })),
                 126);
        // First and erasing segments at their places in the order.
        QCOMPARE(s[0], (Segment{451, 0, 451, 1201, black}));
        QCOMPARE(s[5], (Segment{851, 0, 851, 1201, white}));
        QCOMPARE(s[6], (Segment{51, 201, 51, 401, black}));
        QCOMPARE(s[24], (Segment{50, 201, 1651, 201, black}));
        QCOMPARE(s[29], (Segment{50, 601, 451, 601, white}));
        QCOMPARE(s[32], (Segment{451, 1, 651, 1, black}));
        const Segment worked[] = {
            {0, 250, 0, 350, black},         {0, 250, 50, 200, black},
            {0, 350, 50, 400, black},        {1701, 250, 1701, 350, black},
            {1701, 250, 1651, 200, black},   {1701, 350, 1651, 400, black},
            {100, 150, 200, 150, black},     {100, 150, 50, 200, black},
            {200, 150, 250, 200, black},     {1500, 1050, 1600, 1050, black},
            {1500, 1050, 1450, 1000, black}, {1600, 1050, 1650, 1000, black},
        };
        for (const Segment& w : worked)
            QVERIFY2(
                hasSegment(s, w),
                qPrintable(
                    QStringLiteral("(%1, %2)-(%3, %4)").arg(w.x1).arg(w.y1).arg(w.x2).arg(w.y2)));
        // The left end tab of the upper band is drawn before that of the lower band, and the
        // 72 edge tabs close the list.
        QCOMPARE(s[46], (Segment{0, 250, 0, 350, black}));
        QCOMPARE(s[49], (Segment{0, 850, 0, 950, black}));
        QCOMPARE(s[58], (Segment{100, 150, 200, 150, black}));
        QCOMPARE(s[129], (Segment{1600, 1050, 1650, 1000, black}));
    }

    void linesOnTheCanvas()
    {
        Sheet sheet;
        sheet.convert();
        const Surface& c = sheet.canvas;
        // Strip edges run the full height, from y = 0.
        for (int x : {451, 651, 1051, 1251}) {
            QCOMPARE(c.point(x, 0), black);
            QCOMPARE(c.point(x, 700), black);
            QCOMPARE(c.point(x, 1201), black);
        }
        // Between columns 4 and 5 only inside the bands; erased to white elsewhere.
        QCOMPARE(c.point(851, 300), black);
        QCOMPARE(c.point(851, 900), black);
        QCOMPARE(c.point(851, 100), white);
        QCOMPARE(c.point(851, 700), white);
        QCOMPARE(c.point(851, 1150), white);
        // Between rows 3 and 4 a line remains only across the strips.
        QCOMPARE(c.point(550, 601), black);
        QCOMPARE(c.point(1150, 601), black);
        QCOMPARE(c.point(300, 601), white);
        QCOMPARE(c.point(851, 601), white);
        QCOMPARE(c.point(1500, 601), white);
        // Band edges and ends.
        QCOMPARE(c.point(50, 201), black);
        QCOMPARE(c.point(1651, 1001), black);
        QCOMPARE(c.point(51, 300), black);
        QCOMPARE(c.point(1651, 300), black);
        // The bottom half row stays empty.
        QCOMPARE(c.point(900, 1250), canvasBack);
    }

    // The black lines left after the white segments erased theirs, drawn one pixel wide, are the
    // sheet's line pixels exactly, for pieces of any size.
    void remainingLinesAreTheSheetsLines_data()
    {
        QTest::addColumn<QSize>("piece");
        QTest::newRow("200 x 200") << QSize(200, 200);
        QTest::newRow("120 x 160") << QSize(120, 160);
        QTest::newRow("201 x 199, fractional margins") << QSize(201, 199);
    }
    void remainingLinesAreTheSheetsLines()
    {
        QFETCH(QSize, piece);
        const Surface pieceBox(piece.width(), piece.height());
        const QSize size = sheetCanvasSize(pieceBox);
        Surface sheet(size.width(), size.height(), white);
        DrawSheetLines(pieceBox, sheet);
        const auto lines =
            remainingBlackLines(sheetSegments(float(piece.width()), float(piece.height())));
        Surface drawn(size.width(), size.height(), white);
        for (const SheetLine& line : lines)
            drawn.line(float(line.from.x()), float(line.from.y()), float(line.to.x()),
                       float(line.to.y()), black);
        QVERIFY(drawn.image() == sheet.image());
        // Lines that touch or overlap are one: the canvas's 126 black segments leave fewer.
        QVERIFY2(lines.size() < 110, qPrintable(QString::number(lines.size())));
    }

    // A slot keeps its picture no larger than a box of 2240 pixels needs (the box on a 600 dpi A3
    // page), measured by its own size; filling again replaces it, a failed fill clears it.
    void slotsKeepTheirPictures()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("photo.png");
        const QString small = dir.filePath("small.png");
        QVERIFY(solidPicture(3000, 2000, qRgb(10, 200, 30)).save(photo));
        QVERIFY(solidPicture(100, 50, qRgb(200, 10, 30)).save(small));
        QVERIFY(writeFile(dir.filePath("notes.png"), "not a picture"));
        Workbench bench;

        QVERIFY(bench.fillSlotFromFile(0, photo, 0));
        // 2240 x 2000 * 2240 / 3000, rounded up (a pixel more where the float fit is a hair over).
        const QSize kept = bench.keptPicture(0).image.size();
        QVERIFY2(kept.width() - 2240 <= 1 && kept.width() >= 2240 && kept.height() - 1494 <= 1 &&
                     kept.height() >= 1494,
                 qPrintable(QStringLiteral("%1 x %2").arg(kept.width()).arg(kept.height())));
        QCOMPARE(bench.keptPicture(0).measured, QSizeF(3000, 2000));
        QCOMPARE(bench.keptPicture(0).image.pixel(1000, 700), qRgb(10, 200, 30));
        QVERIFY(bench.fillSlotFromFile(0, small, 1));
        QCOMPARE(bench.keptPicture(0).image.size(), QSize(100, 50));
        QCOMPARE(bench.keptPicture(0).fitMode, 1);
        QVERIFY(!bench.fillSlotFromFile(0, dir.filePath("notes.png"), 0));
        QVERIFY(bench.keptPicture(0).image.isNull());

        QVERIFY(bench.fillSlotFromPicture(
            1, [] { return std::optional<QImage>(solidPicture(4000, 4000, qRgb(1, 2, 3))); }, 0));
        QVERIFY(std::abs(bench.keptPicture(1).image.width() - 2240) <= 1);
        QCOMPARE(bench.keptPicture(1).image.width(), bench.keptPicture(1).image.height());
        QCOMPARE(bench.keptPicture(1).measured, QSizeF(4000, 4000));

        // A read planned to keep the picture no larger than its boxes need keeps it at 489 x 326
        // (2000 * 489 / 3000); the boxes show the same as with the larger kept picture.
        QVERIFY(bench.fillSlotFromFile(1, photo, 0));
        const QImage sourceFromFile = bench.sourceBox(1).image();
        const SlotReading boxSized =
            readSlotFile(photo, bench.readPlan(5, 0, false, sourceBoxSide));
        QVERIFY(boxSized.ok());
        bench.clearSlot(5);
        bench.place(5, boxSized.value());
        QCOMPARE(bench.keptPicture(5).image.size(), QSize(489, 326));
        QCOMPARE(bench.keptPicture(5).measured, QSizeF(3000, 2000));
        QCOMPARE(bench.sourceBox(5).image(), sourceFromFile);
    }

    // A view moves and zooms a slot's picture in both boxes, the sheet and the sharp sheet; the
    // default view gives back the boxes as placed. Worked out by hand: a 400 x 400 picture fits
    // the whole 489 box; at zoom 2 it is 978 wide and may move at most 489, which puts its left
    // edge at 244.5 and leaves the box's right half red (top) and blue (bottom).
    void viewsMoveThePictureEverywhere()
    {
        QTemporaryDir dir;
        const QString quadrants = dir.filePath("quadrants.png");
        const QString checks = dir.filePath("checks.png");
        QVERIFY(quadrantPicture(400, 400, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                qRgb(255, 255, 0), qRgb(255, 0, 0))
                    .save(quadrants));
        QImage board(1000, 1000, QImage::Format_RGB32);
        for (int y = 0; y < 1000; ++y)
            for (int x = 0; x < 1000; ++x)
                board.setPixel(x, y, (x + y) % 2 ? white : black);
        QVERIFY(board.save(checks));
        Workbench bench;
        QCOMPARE(bench.setView(2, SlotView{2, 5, 5}), SlotView{}); // no picture: nothing moves
        QVERIFY(bench.fillSlotFromFile(0, quadrants, fitWhole));
        const QImage source = bench.sourceBox(0).image();
        const QImage preview = bench.preview(0).image();

        QCOMPARE(bench.setView(0, SlotView{2, 1000, 0}), (SlotView{2, 489, 0}));
        const Surface& box = bench.sourceBox(0);
        QCOMPARE(box.point(243, 100), white);
        QCOMPARE(box.point(245, 100), qRgb(255, 0, 0));
        QCOMPARE(box.point(488, 100), qRgb(255, 0, 0));
        QCOMPARE(box.point(488, 400), qRgb(0, 0, 255));
        QCOMPARE(bench.preview(0).point(71, 30), white);
        QCOMPARE(bench.preview(0).point(74, 30), qRgb(255, 0, 0));
        bench.convert();
        const QImage sharp = sharpSheetImage(bench.sheetDrawing(), 1);
        const QRgb pieceCentres[] = {white, qRgb(255, 0, 0), white, qRgb(0, 0, 255)};
        for (int k = 0; k < 4; ++k) {
            const QPoint centre = pieceCorner(k, 200, 200).toPoint() + QPoint(100, 100);
            QCOMPARE(bench.canvas().point(centre.x(), centre.y()), pieceCentres[k]);
            QCOMPARE(sharp.pixel(centre), pieceCentres[k]);
        }

        QCOMPARE(bench.setView(0, SlotView{}), SlotView{});
        QVERIFY(bench.sourceBox(0).image() == source && bench.preview(0).image() == preview);
        QVERIFY(bench.fillSlotFromFile(0, quadrants, fitWhole));
        QCOMPARE(bench.view(0), SlotView{});

        // Zoomed, the box paints from the kept picture: the one-pixel checks stay sharp.
        QVERIFY(bench.fillSlotFromFile(1, checks, fitWhole));
        (void)bench.setView(1, SlotView{4, 0, 0});
        int edges = 0;
        for (int x = 200; x < 300; ++x)
            edges += std::abs(qGray(bench.sourceBox(1).point(x, 244)) -
                              qGray(bench.sourceBox(1).point(x + 1, 244))) > 100;
        QVERIFY2(edges >= 40, qPrintable(QString::number(edges)));
    }

    // Tabs hang beside the band cells of columns 1, 2, 4, 5, 7, 8, never beside the strips.
    void tabsBesideTheBandCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("tab");
        for (int column = 1; column <= 8; ++column)
            QTest::addRow("column %d", column) << column << (column != 3 && column != 6);
    }
    void tabsBesideTheBandCells()
    {
        QFETCH(int, column);
        QFETCH(bool, tab);
        Sheet sheet;
        sheet.convert();
        const int k = column - 1;
        const int middle = (k * 200 + 100 + (k + 1) * 200) / 2; // of the tab's outer side
        for (int outerY : {150, 750, 450, 1050}) { // above/below the upper and lower band
            const QRgb pixel = sheet.canvas.point(middle, outerY);
            QVERIFY2((pixel == black) == tab,
                     qPrintable(QStringLiteral("y %1: %2").arg(outerY).arg(colorText(pixel))));
        }
        // End tabs: one at each end of each band.
        for (int y : {300, 900}) {
            QCOMPARE(sheet.canvas.point(0, y), black);
            QCOMPARE(sheet.canvas.point(1701, y), black);
        }
        // Strip cells outside the bands get no tabs: beside strip cell (1, 3) at x = 451 - 25.
        QCOMPARE(sheet.canvas.point(426, 100), canvasBack);
    }

    void secondConversionGivesTheSameCanvas()
    {
        Sheet sheet;
        sheet.convert();
        const QImage first = sheet.canvas.image();
        sheet.convert();
        QCOMPARE(sheet.canvas.image(), first);
        QCOMPARE(QPointF(sheet.pieces[5].left(), sheet.pieces[5].top()), QPointF(51, 201));
        QCOMPARE(QPointF(sheet.pieces[24].left(), sheet.pieces[24].top()), QPointF(0, 0));
    }
};

QTEST_MAIN(tst_Sheet)
#include "tst_sheet.moc"
