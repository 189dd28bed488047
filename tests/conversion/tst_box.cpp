#include <QtTest>

#include <QPainter>

#include <algorithm>
#include <set>

#include "conversion/box.h"
#include "conversion/workbench.h"
#include "output/box_drawing.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

// The expected values below were worked out by folding the net by hand (and checked with a paper
// model of it): a cube is a band's crossing cell with its strip neighbours above and below, the
// band cell on its inner side and the two on its outer side; the cube folds behind the printed
// side, its outer band end becoming its back.

namespace {

struct Side
{
    int row;
    int column;
    CellSide side;
};

// The seven tabs of the top-left cube and the tab-less edge each is glued onto. The other cubes
// are its mirror images across the sheet's vertical and horizontal middles.
const Side topLeftTabs[][2] = {
    {{2, 1, CellSide::Top}, {1, 3, CellSide::Top}},
    {{2, 1, CellSide::Bottom}, {3, 3, CellSide::Bottom}},
    {{2, 1, CellSide::Left}, {2, 4, CellSide::Right}}, // onto the hinge cell
    {{2, 2, CellSide::Top}, {1, 3, CellSide::Left}},
    {{2, 2, CellSide::Bottom}, {3, 3, CellSide::Left}},
    {{2, 4, CellSide::Top}, {1, 3, CellSide::Right}},
    {{2, 4, CellSide::Bottom}, {3, 3, CellSide::Right}},
};

Side mirrored(Side s, bool acrossColumns, bool acrossRows)
{
    if (acrossColumns) {
        s.column = 9 - s.column;
        s.side = s.side == CellSide::Left    ? CellSide::Right
                 : s.side == CellSide::Right ? CellSide::Left
                                             : s.side;
    }
    if (acrossRows) {
        s.row = 7 - s.row;
        s.side = s.side == CellSide::Top      ? CellSide::Bottom
                 : s.side == CellSide::Bottom ? CellSide::Top
                                              : s.side;
    }
    return s;
}

int pieceAt(int row, int column)
{
    for (int k = 0; k < pieceCount; ++k)
        if (PieceLayout[std::size_t(k)].row == row && PieceLayout[std::size_t(k)].column == column)
            return k;
    return -1;
}

// A side's ends as its cell lies in `pose`, in either order.
std::pair<QVector3D, QVector3D> sideAt(const BoxPose& pose, Side s)
{
    const PlacedCell& c = pose[std::size_t(pieceAt(s.row, s.column))];
    switch (s.side) {
    case CellSide::Top:
        return {c.at(0, 0), c.at(1, 0)};
    case CellSide::Right:
        return {c.at(1, 0), c.at(1, 1)};
    case CellSide::Bottom:
        return {c.at(0, 1), c.at(1, 1)};
    case CellSide::Left:
        break;
    }
    return {c.at(0, 0), c.at(0, 1)};
}

bool near(const QVector3D& a, const QVector3D& b)
{
    return (a - b).length() < 1e-3f;
}

bool sameEdge(std::pair<QVector3D, QVector3D> a, std::pair<QVector3D, QVector3D> b)
{
    return (near(a.first, b.first) && near(a.second, b.second)) ||
           (near(a.first, b.second) && near(a.second, b.first));
}

bool samePose(const BoxPose& a, const BoxPose& b)
{
    for (std::size_t k = 0; k < a.size(); ++k)
        if (!near(a[k].origin, b[k].origin) || !near(a[k].across, b[k].across) ||
            !near(a[k].down, b[k].down))
            return false;
    return true;
}

// Each slot's picture: red grows to the right, green downwards, and blue tells the slots apart,
// so that a quarter turned, mirrored or moved shows.
QImage slotPicture(int slot, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb(20 + 215 * x / side, 20 + 215 * y / side, 60 + 35 * slot));
    return image;
}

// The mean colour of a square block of an image.
QRgb meanOf(const QImage& image, QRect block)
{
    long r = 0;
    long g = 0;
    long b = 0;
    for (int y = block.top(); y <= block.bottom(); ++y)
        for (int x = block.left(); x <= block.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
    const long n = long(block.width()) * block.height();
    return qRgb(int(r / n), int(g / n), int(b / n));
}

// A sheet converted from the six slots' pictures, and its fold.
struct FoldedSheet
{
    Workbench bench;
    FoldedSheet()
    {
        for (int i = 0; i < slotCount; ++i)
            bench.sourceBox(i).setPicture(slotPicture(i, sourceBoxSide));
        bench.convert();
    }
};

int stateOf(const char* name)
{
    const QByteArray n(name);
    return n == "slab" ? slabState : n == "vertical" ? verticalFoldState : horizontalFoldState;
}

} // namespace

class tst_Box : public QObject
{
    Q_OBJECT

private slots:
    // Every tab meets exactly the tab-less edge of its own cube that the hand fold gives, and the
    // sheet's lines draw a tab on those 28 sides and no other.
    void tabsMeetTheirEdges_data()
    {
        QTest::addColumn<Side>("tab");
        QTest::addColumn<Side>("edge");
        for (int m = 0; m < 4; ++m)
            for (const auto& row : topLeftTabs) {
                const Side tab = mirrored(row[0], m & 1, m & 2);
                QTest::addRow("(%d,%d) side %d", tab.row, tab.column, int(tab.side))
                    << tab << mirrored(row[1], m & 1, m & 2);
            }
    }
    void tabsMeetTheirEdges()
    {
        QFETCH(Side, tab);
        QFETCH(Side, edge);
        const Box& box = sheetBox();
        const auto lines = sheetSegments(200, 200);
        QVERIFY(hasGlueTab({tab.row, tab.column}, tab.side, lines, 200, 200));
        QVERIFY(!hasGlueTab({edge.row, edge.column}, edge.side, lines, 200, 200));
        QCOMPARE(box.cubeOf[std::size_t(pieceAt(tab.row, tab.column))],
                 box.cubeOf[std::size_t(pieceAt(edge.row, edge.column))]);
        QVERIFY(sameEdge(sideAt(box.folded, tab), sideAt(box.folded, edge)));
    }
    void noOtherSideHasATab()
    {
        std::set<std::tuple<int, int, int>> tabs;
        for (int m = 0; m < 4; ++m)
            for (const auto& row : topLeftTabs) {
                const Side t = mirrored(row[0], m & 1, m & 2);
                tabs.insert({t.row, t.column, int(t.side)});
            }
        QCOMPARE(int(tabs.size()), 28);
        const auto lines = sheetSegments(200, 200);
        for (int k = 0; k < pieceCount; ++k)
            for (CellSide side :
                 {CellSide::Top, CellSide::Right, CellSide::Bottom, CellSide::Left}) {
                const Cell c = PieceLayout[std::size_t(k)];
                QCOMPARE(hasGlueTab(c, side, lines, 200, 200),
                         tabs.count({c.row, c.column, int(side)}) == 1);
            }
    }

    // In each block the four hinges join their cubes, no cube is inside another, the cubes make a
    // 2 x 2 x 1 block, and the hinges that turned from the slab are the ones the fold names; on
    // the way, half turned, no cube passes through another.
    void ringClosesInEachState_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QList<int>>(
            "turnedHinges"); // cells above or left of the hinge: r * 10 + c
        QTest::newRow("slab") << int(slabState) << QList<int>{};
        QTest::newRow("vertical fold") << int(verticalFoldState) << QList<int>{24, 54};
        QTest::newRow("horizontal fold") << int(horizontalFoldState) << QList<int>{33, 36};
    }
    void ringClosesInEachState()
    {
        QFETCH(int, state);
        QFETCH(QList<int>, turnedHinges);
        const Box& box = sheetBox();
        const BoxPose slab = statePose(box, slabState);
        const BoxPose pose = statePose(box, state);
        // The hinges, found by hand: right of (2,4) and (5,4), below (3,3) and (3,6).
        const std::array<Side, 4> hinges = {{{2, 4, CellSide::Right},
                                             {5, 4, CellSide::Right},
                                             {3, 3, CellSide::Bottom},
                                             {3, 6, CellSide::Bottom}}};
        for (const Side h : hinges) {
            const Side other = h.side == CellSide::Right ? Side{h.row, h.column + 1, CellSide::Left}
                                                         : Side{h.row + 1, h.column, CellSide::Top};
            QVERIFY(box.cubeOf[std::size_t(pieceAt(h.row, h.column))] !=
                    box.cubeOf[std::size_t(pieceAt(other.row, other.column))]);
            QVERIFY2(sameEdge(sideAt(pose, h), sideAt(pose, other)),
                     qPrintable(QStringLiteral("hinge at (%1,%2)").arg(h.row).arg(h.column)));
            // A hinge turned when its two cells lie otherwise to each other than in the slab.
            const auto& a = pose[std::size_t(pieceAt(h.row, h.column))];
            const auto& b = pose[std::size_t(pieceAt(other.row, other.column))];
            const auto& a0 = slab[std::size_t(pieceAt(h.row, h.column))];
            const auto& b0 = slab[std::size_t(pieceAt(other.row, other.column))];
            const bool turned = std::abs(QVector3D::dotProduct(a.outward(), b.outward()) -
                                         QVector3D::dotProduct(a0.outward(), b0.outward())) > 0.5f;
            QCOMPARE(turned, turnedHinges.contains(h.row * 10 + h.column));
        }
        for (const BoxPose& p : {pose, turningPose(box, state, 0.5f)}) {
            std::array<QVector3D, 4> centres{};
            for (int k = 0; k < pieceCount; ++k)
                centres[std::size_t(box.cubeOf[std::size_t(k)])] += p[std::size_t(k)].centre() / 6;
            for (std::size_t i = 0; i < 4; ++i)
                for (std::size_t j = 0; j < i; ++j)
                    QVERIFY2((centres[i] - centres[j]).length() > 0.999f,
                             qPrintable(QStringLiteral("cubes %1 and %2").arg(i).arg(j)));
        }
        QVector3D low = pose[0].centre();
        QVector3D high = low;
        for (const PlacedCell& c : pose)
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], c.centre()[axis]);
                high[axis] = std::max(high[axis], c.centre()[axis]);
            }
        std::array<float, 3> size = {high.x() - low.x(), high.y() - low.y(), high.z() - low.z()};
        std::sort(size.begin(), size.end());
        QVERIFY(std::abs(size[0] - 1) < 1e-3f && std::abs(size[1] - 2) < 1e-3f &&
                std::abs(size[2] - 2) < 1e-3f);
    }

    // Each large face, drawn flat from the sheet's pixels as seen from outside, is its slot's
    // picture, upright. The cells each face is made of are the hand fold's.
    void facesShowTheirSlotsWhole_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QList<int>>("cells"); // top-left, top-right, bottom-left, bottom-right
        QTest::newRow("絵A") << 0 << "vertical" << QList<int>{27, 22, 57, 52};
        QTest::newRow("絵B") << 1 << "slab" << QList<int>{28, 21, 58, 51};
        QTest::newRow("絵C") << 5 << "horizontal" << QList<int>{33, 36, 43, 46};
        QTest::newRow("slot 2") << 2 << "horizontal" << QList<int>{63, 66, 13, 16};
        QTest::newRow("slot 3") << 3 << "vertical" << QList<int>{24, 25, 54, 55};
        QTest::newRow("slot 4") << 4 << "slab" << QList<int>{23, 26, 53, 56};
    }
    void facesShowTheirSlotsWhole()
    {
        QFETCH(int, slot);
        QFETCH(QString, state);
        QFETCH(QList<int>, cells);
        static const FoldedSheet sheet;
        const Box& box = sheetBox();
        const int s = stateOf(qPrintable(state));
        const BoxState& st = box.states[std::size_t(s)];
        const auto face = std::find_if(st.faces.begin(), st.faces.end(),
                                       [&](const BoxFace& f) { return f.slot == slot; });
        QVERIFY(face != st.faces.end());
        for (std::size_t q = 0; q < 4; ++q)
            QCOMPARE(face->quadrants[q], pieceAt(cells[int(q)] / 10, cells[int(q)] % 10));

        const BoxPictures pictures(sheet.bench.canvas().image(), false);
        const QImage drawn = pictures.face(statePose(box, s), *face, 100);
        const QImage expected = slotPicture(slot, 200);
        for (int y = 0; y < 200; y += 20)
            for (int x = 0; x < 200; x += 20) {
                // Blocks of 12 x 12 pixels, clear of the lines between the cells.
                const QRect block(x + 4, y + 4, 12, 12);
                const QRgb a = meanOf(drawn, block);
                const QRgb e = meanOf(expected, block);
                QVERIFY2(closeColor(a, e, 10), qPrintable(QStringLiteral("at (%1, %2): %3, not %4")
                                                              .arg(x)
                                                              .arg(y)
                                                              .arg(colorText(a), colorText(e))));
            }
    }

    // The slots the user fills each make the picture face of one state: 絵B on the slab, 絵A
    // when it is folded about its vertical middle, 絵C about its horizontal middle.
    void userSlotsOnTheirStates()
    {
        const Box& box = sheetBox();
        const std::pair<int, int> expected[] = {
            {slabState, 1}, {verticalFoldState, 0}, {horizontalFoldState, 5}};
        for (const auto& [state, slot] : expected) {
            const BoxState& s = box.states[std::size_t(state)];
            QCOMPARE(s.faces[std::size_t(s.pictureFace)].slot, slot);
        }
    }

    // Drawn in perspective face-on to each state's picture face, the view shows that picture:
    // sampled off the middle of each quarter (a quarter turned on its own would differ there),
    // allowing for the light's even shading.
    void viewShowsThePictureFaceOn_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("slot");
        QTest::newRow("slab: 絵B") << int(slabState) << 1;
        QTest::newRow("vertical fold: 絵A") << int(verticalFoldState) << 0;
        QTest::newRow("horizontal fold: 絵C") << int(horizontalFoldState) << 5;
    }
    void viewShowsThePictureFaceOn()
    {
        QFETCH(int, state);
        QFETCH(int, slot);
        static const FoldedSheet sheet;
        const Box& box = sheetBox();
        QImage view(400, 400, QImage::Format_RGB32);
        QPainter painter(&view);
        paintBox(painter, view.rect(), BoxPictures(sheet.bench.canvas().image()),
                 statePose(box, state), facingView(box, state));
        painter.end();
        const QImage picture = slotPicture(slot, 400);
        // The face spans the middle of the view: find its edges along the middle row.
        int left = 0;
        while (left < 200 && view.pixel(left, 200) == boxBackground)
            ++left;
        const int half = 200 - left;
        QVERIFY2(half > 60, qPrintable(QString::number(half)));
        for (double fy : {0.1, 0.35, 0.65, 0.9})
            for (double fx : {0.15, 0.4, 0.6, 0.85}) {
                const QRgb seen = view.pixel(int(left + fx * 2 * half), int(left + fy * 2 * half));
                const QRgb wanted = picture.pixel(int(fx * 400), int(fy * 400));
                // The light darkens a face evenly: by the blue, which is the same all over.
                const double shade = double(qBlue(seen)) / qBlue(wanted);
                const bool lit = shade > 0.75 && shade <= 1.02 &&
                                 std::abs(qRed(seen) - shade * qRed(wanted)) < 8 &&
                                 std::abs(qGreen(seen) - shade * qGreen(wanted)) < 8;
                QVERIFY2(lit, qPrintable(QStringLiteral("at (%1, %2): %3, not %4")
                                             .arg(fx)
                                             .arg(fy)
                                             .arg(colorText(seen), colorText(wanted))));
            }
    }

    // The animations end in the states they name: the hinges' turn from the slab to each state,
    // and the folding of the flat sheet, which starts as the sheet lies.
    void animationsEndInTheirStates()
    {
        const Box& box = sheetBox();
        for (int s = 0; s < boxStateCount; ++s) {
            QVERIFY(samePose(turningPose(box, s, 0), statePose(box, slabState)));
            QVERIFY(samePose(turningPose(box, s, 1), statePose(box, s)));
        }
        QVERIFY(samePose(foldingPose(box, 1), statePose(box, slabState)));
        const BoxPose flat = foldingPose(box, 0);
        for (int k = 0; k < pieceCount; ++k) {
            const Cell c = PieceLayout[std::size_t(k)];
            QVERIFY(near(flat[std::size_t(k)].origin,
                         QVector3D(float(c.column - 1), float(c.row - 1), 0)));
            QVERIFY(near(flat[std::size_t(k)].across, QVector3D(1, 0, 0)));
            QVERIFY(near(flat[std::size_t(k)].down, QVector3D(0, 1, 0)));
        }
    }
};

QTEST_MAIN(tst_Box)
#include "tst_box.moc"
