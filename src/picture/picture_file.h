#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

#include "surface/result.h"

namespace hakomiru {

// A picture as the program measures and paints it: the decoded pixels, possibly reduced, and the
// size the picture really has. Fitting always uses naturalSize; image may be smaller when the
// picture is painted smaller than it is.
struct Picture
{
    QImage image;
    QSize naturalSize;
};

// The outcome of reading a picture file: a picture, or the reader's own reason.
using PictureLoad = Result<Picture>;
// The outcome of reading one picture at several sizes: one picture for each, in their order.
using PictureLoads = Result<std::vector<Picture>>;

// The most memory reading one picture may take, in bytes: the forms Qt's reader decodes it into
// and the 32-bit form the program paints from, the JPEG reader's coefficient buffer, and the
// picture's bytes when they are held in memory (a pasted or dropped picture). A picture that would
// take more is refused as too large before it is decoded. It is also the limit of Qt's image
// readers, set once as the application starts.
inline constexpr qint64 pictureMemoryBudget = qint64(448) << 20;

// Up to this cost a picture is decoded whatever its header claims. Beyond it (and within
// pictureMemoryBudget), a picture whose header claims more pixels than its bytes can hold in a
// format with a hard bound on packing is refused as damaged before it is decoded: a PNG whose rows
// could not be deflated into its bytes even at the tightest (1032 to 1), an uncompressed BMP whose
// rows are not all in its file, a Huffman-coded JPEG of more blocks than its bytes have bits (8192
// pixels a byte at the most). WebP, HEIC, AVIF, GIF and TIFF have no such bound (a flat 4K AVIF
// takes 2 KB, a fax page of 16 million pixels 2 KB): their readers tell a damaged file.
inline constexpr qint64 pictureFreeCost = qint64(32) << 20;

// Given the natural size of a picture (upright, as it will be shown), the size it needs to be
// decoded at. Returning the natural size (or an invalid size) decodes it whole.
using DecodeSizeFor = std::function<QSize(QSize naturalSize)>;

// Reads a picture file: BMP, JPEG, GIF and the other formats Qt reads, recognised by content,
// whatever the file is called. A GIF gives its first frame. A camera's orientation tag is
// honoured, so a portrait photo stands upright. The image comes in a 32-bit format, no larger than
// the decode size asks: a JPEG is decoded reduced by its reader, every other format is decoded
// whole and reduced by averagedReduction. The decode size never exceeds the natural size. Pictures
// beyond pictureMemoryBudget are refused unread as too large, and pictures claiming more than their
// bytes can hold (see pictureFreeCost) as damaged.
[[nodiscard]] PictureLoad loadPictureFile(const QString& path,
                                          const DecodeSizeFor& decodeSizeFor = {});

// The memory, in bytes, that loadPictureFile would take to read the picture at `path` (as
// pictureMemoryBudget counts it), worked out from its headers as loadPictureFile works it out,
// without decoding it: 0 for a file refused before decoding, pictureMemoryBudget for one whose
// size shows only once decoded.
[[nodiscard]] qint64 pictureFileCost(const QString& path, const DecodeSizeFor& decodeSizeFor = {});

// The same for bytes already in memory (a dropped or pasted picture): 0 for bytes refused before
// decoding, which hold no picture the program reads.
[[nodiscard]] qint64 pictureDataCost(const QByteArray& data);

// The same for bytes already in memory (a dropped or pasted picture, the fuzz target).
[[nodiscard]] PictureLoad loadPictureData(const QByteArray& data,
                                          const DecodeSizeFor& decodeSizeFor = {});

// Reads a picture held in memory (a file's bytes read whole, a dropped or pasted picture) once
// for each of `sizes` (none: once, whole), as loadPictureFile reads it: headers walked once; a
// JPEG decoded reduced by its reader once for each size, from the same bytes; any other kind
// decoded once and reduced to each size. Sizes that come out alike share their pixels. What it
// costs counts the bytes, every size and the decoding (see pictureBytesCost).
[[nodiscard]] PictureLoads loadPictureBytes(const QByteArray& data,
                                            std::span<const DecodeSizeFor> sizes);

// The same for the picture in `device` (a file, open for reading at its start): each of its bytes
// is read from it once, as far as the picture needs; they are held while the picture is read, so
// that a refused picture leaves the rest of its file unread and a picture read at several sizes
// reads its file once. What it costs counts the file's bytes as held; a file larger than
// pictureMemoryBudget is refused unread.
[[nodiscard]] PictureLoads loadPictureOnce(QIODevice& device, std::span<const DecodeSizeFor> sizes);

// The memory loadPictureOnce would take to read the file at `path` at `sizes`, the
// bytes themselves included, worked out from its headers without reading the file whole: 0 for a
// file refused before decoding, pictureMemoryBudget for one whose size shows only once decoded.
[[nodiscard]] qint64 pictureBytesCost(const QString& path, std::span<const DecodeSizeFor> sizes);

// An image without transparency: transparent and half-transparent pixels show `background`.
[[nodiscard]] QImage flattenOnto(const QImage& image, QRgb background);

} // namespace hakomiru
