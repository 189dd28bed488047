#include "ui/box_window.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "surface/program_title.h"
#include "ui/decoration.h"
#include "ui/window_look.h"

namespace hakomiru {

namespace {

// The state whose picture face shows the slot with this letter.
std::optional<int> stateShowing(QChar letter)
{
    const Box& box = sheetBox();
    for (const VisibleSlot& slot : visibleSlots)
        if (slot.letter == letter)
            for (int s = 0; s < boxStateCount; ++s) {
                const BoxState& state = box.states[std::size_t(s)];
                if (state.faces[std::size_t(state.pictureFace)].slot == slot.index)
                    return s;
            }
    return std::nullopt;
}

QQuaternion turnOf(const QMatrix4x4& m)
{
    return QQuaternion::fromRotationMatrix(m.normalMatrix());
}

// Slow at both ends, as a hand moves.
float eased(float t)
{
    return t * t * (3 - 2 * t);
}

} // namespace

BoxView::BoxView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(240, 240);
    setFocusPolicy(Qt::StrongFocus);
    m_timer.setInterval(15);
    connect(&m_timer, &QTimer::timeout, this, &BoxView::step);
}

void BoxView::setSheet(const QImage& sheet)
{
    m_pictures.emplace(sheet);
    update();
}

void BoxView::goToState(int state)
{
    // A move under way ends where it was going, and the next starts from there.
    start(m_to, state, false);
}

void BoxView::foldSheet()
{
    start(slabState, slabState, true);
}

void BoxView::resetView()
{
    m_userTurn = QQuaternion();
    m_zoom = 1;
    update();
}

void BoxView::start(int from, int to, bool folding)
{
    m_from = from;
    m_to = to;
    m_folding = folding;
    m_clock.start();
    m_timer.start();
    update();
}

float BoxView::progress() const
{
    if (!m_timer.isActive())
        return 1;
    const int millis = m_folding ? foldMillis : turnMillis;
    return std::clamp(float(m_clock.elapsed()) / float(millis), 0.0f, 1.0f);
}

void BoxView::step()
{
    if (float(m_clock.elapsed()) >= float(m_folding ? foldMillis : turnMillis)) {
        m_timer.stop();
        m_folding = false;
        m_from = m_to;
        emit arrived(m_to);
    }
    update();
}

BoxPose BoxView::pose() const
{
    const Box& box = sheetBox();
    const float p = eased(progress());
    if (m_folding)
        return foldingPose(box, p);
    if (m_from == m_to)
        return statePose(box, m_to);
    if (m_from == slabState)
        return turningPose(box, m_to, p);
    if (m_to == slabState)
        return turningPose(box, m_from, 1 - p);
    // From one fold to the other, through the slab.
    return p < 0.5f ? turningPose(box, m_from, 1 - 2 * p) : turningPose(box, m_to, 2 * p - 1);
}

QMatrix4x4 BoxView::turn() const
{
    const Box& box = sheetBox();
    const QQuaternion from = turnOf(startingTurn(box, m_from));
    const QQuaternion to = turnOf(startingTurn(box, m_to));
    QMatrix4x4 m;
    m.rotate(m_userTurn * QQuaternion::slerp(from, to, eased(progress())));
    return m;
}

void BoxView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_pictures) {
        painter.fillRect(rect(), QColor::fromRgb(boxBackground));
        return;
    }
    paintBox(painter, rect(), *m_pictures, pose(), turn(), m_zoom);
}

void BoxView::mousePressEvent(QMouseEvent* event)
{
    m_lastDrag = event->position().toPoint();
    event->accept();
}

void BoxView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint moved = event->position().toPoint() - m_lastDrag;
    m_lastDrag = event->position().toPoint();
    // Half a degree a pixel, about the view's own axes.
    m_userTurn = QQuaternion::fromAxisAndAngle(0, 1, 0, -0.5f * float(moved.x())) *
                 QQuaternion::fromAxisAndAngle(1, 0, 0, 0.5f * float(moved.y())) * m_userTurn;
    update();
}

void BoxView::mouseDoubleClickEvent(QMouseEvent* event)
{
    resetView();
    event->accept();
}

void BoxView::wheelEvent(QWheelEvent* event)
{
    const float notches = float(event->angleDelta().y()) / 120;
    m_zoom = std::clamp(m_zoom * std::pow(1.15f, notches), 0.4f, 3.0f);
    update();
    event->accept();
}

BoxWindow::BoxWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(programTitle);
    m_view = new BoxView(this);
    m_view->setObjectName(QStringLiteral("boxView"));

    auto* buttons = new QHBoxLayout;
    const QChar letters[] = {u'A', u'B', u'C', u'F'};
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const QChar letter = letters[i];
        const bool folding = letter == u'F';
        auto* button =
            new QPushButton(folding ? QStringLiteral("おりかた") : QStringLiteral("絵") + letter);
        button->setObjectName(QStringLiteral("box") + letter);
        button->setToolTip(folding ? QStringLiteral("シートをハコにおる (F)")
                                   : QStringLiteral("絵%1のみえるかたち (%1)").arg(letter));
        setFaceColor(button, folding ? goFace : openFace);
        if (folding)
            connect(button, &QPushButton::clicked, m_view, &BoxView::foldSheet);
        else
            connect(button, &QPushButton::clicked, this, [this, letter] {
                if (const std::optional<int> s = stateShowing(letter))
                    m_view->goToState(*s);
            });
        buttons->addWidget(button);
        m_buttons[i] = button;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(boxStatePictureSide, boxStatePictureSide + 50);
    m_view->setFocus();
}

QPushButton* BoxWindow::button(QChar letter) const
{
    for (QPushButton* b : m_buttons)
        if (b->objectName() == QStringLiteral("box") + letter)
            return b;
    return nullptr;
}

void BoxWindow::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text().toUpper();
    if (text.size() == 1)
        if (QPushButton* b = button(text.front())) {
            b->click();
            return;
        }
    QWidget::keyPressEvent(event);
}

} // namespace hakomiru
