#include "conversion/box.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <optional>

#include "surface/surface.h"

namespace hakomiru {

namespace {

constexpr float closeEnough = 1e-3f;

bool same(const QVector3D& a, const QVector3D& b)
{
    return (a - b).lengthSquared() < closeEnough * closeEnough;
}

bool sameMatrix(const QMatrix4x4& a, const QMatrix4x4& b)
{
    for (int i = 0; i < 16; ++i)
        if (std::abs(a.constData()[i] - b.constData()[i]) > closeEnough)
            return false;
    return true;
}

constexpr std::array<CellSide, 4> allSides = {CellSide::Top, CellSide::Right, CellSide::Bottom,
                                              CellSide::Left};

// The neighbouring cell across a side.
Cell beyond(Cell cell, CellSide side)
{
    switch (side) {
    case CellSide::Top:
        return {cell.row - 1, cell.column};
    case CellSide::Right:
        return {cell.row, cell.column + 1};
    case CellSide::Bottom:
        return {cell.row + 1, cell.column};
    case CellSide::Left:
        break;
    }
    return {cell.row, cell.column - 1};
}

// The piece in a cell, or -1 where the sheet is cut away.
int pieceIn(Cell cell)
{
    for (int k = 0; k < pieceCount; ++k)
        if (PieceLayout[std::size_t(k)].row == cell.row &&
            PieceLayout[std::size_t(k)].column == cell.column)
            return k;
    return -1;
}

// A side's ends in the cell's own coordinates (0..1 along across and down).
std::array<QPointF, 2> sideEnds(CellSide side)
{
    switch (side) {
    case CellSide::Top:
        return {QPointF(0, 0), QPointF(1, 0)};
    case CellSide::Right:
        return {QPointF(1, 0), QPointF(1, 1)};
    case CellSide::Bottom:
        return {QPointF(0, 1), QPointF(1, 1)};
    case CellSide::Left:
        break;
    }
    return {QPointF(0, 0), QPointF(0, 1)};
}

PlacedCell flatCell(int piece)
{
    const Cell c = PieceLayout[std::size_t(piece)];
    return {QVector3D(float(c.column - 1), float(c.row - 1), 0), QVector3D(1, 0, 0),
            QVector3D(0, 1, 0)};
}

// The cell beyond `side` of `parent`, folded back (away from the printed side) by `degrees`
// about the side they share: 0 leaves it flat beside the parent, 90 makes it a face of the cube.
PlacedCell foldedBeside(const PlacedCell& parent, CellSide side, float degrees)
{
    const float turn = degrees * std::numbers::pi_v<float> / 180;
    const QVector3D in = -parent.outward();
    switch (side) {
    case CellSide::Right:
        return {parent.origin + parent.across, parent.across * std::cos(turn) + in * std::sin(turn),
                parent.down};
    case CellSide::Bottom:
        return {parent.origin + parent.down, parent.across,
                parent.down * std::cos(turn) + in * std::sin(turn)};
    case CellSide::Left: {
        const QVector3D away = -parent.across * std::cos(turn) + in * std::sin(turn);
        return {parent.origin + away, -away, parent.down};
    }
    case CellSide::Top:
        break;
    }
    const QVector3D away = -parent.down * std::cos(turn) + in * std::sin(turn);
    return {parent.origin + away, parent.across, -away};
}

// A point of the flat sheet, as it lies on the cell of `piece` placed as `cell`.
QVector3D onCell(const PlacedCell& cell, int piece, const QVector3D& sheetPoint)
{
    const Cell c = PieceLayout[std::size_t(piece)];
    return cell.at(sheetPoint.x() - float(c.column - 1), sheetPoint.y() - float(c.row - 1));
}

QVector3D cubeCentre(const BoxPose& pose, const BoxCube& cube)
{
    QVector3D sum;
    for (int k : cube.pieces)
        sum += pose[std::size_t(k)].centre();
    return sum / 6;
}

// The fold between two neighbouring cells: the piece on each side and the first one's side.
struct Fold
{
    int a;
    int b;
    CellSide side;
};

std::vector<Fold> netFolds()
{
    std::vector<Fold> folds;
    for (int a = 0; a < pieceCount; ++a)
        for (CellSide side : {CellSide::Right, CellSide::Bottom}) {
            const int b = pieceIn(beyond(PieceLayout[std::size_t(a)], side));
            if (b >= 0)
                folds.push_back({a, b, side});
        }
    return folds;
}

// One way of parting the net into cubes: each cube's pieces in folding order, what each cell
// folds about, and each cube folded where its first cell lies.
struct Parting
{
    std::vector<BoxCube> cubes;
    std::array<int, pieceCount> foldsAbout{};
    std::array<CellSide, pieceCount> foldSide{};
    BoxPose folded;
};

// Folds the cells joined by `folds` into cubes, or nothing when a group of joined cells is not
// six cells that fold into a cube.
std::optional<Parting> foldIntoCubes(const std::vector<Fold>& folds)
{
    std::array<std::vector<std::pair<int, CellSide>>, pieceCount> joined;
    for (const Fold& f : folds) {
        joined[std::size_t(f.a)].emplace_back(f.b, f.side);
        const CellSide back = f.side == CellSide::Right ? CellSide::Left : CellSide::Top;
        joined[std::size_t(f.b)].emplace_back(f.a, back);
    }
    Parting parting;
    parting.foldsAbout.fill(-1);
    std::array<bool, pieceCount> placed{};
    // Each group starts at its cell joined to the most others (the first such piece).
    std::array<int, pieceCount> byJoins{};
    std::iota(byJoins.begin(), byJoins.end(), 0);
    std::stable_sort(byJoins.begin(), byJoins.end(), [&](int x, int y) {
        return joined[std::size_t(x)].size() > joined[std::size_t(y)].size();
    });
    for (int root : byJoins) {
        if (placed[std::size_t(root)])
            continue;
        std::vector<int> order{root};
        placed[std::size_t(root)] = true;
        parting.folded[std::size_t(root)] = flatCell(root);
        for (std::size_t i = 0; i < order.size(); ++i) {
            const int k = order[i];
            for (const auto& [next, side] : joined[std::size_t(k)]) {
                if (placed[std::size_t(next)]) {
                    if (next != parting.foldsAbout[std::size_t(k)])
                        return std::nullopt; // a ring of cells does not fold into a cube
                    continue;
                }
                placed[std::size_t(next)] = true;
                parting.foldsAbout[std::size_t(next)] = k;
                parting.foldSide[std::size_t(next)] = side;
                parting.folded[std::size_t(next)] =
                    foldedBeside(parting.folded[std::size_t(k)], side, 90);
                order.push_back(next);
            }
        }
        if (order.size() != 6)
            return std::nullopt;
        BoxCube cube;
        std::copy(order.begin(), order.end(), cube.pieces.begin());
        // A cube: six faces round one centre, half a cell away, each facing out.
        const QVector3D centre = cubeCentre(parting.folded, cube);
        for (std::size_t i = 0; i < 6; ++i) {
            const PlacedCell& face = parting.folded[std::size_t(cube.pieces[i])];
            if (!same(face.centre() - centre, face.outward() * 0.5f))
                return std::nullopt;
            for (std::size_t j = 0; j < i; ++j)
                if (same(face.centre(), parting.folded[std::size_t(cube.pieces[j])].centre()))
                    return std::nullopt;
        }
        parting.cubes.push_back(cube);
    }
    return parting;
}

// Which sides of each piece's cell carry a glue tab (Top, Right, Bottom, Left).
using GlueTabs = std::array<std::array<bool, 4>, pieceCount>;

// Whether every glue tab meets exactly one tab-less free edge of its own cube once folded.
bool tabsMeetTheirEdges(const Parting& parting, const GlueTabs& tabs)
{
    for (const BoxCube& cube : parting.cubes) {
        struct FreeEdge
        {
            QVector3D from;
            QVector3D to;
            bool tab;
        };
        std::vector<FreeEdge> edges;
        for (int k : cube.pieces) {
            const Cell cell = PieceLayout[std::size_t(k)];
            for (CellSide side : allSides) {
                const int next = pieceIn(beyond(cell, side));
                const bool foldedWithin =
                    next >= 0 &&
                    std::find(cube.pieces.begin(), cube.pieces.end(), next) != cube.pieces.end();
                if (foldedWithin)
                    continue;
                const auto ends = sideEnds(side);
                const PlacedCell& placed = parting.folded[std::size_t(k)];
                edges.push_back({placed.at(float(ends[0].x()), float(ends[0].y())),
                                 placed.at(float(ends[1].x()), float(ends[1].y())),
                                 tabs[std::size_t(k)][std::size_t(side)]});
            }
        }
        for (const FreeEdge& tab : edges) {
            if (!tab.tab)
                continue;
            int met = 0;
            for (const FreeEdge& other : edges) {
                if (&other == &tab)
                    continue;
                const bool together = (same(other.from, tab.from) && same(other.to, tab.to)) ||
                                      (same(other.from, tab.to) && same(other.to, tab.from));
                if (!together)
                    continue;
                if (other.tab)
                    return false;
                ++met;
            }
            if (met != 1)
                return false;
        }
    }
    return true;
}

// The 24 turns that take a cube onto itself.
std::vector<QMatrix4x4> cubeTurns()
{
    std::vector<QMatrix4x4> turns;
    const std::array<std::array<int, 3>, 6> orders = {
        {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}};
    for (const auto& order : orders)
        for (int signs = 0; signs < 8; ++signs) {
            QMatrix4x4 m;
            m.fill(0);
            m(3, 3) = 1;
            for (int row = 0; row < 3; ++row)
                m(row, order[std::size_t(row)]) = (signs >> row) & 1 ? -1.0f : 1.0f;
            if (m.determinant() > 0)
                turns.push_back(m);
        }
    return turns;
}

// A hinge's edge as it lies on each of its two cubes folded in place.
std::array<std::array<QVector3D, 2>, 2> hingeOnCubes(const Box& box, const BoxHinge& hinge)
{
    std::array<std::array<QVector3D, 2>, 2> ends;
    for (std::size_t side = 0; side < 2; ++side) {
        const int piece = hinge.pieces[side];
        ends[side] = {onCell(box.folded[std::size_t(piece)], piece, hinge.from),
                      onCell(box.folded[std::size_t(piece)], piece, hinge.to)};
    }
    return ends;
}

// Every compact block the ring closes into, the first cube held still.
std::vector<std::array<QMatrix4x4, 4>> compactBlocks(const Box& box)
{
    const std::vector<QMatrix4x4> turns = cubeTurns();
    std::array<QVector3D, 4> centres;
    for (std::size_t c = 0; c < 4; ++c)
        centres[c] = cubeCentre(box.folded, box.cubes[c]);

    std::vector<std::array<QMatrix4x4, 4>> blocks;
    std::array<QMatrix4x4, 4> poses;
    std::array<bool, 4> posed{true, false, false, false};
    std::function<void()> search = [&] {
        // The first hinge with one cube posed and one not; none left: a closed ring.
        for (const BoxHinge& hinge : box.hinges) {
            const auto ends = hingeOnCubes(box, hinge);
            for (std::size_t side = 0; side < 2; ++side) {
                const auto still = std::size_t(hinge.cubes[side]);
                const auto moving = std::size_t(hinge.cubes[1 - side]);
                if (!posed[still] || posed[moving])
                    continue;
                const QVector3D to0 = poses[still].map(ends[side][0]);
                const QVector3D to1 = poses[still].map(ends[side][1]);
                for (const QMatrix4x4& turn : turns) {
                    QMatrix4x4 pose;
                    pose.translate(to0 - turn.map(ends[1 - side][0]));
                    pose *= turn;
                    if (!same(pose.map(ends[1 - side][1]), to1))
                        continue;
                    poses[moving] = pose;
                    posed[moving] = true;
                    search();
                    posed[moving] = false;
                }
                return;
            }
        }
        // Every hinge joins its two cubes, no two cubes overlap and they make a 2 x 2 x 1 block.
        for (const BoxHinge& hinge : box.hinges) {
            const auto ends = hingeOnCubes(box, hinge);
            const QMatrix4x4& a = poses[std::size_t(hinge.cubes[0])];
            const QMatrix4x4& b = poses[std::size_t(hinge.cubes[1])];
            if (!same(a.map(ends[0][0]), b.map(ends[1][0])) ||
                !same(a.map(ends[0][1]), b.map(ends[1][1])))
                return;
        }
        QVector3D low = poses[0].map(centres[0]);
        QVector3D high = low;
        for (std::size_t c = 0; c < 4; ++c) {
            const QVector3D at = poses[c].map(centres[c]);
            for (std::size_t d = 0; d < c; ++d)
                if (same(at, poses[d].map(centres[d])))
                    return;
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], at[axis]);
                high[axis] = std::max(high[axis], at[axis]);
            }
        }
        std::array<float, 3> spans = {high.x() - low.x(), high.y() - low.y(), high.z() - low.z()};
        std::sort(spans.begin(), spans.end());
        if (std::abs(spans[0]) < closeEnough && std::abs(spans[1] - 1) < closeEnough &&
            std::abs(spans[2] - 1) < closeEnough)
            blocks.push_back(poses);
    };
    search();
    return blocks;
}

// The two large faces of a block: the cells in the two planes across its thin side.
std::array<BoxFace, 2> largeFaces(const Box& box, const BoxPose& pose)
{
    QVector3D low = pose[0].centre();
    QVector3D high = low;
    for (const PlacedCell& cell : pose)
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], cell.centre()[axis]);
            high[axis] = std::max(high[axis], cell.centre()[axis]);
        }
    int thin = 0;
    for (int axis = 1; axis < 3; ++axis)
        if (high[axis] - low[axis] < high[thin] - low[thin])
            thin = axis;
    std::array<BoxFace, 2> faces;
    for (std::size_t f = 0; f < 2; ++f) {
        const float plane = f == 0 ? low[thin] : high[thin];
        const float facing = f == 0 ? -1.0f : 1.0f;
        std::vector<int> pieces;
        for (int k = 0; k < pieceCount; ++k) {
            const PlacedCell& cell = pose[std::size_t(k)];
            if (std::abs(cell.centre()[thin] - plane) < closeEnough &&
                cell.outward()[thin] * facing > 0.5f)
                pieces.push_back(k);
        }
        BoxFace& face = faces[f];
        if (pieces.size() != 4)
            continue;
        // Upright as the first cube's cell lies on it.
        const auto first = std::find_if(pieces.begin(), pieces.end(),
                                        [&](int k) { return box.cubeOf[std::size_t(k)] == 0; });
        const PlacedCell& upright = pose[std::size_t(first != pieces.end() ? *first : pieces[0])];
        // The face's top-left corner: the least of its cells' corners along both sides.
        float left = 0;
        float top = 0;
        for (int k : pieces)
            for (float u : {0.0f, 1.0f})
                for (float v : {0.0f, 1.0f}) {
                    const QVector3D p = pose[std::size_t(k)].at(u, v) - upright.origin;
                    left = std::min(left, QVector3D::dotProduct(p, upright.across));
                    top = std::min(top, QVector3D::dotProduct(p, upright.down));
                }
        const QVector3D corner = upright.at(left, top);
        face.frame = {corner, upright.across * 2, upright.down * 2};
        face.slot = pieces[0] / 4;
        for (int k : pieces) {
            const QVector3D offset = pose[std::size_t(k)].centre() - corner;
            const int right = QVector3D::dotProduct(offset, upright.across) > 1 ? 1 : 0;
            const int lower = QVector3D::dotProduct(offset, upright.down) > 1 ? 2 : 0;
            face.quadrants[std::size_t(right + lower)] = k;
            if (k / 4 != face.slot)
                face.slot = -1;
        }
    }
    return faces;
}

PlacedCell moved(const PlacedCell& cell, const QMatrix4x4& transform)
{
    return {transform.map(cell.origin), transform.mapVector(cell.across),
            transform.mapVector(cell.down)};
}

// Each cube's cells moved as the cube is.
BoxPose posed(const Box& box, const std::array<QMatrix4x4, 4>& cubes)
{
    BoxPose pose;
    for (std::size_t k = 0; k < pose.size(); ++k)
        pose[k] = moved(box.folded[k], cubes[std::size_t(box.cubeOf[k])]);
    return pose;
}

QMatrix4x4 turnAbout(const QVector3D& from, const QVector3D& to, float degrees)
{
    QMatrix4x4 m;
    m.translate(from);
    m.rotate(degrees, to - from);
    m.translate(-from);
    return m;
}

// Names the blocks: the slab (no cube turned from its place on the sheet), and the folds about
// the vertical and the horizontal middle, by the direction of the hinges that turn.
Result<void> nameBlocks(Box& box, const std::vector<std::array<QMatrix4x4, 4>>& blocks)
{
    if (blocks.size() != boxStateCount)
        return Failure(QStringLiteral("the ring closes into %1 blocks, not 3").arg(blocks.size()));
    const auto still = std::find_if(blocks.begin(), blocks.end(), [](const auto& cubes) {
        return std::all_of(cubes.begin(), cubes.end(), [](const QMatrix4x4& m) {
            return sameMatrix(QMatrix4x4(m.normalMatrix()), QMatrix4x4());
        });
    });
    if (still == blocks.end())
        return Failure(QStringLiteral("no block has the cubes as they lie on the sheet"));
    std::array<bool, boxStateCount> named{};
    box.states[slabState].cubes = *still;
    named[slabState] = true;
    for (auto block = blocks.begin(); block != blocks.end(); ++block) {
        if (block == still)
            continue;
        BoxState state;
        state.cubes = *block;
        for (std::size_t c = 0; c < 4; ++c)
            state.turning[c] = !sameMatrix(state.cubes[c], still->at(c));
        const BoxHinge* turned = nullptr;
        for (const BoxHinge& hinge : box.hinges)
            if (state.turning[std::size_t(hinge.cubes[0])] !=
                state.turning[std::size_t(hinge.cubes[1])])
                turned = &hinge;
        if (!turned)
            return Failure(QStringLiteral("a block turns no hinge"));
        const int still0 = state.turning[std::size_t(turned->cubes[0])] ? 1 : 0;
        const int stillPiece = turned->pieces[std::size_t(still0)];
        const QMatrix4x4& stillPose = still->at(std::size_t(turned->cubes[std::size_t(still0)]));
        state.axisFrom =
            stillPose.map(onCell(box.folded[std::size_t(stillPiece)], stillPiece, turned->from));
        state.axisTo =
            stillPose.map(onCell(box.folded[std::size_t(stillPiece)], stillPiece, turned->to));
        // Half a turn either way ends in the block; the paper goes the way no cube passes through
        // another.
        for (float angle : {180.0f, -180.0f}) {
            const QMatrix4x4 end = turnAbout(state.axisFrom, state.axisTo, angle);
            const QMatrix4x4 half = turnAbout(state.axisFrom, state.axisTo, angle / 2);
            bool ends = true;
            bool clear = true;
            for (std::size_t c = 0; c < 4; ++c) {
                if (!state.turning[c])
                    continue;
                ends = ends && sameMatrix(end * still->at(c), state.cubes[c]);
                const QVector3D centre =
                    (half * still->at(c)).map(cubeCentre(box.folded, box.cubes[c]));
                for (std::size_t d = 0; d < 4; ++d)
                    if (!state.turning[d] &&
                        (centre - still->at(d).map(cubeCentre(box.folded, box.cubes[d]))).length() <
                            1 - closeEnough)
                        clear = false;
            }
            if (ends && clear)
                state.angle = angle;
        }
        if (state.angle == 0)
            return Failure(QStringLiteral("a block cannot be reached from the slab"));
        const QVector3D along = turned->to - turned->from;
        const int kind =
            std::abs(along.y()) > std::abs(along.x()) ? verticalFoldState : horizontalFoldState;
        if (named[std::size_t(kind)])
            return Failure(QStringLiteral("two blocks fold about the same middle"));
        named[std::size_t(kind)] = true;
        box.states[std::size_t(kind)] = state;
    }
    for (BoxState& state : box.states) {
        state.faces = largeFaces(box, posed(box, state.cubes));
        state.pictureFace = isVisibleSlot(state.faces[1].slot) ? 1 : 0;
    }
    return {};
}

} // namespace

bool hasGlueTab(Cell cell, CellSide side, const std::vector<Segment>& segments, float W, float H)
{
    const float left = float(cell.column - 1) * W + 1 + W / 4;
    const float top = float(cell.row - 1) * H + 1;
    const bool alongX = side == CellSide::Top || side == CellSide::Bottom;
    // The side as a line at `level` from `start` to `end`, and which way is outside.
    const float level = side == CellSide::Top      ? top
                        : side == CellSide::Bottom ? top + H
                        : side == CellSide::Left   ? left
                                                   : left + W;
    const float outside = side == CellSide::Top || side == CellSide::Left ? -1.0f : 1.0f;
    const float start = alongX ? left : top;
    const float length = alongX ? W : H;
    const float depth = alongX ? H : W;
    for (const Segment& s : segments) {
        if (s.color != QBColor(0))
            continue;
        const float a1 = alongX ? s.y1 : s.x1;
        const float a2 = alongX ? s.y2 : s.x2;
        if (a1 != a2)
            continue;
        const float away = (a1 - level) * outside;
        const float middle = ((alongX ? s.x1 + s.x2 : s.y1 + s.y2) / 2 - start) / length;
        if (away >= depth / 8 && away <= depth / 2 && middle > 0.25f && middle < 0.75f)
            return true;
    }
    return false;
}

Result<Box> foldSheetIntoBox()
{
    const std::vector<Fold> folds = netFolds();
    const std::vector<Segment> segments = sheetSegments(pieceBoxSide, pieceBoxSide);
    GlueTabs tabs{};
    for (std::size_t k = 0; k < tabs.size(); ++k)
        for (CellSide side : allSides)
            tabs[k][std::size_t(side)] =
                hasGlueTab(PieceLayout[k], side, segments, pieceBoxSide, pieceBoxSide);
    std::optional<Parting> found;
    std::array<std::size_t, 4> hingeFolds{};
    int ways = 0;
    // Four folds become hinges: the rest must fold into four cubes whose tabs meet their edges.
    const std::size_t n = folds.size();
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = a + 1; b < n; ++b)
            for (std::size_t c = b + 1; c < n; ++c)
                for (std::size_t d = c + 1; d < n; ++d) {
                    std::vector<Fold> within;
                    for (std::size_t i = 0; i < n; ++i)
                        if (i != a && i != b && i != c && i != d)
                            within.push_back(folds[i]);
                    std::optional<Parting> parting = foldIntoCubes(within);
                    if (!parting || parting->cubes.size() != 4 ||
                        !tabsMeetTheirEdges(*parting, tabs))
                        continue;
                    ++ways;
                    found = std::move(parting);
                    hingeFolds = {a, b, c, d};
                }
    if (ways != 1)
        return Failure(QStringLiteral("the sheet folds into four cubes in %1 ways").arg(ways));

    Box box;
    // The cubes in the order their first cells lie on the sheet, top-left first.
    std::sort(found->cubes.begin(), found->cubes.end(), [](const BoxCube& x, const BoxCube& y) {
        const Cell cx = PieceLayout[std::size_t(x.pieces[0])];
        const Cell cy = PieceLayout[std::size_t(y.pieces[0])];
        return std::pair(cx.row, cx.column) < std::pair(cy.row, cy.column);
    });
    std::copy(found->cubes.begin(), found->cubes.end(), box.cubes.begin());
    for (std::size_t c = 0; c < 4; ++c)
        for (int k : box.cubes[c].pieces)
            box.cubeOf[std::size_t(k)] = int(c);
    box.foldsAbout = found->foldsAbout;
    box.foldSide = found->foldSide;
    box.folded = found->folded;
    for (std::size_t h = 0; h < 4; ++h) {
        const Fold& fold = folds[hingeFolds[h]];
        const auto ends = sideEnds(fold.side);
        const PlacedCell flat = flatCell(fold.a);
        BoxHinge& hinge = box.hinges[h];
        hinge.pieces = {fold.a, fold.b};
        hinge.cubes = {box.cubeOf[std::size_t(fold.a)], box.cubeOf[std::size_t(fold.b)]};
        hinge.from = flat.at(float(ends[0].x()), float(ends[0].y()));
        hinge.to = flat.at(float(ends[1].x()), float(ends[1].y()));
        box.onHinge[std::size_t(fold.a)] = true;
        box.onHinge[std::size_t(fold.b)] = true;
    }
    const Result<void> named = nameBlocks(box, compactBlocks(box));
    if (!named)
        return named.failure();
    return box;
}

const Box& sheetBox()
{
    static const Box box = [] {
        Result<Box> folded = foldSheetIntoBox();
        if (!folded)
            qFatal("The sheet does not fold into its box: %s", qPrintable(folded.error()));
        return std::move(folded.value());
    }();
    return box;
}

BoxPose statePose(const Box& box, int state)
{
    return posed(box, box.states.at(std::size_t(state)).cubes);
}

BoxPose turningPose(const Box& box, int state, float progress)
{
    const BoxState& slab = box.states[slabState];
    const BoxState& to = box.states.at(std::size_t(state));
    std::array<QMatrix4x4, 4> cubes = slab.cubes;
    const QMatrix4x4 turn = turnAbout(to.axisFrom, to.axisTo, to.angle * progress);
    for (std::size_t c = 0; c < 4; ++c)
        if (to.turning[c])
            cubes[c] = turn * slab.cubes[c];
    return posed(box, cubes);
}

BoxPose foldingPose(const Box& box, float progress)
{
    // Steps: the cells of each cube that join no other cube fold one after another, all cubes
    // alike; then, in two steps' time, the cells on the hinges fold and the ring closes.
    int ownCells = 0;
    for (const BoxCube& cube : box.cubes)
        ownCells = std::max(
            ownCells, int(std::count_if(cube.pieces.begin() + 1, cube.pieces.end(),
                                        [&](int k) { return !box.onHinge[std::size_t(k)]; })));
    const float steps = float(ownCells + 2);
    const float at = std::clamp(progress, 0.0f, 1.0f) * steps;
    const float closing = std::clamp((at - float(ownCells)) / 2, 0.0f, 1.0f);
    const float hingeDegrees = 90 * closing;
    // As the cells on the hinges fold, the cubes slide together: each hinge's two cells meet
    // when the cubes have come (1 - cos) of the way to the slab.
    const float together = 1 - std::cos(hingeDegrees * std::numbers::pi_v<float> / 180);

    BoxPose pose;
    for (std::size_t c = 0; c < 4; ++c) {
        const BoxCube& cube = box.cubes[c];
        const QVector3D slide = box.states[slabState].cubes[c].map(QVector3D()) * together;
        int own = 0;
        for (std::size_t i = 0; i < 6; ++i) {
            const int k = cube.pieces[i];
            if (i == 0) {
                pose[std::size_t(k)] = flatCell(k);
                pose[std::size_t(k)].origin += slide;
                continue;
            }
            float degrees = hingeDegrees;
            if (!box.onHinge[std::size_t(k)])
                degrees = 90 * std::clamp(at - float(own++), 0.0f, 1.0f);
            pose[std::size_t(k)] = foldedBeside(pose[std::size_t(box.foldsAbout[std::size_t(k)])],
                                                box.foldSide[std::size_t(k)], degrees);
        }
    }
    return pose;
}

QMatrix4x4 facingView(const Box& box, int state)
{
    const BoxState& s = box.states.at(std::size_t(state));
    const PlacedCell& frame = s.faces[std::size_t(s.pictureFace)].frame;
    const QVector3D across = frame.across.normalized();
    const QVector3D down = frame.down.normalized();
    const QVector3D toViewer = QVector3D::crossProduct(across, down);
    QMatrix4x4 turn;
    turn.setRow(0, QVector4D(across, 0));
    turn.setRow(1, QVector4D(down, 0));
    turn.setRow(2, QVector4D(toViewer, 0));
    return turn;
}

QVector3D poseCentre(const BoxPose& pose)
{
    QVector3D sum;
    for (const PlacedCell& cell : pose)
        sum += cell.centre();
    return sum / float(pose.size());
}

} // namespace hakomiru
