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

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_surface.bitmap(), event->rect());
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event->button());
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
    if (!m_dragAccepted || !event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void PictureBox::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    m_dragAccepted = m_dropAccepts && m_dropTake && data != nullptr && m_dropAccepts(*data);
    (void)offerCopy(event);
}

void PictureBox::dragMoveEvent(QDragMoveEvent* event)
{
    (void)offerCopy(event);
}

void PictureBox::dropEvent(QDropEvent* event)
{
    if (offerCopy(event) && event->mimeData() != nullptr)
        m_dropTake(*event->mimeData());
    m_dragAccepted = false;
}

} // namespace hakomiru
