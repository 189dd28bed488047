#include "ui/sheet_view.h"

#include <algorithm>

#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "ui/picture_box.h"

namespace hakomiru {

SheetView::SheetView(PictureBox* canvas, QColor background, QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Only the view behind the canvas takes the colour; the scroll bars keep the desktop's.
    QPalette back = viewport()->palette();
    back.setColor(QPalette::Window, background);
    viewport()->setPalette(back);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    setWidget(canvas);
}

void SheetView::pin(QWidget* widget, QRect geometry)
{
    Q_ASSERT(widget->parentWidget() == this);
    widget->setGeometry(geometry);
    widget->raise();
    widget->installEventFilter(this);
    m_pinned.emplace_back(widget);
}

void SheetView::scrollToCorner()
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void SheetView::wheelEvent(QWheelEvent* event)
{
    // Shift turns the wheel sideways, as elsewhere on the desktop (Qt's scroll bars would take
    // it for a page up or down instead).
    if (event->modifiers().testFlag(Qt::ShiftModifier) && event->angleDelta().x() == 0) {
        QWheelEvent sideways(event->position(), event->globalPosition(),
                             event->pixelDelta().transposed(), event->angleDelta().transposed(),
                             event->buttons(), event->modifiers() & ~Qt::ShiftModifier,
                             event->phase(), event->inverted(), event->source(),
                             event->pointingDevice());
        QScrollArea::wheelEvent(&sideways);
        event->setAccepted(sideways.isAccepted());
        return;
    }
    QScrollArea::wheelEvent(event);
}

void SheetView::keyPressEvent(QKeyEvent* event)
{
    if (scrollByKey(*event))
        event->accept();
    else
        QScrollArea::keyPressEvent(event);
}

bool SheetView::eventFilter(QObject* watched, QEvent* event)
{
    // Over a pinned widget the wheel would otherwise do nothing, and with the focus on it the
    // arrows would only move the focus to the view.
    const bool pinned = std::any_of(m_pinned.begin(), m_pinned.end(),
                                    [watched](const QPointer<QWidget>& p) { return p == watched; });
    if (pinned && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    if (pinned && event->type() == QEvent::KeyPress && scrollByKey(*static_cast<QKeyEvent*>(event)))
        return true;
    return QScrollArea::eventFilter(watched, event);
}

bool SheetView::scrollByKey(const QKeyEvent& event)
{
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    switch (event.key()) {
    case Qt::Key_Left:
        across->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
    case Qt::Key_Right:
        across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_Up:
        down->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
    case Qt::Key_Down:
        down->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_PageUp:
        down->triggerAction(QAbstractSlider::SliderPageStepSub);
        return true;
    case Qt::Key_PageDown:
        down->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return true;
    case Qt::Key_Home:
        down->triggerAction(QAbstractSlider::SliderToMinimum);
        return true;
    case Qt::Key_End:
        down->triggerAction(QAbstractSlider::SliderToMaximum);
        return true;
    default:
        return false;
    }
}

} // namespace hakomiru
