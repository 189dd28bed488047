#include "surface/picture_file.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace hakomiru {

namespace {

PictureLoad readPicture(QImageReader& reader, const DecodeSizeFor& decodeSizeFor)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);

    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return {std::nullopt, reader.canRead() ? QStringLiteral("The picture has no size")
                                               : reader.errorString()};

    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize natural = turned ? stored.transposed() : stored;

    if (decodeSizeFor) {
        QSize wanted = decodeSizeFor(natural);
        if (wanted.isValid() && !wanted.isEmpty() && wanted.width() < natural.width() &&
            wanted.height() < natural.height()) {
            wanted = wanted.boundedTo(natural);
            reader.setScaledSize(turned ? wanted.transposed() : wanted);
        }
    }

    QImage image = reader.read();
    if (image.isNull())
        return {std::nullopt, reader.errorString()};
    return {Picture{image, natural}, {}};
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
