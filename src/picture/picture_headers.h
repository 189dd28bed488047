#pragma once

#include <array>
#include <limits>
#include <optional>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QtNumeric>
#include <QtGlobal>

class QIODevice;

namespace hakomiru {

// What JPEG, PNG, WebP and TIFF files claim in their headers, read without decoding them: enough to
// tell what decoding will cost, and to spot the files Qt's readers get wrong. Every read is
// bounds-checked; a device that ends early gives "nothing found", never a read past its end. Sizes
// worked out from header fields saturate at saturated, never overflow.

inline constexpr qint64 saturated = std::numeric_limits<qint64>::max();

// a * b and a + b for sizes (neither negative), saturated instead of overflowing.
[[nodiscard]] inline qint64 timesSaturated(qint64 a, qint64 b)
{
    qint64 product = 0;
    return qMulOverflow(a, b, &product) ? saturated : product;
}
[[nodiscard]] inline qint64 plusSaturated(qint64 a, qint64 b)
{
    qint64 sum = 0;
    return qAddOverflow(a, b, &sum) ? saturated : sum;
}

// The bytes of `device` from `at`, at most `length` of them (fewer where it ends).
[[nodiscard]] QByteArray bytesAt(QIODevice& device, qint64 at, qint64 length);

// A JPEG's frame as the JPEG reader will set it up.
struct JpegFrame
{
    QSize size;         // as stored, before any turn of the camera's orientation
    int components = 0; // 1 for grey, 3 for colour, 4 for CMYK
    // The bytes of the buffer in which the reader keeps every coefficient of the whole picture:
    // needed by progressive files and by files whose first scan lacks a component, 0 otherwise.
    // It does not shrink when the picture is decoded reduced.
    qint64 coefficientBytes = 0;
    // More than crowdedJpeg segments lie before the first scan: the JPEG library keeps many kinds
    // in a list it walks to its end for each new one, and takes minutes over a file of a few MB.
    // Real files have a few dozen (an ICC profile split over many chunks adds a few hundred).
    bool crowded = false;
    // Its picture is coded arithmetically (SOF9 to SOF15), not with Huffman codes.
    bool arithmetic = false;
};
inline constexpr int crowdedJpeg = 1024;

// The frame of the JPEG in `device` (from its first frame header and first scan header), or
// nothing when it is no JPEG or its headers are damaged. When no scan header follows, the
// coefficient buffer is assumed, as the larger cost. The walk stops at a crowded file.
[[nodiscard]] std::optional<JpegFrame> readJpegFrame(QIODevice& device);

// The side of the picture the JPEG reader produces when asked for `scaledSize` (Qt asks the JPEG
// library for the smallest of its eighths that is at least as large, then reduces further).
[[nodiscard]] QSize jpegScaledDecodeSize(QSize stored, QSize scaledSize);

// What the PNG chunk walk found.
struct PngChunks
{
    bool isPng = false;
    QSize size; // as the header claims it
    // The bytes of its pixel rows before compression (each row with its filter byte), as far as
    // its header tells them; 0 when it does not.
    qint64 rawBytes = 0;
    // A chunk other than image data claims more bytes than the file still holds. The PNG reader
    // would set that much memory aside (up to 2 GB, for a file of a few hundred bytes).
    bool claimsMissingBytes = false;
    // The header claims a side beyond 2^31 - 1 pixels, which no PNG may have.
    bool impossibleSize = false;
    // A 16-bit RGB picture with a transparent colour (tRNS): Qt's reader packs its rows wrongly.
    // The colour (the first chunk's: a repeated one is ignored) and where each such chunk lies
    // (its offset, and its whole length with header and checksum).
    std::optional<std::array<quint16, 3>> colourKey16;
    QList<std::pair<qint64, qint64>> keyChunks;
};

[[nodiscard]] PngChunks walkPngChunks(QIODevice& device);

// What a WebP file's header says of its first picture.
struct WebpHeader
{
    bool isWebp = false; // RIFF ... WEBP
    QSize size;          // the canvas; invalid when the header is damaged
    bool animated = false;
    bool alpha = false;
    // The first picture is compressed losslessly (VP8L), or its kind could not be told: the WebP
    // reader then holds it whole in 32 bits besides the picture it gives.
    bool lossless = false;
    // 1 to 8, as a camera's orientation tag, from the EXIF chunk an extended header announces
    // (1 when there is none, or it says nothing right).
    int orientation = 1;
};

[[nodiscard]] WebpHeader readWebpHeader(QIODevice& device);

// What a TIFF file's first directory says of its first picture.
struct TiffHeader
{
    bool isTiff = false; // II*. or MM.* (or BigTIFF's II+. or MM.+)
    QSize size;          // as stored, before the orientation turns it; invalid when damaged
    int orientation = 1; // 1 to 8, as a camera's orientation tag (1 when missing or wrong)
    int samplesPerPixel = 1;
    int bitsPerSample = 1; // the largest of the samples'
    // The bytes of the largest strip or tile decoded at once (saturated).
    qint64 blockBytes = 0;
};

[[nodiscard]] TiffHeader readTiffHeader(QIODevice& device);

} // namespace hakomiru
