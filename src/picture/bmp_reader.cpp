#include "picture/bmp_reader.h"

#include <bit>
#include <limits>

#include <QIODevice>
#include <QImage>
#include <QtEndian>

#include "picture/picture_headers.h"

namespace hakomiru {

namespace {

constexpr quint32 plainRgb = 0;    // BI_RGB
constexpr quint32 bitFields = 3;   // BI_BITFIELDS
constexpr quint32 alphaFields = 6; // BI_ALPHABITFIELDS
constexpr QRgb black = 0xff000000u;

quint16 little16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 little32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// The width of a contiguous mask in bits; -1 for a mask with a gap.
int maskWidth(quint32 mask)
{
    if (mask == 0)
        return 0;
    const quint32 field = mask >> std::countr_zero(mask);
    return (field & (field + 1)) == 0 ? std::popcount(field) : -1;
}

// One field of a pixel, scaled to 0..255 with rounding; `missing` when there is no mask.
struct Field
{
    quint32 mask = 0;
    int shift = 0;
    quint64 top = 0;
    int missing = 0;

    Field(quint32 m, int whenMissing) : mask(m), missing(whenMissing)
    {
        if (mask != 0) {
            shift = std::countr_zero(mask);
            top = mask >> shift;
        }
    }
    [[nodiscard]] int operator()(quint32 pixel) const
    {
        if (mask == 0)
            return missing;
        return int((((pixel & mask) >> shift) * 255 + top / 2) / top);
    }
};

} // namespace

BmpLayout readBmpLayout(QIODevice& device)
{
    BmpLayout layout;
    const QByteArray head = bytesAt(device, 0, 14 + 124 + 16);
    if (head.size() < 18 || !head.startsWith("BM"))
        return layout;
    const quint32 headerSize = little32(head, 14);
    const bool os2Core = headerSize == 12;
    const bool known = os2Core || headerSize == 16 || headerSize == 40 || headerSize == 52 ||
                       headerSize == 56 || headerSize == 64 || headerSize == 108 ||
                       headerSize == 124;
    if (!known || head.size() < 14 + qsizetype(headerSize))
        return layout; // Qt's reader refuses what it cannot read
    qint64 width = 0, height = 0;
    if (os2Core) {
        width = little16(head, 18);
        height = little16(head, 20);
        layout.bits = little16(head, 24);
    } else {
        width = qint32(little32(head, 18));
        height = qint32(little32(head, 22));
        layout.bits = little16(head, 28);
    }
    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width > 0 && width <= std::numeric_limits<int>::max() &&
        height <= std::numeric_limits<int>::max())
        layout.size = QSize(int(width), int(height));
    // The OS/2 2.x header of 64 bytes gives compression 3 another meaning: Qt reads it.
    const bool windows = headerSize >= 40 && headerSize != 64;
    const quint32 compression = headerSize >= 40 ? little32(head, 30) : plainRgb;
    const bool fields = windows && (compression == bitFields || compression == alphaFields);
    layout.uncompressed = compression == plainRgb || fields;

    // Masks live inside the longer headers, and after the 40-byte one.
    qint64 headerEnd = 14 + headerSize;
    if (fields && headerSize == 40)
        headerEnd += compression == alphaFields ? 16 : 12;
    if (fields && head.size() >= headerEnd) {
        for (int i = 0; i < 3; ++i)
            layout.masks[std::size_t(i)] = little32(head, 54 + 4 * i);
        if (headerSize >= 56 || compression == alphaFields)
            layout.masks[3] = headerSize == 52 ? 0 : little32(head, 66);
    } else if (layout.bits == 16) {
        layout.masks = {0x7c00, 0x03e0, 0x001f, 0};
    } else if (layout.bits == 32) {
        layout.masks = {0x00ff0000, 0x0000ff00, 0x000000ff, 0};
    }
    bool wideField = false;
    bool gap = false;
    for (quint32 mask : layout.masks) {
        wideField = wideField || maskWidth(mask) > 8;
        gap = gap || maskWidth(mask) < 0;
    }

    const bool ours = os2Core || headerSize == 16 || headerSize == 52 || headerSize == 56 ||
                      (fields && wideField);
    if (!ours)
        return layout;
    layout.route = BmpRoute::Damaged;
    const bool paletted =
        layout.bits == 1 || layout.bits == 2 || layout.bits == 4 || layout.bits == 8;
    const bool direct = layout.bits == 16 || layout.bits == 24 || layout.bits == 32;
    const bool bitsFit = compression == plainRgb
                             ? paletted || direct
                             : fields && (layout.bits == 16 || layout.bits == 32) && !gap;
    if (layout.size.isEmpty() || !bitsFit || head.size() < headerEnd)
        return layout;

    const quint32 declared = little32(head, 10);
    layout.pixelsAt = declared;
    if (paletted) {
        // The palette lies between the header and the pixels; an OS/2 1.x file has no count of
        // its colours, so the room it leaves tells it. Entries are 3 bytes there, 4 elsewhere.
        const int entry = os2Core ? 3 : 4;
        qint64 count = qint64(1) << layout.bits;
        const quint32 used = headerSize >= 40 ? little32(head, 46) : 0;
        if (used > 0 && used < count)
            count = used;
        if (declared != 0) {
            if (declared < headerEnd)
                return layout;
            count = std::min<qint64>(count, (declared - headerEnd) / entry);
        } else {
            layout.pixelsAt = headerEnd + count * entry;
        }
        const QByteArray colours = bytesAt(device, headerEnd, count * entry);
        if (colours.size() < count * entry)
            return layout;
        for (qint64 i = 0; i < count; ++i) {
            const char* c = colours.constData() + i * entry;
            layout.palette.append(qRgb(quint8(c[2]), quint8(c[1]), quint8(c[0])));
        }
    } else if (declared == 0) {
        layout.pixelsAt = headerEnd;
    } else if (declared < headerEnd) {
        return layout;
    }
    if (layout.pixelsAt >= device.size())
        return layout; // not one row
    layout.rowBytes = (qint64(layout.size.width()) * layout.bits + 31) / 32 * 4;
    layout.route = BmpRoute::Own;
    return layout;
}

QImage readBmp(QIODevice& device, const BmpLayout& layout)
{
    if (layout.route != BmpRoute::Own || layout.size.isEmpty())
        return {};
    const bool alpha = layout.masks[3] != 0 && layout.bits >= 16;
    QImage image(layout.size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(black);
    const Field red(layout.masks[0], 0), green(layout.masks[1], 0), blue(layout.masks[2], 0),
        opacity(layout.masks[3], 255);
    const int width = layout.size.width();
    const int height = layout.size.height();
    const auto palette = [&layout](quint32 index) {
        return index < quint32(layout.palette.size()) ? layout.palette[qsizetype(index)] : black;
    };
    if (!device.seek(layout.pixelsAt))
        return image;
    QByteArray row(layout.rowBytes, Qt::Uninitialized);
    for (int stored = 0; stored < height; ++stored) {
        const qint64 got = device.read(row.data(), layout.rowBytes);
        if (got <= 0)
            break;
        const auto* in = reinterpret_cast<const uchar*>(row.constData());
        auto* out =
            reinterpret_cast<QRgb*>(image.scanLine(layout.topDown ? stored : height - 1 - stored));
        // A row cut short is read as far as its whole pixels go.
        const int pixels = int(std::min<qint64>(width, got * 8 / layout.bits));
        for (int x = 0; x < pixels; ++x) {
            switch (layout.bits) {
            case 1:
            case 2:
            case 4:
            case 8: {
                const int bit = x * layout.bits;
                const int shift = 8 - layout.bits - bit % 8;
                out[x] = palette((in[bit / 8] >> shift) & ((1u << layout.bits) - 1));
                break;
            }
            case 24:
                out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
                break;
            default: {
                const quint32 pixel = layout.bits == 16 ? qFromLittleEndian<quint16>(in + 2 * x)
                                                        : qFromLittleEndian<quint32>(in + 4 * x);
                out[x] = qRgba(red(pixel), green(pixel), blue(pixel), alpha ? opacity(pixel) : 255);
            }
            }
        }
        if (got < layout.rowBytes)
            break;
    }
    return image;
}

} // namespace hakomiru
