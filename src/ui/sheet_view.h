#pragma once

#include <vector>

#include <QColor>
#include <QPointer>
#include <QScrollArea>

namespace hakomiru {

class PictureBox;

// The result window's client area: the sheet canvas in a view that scrolls when the window is
// smaller than the canvas, with its scroll bars, the mouse wheel (Shift+wheel sideways) and the
// keys: the arrows, Page Up and Page Down, Home (the top) and End (the bottom). Unscrolled, the
// canvas lies at (0, 0) with no frame and no margin; where the view is larger than the canvas it
// shows `background`. A widget pinned to the view lies above the canvas and keeps its place while
// the canvas scrolls.
class SheetView : public QScrollArea
{
    Q_OBJECT

public:
    SheetView(PictureBox* canvas, QColor background, QWidget* parent = nullptr);

    // Puts `widget`, a child of the view, at `geometry` above the canvas. The scroll keys and the
    // wheel scroll the canvas over it too.
    void pin(QWidget* widget, QRect geometry);

    // Shows the canvas from its top-left corner.
    void scrollToCorner();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Scrolls as the key asks; false when it is not one of the scroll keys.
    bool scrollByKey(const QKeyEvent& event);

    std::vector<QPointer<QWidget>> m_pinned;
};

} // namespace hakomiru
