#include "surface/picture_file.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace hakomiru {

namespace {

QString readerError(const QImageReader& reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral("file not found");
    case QImageReader::DeviceError:
        return QStringLiteral("the file could not be read");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("not a picture in a format this program reads");
    case QImageReader::InvalidDataError:
        return QStringLiteral("the picture data is damaged or too large");
    default:
        return QStringLiteral("the picture could not be read");
    }
}

PictureLoad readPicture(QImageReader& reader, const DecodeSizeFor& decodeSizeFor)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return {std::nullopt, readerError(reader)};

    // Some readers cannot tell the size before decoding (a top-down BMP reports a negative
    // height); those pictures are decoded whole and measured afterwards.
    const QSize stored = reader.size();
    if (stored.isValid() && !stored.isEmpty() && decodeSizeFor) {
        const bool turned =
            reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        const QSize natural = turned ? stored.transposed() : stored;
        const QSize wanted = decodeSizeFor(natural);
        if (wanted.isValid() && !wanted.isEmpty() && wanted.width() < natural.width() &&
            wanted.height() < natural.height())
            reader.setScaledSize(turned ? wanted.transposed() : wanted);
        QImage image = reader.read();
        if (image.isNull())
            return {std::nullopt, readerError(reader)};
        return {Picture{image, natural}, {}};
    }

    QImage image = reader.read();
    if (image.isNull())
        return {std::nullopt, readerError(reader)};
    return {Picture{image, image.size()}, {}};
}

} // namespace

PictureLoad loadPictureFile(const QString& path, const DecodeSizeFor& decodeSizeFor)
{
    QImageReader reader(path);
    return readPicture(reader, decodeSizeFor);
}

PictureLoad loadPictureData(const QByteArray& data, const DecodeSizeFor& decodeSizeFor)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readPicture(reader, decodeSizeFor);
}

QImage flattenOnto(const QImage& image, QRgb background)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(background | 0xff000000u);
    QPainter painter(&flat);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

} // namespace hakomiru
