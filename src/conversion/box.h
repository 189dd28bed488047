#pragma once

#include <array>
#include <vector>

#include <QMatrix4x4>
#include <QVector3D>

#include "conversion/sheet.h"
#include "surface/result.h"

namespace hakomiru {

// The sheet is cut along its outline and round the middle hole, and folded along every line
// between two cells, printed side out: into four paper cubes joined in a ring by four hinges. The
// ring folds into three compact blocks of 2 x 2 x 1 cubes, each showing two large faces of four
// cube faces; each large face is one slot's picture. Everything here is worked out from the net:
// its cells (PieceLayout), the folds between them and the glue tabs its lines draw.
//
// Lengths are in cells. On the flat sheet, x runs right, y down and z away from the viewer: the
// printed side faces -z, and the cubes fold up behind it.

// The sides of a cell as it lies on the sheet.
enum class CellSide
{
    Top,
    Right,
    Bottom,
    Left
};

// Whether the sheet's lines give the free side of a cell a glue tab: a black line parallel to that
// side, outside the cell, between an eighth and a half of a cell away, beside the side's middle.
// `segments` are the sheet's lines for pieces of `pieceWidth` x `pieceHeight` pixels.
[[nodiscard]] bool hasGlueTab(Cell cell, CellSide side, const std::vector<Segment>& segments,
                              float pieceWidth, float pieceHeight);

// A cell of the sheet in space: where its top-left corner lies and where its sides along the
// sheet's x ("across") and y ("down") point, each one cell long. The printed side faces outward().
struct PlacedCell
{
    QVector3D origin;
    QVector3D across;
    QVector3D down;

    [[nodiscard]] QVector3D outward() const { return QVector3D::crossProduct(down, across); }
    [[nodiscard]] QVector3D at(float u, float v) const { return origin + across * u + down * v; }
    [[nodiscard]] QVector3D centre() const { return at(0.5f, 0.5f); }
};

// Where the cell of every piece lies.
using BoxPose = std::array<PlacedCell, pieceCount>;

// One paper cube: six cells folded about the folds between them.
struct BoxCube
{
    // Its pieces in folding order: first the cell that stays where it lies on the sheet (the one
    // joined to four others, where a band crosses a strip), then each cell after the one it folds
    // about.
    std::array<int, 6> pieces{};
};

// Two cubes joined by the fold between two of their cells.
struct BoxHinge
{
    std::array<int, 2> cubes{};
    std::array<int, 2> pieces{};
    // The shared edge's ends on the flat sheet.
    QVector3D from;
    QVector3D to;
};

// A large face of a compact block: four cube faces in one plane, seen from outside with the cell
// of the first cube upright (its top up).
struct BoxFace
{
    // The slot whose four quarters make the face, or -1 when they come from several slots.
    int slot = -1;
    // The pieces seen in the face's top-left, top-right, bottom-left and bottom-right quarters.
    std::array<int, 4> quadrants{};
    // The face's top-left corner and its two sides, two cells long each.
    PlacedCell frame;
};

// The compact blocks, in the order of BoxState's kinds.
enum BoxStateKind
{
    slabState = 0,
    verticalFoldState = 1,
    horizontalFoldState = 2
};
inline constexpr int boxStateCount = 3;

// A compact block of the ring: the slab (the cubes as they lie on the sheet), or the slab folded
// in half about its vertical or its horizontal middle. Poses are of the first cube held still.
struct BoxState
{
    // Each cube's move from its place folded on the sheet.
    std::array<QMatrix4x4, 4> cubes;
    // From the slab: the cubes that turn, about the line the turning hinges lie on (in the slab),
    // by `angle` degrees (none for the slab itself).
    std::array<bool, 4> turning{};
    QVector3D axisFrom;
    QVector3D axisTo;
    float angle = 0;
    // The two large faces, and which of them shows a picture the user fills (A, B or C).
    std::array<BoxFace, 2> faces;
    int pictureFace = 0;
};

// The whole fold.
struct Box
{
    std::array<BoxCube, 4> cubes;
    std::array<int, pieceCount> cubeOf{};
    // For each piece, the piece its cell folds about and which of that cell's sides they share
    // (-1 for the four cells that stay put); whether the cell is joined to another cube.
    std::array<int, pieceCount> foldsAbout{};
    std::array<CellSide, pieceCount> foldSide{};
    std::array<bool, pieceCount> onHinge{};
    std::array<BoxHinge, 4> hinges;
    // Every cube folded where its first cell lies on the sheet.
    BoxPose folded;
    std::array<BoxState, boxStateCount> states;
};

// Folds the sheet's net: finds the four hinges that part it into four cubes on which every glue
// tab meets exactly one tab-less edge of its own cube, then the ring's compact blocks. Fails when
// the net does not fold so, or folds so in more than one way.
[[nodiscard]] Result<Box> foldSheetIntoBox();

// The fold of the program's sheet, worked out once.
[[nodiscard]] const Box& sheetBox();

// The cells of a compact block.
[[nodiscard]] BoxPose statePose(const Box& box, int state);
// On the way from the slab (progress 0) to `state` (progress 1), the turning hinges turned in
// proportion.
[[nodiscard]] BoxPose turningPose(const Box& box, int state, float progress);
// Folding the flat sheet (progress 0) into the slab (1): the cells of each cube fold one after
// another about their edges, then the cells on the hinges fold while the cubes close the ring.
[[nodiscard]] BoxPose foldingPose(const Box& box, float progress);

// The turn that brings a block's picture face to look at a viewer on the -z side, its top up (-y).
[[nodiscard]] QMatrix4x4 facingView(const Box& box, int state);

// The middle of a pose: the mean of its cells' centres (a block's centre).
[[nodiscard]] QVector3D poseCentre(const BoxPose& pose);

} // namespace hakomiru
