#pragma once

#include <QImage>
#include <QRgb>

namespace hakomiru {

// The colours of the sixteen-colour palette by their classic numbers; the program uses 0 (black)
// and 15 (white). Numbers outside 0..15 are taken modulo 16.
[[nodiscard]] QRgb QBColor(int number);

// The program's reduction of a picture: `picture` (in a 32-bit format) averaged down to `size`,
// each pixel of the result the mean of the picture pixels it covers, so that a large picture does
// not sparkle. PaintPicture reduces with it, and so does the picture intake.
[[nodiscard]] QImage averagedReduction(const QImage& picture, QSize size);

// The background colour of every picture box and of the sheet: the window (document) colour of a
// default desktop, white. The sheet is paper, so a dark desktop theme does not darken it, and the
// window and the exporter make the same bytes on every desktop.
inline constexpr QRgb defaultBoxBackColor = 0xffffffff;

// One picture box: a rectangle at (Left, Top) of Width x Height pixels that keeps everything drawn
// on it (its retained bitmap). Pixel work goes through scan lines, never a QPainter per pixel.
//
// The retained bitmap is always Format_RGB32 of exactly Width x Height pixels. Reads outside it
// yield the box's BackColor; writes outside it are dropped.
class Surface
{
public:
    Surface(int width, int height, QRgb backColor = defaultBoxBackColor);

    [[nodiscard]] int width() const { return m_width; }
    [[nodiscard]] int height() const { return m_height; }
    [[nodiscard]] float left() const { return m_left; }
    [[nodiscard]] float top() const { return m_top; }
    void setLeft(float left) { m_left = left; }
    void setTop(float top) { m_top = top; }

    [[nodiscard]] QRgb backColor() const { return m_backColor; }
    // Takes effect at the next clear; what is drawn stays.
    void setBackColor(QRgb color) { m_backColor = color | 0xff000000u; }

    // `Picture` set: the bitmap becomes BackColor with `picture` drawn at (0, 0) at its natural
    // size. A null picture just clears the box. The picture is remembered for picture().
    void setPicture(const QImage& picture);
    void clear() { setPicture(QImage()); }
    // `Picture` get: the picture last assigned (null when cleared).
    [[nodiscard]] QImage picture() const { return m_picture; }
    // `Image` get: a snapshot of the retained bitmap (implicitly shared, cheap to take).
    [[nodiscard]] QImage image() const { return m_bitmap; }
    // The bitmap itself, for display and for fast reads.
    [[nodiscard]] const QImage& bitmap() const { return m_bitmap; }

    // `PaintPicture`: draws the part (x2, y2, w2, h2) of `picture` scaled into the rectangle
    // (x1, y1, w1, h1), copying colours (alpha is ignored, nothing is blended), clipped to the box.
    // A destination pixel is painted when its centre lies inside the destination rectangle, so
    // fractional and negative positions are exact. Reductions average the source pixels;
    // enlargements repeat them. Empty or non-finite rectangles, and destinations less than half a
    // pixel wide or high (a sliver of a picture), paint nothing.
    void paintPicture(const QImage& picture, float x1, float y1);
    void paintPicture(const QImage& picture, float x1, float y1, float w1, float h1);
    void paintPicture(const QImage& picture, float x1, float y1, float w1, float h1, float x2,
                      float y2);
    void paintPicture(const QImage& picture, float x1, float y1, float w1, float h1, float x2,
                      float y2, float w2, float h2);

    // `Point`: the colour at (x, y); BackColor for a position outside the bitmap.
    [[nodiscard]] QRgb point(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width() || y >= height())
            return m_backColor;
        return reinterpret_cast<const QRgb*>(m_bitmap.constScanLine(y))[x];
    }
    // `PSet`: sets one pixel; outside the bitmap nothing happens.
    void pset(int x, int y, QRgb color)
    {
        if (x < 0 || y < 0 || x >= width() || y >= height())
            return;
        reinterpret_cast<QRgb*>(m_bitmap.scanLine(y))[x] = color | 0xff000000u;
    }
    // `Line`: a solid one-pixel segment from (x1, y1) to (x2, y2), both ends drawn. Fractional
    // coordinates are rounded to the nearest pixel (ties to even). Clipped to the bitmap.
    void line(float x1, float y1, float x2, float y2, QRgb color);

    // Direct row access for routines that work a whole row at a time.
    [[nodiscard]] const QRgb* constRow(int y) const
    {
        return reinterpret_cast<const QRgb*>(m_bitmap.constScanLine(y));
    }
    [[nodiscard]] QRgb* row(int y) { return reinterpret_cast<QRgb*>(m_bitmap.scanLine(y)); }
    // The whole bitmap for reads: pixel (x, y) is constBits()[y * stride() + x].
    [[nodiscard]] const QRgb* constBits() const
    {
        return reinterpret_cast<const QRgb*>(m_bitmap.constBits());
    }
    [[nodiscard]] qsizetype stride() const
    {
        return m_bitmap.bytesPerLine() / qsizetype(sizeof(QRgb));
    }

private:
    QImage m_bitmap;
    int m_width = 0; // the bitmap's size, kept here for the per-pixel paths
    int m_height = 0;
    QImage m_picture;
    QRgb m_backColor;
    float m_left = 0;
    float m_top = 0;
};

} // namespace hakomiru
