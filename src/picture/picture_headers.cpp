#include "picture/picture_headers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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
    explicit Window(QIODevice& device) : m_device(device) {}
    // The bytes from `at`, at most `length` of them (fewer where the device ends).
    [[nodiscard]] QByteArray bytes(qint64 at, qint64 length)
    {
        constexpr qint64 span = 64 * 1024;
        if (at < m_from || at + length > m_from + m_bytes.size()) {
            if (length > span)
                return bytesAt(m_device, at, length);
            m_from = at;
            m_bytes = bytesAt(m_device, at, span);
        }
        return m_bytes.mid(at - m_from, length);
    }

private:
    QIODevice& m_device;
    qint64 m_from = 0;
    QByteArray m_bytes;
};

quint16 big16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

// The position just past the next marker at or after `from`, and the marker; -1 when none is
// left. Bytes that are no marker are skipped, as the JPEG library skips them.
qint64 nextMarker(Window& device, qint64 from, quint8& marker)
{
    constexpr qint64 chunk = 4096;
    for (;;) {
        const QByteArray bytes = device.bytes(from, chunk);
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
        const QByteArray length = device.bytes(at, 2);
        if (length.size() < 2 || big16(length, 0) < 2)
            return std::nullopt;
        const QByteArray segment = device.bytes(at + 2, big16(length, 0) - 2);
        const bool frameHeader =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
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
        } else if (marker == 0xda && frame) {
            // The whole picture's coefficients are kept when the file has more than one scan:
            // it is progressive, or its first scan does not carry every component.
            if (segment.isEmpty())
                return std::nullopt;
            if (progressive || quint8(segment[0]) < frame->components)
                frame->coefficientBytes = coefficientBytes(frame->size, components);
            return frame;
        }
        at += big16(length, 0);
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
    while (at + 8 <= size) {
        const QByteArray header = device.bytes(at, 8);
        if (header.size() < 8)
            break;
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (type == "IEND")
            break;
        imageData = imageData || type == "IDAT";
        if (qint64(length) > size - (at + 8)) {
            // Image data cut short is read as far as it goes, as with any damaged picture.
            found.claimsMissingBytes = type != "IDAT";
            break;
        }
        if (type == "IHDR" && length >= 10) {
            const QByteArray fields = device.bytes(at + 8, 10);
            if (fields.size() < 10)
                break;
            const quint32 width = qFromBigEndian<quint32>(fields.constData());
            const quint32 height = qFromBigEndian<quint32>(fields.constData() + 4);
            if (width <= quint32(std::numeric_limits<int>::max()) &&
                height <= quint32(std::numeric_limits<int>::max()))
                found.size = QSize(int(width), int(height));
            const int depth = quint8(fields[8]);
            const int colourType = quint8(fields[9]);
            const int channels[] = {1, 0, 3, 1, 2, 0, 4};
            if (colourType < 7 && channels[colourType] > 0)
                found.rawBytes =
                    qint64(height) * (1 + (qint64(width) * channels[colourType] * depth + 7) / 8);
            rgb16 = depth == 16 && colourType == 2;
        } else if (type == "tRNS" && rgb16 && !imageData && length == 6) {
            const QByteArray key = device.bytes(at + 8, 6);
            if (key.size() == 6 && !found.colourKey16)
                found.colourKey16 = {big16(key, 0), big16(key, 2), big16(key, 4)};
            found.keyChunks.append({at, 12 + qint64(length)});
        }
        at += 12 + qint64(length);
    }
    return found;
}

} // namespace hakomiru
