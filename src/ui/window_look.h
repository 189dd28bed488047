#pragma once

#include <QColor>
#include <QRect>

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

} // namespace hakomiru
