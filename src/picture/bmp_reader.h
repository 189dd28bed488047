#pragma once

#include <array>

#include <QList>
#include <QRgb>
#include <QSize>
#include <QtGlobal>

class QImage;
class QIODevice;

namespace hakomiru {

// The program's own reader for the uncompressed BMPs that Qt's reader gets wrong or refuses:
// OS/2 1.x files (12-byte header; Qt reads the pixels from the wrong place when the palette is
// short), the short headers of 16, 52 and 56 bytes, and bit fields wider than 8 bits (10-10-10-2,
// 11-11-10, 3-10-3). Every other BMP is left to Qt.

enum class BmpRoute
{
    Qt,      // not a BMP, or one Qt's reader reads right
    Own,     // read by readBmp
    Damaged, // one of ours whose header, masks or palette cannot be right
};

struct BmpLayout
{
    BmpRoute route = BmpRoute::Qt;
    QSize size;                // width x height as the header claims them (height made positive)
    bool topDown = false;      // rows stored from the top
    int bits = 0;              // per pixel: 1, 2, 4, 8, 16, 24 or 32
    bool uncompressed = false; // rows stored as they are, not run-length or otherwise coded
    qint64 pixelsAt = 0;       // the first stored row
    qint64 rowBytes = 0;       // one stored row, padded to 4 bytes
    QList<QRgb> palette;       // for up to 8 bits per pixel: the colours the file holds
    std::array<quint32, 4> masks{}; // red, green, blue, alpha of a 16- or 32-bit pixel
};

// The layout of the BMP in `device`, and whether this reader takes it (route Own), leaves it to Qt
// or refuses it. `size` is filled for any BMP with a header of a known length.
[[nodiscard]] BmpLayout readBmpLayout(QIODevice& device);

// Decodes a BMP of route Own to 32-bit colour (with alpha when it has an alpha mask). Each field
// is scaled to 8 bits exactly (a 10-bit 1023 becomes 255). Palette indices beyond the palette, and
// rows the file lacks, show black. A null image when the memory cannot be had. The caller has
// made sure that the picture's size fits the memory it may take.
[[nodiscard]] QImage readBmp(QIODevice& device, const BmpLayout& layout);

} // namespace hakomiru
