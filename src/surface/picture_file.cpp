#include "surface/picture_file.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

namespace hakomiru {

namespace {

const QString damaged = QStringLiteral("the picture data is damaged or too large");

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
        return damaged;
    default:
        return QStringLiteral("the picture could not be read");
    }
}

// True for a PNG with a chunk other than image data that claims more bytes than the file still
// holds. The PNG reader sets that much memory aside (up to 2 GB, for a file of a few hundred
// bytes) before it finds the data missing, so such a file is refused unread. Image data that is
// cut short is read as far as it goes, as with any damaged picture.
bool pngClaimsMissingBytes(QIODevice& device)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!device.seek(0) || device.read(8) != signature)
        return false;
    const qint64 size = device.size();
    qint64 at = 8;
    while (at + 8 <= size) {
        if (!device.seek(at))
            return false;
        const QByteArray header = device.read(8);
        if (header.size() < 8)
            return false;
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (type == "IEND")
            return false;
        if (qint64(length) > size - (at + 8))
            return type != "IDAT";
        at += 12 + qint64(length);
    }
    return false;
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
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && pngClaimsMissingBytes(file))
            return {std::nullopt, damaged};
    }
    QImageReader reader(path);
    return readPicture(reader, decodeSizeFor);
}

PictureLoad loadPictureData(const QByteArray& data, const DecodeSizeFor& decodeSizeFor)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    if (pngClaimsMissingBytes(buffer))
        return {std::nullopt, damaged};
    buffer.seek(0);
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
