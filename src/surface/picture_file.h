#pragma once

#include <functional>
#include <optional>

#include <QImage>
#include <QSize>
#include <QString>

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
struct PictureLoad
{
    std::optional<Picture> picture;
    QString error;
};

// Given the natural size of a picture (upright, as it will be shown), the size it needs to be
// decoded at. Returning the natural size (or an invalid size) decodes it whole.
using DecodeSizeFor = std::function<QSize(QSize naturalSize)>;

// Reads a picture file: BMP, JPEG, GIF and the other formats Qt reads, recognised by content,
// whatever the file is called. A GIF gives its first frame. A camera's orientation tag is
// honoured, so a portrait photo stands upright. The decode size never exceeds the natural size.
[[nodiscard]] PictureLoad loadPictureFile(const QString& path,
                                          const DecodeSizeFor& decodeSizeFor = {});

// The same for bytes already in memory (a dropped or pasted picture, the fuzz target).
[[nodiscard]] PictureLoad loadPictureData(const QByteArray& data,
                                          const DecodeSizeFor& decodeSizeFor = {});

// An image without transparency: transparent and half-transparent pixels show `background`.
[[nodiscard]] QImage flattenOnto(const QImage& image, QRgb background);

} // namespace hakomiru
