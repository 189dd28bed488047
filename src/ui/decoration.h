#pragma once

#include <QIcon>
#include <QImage>
#include <QRgb>

namespace hakomiru {

// The button faces of the program's windows, which its picture repeats: light yellow for the
// buttons that open a picture, light cyan for those that go ahead (変換, ＯＫ) and light magenta
// for those that go back (もどる, やめる).
inline constexpr QRgb openFace = qRgb(255, 255, 192);
inline constexpr QRgb goFace = qRgb(192, 255, 255);
inline constexpr QRgb backFace = qRgb(255, 192, 255);

// The side of the decoration beside the convert button, in pixels.
inline constexpr int decorationSide = 50;

// The program's own little picture: a folded paper box on a transparent square of `side` pixels.
// It is drawn for the 50-pixel square and scaled, so every size shows the same picture; outlines
// stay at least one pixel wide on small sizes. It stands beside the convert button, serves as the
// window icon and is installed as the program's icon.
[[nodiscard]] QImage decorationPicture(int side = decorationSide);

// The sizes the icon is installed in (hicolor theme) and offered to the window system in.
inline constexpr int iconSides[] = {16, 24, 32, 48, 64, 128, 256};

// The window icon: decorationPicture() at every one of iconSides.
[[nodiscard]] QIcon programIcon();

} // namespace hakomiru
