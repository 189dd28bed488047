#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>

class QMainWindow;
class QPushButton;
class QWidget;

namespace hakomiru {

// The windows are designed in twips and measure in pixels, 15 twips to the pixel; a length in
// twips becomes whole pixels, rounded down.
[[nodiscard]] constexpr int twipsToPixels(int twips)
{
    return twips / 15;
}

// A control's place as designed, in twips.
struct TwipsRect
{
    int left;
    int top;
    int width;
    int height;
};

// The same place in pixels, each of its numbers converted as above.
[[nodiscard]] constexpr QRect twipsToPixels(TwipsRect twips)
{
    return QRect(twipsToPixels(twips.left), twipsToPixels(twips.top), twipsToPixels(twips.width),
                 twipsToPixels(twips.height));
}

// A push button drawn flat with its own face colour and a black caption, on every style and in
// every colour scheme: the face is fixed, so the caption must be too.
void setFaceColor(QPushButton* button, QColor face);

// Places a top-level window so that its frame is centred on the screen it is on, keeping the
// title bar on the screen when the window is larger than the screen.
void centreOnScreen(QWidget* window);

// F10 opens the first menu of the window's menu bar with its first item highlighted, as in the
// desktops' own programs; the menus have no access keys to reach them otherwise.
void openFirstMenuWithF10(QMainWindow* window);

// Where a dialog's frame goes: centred on the frame of the window it belongs to, then moved as
// little as it takes to lie on `available` (the screen less its panels); a dialog larger than
// `available` keeps its top-left corner, and so its title bar, on it. All in screen pixels.
[[nodiscard]] QPoint placeOverOwner(const QRect& ownerFrame, QSize dialogFrame,
                                    const QRect& available);

// Places a dialog over the window of its parent, on the screen that window is on, as above. A
// dialog without a parent is centred on its screen.
void placeOverParent(QWidget* dialog);

} // namespace hakomiru
