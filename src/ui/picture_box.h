#pragma once

#include <functional>

#include <QWidget>

#include "surface/surface.h"

class QDropEvent;
class QMimeData;

namespace hakomiru {

// A picture box on a window: a view of a surface it does not own (one of the workbench's), exactly
// the surface's size, showing its retained bitmap at (0, 0). It has no border, so the surface's
// pixels are the box's pixels. Whoever draws into surface() calls update() to have the change
// shown. ASSUMES: the surface outlives the box.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(Surface& surface, QWidget* parent = nullptr);

    [[nodiscard]] Surface& surface() { return m_surface; }
    [[nodiscard]] const Surface& surface() const { return m_surface; }

    // Resizes the box and its surface together; what is drawn stays where it still fits.
    void resizeBox(int width, int height);

    // Makes the box a drop target: `accepts` tells whether the box would take the dragged data
    // (otherwise the cursor shows that a drop is refused), `take` takes it when it is dropped.
    // Data is only ever copied: the box never offers to move it, so the place it was dragged
    // from keeps it.
    using DropCheck = std::function<bool(const QMimeData&)>;
    using DropTake = std::function<void(const QMimeData&)>;
    void acceptDroppedData(DropCheck accepts, DropTake take);

signals:
    // A mouse button went down over the box (position in the box's pixels).
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Accepts the event as a copy when the box takes its data; ignores it otherwise.
    bool offerCopy(QDropEvent* event) const;

    Surface& m_surface;
    DropCheck m_dropAccepts;
    DropTake m_dropTake;
};

} // namespace hakomiru
