#pragma once

#include <QColor>

class QPushButton;
class QWidget;

namespace hakomiru {

// Design positions are in twips; windows measure in pixels, 15 twips to the pixel.
[[nodiscard]] constexpr int twipsToPixels(int twips)
{
    return twips / 15;
}

// A push button drawn flat with its own face colour and a black caption, on every style and in
// every colour scheme: the face is fixed, so the caption must be too.
void setFaceColor(QPushButton* button, QColor face);

// Places a top-level window so that its frame is centred on the screen it is on, keeping the
// title bar on the screen when the window is larger than the screen.
void centreOnScreen(QWidget* window);

} // namespace hakomiru
