#include "ui/picture_box.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace hakomiru {

PictureBox::PictureBox(Surface& surface, QWidget* parent) : QWidget(parent), m_surface(surface)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(m_surface.width(), m_surface.height());
}

void PictureBox::resizeBox(int width, int height)
{
    m_surface.resize(width, height);
    resize(m_surface.width(), m_surface.height());
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_surface.bitmap(), event->rect());
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event->button(), event->modifiers(), event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void PictureBox::acceptDroppedData(DropCheck accepts, DropTake take)
{
    m_dropAccepts = std::move(accepts);
    m_dropTake = std::move(take);
    setAcceptDrops(m_dropAccepts && m_dropTake);
}

bool PictureBox::offerCopy(QDropEvent* event) const
{
    const QMimeData* data = event->mimeData();
    if (!m_dropAccepts || !m_dropTake || data == nullptr ||
        !event->possibleActions().testFlag(Qt::CopyAction) || !m_dropAccepts(*data)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void PictureBox::dragEnterEvent(QDragEnterEvent* event)
{
    (void)offerCopy(event);
}

void PictureBox::dragMoveEvent(QDragMoveEvent* event)
{
    (void)offerCopy(event);
}

void PictureBox::dropEvent(QDropEvent* event)
{
    if (offerCopy(event))
        m_dropTake(*event->mimeData());
}

} // namespace hakomiru
