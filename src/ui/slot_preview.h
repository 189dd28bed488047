#pragma once

#include <QPoint>

#include "intake/slot_view.h"
#include "ui/picture_box.h"

namespace hakomiru {

class Workbench;

// The preview of a picture slot, where the user chooses the part of the picture that shows:
// - drag with the left button: the picture follows the pointer (the preview live, the source box
//   when the button is released);
// - the wheel: each notch zooms by zoomStep about the point under the pointer;
// - a double-click, or 0: back to the default view;
// - with the focus (a click or Tab gives it): the arrow keys move by viewKeyStep source-box
//   pixels, + and - zoom about the centre.
// A click without movement changes nothing; the right button and drops are the picture box's, as
// before. A slot without a picture ignores all of it.
class SlotPreview : public PictureBox
{
    Q_OBJECT

public:
    SlotPreview(Workbench& workbench, int slot, QWidget* parent = nullptr);

    // Follows what the slot now holds: the pointer's shape and hint for a slot with a picture, and
    // the preview's pixels.
    void refresh();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setView(const SlotView& view);
    // The preview's point `at` in source-box pixels.
    [[nodiscard]] QPointF inSourceBox(QPointF at) const;

    Workbench& m_workbench;
    int m_slot;
    // A left-button drag: where it started and the view then; `moving` once the pointer has gone
    // further than a click's wobble.
    bool m_pressed = false;
    bool m_moving = false;
    QPointF m_pressedAt;
    SlotView m_pressedView;
    SlotView m_dragged;   // the view the preview shows while the drag goes on
    int m_wheelAngle = 0; // eighths of a degree not yet turned into notches
};

} // namespace hakomiru
