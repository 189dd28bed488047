#pragma once

#include <array>

#include <QImage>
#include <QMatrix4x4>
#include <QRectF>
#include <QRgb>

#include "conversion/box.h"

class QPainter;

namespace hakomiru {

// What lies behind the box where it is drawn: the window's view and the exporter's picture alike.
inline constexpr QRgb boxBackground = 0xffe8e6e0;
// The side of one state's picture in the exporter's --box file (three side by side).
inline constexpr int boxStatePictureSide = 600;

// The cells of a sheet as pictures, each with the lines round it: what the folded box is drawn
// from, so that it shows what the printed sheet folds into.
class BoxPictures
{
public:
    // Cuts the cells out of `sheet`, a sheet of any size (its pieces' size follows from its own:
    // 8.5 pieces + 2 pixels wide, 6.5 + 2 high). With `blankHiddenSlots`, the cells of the slots
    // the user cannot fill are plain paper with their lines.
    explicit BoxPictures(const QImage& sheet, bool blankHiddenSlots = true);

    [[nodiscard]] const QImage& cell(int piece) const { return m_cells.at(std::size_t(piece)); }

    // A large face drawn flat as seen from outside, top up: 2 x `cellPixels` square.
    [[nodiscard]] QImage face(const BoxPose& pose, const BoxFace& face, int cellPixels) const;

private:
    std::array<QImage, pieceCount> m_cells;
};

// Draws `pose` in perspective, filling `target` with boxBackground: the pose is centred, turned
// by `turn` and seen from a viewer on the -z side, `zoom` times its fitted size. The printed side
// of each cell shows its picture, the other side plain paper, both lit from the upper left; cells
// pressed together (the hinges of a closed ring) are left out. Farther cells are drawn first.
void paintBox(QPainter& painter, const QRectF& target, const BoxPictures& pictures,
              const BoxPose& pose, const QMatrix4x4& turn, float zoom = 1);

// How each state is first shown: its picture face towards the viewer, turned a little so that the
// box reads as a solid.
[[nodiscard]] QMatrix4x4 startingTurn(const Box& box, int state);

// The three states side by side (slab, vertical fold, horizontal fold), each as the box window
// first shows it, boxStatePictureSide pixels square.
[[nodiscard]] QImage boxStatesPicture(const BoxPictures& pictures);

} // namespace hakomiru
