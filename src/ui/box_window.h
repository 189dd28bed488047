#pragma once

#include <optional>

#include <QElapsedTimer>
#include <QImage>
#include <QQuaternion>
#include <QTimer>
#include <QWidget>

#include "conversion/box.h"
#include "output/box_drawing.h"

class QPushButton;

namespace hakomiru {

// The folded box in perspective, drawn from the sheet: a drag turns it, the wheel zooms, a
// double-click gives back the starting view. It moves between the ring's states as the paper
// does, the hinges turning for about a second, and can fold the flat sheet into the box.
class BoxView : public QWidget
{
    Q_OBJECT

public:
    explicit BoxView(QWidget* parent = nullptr);

    // The sheet the box is folded from (the result window's canvas).
    void setSheet(const QImage& sheet);
    // Moves to a state (slabState, verticalFoldState, horizontalFoldState), turning the hinges;
    // from one fold to the other it goes through the slab.
    void goToState(int state);
    // Folds the flat sheet into the slab.
    void foldSheet();
    // Gives back the starting view of the state: no turn of the user's, no zoom.
    void resetView();

    [[nodiscard]] int state() const { return m_to; }
    [[nodiscard]] bool moving() const { return m_timer.isActive(); }
    // The cells as drawn now, and how they are turned to the viewer.
    [[nodiscard]] BoxPose pose() const;
    [[nodiscard]] QMatrix4x4 turn() const;

    // How long the moves take, in milliseconds.
    static constexpr int turnMillis = 1000;
    static constexpr int foldMillis = 5000;

signals:
    // A move has ended in the state it named.
    void arrived(int state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void start(int from, int to, bool folding);
    void step();
    [[nodiscard]] float progress() const;

    std::optional<BoxPictures> m_pictures;
    int m_from = slabState;
    int m_to = slabState;
    bool m_folding = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QQuaternion m_userTurn;
    float m_zoom = 1;
    QPoint m_lastDrag;
};

// The box window ハコミル opened from the result window: the box view with a button for each
// picture's state (絵A, 絵B, 絵C; keys A, B and C) and one that folds the sheet (おりかた, key F).
// Its close box only hides it.
class BoxWindow : public QWidget
{
    Q_OBJECT

public:
    explicit BoxWindow(QWidget* parent = nullptr);

    [[nodiscard]] BoxView* view() const { return m_view; }
    // The button that shows 絵A, 絵B or 絵C (by letter), or the folding one (u'F').
    [[nodiscard]] QPushButton* button(QChar letter) const;

    void setSheet(const QImage& sheet) { m_view->setSheet(sheet); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    BoxView* m_view = nullptr;
    std::array<QPushButton*, 4> m_buttons{};
};

} // namespace hakomiru
