#pragma once

#include <QWidget>

#include "surface/surface.h"

namespace hakomiru {

// A picture box on a window: a widget exactly the size of its surface that shows the surface's
// retained bitmap at (0, 0). It has no border, so the surface's pixels are the box's pixels.
// Whoever draws into surface() calls update() to have the change shown.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    PictureBox(int width, int height, QRgb backColor, QWidget* parent = nullptr);

    [[nodiscard]] Surface& surface() { return m_surface; }
    [[nodiscard]] const Surface& surface() const { return m_surface; }

    // Resizes the box and its surface together; what is drawn stays where it still fits.
    void resizeBox(int width, int height);

signals:
    // A mouse button went down over the box (position in the box's pixels).
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    Surface m_surface;
};

} // namespace hakomiru
