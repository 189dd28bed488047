#include "ui/slot_preview.h"

#include <cmath>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "conversion/sheet.h"
#include "conversion/workbench.h"

namespace hakomiru {

namespace {

// One notch of an ordinary mouse wheel, in eighths of a degree.
constexpr int wheelNotch = 120;

const QString viewHint =
    QStringLiteral("ドラッグでうごかす／ホイールでズーム／ダブルクリックでもとにもどす");

} // namespace

SlotPreview::SlotPreview(Workbench& workbench, int slot, QWidget* parent)
    : PictureBox(workbench.preview(slot), parent), m_workbench(workbench), m_slot(slot)
{
    refresh();
}

void SlotPreview::refresh()
{
    const bool holds = m_workbench.holdsPicture(m_slot);
    if (holds) {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::OpenHandCursor);
        setToolTip(viewHint);
    } else {
        // The window's focus widget, active or not: after the open dialog the window gets the
        // focus back only later, and would give it back to this preview.
        if (window()->focusWidget() == this)
            focusNextChild();
        setFocusPolicy(Qt::NoFocus);
        unsetCursor();
        setToolTip(QString());
    }
    m_pressed = false;
    m_moving = false;
    update();
}

QPointF SlotPreview::inSourceBox(QPointF at) const
{
    return at * (double(sourceBoxSide) / width());
}

void SlotPreview::setView(const SlotView& view)
{
    (void)m_workbench.setView(m_slot, view);
    update();
}

void SlotPreview::mousePressEvent(QMouseEvent* event)
{
    // A drag whose release never came (the pointer taken by a dialog) ends here.
    if (m_moving)
        setView(m_dragged);
    m_pressed = false;
    m_moving = false;
    PictureBox::mousePressEvent(event); // the right button asks to paste
    if (event->button() != Qt::LeftButton || !m_workbench.holdsPicture(m_slot))
        return;
    event->accept();
    m_pressed = true;
    m_pressedAt = event->position();
    m_pressedView = m_workbench.view(m_slot);
}

void SlotPreview::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) {
        PictureBox::mouseMoveEvent(event);
        return;
    }
    const QPointF movement = event->position() - m_pressedAt;
    // A click's wobble is not a drag.
    if (!m_moving && movement.manhattanLength() < QApplication::startDragDistance())
        return;
    if (!m_moving)
        setCursor(Qt::ClosedHandCursor);
    m_moving = true;
    m_dragged = m_workbench.paintPreview(
        m_slot, draggedBy(m_pressedView, movement, width(), sourceBoxSide));
    update();
}

void SlotPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        PictureBox::mouseReleaseEvent(event);
        return;
    }
    const bool moved = m_moving;
    m_pressed = false;
    m_moving = false;
    if (!moved)
        return;
    setCursor(Qt::OpenHandCursor);
    setView(draggedBy(m_pressedView, event->position() - m_pressedAt, width(), sourceBoxSide));
}

void SlotPreview::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PictureBox::mouseDoubleClickEvent(event); // a second press of that button
        return;
    }
    if (!m_workbench.holdsPicture(m_slot))
        return;
    m_pressed = false;
    m_moving = false;
    setView(SlotView{});
}

void SlotPreview::wheelEvent(QWheelEvent* event)
{
    if (!m_workbench.holdsPicture(m_slot)) {
        PictureBox::wheelEvent(event);
        return;
    }
    event->accept();
    // A fine-grained wheel or a touchpad sends parts of a notch; they add up.
    m_wheelAngle += event->angleDelta().y();
    const int notches = m_wheelAngle / wheelNotch;
    m_wheelAngle -= notches * wheelNotch;
    if (notches == 0)
        return;
    const SlotView view = m_workbench.view(m_slot);
    setView(zoomedAbout(view, view.zoom * std::pow(zoomStep, notches),
                        inSourceBox(event->position()), sourceBoxSide));
}

void SlotPreview::keyPressEvent(QKeyEvent* event)
{
    if (!m_workbench.holdsPicture(m_slot)) {
        PictureBox::keyPressEvent(event);
        return;
    }
    SlotView view = m_workbench.view(m_slot);
    const QPointF centre(sourceBoxSide / 2.0, sourceBoxSide / 2.0);
    switch (event->key()) {
    case Qt::Key_Left:
        view.dx -= viewKeyStep;
        break;
    case Qt::Key_Right:
        view.dx += viewKeyStep;
        break;
    case Qt::Key_Up:
        view.dy -= viewKeyStep;
        break;
    case Qt::Key_Down:
        view.dy += viewKeyStep;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without the shift key on many keyboards
        view = zoomedAbout(view, view.zoom * zoomStep, centre, sourceBoxSide);
        break;
    case Qt::Key_Minus:
        view = zoomedAbout(view, view.zoom / zoomStep, centre, sourceBoxSide);
        break;
    case Qt::Key_0:
        view = SlotView{};
        break;
    default:
        PictureBox::keyPressEvent(event);
        return;
    }
    event->accept();
    setView(view);
}

void SlotPreview::focusInEvent(QFocusEvent* event)
{
    PictureBox::focusInEvent(event);
    // The slot area draws the focus frame around the preview.
    if (parentWidget())
        parentWidget()->update();
}

void SlotPreview::focusOutEvent(QFocusEvent* event)
{
    PictureBox::focusOutEvent(event);
    if (parentWidget())
        parentWidget()->update();
}

} // namespace hakomiru
