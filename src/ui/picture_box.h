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

    // Makes the box a drop target: `accepts` tells whether the box would take the dragged data
    // (otherwise the cursor shows that a drop is refused), `take` takes it when it is dropped.
    // `accepts` is asked once for each drag, as it enters the box, and may take its time (open
    // a file); the moves over the box reuse its answer. Data is only ever copied: the box never
    // offers to move it, so the place it was dragged from keeps it.
    using DropCheck = std::function<bool(const QMimeData&)>;
    using DropTake = std::function<void(const QMimeData&)>;
    void acceptDroppedData(DropCheck accepts, DropTake take);

signals:
    // A mouse button went down over the box.
    void mousePressed(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Accepts the event as a copy when the box takes the data of the drag (as `accepts` answered
    // when it entered) and the drag offers a copy; ignores it otherwise.
    bool offerCopy(QDropEvent* event) const;

    Surface& m_surface;
    DropCheck m_dropAccepts;
    DropTake m_dropTake;
    bool m_dragAccepted = false; // the answer of `accepts` for the drag over the box
};

} // namespace hakomiru
