#include "picture/picture_file.h"

#include <algorithm>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include "picture/bmp_reader.h"
#include "picture/heif_reader.h"
#include "picture/picture_formats.h"
#include "picture/picture_headers.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

constexpr qint64 megabyte = qint64(1) << 20;

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

qint64 pixels(QSize size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

// What the program read from a picture's header before decoding it.
struct Headers
{
    qint64 fileBytes = 0;
    QByteArray format; // see pictureFormat
    PngChunks png;
    BmpLayout bmp;
    std::optional<JpegFrame> jpeg;
    WebpHeader webp;
    TiffHeader tiff;
};

// What Qt's WebP and TIFF readers take besides the decoded picture, from the picture's header:
// the WebP reader holds the file's bytes, a lossless picture whole in 32 bits, an animation's
// canvas; libtiff one strip or tile, and a second picture when the orientation turns it.
qint64 readerOverhead(const Headers& headers, QSize stored, qint64 decodedBytesPerPixel)
{
    if (headers.format == "webp") {
        const WebpHeader& webp = headers.webp;
        return headers.fileBytes + (webp.lossless ? pixels(stored) * 4 : 0) +
               (webp.animated ? pixels(stored) * 4 : 0);
    }
    if (headers.format == "tiff")
        return plusSaturated(headers.tiff.blockBytes,
                             headers.tiff.orientation != 1
                                 ? timesSaturated(pixels(stored), decodedBytesPerPixel)
                                 : 0);
    return 0;
}

// Why a picture that claims `size` and would take `cost` bytes to read is refused before it is
// decoded, or nothing. See pictureFreeCost and pictureMemoryBudget.
std::optional<QString> refusal(QSize size, qint64 cost, const Headers& headers)
{
    constexpr qint64 tightestDeflate = 1032;
    const qint64 bytes = headers.fileBytes;
    const bool overclaims = headers.png.isPng ? headers.png.rawBytes > bytes * tightestDeflate
                                              : cost > bytes * maxCostPerFileByte;
    if (cost > pictureFreeCost && overclaims)
        return QStringLiteral("the picture data is damaged: its header claims %1 x %2 pixels, "
                              "far more than its %3 bytes can hold")
            .arg(size.width())
            .arg(size.height())
            .arg(bytes);
    if (cost > pictureMemoryBudget)
        return QStringLiteral("the picture is too large: reading it would take %1 MB, more than "
                              "the %2 MB this program allows")
            .arg((cost + megabyte - 1) / megabyte)
            .arg(pictureMemoryBudget / megabyte);
    return std::nullopt;
}

// The bytes a whole decode into `format` takes (Invalid when the reader cannot tell: taken as
// 32-bit with alpha): the decoded form, the 32-bit form made from it, and, for a picture kept whole
// that may be transparent, the opaque form that flattening makes.
qint64 wholeDecodeCost(QSize size, QImage::Format format, bool keptWhole)
{
    if (format == QImage::Format_Invalid)
        format = QImage::Format_ARGB32;
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    const bool thirtyTwoBit = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                              format == QImage::Format_ARGB32_Premultiplied;
    const bool mayBeTransparent = pixel.alphaUsage() == QPixelFormat::UsesAlpha ||
                                  pixel.colorModel() == QPixelFormat::Indexed;
    return pixels(size) * pixel.bitsPerPixel() / 8 + (thirtyTwoBit ? 0 : pixels(size) * 4) +
           (keptWhole && mayBeTransparent ? pixels(size) * 4 : 0);
}

// A picture as decoded, before the program reduces it, or the reason there is none.
struct Decoded
{
    QImage image;
    QSize natural;
    QSize wanted; // reduce to this; invalid to keep the picture whole
    QString error;
};

Decoded failed(const QString& error)
{
    return {{}, {}, {}, error};
}

// The size to reduce a picture of `natural` to: smaller on both sides, or invalid.
QSize wantedSize(QSize natural, const DecodeSizeFor& decodeSizeFor)
{
    if (!decodeSizeFor || natural.isEmpty())
        return {};
    const QSize wanted = decodeSizeFor(natural);
    if (wanted.isValid() && !wanted.isEmpty() && wanted.width() < natural.width() &&
        wanted.height() < natural.height())
        return wanted;
    return {};
}

// The picture in 32-bit colour, reduced by the program's averaging when it is larger than wanted.
// A JPEG comes already reduced by its reader.
PictureLoad finish(Decoded decoded)
{
    if (decoded.image.isNull())
        return Failure{decoded.error.isEmpty() ? damaged : decoded.error};
    QImage image = std::move(decoded.image);
    const bool alpha = image.hasAlphaChannel();
    const QSize wanted = decoded.wanted;
    if (wanted.isValid() && (image.width() > wanted.width() || image.height() > wanted.height())) {
        // Converted in place where the formats allow, so a large picture is not held twice.
        image.convertTo(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        image = averagedReduction(image, wanted);
    } else {
        image.convertTo(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    if (image.isNull())
        return Failure{damaged};
    return Picture{image, decoded.natural};
}

// Decodes through Qt's readers. A JPEG is decoded reduced by its reader, its coefficient buffer
// counted from the frame in `headers`. Other formats are decoded whole. A BMP's size comes from
// `headers` when the reader cannot tell it before decoding. The device must be at its start and
// untouched by the header reads since.
Decoded decodeWithQt(QIODevice& device, const Headers& headers, qint64 heldBytes,
                     const DecodeSizeFor& decodeSizeFor, qint64* costOnly)
{
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return failed(readerError(reader));

    Decoded decoded;
    const bool isJpeg = reader.format() == "jpeg";
    // WebP and TIFF are measured by the program's own header reads: Qt's readers would read the
    // whole file, or have libtiff read its directory, before the picture could be refused.
    const bool ownHeader = headers.format == "webp" || headers.format == "tiff";
    const QSize stored = headers.format == "webp"   ? headers.webp.size
                         : headers.format == "tiff" ? headers.tiff.size
                         : reader.size().isValid()  ? reader.size()
                                                    : headers.bmp.size;
    const std::optional<JpegFrame>& jpeg = headers.jpeg;
    if (ownHeader && !stored.isValid())
        return failed(damaged);
    if (headers.format == "tiff" && headers.tiff.blockBytes > pictureMemoryBudget)
        return failed(QStringLiteral("the picture data is damaged: one strip or tile of it "
                                     "claims %1 MB")
                          .arg(headers.tiff.blockBytes / megabyte));
    if (stored.isValid() && !stored.isEmpty()) {
        const bool turned =
            headers.format == "tiff"
                ? headers.tiff.orientation >= 5
                : reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        decoded.natural = turned ? stored.transposed() : stored;
        decoded.wanted = wantedSize(decoded.natural, decodeSizeFor);
        qint64 cost = heldBytes;
        if (isJpeg && jpeg) {
            const QSize scaled = turned ? decoded.wanted.transposed() : decoded.wanted;
            const QSize out = scaled.isValid() ? jpegScaledDecodeSize(stored, scaled) : stored;
            const bool transformed = reader.transformation() != QImageIOHandler::TransformationNone;
            cost += jpeg->coefficientBytes + pixels(out) * (jpeg->components == 1 ? 5 : 4) +
                    pixels(scaled) * 4 + (transformed ? pixels(out) * 4 : 0);
            if (scaled.isValid())
                reader.setScaledSize(scaled);
        } else {
            // A TIFF of more than 8 bits a sample is decoded in 64 bits; everything else in 32
            // bits or less (an unknown format is taken as 32 bits with alpha).
            const QImage::Format format =
                !ownHeader ? reader.imageFormat()
                : headers.format == "tiff" && headers.tiff.bitsPerSample > 8
                    ? QImage::Format_RGBA64
                    : QImage::Format_ARGB32;
            const qint64 bytesPerPixel = QImage::toPixelFormat(format).bitsPerPixel() / 8;
            cost += wholeDecodeCost(stored, format, !decoded.wanted.isValid()) +
                    pixels(decoded.wanted) * 4 + readerOverhead(headers, stored, bytesPerPixel);
        }
        if (const std::optional<QString> why = refusal(stored, cost, headers))
            return failed(*why);
        if (costOnly) {
            *costOnly = cost;
            return {};
        }
    } else if (costOnly) { // known only after decoding: reckoned at the most it may take
        *costOnly = pictureMemoryBudget;
        return {};
    }

    reader.setAllocationLimit(
        int(std::max<qint64>(1, (pictureMemoryBudget - heldBytes) / megabyte)));
    decoded.image = reader.read();
    if (decoded.image.isNull())
        return failed(readerError(reader));
    if (!decoded.natural.isValid()) { // measured after decoding
        decoded.natural = decoded.image.size();
        decoded.wanted = wantedSize(decoded.natural, decodeSizeFor);
        const qint64 cost = heldBytes + wholeDecodeCost(decoded.natural, decoded.image.format(),
                                                        !decoded.wanted.isValid());
        if (cost > pictureMemoryBudget)
            return failed(refusal(decoded.natural, cost, headers).value_or(damaged));
    }
    return decoded;
}

// A BMP that Qt's reader gets wrong, read by the program's own reader.
Decoded decodeOwnBmp(QIODevice& device, const Headers& headers, qint64 heldBytes,
                     const DecodeSizeFor& decodeSizeFor, qint64* costOnly)
{
    const BmpLayout& layout = headers.bmp;
    Decoded decoded;
    decoded.natural = layout.size;
    decoded.wanted = wantedSize(layout.size, decodeSizeFor);
    const bool alpha = layout.masks[3] != 0;
    const qint64 cost = heldBytes + pixels(layout.size) * 4 + pixels(decoded.wanted) * 4 +
                        (alpha && !decoded.wanted.isValid() ? pixels(layout.size) * 4 : 0);
    if (const std::optional<QString> why = refusal(layout.size, cost, headers))
        return failed(*why);
    if (costOnly) {
        *costOnly = cost;
        return {};
    }
    decoded.image = readBmp(device, layout);
    return decoded;
}

// A 16-bit RGB PNG with a transparent colour. Qt's reader reads such a picture right when the
// colour's chunk is left out, in 16 bits a channel; the program then makes every pixel of exactly
// that colour transparent.
Decoded decodeKeyedPng(QIODevice& device, const Headers& headers, qint64 heldBytes,
                       const DecodeSizeFor& decodeSizeFor, qint64* costOnly)
{
    const PngChunks& png = headers.png;
    const qint64 fileBytes = headers.fileBytes;
    const QSize wanted = wantedSize(png.size, decodeSizeFor);
    const qint64 cost = heldBytes + fileBytes + pixels(png.size) * (8 + 4) + pixels(wanted) * 4 +
                        (wanted.isValid() ? 0 : pixels(png.size) * 4);
    if (const std::optional<QString> why = refusal(png.size, cost, headers))
        return failed(*why);
    if (costOnly) {
        *costOnly = cost;
        return {};
    }
    QByteArray bytes = bytesAt(device, 0, fileBytes);
    if (bytes.size() != fileBytes)
        return failed(QStringLiteral("the file could not be read"));
    for (auto chunk = png.keyChunks.crbegin(); chunk != png.keyChunks.crend(); ++chunk)
        bytes.remove(chunk->first, chunk->second);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Headers withoutKey = headers;
    withoutKey.fileBytes = bytes.size();
    Decoded decoded =
        decodeWithQt(buffer, withoutKey, heldBytes + fileBytes, decodeSizeFor, nullptr);
    if (decoded.image.isNull())
        return decoded;
    if (decoded.image.depth() != 64)
        return failed(damaged); // the colour cannot be matched exactly
    decoded.image.convertTo(QImage::Format_RGBA64);
    const std::array<quint16, 3> key = *png.colourKey16;
    for (int y = 0; y < decoded.image.height(); ++y) {
        auto* row = reinterpret_cast<QRgba64*>(decoded.image.scanLine(y));
        for (int x = 0; x < decoded.image.width(); ++x)
            if (row[x].red() == key[0] && row[x].green() == key[1] && row[x].blue() == key[2])
                row[x] = QRgba64::fromRgba64(0, 0, 0, 0);
    }
    return decoded;
}

// A HEIC, HEIF or AVIF picture, read with libheif from memory: a file's bytes are read whole
// first, a pasted picture's are used as they are held. Its size and the memory decoding takes are
// known before it is decoded.
Decoded decodeHeif(QIODevice& device, const Headers& headers, qint64 heldBytes,
                   const DecodeSizeFor& decodeSizeFor, qint64* costOnly)
{
    auto* buffer = qobject_cast<QBuffer*>(&device);
    const qint64 fileBytes = buffer != nullptr ? 0 : headers.fileBytes;
    if (heldBytes + fileBytes > pictureMemoryBudget)
        return failed(QStringLiteral("the picture is too large: its file holds %1 MB, more than "
                                     "the %2 MB this program allows")
                          .arg((headers.fileBytes + megabyte - 1) / megabyte)
                          .arg(pictureMemoryBudget / megabyte));
    const QByteArray bytes = buffer != nullptr ? buffer->data() : bytesAt(device, 0, fileBytes);
    if (bytes.size() != headers.fileBytes)
        return failed(QStringLiteral("the file could not be read"));
    Result<HeifPicture> opened = HeifPicture::open(bytes);
    if (!opened)
        return failed(opened.error());
    const HeifPicture& picture = opened.value();
    Decoded decoded;
    decoded.natural = picture.size();
    decoded.wanted = wantedSize(decoded.natural, decodeSizeFor);
    const qint64 whole = pixels(decoded.natural);
    // Reduced, a transparent picture is first made premultiplied (a copy: the pixels are
    // libheif's); kept whole, it is flattened onto the box colour (another).
    const qint64 cost = heldBytes + fileBytes + whole * picture.decodingBytesPerPixel() +
                        (picture.hasAlpha() ? whole * 4 : 0) + pixels(decoded.wanted) * 4;
    if (const std::optional<QString> why = refusal(decoded.natural, cost, headers))
        return failed(*why);
    if (costOnly) {
        *costOnly = cost;
        return {};
    }
    Result<QImage> image = picture.decode();
    if (!image)
        return failed(image.error());
    decoded.image = std::move(image.value());
    // libheif gives the size after the picture's turn and crop; should the decoded picture still
    // differ, it is taken as it is, as long as it is no larger than what was reckoned.
    if (decoded.image.size() != decoded.natural) {
        if (pixels(decoded.image.size()) > whole)
            return failed(damaged);
        decoded.natural = decoded.image.size();
        decoded.wanted = wantedSize(decoded.natural, decodeSizeFor);
    }
    return decoded;
}

// Reads the picture in `device`. With `costOnly`, decodes nothing and stores there what reading it
// would take (0 for a picture refused before decoding).
PictureLoad readPicture(QIODevice& device, qint64 heldBytes, const DecodeSizeFor& decodeSizeFor,
                        qint64* costOnly = nullptr)
{
    // The program's own header reads come first: Qt's reader must find the device untouched.
    Headers headers;
    headers.fileBytes = device.size();
    headers.format = pictureFormat(device);
    if (headers.format.isEmpty())
        return Failure{QStringLiteral("not a picture in a format this program reads")};
    if (headers.format == "heif")
        return finish(decodeHeif(device, headers, heldBytes, decodeSizeFor, costOnly));
    if (headers.format == "webp")
        headers.webp = readWebpHeader(device);
    if (headers.format == "tiff")
        headers.tiff = readTiffHeader(device);
    headers.png = walkPngChunks(device);
    if (headers.png.claimsMissingBytes || headers.png.impossibleSize)
        return Failure{damaged};
    if (headers.png.colourKey16)
        return finish(decodeKeyedPng(device, headers, heldBytes, decodeSizeFor, costOnly));
    headers.bmp = readBmpLayout(device);
    if (headers.bmp.route == BmpRoute::Damaged)
        return Failure{damaged};
    if (headers.bmp.route == BmpRoute::Own)
        return finish(decodeOwnBmp(device, headers, heldBytes, decodeSizeFor, costOnly));
    headers.jpeg = readJpegFrame(device);
    if (headers.jpeg && headers.jpeg->crowded)
        return Failure{QStringLiteral("the picture data is damaged: more than %1 segments "
                                      "before its picture")
                           .arg(crowdedJpeg)};
    if (!device.seek(0))
        return Failure{QStringLiteral("the file could not be read")};
    return finish(decodeWithQt(device, headers, heldBytes, decodeSizeFor, costOnly));
}

} // namespace

PictureLoad loadPictureFile(const QString& path, const DecodeSizeFor& decodeSizeFor)
{
    QFile file(path);
    if (!file.exists())
        return Failure{QStringLiteral("file not found")};
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("the file could not be read")};
    return readPicture(file, 0, decodeSizeFor);
}

qint64 pictureFileCost(const QString& path, const DecodeSizeFor& decodeSizeFor)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 cost = 0;
    (void)readPicture(file, 0, decodeSizeFor, &cost);
    return cost;
}

PictureLoad loadPictureData(const QByteArray& data, const DecodeSizeFor& decodeSizeFor)
{
    QByteArray copy = data; // shares the bytes; the buffer only reads them
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(buffer, data.size(), decodeSizeFor);
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
