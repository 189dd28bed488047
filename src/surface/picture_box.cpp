#include "surface/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace hakomiru {

PictureBox::PictureBox(int width, int height, QRgb backColor, QWidget* parent)
    : QWidget(parent), m_surface(width, height, backColor)
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

} // namespace hakomiru
