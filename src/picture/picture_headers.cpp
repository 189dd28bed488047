#include "picture/picture_headers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <QBuffer>
#include <QIODevice>
#include <QtEndian>

namespace hakomiru {

QByteArray bytesAt(QIODevice& device, qint64 at, qint64 length)
{
    if (at < 0 || length <= 0 || at >= device.size() || !device.seek(at))
        return {};
    return device.read(std::min(length, device.size() - at));
}

namespace {

// Reads a device through a window of 64 KB, so that a walk over many small chunks or segments
// does not go back to the device for each.
class Window
{
public:
    explicit Window(QIODevice& device) : m_device(device), m_size(device.size()) {}
    // The bytes from `at`, at most `length` of them (fewer where the device ends).
    [[nodiscard]] QByteArray bytes(qint64 at, qint64 length)
    {
        if (at < 0 || length <= 0 || at >= m_size)
            return {};
        length = std::min(length, m_size - at);
        if (length > span)
            return bytesAt(m_device, at, length);
        return view(at, length).toByteArray();
    }
    // The same, at most 64 KB of them, without a copy: valid until the next read.
    [[nodiscard]] QByteArrayView view(qint64 at, qint64 length)
    {
        if (at < 0 || length <= 0 || at >= m_size)
            return {};
        length = std::min({length, span, m_size - at});
        if (at < m_from || at + length > m_from + m_bytes.size()) {
            m_from = at;
            m_bytes = bytesAt(m_device, at, span);
        }
        return QByteArrayView(m_bytes).sliced(
            at - m_from, std::min<qint64>(length, m_bytes.size() - (at - m_from)));
    }

private:
    static constexpr qint64 span = 64 * 1024;
    QIODevice& m_device;
    qint64 m_size;
    qint64 m_from = 0;
    QByteArray m_bytes;
};

quint16 big16(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

quint32 little24(const QByteArray& bytes, qsizetype at)
{
    return quint8(bytes[at]) | quint8(bytes[at + 1]) << 8 | quint32(quint8(bytes[at + 2])) << 16;
}

// The position just past the next marker at or after `from`, and the marker; -1 when none is
// left. Bytes that are no marker are skipped, as the JPEG library skips them.
qint64 nextMarker(Window& device, qint64 from, quint8& marker)
{
    constexpr qint64 chunk = 4096;
    for (;;) {
        const QByteArrayView bytes = device.view(from, chunk);
        if (bytes.size() < 2)
            return -1;
        for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
            const auto next = quint8(bytes[i + 1]);
            if (quint8(bytes[i]) == 0xff && next != 0xff && next != 0) {
                marker = next;
                return from + i + 2;
            }
        }
        from += bytes.size() - 1;
    }
}

struct Component
{
    int h = 1;
    int v = 1;
};

qint64 coefficientBytes(QSize size, const std::vector<Component>& components)
{
    int maxH = 1, maxV = 1;
    for (const Component& c : components) {
        maxH = std::max(maxH, c.h);
        maxV = std::max(maxV, c.v);
    }
    // Each component's blocks of 8 x 8, rounded up to whole sampling units, 64 coefficients of
    // two bytes each.
    qint64 total = 0;
    for (const Component& c : components) {
        const qint64 across = (qint64(size.width()) * c.h + 8 * maxH - 1) / (8 * maxH);
        const qint64 down = (qint64(size.height()) * c.v + 8 * maxV - 1) / (8 * maxV);
        total += (across + c.h - 1) / c.h * c.h * ((down + c.v - 1) / c.v * c.v) * 128;
    }
    return total;
}

} // namespace

std::optional<JpegFrame> readJpegFrame(QIODevice& file)
{
    Window device(file);
    if (device.bytes(0, 2) != QByteArray("\xff\xd8", 2))
        return std::nullopt;
    std::optional<JpegFrame> frame;
    std::vector<Component> components;
    bool progressive = false;
    qint64 at = 2;
    quint8 marker = 0;
    int walked = 0;
    for (; (at = nextMarker(device, at, marker)) >= 0; ++walked) {
        if (walked == crowdedJpeg) {
            JpegFrame crowded = frame.value_or(JpegFrame{});
            crowded.crowded = true;
            return crowded;
        }
        if (marker == 0xd8 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
            continue; // markers without a segment
        if (marker == 0xd9)
            break;
        const QByteArrayView lengthBytes = device.view(at, 2);
        if (lengthBytes.size() < 2 || big16(lengthBytes, 0) < 2)
            return std::nullopt;
        const quint16 length = big16(lengthBytes, 0);
        const bool frameHeader =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        // Only the frame and scan headers are read; other segments are stepped over unread.
        const QByteArray segment =
            frameHeader || marker == 0xda ? device.bytes(at + 2, length - 2) : QByteArray();
        if (frameHeader && !frame) {
            if (segment.size() < 6)
                return std::nullopt;
            const int count = quint8(segment[5]);
            if (count == 0 || segment.size() < 6 + 3 * count)
                return std::nullopt;
            for (int i = 0; i < count; ++i) {
                const auto sampling = quint8(segment[6 + 3 * i + 1]);
                components.push_back(
                    {std::clamp(sampling >> 4, 1, 4), std::clamp(sampling & 15, 1, 4)});
            }
            frame = JpegFrame{QSize(big16(segment, 3), big16(segment, 1)), count, 0};
            progressive = (marker & 3) == 2; // SOF2, SOF6, SOF10, SOF14
            frame->arithmetic = marker >= 0xc9;
        } else if (marker == 0xda && frame) {
            // The whole picture's coefficients are kept when the file has more than one scan:
            // it is progressive, or its first scan does not carry every component.
            if (segment.isEmpty())
                return std::nullopt;
            if (progressive || quint8(segment[0]) < frame->components)
                frame->coefficientBytes = coefficientBytes(frame->size, components);
            return frame;
        }
        at += length;
    }
    if (frame)
        frame->coefficientBytes = coefficientBytes(frame->size, components);
    return frame;
}

QSize jpegScaledDecodeSize(QSize stored, QSize scaledSize)
{
    if (scaledSize.isEmpty() || stored.isEmpty())
        return stored;
    const double factor = std::min(double(stored.width()) / scaledSize.width(),
                                   double(stored.height()) / scaledSize.height());
    const auto eighths = qint64(std::clamp(std::ceil(8 / factor), 1.0, 8.0));
    return QSize(int((stored.width() * eighths + 7) / 8), int((stored.height() * eighths + 7) / 8));
}

PngChunks walkPngChunks(QIODevice& file)
{
    PngChunks found;
    Window device(file);
    if (device.bytes(0, 8) != QByteArray("\x89PNG\r\n\x1a\n", 8))
        return found;
    found.isPng = true;
    const qint64 size = file.size();
    bool rgb16 = false;
    bool imageData = false;
    qint64 at = 8;
    // A chunk's type as one number, so that a walk over thousands of chunks copies nothing.
    constexpr auto code = [](const char(&name)[5]) {
        return quint32(quint8(name[0])) << 24 | quint32(quint8(name[1])) << 16 |
               quint32(quint8(name[2])) << 8 | quint32(quint8(name[3]));
    };
    while (at + 8 <= size) {
        const QByteArrayView header = device.view(at, 8);
        if (header.size() < 8)
            break;
        const quint32 length = qFromBigEndian<quint32>(header.data());
        const quint32 type = qFromBigEndian<quint32>(header.data() + 4);
        if (type == code("IEND"))
            break;
        imageData = imageData || type == code("IDAT");
        if (qint64(length) > size - (at + 8)) {
            // Image data cut short is read as far as it goes, as with any damaged picture.
            found.claimsMissingBytes = type != code("IDAT");
            break;
        }
        if (type == code("IHDR") && length >= 10) {
            const QByteArray fields = device.bytes(at + 8, 10);
            if (fields.size() < 10)
                break;
            const quint32 width = qFromBigEndian<quint32>(fields.constData());
            const quint32 height = qFromBigEndian<quint32>(fields.constData() + 4);
            if (width <= quint32(std::numeric_limits<int>::max()) &&
                height <= quint32(std::numeric_limits<int>::max()))
                found.size = QSize(int(width), int(height));
            else
                found.impossibleSize = true;
            const int depth = quint8(fields[8]);
            const int colourType = quint8(fields[9]);
            const int channels[] = {1, 0, 3, 1, 2, 0, 4};
            if (colourType < 7 && channels[colourType] > 0)
                found.rawBytes = timesSaturated(
                    height, 1 + (qint64(width) * channels[colourType] * depth + 7) / 8);
            rgb16 = depth == 16 && colourType == 2;
        } else if (type == code("tRNS") && rgb16 && !imageData && length == 6) {
            const QByteArray key = device.bytes(at + 8, 6);
            if (key.size() == 6 && !found.colourKey16)
                found.colourKey16 = {big16(key, 0), big16(key, 2), big16(key, 4)};
            found.keyChunks.append({at, 12 + qint64(length)});
        }
        at += 12 + qint64(length);
    }
    return found;
}

namespace {

// The orientation in the EXIF chunk of a WebP file: the chunks walked from the first, each a
// kind, a little-endian length and its bytes padded to an even length. The chunk holds a TIFF
// structure, after the "Exif\0\0" a JPEG's block begins with or without it; its first directory
// holds the orientation. 1 when there is none.
int webpOrientation(Window& device, qint64 size)
{
    constexpr int chunksWalked = 1 << 16;  // an animation has a chunk for each frame
    constexpr qint64 exifRead = 64 * 1024; // the first directory lies at its start
    qint64 at = 12;
    for (int walked = 0; walked < chunksWalked && at + 8 <= size; ++walked) {
        const QByteArray header = device.bytes(at, 8);
        if (header.size() < 8)
            break;
        const qint64 length = qFromLittleEndian<quint32>(header.constData() + 4);
        if (header.startsWith("EXIF")) {
            QByteArray exif = device.bytes(at + 8, std::min(length, exifRead));
            if (exif.startsWith(QByteArrayView("Exif\0\0", 6)))
                exif.remove(0, 6);
            QBuffer block(&exif);
            block.open(QIODevice::ReadOnly);
            return readTiffHeader(block).orientation;
        }
        at += 8 + length + (length & 1);
    }
    return 1;
}

} // namespace

WebpHeader readWebpHeader(QIODevice& file)
{
    WebpHeader found;
    Window device(file);
    const QByteArray riff = device.bytes(0, 12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WEBP")
        return found;
    found.isWebp = true;
    // The chunks from the first on: each a kind, a little-endian length and its bytes, padded to
    // an even length. An animation's first frame (ANMF) holds chunks of its own after 16 bytes.
    QSize canvas;
    qint64 at = 12;
    qint64 end = file.size();
    for (int walked = 0; walked < 64 && at + 8 <= end; ++walked) {
        const QByteArray header = device.bytes(at, 8);
        if (header.size() < 8)
            break;
        const QByteArray kind = header.left(4);
        const qint64 length = qFromLittleEndian<quint32>(header.constData() + 4);
        const QByteArray data = device.bytes(at + 8, std::min<qint64>(length, 16));
        if (kind == "VP8X" && !canvas.isValid()) {
            if (data.size() < 10)
                break;
            found.animated = (quint8(data[0]) & 0x02) != 0;
            found.alpha = (quint8(data[0]) & 0x10) != 0;
            if ((quint8(data[0]) & 0x08) != 0)
                found.orientation = webpOrientation(device, file.size());
            canvas = QSize(int(little24(data, 4)) + 1, int(little24(data, 7)) + 1);
        } else if (kind == "ANMF") {
            if (data.size() < 16)
                break;
            end = std::min(end, at + 8 + length);
            at += 8 + 16; // into the frame
            continue;
        } else if (kind == "VP8 ") {
            // A key frame's tag, its start code, then 14 bits of width and of height.
            if (data.size() < 10 || (quint8(data[0]) & 1) != 0 ||
                data.mid(3, 3) != QByteArray("\x9d\x01\x2a", 3))
                break;
            found.lossless = false;
            found.size = canvas.isValid()
                             ? canvas
                             : QSize(qFromLittleEndian<quint16>(data.constData() + 6) & 0x3fff,
                                     qFromLittleEndian<quint16>(data.constData() + 8) & 0x3fff);
            break;
        } else if (kind == "VP8L") {
            // A signature byte, then 14 bits of width - 1, 14 of height - 1, the alpha bit and a
            // version of 0.
            if (data.size() < 5 || quint8(data[0]) != 0x2f)
                break;
            const quint32 bits = qFromLittleEndian<quint32>(data.constData() + 1);
            if ((bits >> 29) != 0)
                break;
            found.lossless = true;
            found.alpha = found.alpha || (bits >> 28 & 1) != 0;
            found.size = canvas.isValid()
                             ? canvas
                             : QSize(int(bits & 0x3fff) + 1, int(bits >> 14 & 0x3fff) + 1);
            break;
        }
        at += 8 + length + (length & 1);
    }
    if (!found.size.isValid() && canvas.isValid()) { // the first picture's kind is unknown
        found.size = canvas;
        found.lossless = true;
    }
    if (found.size.isEmpty())
        found.size = QSize();
    return found;
}

namespace {

// Reads the numbers of a TIFF file in its byte order, and the values of its directory entries.
class TiffReader
{
public:
    TiffReader(Window& device, bool bigEndian, bool bigTiff)
        : m_device(device), m_bigEndian(bigEndian), m_bigTiff(bigTiff)
    {}

    [[nodiscard]] quint64 number(const QByteArray& bytes, qsizetype at, int size) const
    {
        quint64 value = 0;
        for (int i = 0; i < size; ++i) {
            const quint64 byte = quint8(bytes[at + i]);
            value |= m_bigEndian ? byte << (8 * (size - 1 - i)) : byte << (8 * i);
        }
        return value;
    }

    // The largest of the first `upTo` values of the entry at `entries[at]` (tag, type, count,
    // then the values themselves where they fit, or where they lie); 0 for a type that holds no
    // whole numbers.
    [[nodiscard]] quint64 largest(const QByteArray& entries, qsizetype at, qint64 upTo) const
    {
        const int size = valueSize(quint16(number(entries, at + 2, 2)));
        const int countSize = m_bigTiff ? 8 : 4;
        const int fits = m_bigTiff ? 8 : 4;
        const qint64 count =
            qint64(std::min<quint64>(number(entries, at + 4, countSize), quint64(upTo)));
        if (size == 0 || count == 0)
            return 0;
        QByteArray values = entries.mid(at + 4 + countSize, fits);
        if (count * size > fits) {
            const quint64 where = number(values, 0, fits);
            values = where < quint64(saturated) ? m_device.bytes(qint64(where), count * size)
                                                : QByteArray();
        }
        quint64 most = 0;
        for (qsizetype i = 0; i + size <= values.size() && i < count * size; i += size)
            most = std::max(most, number(values, i, size));
        return most;
    }

private:
    static int valueSize(quint16 type)
    {
        switch (type) {
        case 1: // BYTE
            return 1;
        case 3: // SHORT
            return 2;
        case 4:  // LONG
        case 13: // IFD
            return 4;
        case 16: // LONG8
        case 18: // IFD8
            return 8;
        default:
            return 0;
        }
    }

    Window& m_device;
    bool m_bigEndian;
    bool m_bigTiff;
};

} // namespace

TiffHeader readTiffHeader(QIODevice& file)
{
    TiffHeader found;
    Window device(file);
    const QByteArray head = device.bytes(0, 16);
    const bool bigEndian = head.startsWith("MM");
    if (head.size() < 8 || (!bigEndian && !head.startsWith("II")))
        return found;
    const TiffReader order(device, bigEndian, false);
    const quint64 magic = order.number(head, 2, 2);
    const bool bigTiff = magic == 43;
    if (magic != 42 && !(bigTiff && head.size() == 16 && order.number(head, 4, 2) == 8))
        return found;
    found.isTiff = true;
    const TiffReader tiff(device, bigEndian, bigTiff);
    const quint64 first = bigTiff ? tiff.number(head, 8, 8) : tiff.number(head, 4, 4);
    const int countSize = bigTiff ? 8 : 2;
    const int entrySize = bigTiff ? 20 : 12;
    if (first < 8 || first >= quint64(file.size()))
        return found;
    const QByteArray countBytes = device.bytes(qint64(first), countSize);
    if (countBytes.size() < countSize)
        return found;
    // A directory holds a few dozen entries; libtiff takes one of thousands for damaged.
    const quint64 count = tiff.number(countBytes, 0, countSize);
    if (count == 0 || count > 4096)
        return found;
    const QByteArray entries = device.bytes(qint64(first) + countSize, qint64(count) * entrySize);
    quint64 width = 0, height = 0, rowsPerStrip = 0, tileWidth = 0, tileLength = 0, planar = 1;
    for (qsizetype at = 0; at + entrySize <= entries.size(); at += entrySize) {
        switch (tiff.number(entries, at, 2)) {
        case 256:
            width = tiff.largest(entries, at, 1);
            break;
        case 257:
            height = tiff.largest(entries, at, 1);
            break;
        case 258: // one value for each sample
            found.bitsPerSample = int(std::min<quint64>(tiff.largest(entries, at, 16), 64));
            break;
        case 274: {
            const quint64 orientation = tiff.largest(entries, at, 1);
            found.orientation = orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
            break;
        }
        case 277:
            found.samplesPerPixel = int(std::min<quint64>(tiff.largest(entries, at, 1), 0xffff));
            break;
        case 278:
            rowsPerStrip = tiff.largest(entries, at, 1);
            break;
        case 284:
            planar = tiff.largest(entries, at, 1);
            break;
        case 322:
            tileWidth = tiff.largest(entries, at, 1);
            break;
        case 323:
            tileLength = tiff.largest(entries, at, 1);
            break;
        default:
            break;
        }
    }
    constexpr auto largestSide = quint64(std::numeric_limits<int>::max());
    if (width == 0 || height == 0 || width > largestSide || height > largestSide)
        return found;
    found.size = QSize(int(width), int(height));
    // What libtiff decodes at once: a tile, or a strip of rows (the whole picture when the file
    // does not say), of one sample or of every sample.
    const bool tiled = tileWidth > 0 || tileLength > 0;
    const auto across = qint64(tiled ? std::min(tileWidth, largestSide) : width);
    const auto rows = qint64(tiled ? std::min(tileLength, largestSide)
                                   : (rowsPerStrip == 0 ? height : std::min(rowsPerStrip, height)));
    const qint64 samples = planar == 2 ? 1 : std::max(found.samplesPerPixel, 1);
    const qint64 rowBits = timesSaturated(timesSaturated(across, samples), found.bitsPerSample);
    found.blockBytes = timesSaturated(plusSaturated(rowBits, 7) / 8, rows);
    return found;
}

} // namespace hakomiru
