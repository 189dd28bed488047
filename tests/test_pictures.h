#pragma once

// Pictures the tests make themselves, so every expected pixel is known.

#include <vector>

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>

namespace hakomiru::testing {

// A picture in four coloured quadrants (top-left, top-right, bottom-left, bottom-right), with a
// small marker of `markerColor` in the top-left corner of the top-left quadrant, so that a turn or
// a mirror shows.
inline QImage quadrantPicture(int width, int height, QRgb topLeft, QRgb topRight, QRgb bottomLeft,
                              QRgb bottomRight, QRgb markerColor = 0xff000000)
{
    QImage image(width, height, QImage::Format_RGB32);
    const int midX = width / 2;
    const int midY = height / 2;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (y < midY)
                row[x] = x < midX ? topLeft : topRight;
            else
                row[x] = x < midX ? bottomLeft : bottomRight;
        }
    }
    const int marker = std::max(1, std::min(width, height) / 10);
    for (int y = 0; y < marker; ++y)
        for (int x = 0; x < marker; ++x)
            image.setPixel(x, y, markerColor);
    return image;
}

inline QImage solidPicture(int width, int height, QRgb color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// True when the two colours differ by at most `tolerance` in each channel (for decoded JPEGs).
inline bool closeColor(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

inline QString colorText(QRgb c)
{
    return QStringLiteral("#%1").arg(c & 0xffffffu, 6, 16, QLatin1Char('0'));
}

// Qt reads GIF but does not write it, so the tests make their own: every frame the size of the
// first, at most 256 colours, fully transparent pixels (alpha 0) in palette entry 0 when
// `transparent` is set. The LZW stream uses literal 9-bit codes and restarts its table often, which
// every reader accepts. `interlaced` stores rows in the four GIF passes.
inline QByteArray gifBytes(const std::vector<QImage>& frames, bool transparent = false,
                           bool interlaced = false)
{
    QByteArray out("GIF89a");
    auto put16 = [&](int v) {
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    };
    const int width = frames.front().width();
    const int height = frames.front().height();
    std::vector<QRgb> palette;
    if (transparent)
        palette.push_back(0);
    auto indexOf = [&](QRgb c) {
        if (transparent && qAlpha(c) == 0)
            return 0;
        c |= 0xff000000u;
        for (std::size_t i = transparent ? 1 : 0; i < palette.size(); ++i)
            if (palette[i] == c)
                return int(i);
        if (palette.size() < 256)
            palette.push_back(c);
        return int(palette.size() - 1);
    };
    std::vector<std::vector<int>> indexed;
    for (const QImage& frame : frames) {
        const QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
        std::vector<int> pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(indexOf(argb.pixel(x, y)));
        indexed.push_back(pixels);
    }
    palette.resize(256, 0xff000000u);
    put16(width);
    put16(height);
    out.append(char(0xf7)); // global table of 256 entries
    out.append(char(0));
    out.append(char(0));
    for (QRgb c : palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    if (frames.size() > 1) { // loop forever
        out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    }
    for (const std::vector<int>& pixels : indexed) {
        out.append(char(0x21));
        out.append(char(0xf9));
        out.append(char(4));
        out.append(char(transparent ? 0x09 : 0x08));
        put16(10);
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2c));
        put16(0);
        put16(0);
        put16(width);
        put16(height);
        out.append(char(interlaced ? 0x40 : 0));
        out.append(char(8)); // minimum code size
        std::vector<int> order;
        if (interlaced) {
            for (int y = 0; y < height; y += 8)
                order.push_back(y);
            for (int y = 4; y < height; y += 8)
                order.push_back(y);
            for (int y = 2; y < height; y += 4)
                order.push_back(y);
            for (int y = 1; y < height; y += 2)
                order.push_back(y);
        } else {
            for (int y = 0; y < height; ++y)
                order.push_back(y);
        }
        QByteArray data;
        unsigned bits = 0;
        int bitCount = 0;
        auto code = [&](int c) {
            bits |= unsigned(c) << bitCount;
            bitCount += 9;
            while (bitCount >= 8) {
                data.append(char(bits & 0xff));
                bits >>= 8;
                bitCount -= 8;
            }
        };
        int sinceClear = 0;
        code(256);
        for (int y : order)
            for (int x = 0; x < width; ++x) {
                if (sinceClear == 250) {
                    code(256);
                    sinceClear = 0;
                }
                code(pixels[std::size_t(y * width + x)]);
                ++sinceClear;
            }
        code(257);
        if (bitCount > 0)
            data.append(char(bits & 0xff));
        for (int at = 0; at < data.size(); at += 255) {
            const int n = std::min<int>(255, int(data.size()) - at);
            out.append(char(n));
            out.append(data.mid(at, n));
        }
        out.append(char(0));
    }
    out.append(char(0x3b));
    return out;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes `image` as BMP, JPEG or PNG through Qt, or as GIF through gifBytes, by `format`.
inline bool savePicture(const QImage& image, const QString& path, const char* format)
{
    if (QByteArray(format).toLower() == "gif")
        return writeFile(path, gifBytes({image}, image.hasAlphaChannel()));
    return image.save(path, format);
}

} // namespace hakomiru::testing
