#include "ui/window_look.h"

#include <algorithm>

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

namespace hakomiru {

void setFaceColor(QPushButton* button, QColor face)
{
    const QString rgb = QStringLiteral("rgb(%1, %2, %3)");
    const QColor pressed = face.darker(115);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: black;"
                       " border: 1px solid rgb(112, 112, 112);"
                       " border-radius: 2px; padding: 2px 6px; }"
                       " QPushButton:hover { border-color: rgb(48, 48, 48); }"
                       " QPushButton:focus { border: 2px solid rgb(48, 48, 48); }"
                       " QPushButton:pressed { background-color: %2; }")
            .arg(rgb.arg(face.red()).arg(face.green()).arg(face.blue()),
                 rgb.arg(pressed.red()).arg(pressed.green()).arg(pressed.blue())));
}

void centreOnScreen(QWidget* window)
{
    // Made now, so that the frame the platform adds is known where it can be.
    (void)window->winId();
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size();
    const int x = available.left() + (available.width() - frame.width()) / 2;
    const int y = available.top() + (available.height() - frame.height()) / 2;
    window->move(std::max(x, available.left()), std::max(y, available.top()));
}

void openFirstMenuWithF10(QMainWindow* window)
{
    auto* key = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(key, &QShortcut::activated, window, [window] {
        QMenuBar* bar = window->menuBar();
        const QList<QAction*> menus = bar->actions();
        if (menus.isEmpty() || menus.front()->menu() == nullptr)
            return;
        bar->setActiveAction(menus.front());
        QMenu* menu = menus.front()->menu();
        if (menu->isVisible() && !menu->actions().isEmpty())
            menu->setActiveAction(menu->actions().front());
    });
}

QPoint placeOverOwner(const QRect& ownerFrame, QSize dialogFrame, const QRect& available)
{
    const int centredX = ownerFrame.x() + (ownerFrame.width() - dialogFrame.width()) / 2;
    const int centredY = ownerFrame.y() + (ownerFrame.height() - dialogFrame.height()) / 2;
    // The right and bottom edges first, so that the left and top ones win where both cannot hold.
    const int x = std::max(
        std::min(centredX, available.x() + available.width() - dialogFrame.width()), available.x());
    const int y =
        std::max(std::min(centredY, available.y() + available.height() - dialogFrame.height()),
                 available.y());
    return {x, y};
}

void placeOverParent(QWidget* dialog)
{
    const QWidget* owner =
        dialog->parentWidget() != nullptr ? dialog->parentWidget()->window() : nullptr;
    if (owner == nullptr) {
        centreOnScreen(dialog);
        return;
    }
    const QRect ownerFrame = owner->frameGeometry();
    const QScreen* screen = QGuiApplication::screenAt(ownerFrame.center());
    if (screen == nullptr)
        screen = owner->screen();
    if (screen == nullptr)
        return;
    // Made now, so that the frame the platform adds is known where it can be.
    (void)dialog->winId();
    dialog->move(
        placeOverOwner(ownerFrame, dialog->frameGeometry().size(), screen->availableGeometry()));
}

} // namespace hakomiru
