#include "picture/picture_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include "picture/bmp_reader.h"
#include "picture/cmyk_jpeg.h"
#include "picture/colour_profile.h"
#include "picture/heif_reader.h"
#include "picture/picture_formats.h"
#include "picture/picture_headers.h"
#include "picture/tiff_reader.h"
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

// Which reader a picture goes to.
enum class Route
{
    Qt,       // Qt's readers
    OwnBmp,   // a BMP that Qt's reader gets wrong, read by the program's own reader
    KeyedPng, // a 16-bit RGB PNG with a transparent colour
    Heif,     // HEIC, HEIF and AVIF, read with libheif
    Tiff,     // TIFF, read with libtiff by the program's own reader
};

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
    ColourDescription colour; // what the stored numbers' colours are; empty for sRGB
    Route route = Route::Qt;
};

// Whether a picture's header claims more pixels than its file can hold, where its format sets a
// hard bound on packing them: a PNG's rows deflate at most 1032 to 1, an uncompressed BMP stores
// its rows as they are, and a JPEG coded with Huffman codes spends at least one bit on each block
// of 8 x 8 samples of a component in its first scan, a component having no fewer samples than
// one pixel in 4 x 4. WebP, HEVC, AV1, arithmetic coding in JPEG and TIFF's fax and deflate coding
// have no such bound the program can rely on (a flat 4K AVIF takes 2 KB): their decoders tell
// damage. JPEG's reader does not: it shows what a cut file lacks in grey.
bool claimsMoreThanItHolds(const Headers& headers)
{
    constexpr qint64 tightestDeflate = 1032;
    constexpr qint64 tightestHuffman = 8 * 64 * 4 * 4; // pixels a byte of a JPEG's scan codes
    const qint64 bytes = headers.fileBytes;
    if (headers.png.isPng)
        return headers.png.rawBytes > timesSaturated(bytes, tightestDeflate);
    if (headers.jpeg && !headers.jpeg->arithmetic)
        return pixels(headers.jpeg->size) > timesSaturated(bytes, tightestHuffman);
    const BmpLayout& bmp = headers.bmp;
    if (headers.format == "bmp" && bmp.uncompressed && bmp.size.isValid()) {
        const qint64 rowBytes =
            plusSaturated(timesSaturated(bmp.size.width(), bmp.bits), 31) / 32 * 4;
        return timesSaturated(rowBytes, bmp.size.height()) > bytes;
    }
    return false;
}

// Why a picture that claims `size` and would take `cost` bytes to read is refused before it is
// decoded, or nothing: too large beyond pictureMemoryBudget, whatever its file holds; damaged
// beyond pictureFreeCost when its header claims more than its file can hold.
std::optional<QString> refusal(QSize size, qint64 cost, const Headers& headers)
{
    if (cost > pictureMemoryBudget)
        return QStringLiteral("the picture is too large: reading it would take %1 MB, more than "
                              "the %2 MB this program allows")
            .arg((plusSaturated(cost, megabyte) - 1) / megabyte)
            .arg(pictureMemoryBudget / megabyte);
    if (cost > pictureFreeCost && claimsMoreThanItHolds(headers))
        return QStringLiteral("the picture data is damaged: its header claims %1 x %2 pixels, "
                              "far more than its %3 bytes can hold")
            .arg(size.width())
            .arg(size.height())
            .arg(headers.fileBytes);
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

// What Qt's WebP reader takes besides the decoded picture, from the picture's header: it holds
// the file's bytes, a lossless picture whole in 32 bits, an animation's canvas, and the program a
// second picture when the orientation turns or mirrors it.
qint64 readerOverhead(const Headers& headers, QSize stored)
{
    if (headers.format == "webp") {
        const WebpHeader& webp = headers.webp;
        return headers.fileBytes + (webp.lossless ? pixels(stored) * 4 : 0) +
               (webp.animated ? pixels(stored) * 4 : 0) +
               (webp.orientation != 1 ? pixels(stored) * 4 : 0);
    }
    return 0;
}

// A picture stored as a camera held that way stores it, stood upright as its orientation tag
// (1 to 8) says: mirrored across (2), turned half round (3), flipped upside down (4), flipped and
// turned a quarter clockwise (5), turned a quarter clockwise (6), mirrored and turned so (7),
// turned a quarter anticlockwise (8). A null image when the memory cannot be had.
QImage upright(QImage image, int orientation)
{
    const bool mirror = orientation == 2 || orientation == 3 || orientation == 7;
    const bool flip = orientation == 3 || orientation == 4 || orientation == 5;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (orientation >= 5 && orientation <= 8)
        image = image.transformed(QTransform().rotate(orientation == 8 ? 270 : 90));
    return image;
}

// The program's budget is also the limit of Qt's readers, which refuse by themselves a picture
// that would take more (a picture whose size shows only once it is decoded meets no other check
// before). Qt keeps one limit for the whole process, so it is set once, as the application
// starts, and never for a single read: pictures are read side by side. libtiff's process-wide
// handlers are silenced at the same time, for the same reason. It is registered here, in the file
// every picture read links, so the program, the exporter and the tests all start with it.
void setUpPictureReaders()
{
    QImageReader::setAllocationLimit(int(pictureMemoryBudget / megabyte));
    quietTiffReader();
}
Q_COREAPP_STARTUP_FUNCTION(setUpPictureReaders)

// A device that reads `source` through once: every byte it gives is read from `source` only the
// first time, in order, and held; reading again (after a seek back, by a second reader of the same
// picture) is served from what it holds. So a picture is planned from its headers without the rest
// of its file being read, and decoded at several sizes from one reading of its file. It holds no
// more than the file.
class ReadOnceDevice : public QIODevice
{
public:
    // Room for the whole file is taken at once; its pages are only touched as it is read.
    explicit ReadOnceDevice(QIODevice& source)
        : m_source(source), m_size(std::max<qint64>(0, source.size())),
          m_held(qsizetype(m_size), Qt::Uninitialized)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    [[nodiscard]] bool isSequential() const override { return false; }
    [[nodiscard]] qint64 size() const override { return m_size; }

    // The whole file, read to its end; shares the bytes held. Empty when it cannot be read whole.
    // ASSUMES: passOn() has not been called.
    QByteArray whole()
    {
        if (!heldTo(m_size))
            return {};
        return m_held;
    }

    // From now on the bytes not held yet are handed on as they are read, not held: for a picture
    // whose decoding reads its file through once, so that its file is not held besides it.
    void passOn() { m_passOn = true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 at = pos();
        const qint64 end = std::min(m_size, at + maxSize);
        if (m_passOn && end > m_count) {
            // What is held, then the rest straight from the source: readers take a short read
            // for the end of the file.
            const qint64 fromHeld = std::max<qint64>(0, m_count - at);
            if (fromHeld > 0)
                std::memcpy(data, m_held.constData() + at, std::size_t(fromHeld));
            const qint64 from = at + fromHeld;
            if (m_source.pos() != from && !m_source.seek(from))
                return fromHeld > 0 ? fromHeld : -1;
            qint64 given = fromHeld;
            while (at + given < end) {
                const qint64 read = m_source.read(data + given, end - at - given);
                if (read <= 0)
                    return given > 0 || read == 0 ? given : -1;
                given += read;
            }
            return given;
        }
        if (!heldTo(end) && m_count <= at)
            return at >= m_size ? 0 : -1;
        const qint64 count = std::min(end, m_count) - at;
        if (count <= 0)
            return 0;
        std::memcpy(data, m_held.constData() + at, std::size_t(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // Reads from the source until `end` bytes are held; false when it ends or fails first.
    bool heldTo(qint64 end)
    {
        while (m_count < end) {
            const qint64 read = m_source.read(m_held.data() + m_count, end - m_count);
            if (read <= 0)
                return false;
            m_count += read;
        }
        return true;
    }

    QIODevice& m_source;
    const qint64 m_size;
    QByteArray m_held;
    qint64 m_count = 0; // bytes of m_held read so far
    bool m_passOn = false;
};

// The colour profile embedded in a JPEG, PNG, WebP or BMP file, and the colour model of its
// pixels.
ColourDescription readColourDescription(QIODevice& device, const QByteArray& format)
{
    ColourDescription colour;
    if (format == "jpeg") {
        colour.icc = readJpegIccProfile(device); // its colour model comes with its frame
    } else if (format == "png") {
        bool grey = false;
        colour.icc = readPngIccProfile(device, &grey);
        colour.stored = grey ? StoredColours::Grey : StoredColours::Rgb;
    } else if (format == "webp") {
        colour.icc = readWebpIccProfile(device);
    } else if (format == "bmp") {
        colour.icc = readBmpIccProfile(device);
    }
    return colour;
}

// The program's own header reads: the route a picture takes, or why it is refused at once. They
// come first, and leave the device at its start for Qt's reader.
Result<Headers> walkHeaders(QIODevice& device)
{
    Headers headers;
    headers.fileBytes = device.size();
    headers.format = pictureFormat(device);
    if (headers.format.isEmpty())
        return Failure{QStringLiteral("not a picture in a format this program reads")};
    if (headers.format == "heif") {
        headers.route = Route::Heif;
        return headers;
    }
    if (headers.format == "webp")
        headers.webp = readWebpHeader(device);
    if (headers.format == "tiff") {
        headers.tiff = readTiffHeader(device);
        headers.route = Route::Tiff;
        return headers;
    }
    headers.colour = readColourDescription(device, headers.format);
    headers.png = walkPngChunks(device);
    if (headers.png.claimsMissingBytes || headers.png.impossibleSize)
        return Failure{damaged};
    if (headers.png.colourKey16) {
        headers.route = Route::KeyedPng;
        return headers;
    }
    headers.bmp = readBmpLayout(device);
    if (headers.bmp.route == BmpRoute::Damaged)
        return Failure{damaged};
    if (headers.bmp.route == BmpRoute::Own) {
        headers.route = Route::OwnBmp;
        return headers;
    }
    headers.jpeg = readJpegFrame(device);
    if (headers.jpeg)
        headers.colour.stored = headers.jpeg->components == 1   ? StoredColours::Grey
                                : headers.jpeg->components == 4 ? StoredColours::Cmyk
                                                                : StoredColours::Rgb;
    if (headers.jpeg && headers.jpeg->crowded)
        return Failure{QStringLiteral("the picture data is damaged: more than %1 segments "
                                      "before its picture")
                           .arg(crowdedJpeg)};
    if (!device.seek(0))
        return Failure{QStringLiteral("the file could not be read")};
    return headers;
}

// What reading a picture will take, worked out before anything is decoded.
// Each of the sizes asked for has its own wanted size (and, for a JPEG, its own reader size).
struct Plan
{
    QSize natural;                 // as the picture will be shown; invalid when only decoding tells
    std::vector<QSize> wanted;     // reduce to these; invalid to keep the picture whole
    std::vector<QSize> jpegScales; // the sizes a JPEG's reader is asked for (as stored); invalid
                                   // for the whole; empty for other kinds
    qint64 cost = 0;               // bytes, as pictureMemoryBudget counts them
};

// A picture as decoded, before the program reduces it: one image for each size asked for when
// its reader reduced it (a JPEG), otherwise one image that every size is reduced from.
struct Decoded
{
    std::vector<QImage> images;
    QSize natural;
    std::vector<QSize> wanted;
    ColourDescription colour; // converted to sRGB at each size, once reduced
};

qint64 pixelsOf(const std::vector<QSize>& sizes)
{
    qint64 sum = 0;
    for (const QSize size : sizes)
        sum += pixels(size);
    return sum;
}

bool anyWhole(const std::vector<QSize>& wanted)
{
    return std::any_of(wanted.begin(), wanted.end(), [](QSize size) { return !size.isValid(); });
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

std::vector<QSize> wantedSizes(QSize natural, const std::vector<DecodeSizeFor>& sizes)
{
    std::vector<QSize> wanted;
    for (const DecodeSizeFor& size : sizes)
        wanted.push_back(wantedSize(natural, size));
    return wanted;
}

// The picture in 32-bit colour, reduced by the program's averaging when it is larger than wanted.
// A JPEG comes already reduced by its reader.
Result<QImage> finished(QImage image, QSize wanted)
{
    if (image.isNull())
        return Failure{damaged};
    const bool alpha = image.hasAlphaChannel();
    if (wanted.isValid() && (image.width() > wanted.width() || image.height() > wanted.height())) {
        // Converted in place where the formats allow, so a large picture is not held twice.
        image.convertTo(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        image = averagedReduction(image, wanted);
    } else {
        image.convertTo(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    if (image.isNull())
        return Failure{damaged};
    return image;
}

// The picture at each wanted size, in their order. A size that comes from the same decoded
// image at the same wanted size as an earlier one shares its pixels.
PictureLoads finish(Decoded decoded)
{
    std::vector<Picture> pictures;
    const std::size_t count = decoded.wanted.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = decoded.images.size() > 1 ? i : 0;
        std::optional<std::size_t> same;
        for (std::size_t j = 0; j < i && !same; ++j)
            if (decoded.wanted[j] == decoded.wanted[i] &&
                (decoded.images.size() > 1 ? j : 0) == from)
                same = j;
        if (same) {
            pictures.push_back(pictures[*same]);
            continue;
        }
        // The last size to come from an image takes it, so it can be converted in place.
        const bool last = decoded.images.size() > 1 || i + 1 == count;
        Result<QImage> image = finished(
            last ? std::move(decoded.images[from]) : decoded.images[from], decoded.wanted[i]);
        if (!image)
            return image.failure();
        convertToSrgb(image.value(), decoded.colour);
        pictures.push_back(Picture{std::move(image.value()), decoded.natural});
    }
    return pictures;
}

// `image` turned and mirrored as a JPEG reader's orientation says, as Qt's readers turn it.
QImage turned(QImage image, QImageIOHandler::Transformations how)
{
    if (how == QImageIOHandler::TransformationNone)
        return image;
    QTransform quarter;
    quarter.rotate(90);
    if (how == QImageIOHandler::TransformationRotate270)
        return image.transformed(quarter.rotate(180));
    image = image.mirrored(how.testFlag(QImageIOHandler::TransformationMirror),
                           how.testFlag(QImageIOHandler::TransformationFlip));
    return how.testFlag(QImageIOHandler::TransformationRotate90) ? image.transformed(quarter)
                                                                 : image;
}

// One reading of the picture in a device: first the plan (the header walk and what decoding will
// take), which is all that measuring a picture asks; then, for loading it, the decoding. Both
// steps run on the same device and reader, so a picture is decoded as it was measured.
class PictureRead
{
public:
    PictureRead(QIODevice& device, qint64 heldBytes, std::vector<DecodeSizeFor> sizes)
        : m_device(device), m_heldBytes(heldBytes), m_sizes(std::move(sizes))
    {
        if (m_sizes.empty())
            m_sizes.emplace_back();
    }

    // The plan, or why the picture is refused before it is decoded.
    Result<Plan> plan()
    {
        Result<Headers> headers = walkHeaders(m_device);
        if (!headers)
            return headers.failure();
        m_headers = std::move(headers.value());
        switch (m_headers.route) {
        case Route::OwnBmp:
            return planOwnBmp();
        case Route::KeyedPng:
            return planKeyedPng();
        case Route::Heif:
            return planHeif();
        case Route::Tiff:
            return planTiff();
        case Route::Qt:
            break;
        }
        return planWithQt();
    }

    // Decodes the picture as planned: one picture for each size asked for, in their order.
    // ASSUMES: `plan` is what plan() gave.
    PictureLoads decode(const Plan& plan)
    {
        if (m_headers.route == Route::OwnBmp)
            return finish(
                {{readBmp(m_device, m_headers.bmp)}, plan.natural, plan.wanted, m_headers.colour});
        Result<Decoded> decoded = m_headers.route == Route::KeyedPng ? decodeKeyedPng()
                                  : m_headers.route == Route::Heif   ? decodeHeif(plan)
                                  : m_headers.route == Route::Tiff   ? decodeTiff(plan)
                                                                     : decodeWithQt(plan);
        if (!decoded)
            return decoded.failure();
        return finish(std::move(decoded.value()));
    }

private:
    // Qt's readers. A JPEG is decoded reduced by its reader, its coefficient buffer counted from
    // its frame. Other formats are decoded whole. A BMP's size comes from its header when the
    // reader cannot tell it before decoding.
    Result<Plan> planWithQt()
    {
        m_reader.setDevice(&m_device);
        m_reader.setDecideFormatFromContent(true);
        m_reader.setAutoTransform(true);
        if (!m_reader.canRead())
            return Failure{readerError(m_reader)};

        Plan plan;
        // WebP is measured by the program's own header read: Qt's reader would read the whole
        // file before the picture could be refused.
        const QByteArray& format = m_headers.format;
        const bool ownHeader = format == "webp";
        const QSize stored = ownHeader                   ? m_headers.webp.size
                             : m_reader.size().isValid() ? m_reader.size()
                                                         : m_headers.bmp.size;
        if (ownHeader && !stored.isValid())
            return Failure{damaged};
        if (!stored.isValid() || stored.isEmpty()) {
            plan.cost = pictureMemoryBudget; // known only after decoding: the most it may take
            return plan;
        }
        const bool turned =
            format == "webp"
                ? m_headers.webp.orientation >= 5
                : m_reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        plan = sizedPlan(turned ? stored.transposed() : stored);
        plan.cost = m_heldBytes;
        const std::optional<JpegFrame>& jpeg = m_headers.jpeg;
        if (m_reader.format() == "jpeg" && jpeg) {
            // Each size is decoded from the same bytes by a reader of its own, one after the
            // other, the sizes decoded before held meanwhile.
            const bool transformed =
                m_reader.transformation() != QImageIOHandler::TransformationNone;
            plan.cost += jpeg->coefficientBytes;
            // A CMYK picture with its profile is decoded by libjpeg from the bytes in memory.
            if (m_headers.colour.stored == StoredColours::Cmyk &&
                isCmykProfile(m_headers.colour.icc)) {
                m_cmykProfile = true;
                plan.cost += holdsBytes() ? 0 : m_headers.fileBytes;
            }
            for (const QSize wanted : plan.wanted) {
                const QSize scale = turned ? wanted.transposed() : wanted;
                plan.jpegScales.push_back(scale);
                const QSize out = scale.isValid() ? jpegScaledDecodeSize(stored, scale) : stored;
                plan.cost += pixels(out) * (jpeg->components == 1 ? 5 : 4) + pixels(scale) * 4 +
                             (transformed ? pixels(out) * 4 : 0);
            }
        } else {
            // A WebP is decoded in 32 bits (taken as with alpha).
            const QImage::Format decodedFormat =
                ownHeader ? QImage::Format_ARGB32 : m_reader.imageFormat();
            plan.cost += wholeDecodeCost(stored, decodedFormat, anyWhole(plan.wanted)) +
                         pixelsOf(plan.wanted) * 4 + readerOverhead(m_headers, stored);
        }
        return unlessRefused(plan, stored);
    }

    Result<Decoded> decodeWithQt(const Plan& plan)
    {
        Decoded decoded{{}, plan.natural, plan.wanted, m_headers.colour};
        QByteArray cmykBytes; // a CMYK picture's bytes, read once for all its sizes
        // Decoded once, or at one size: the file's bytes are read through once, so its rest is
        // not held.
        const bool oneSize =
            std::all_of(plan.jpegScales.begin(), plan.jpegScales.end(),
                        [&plan](QSize scale) { return scale == plan.jpegScales.front(); });
        if (oneSize && !m_cmykProfile)
            if (auto* once = dynamic_cast<ReadOnceDevice*>(&m_device))
                once->passOn();
        if (plan.jpegScales.empty()) {
            decoded.images.push_back(m_reader.read());
            if (decoded.images.front().isNull())
                return Failure{readerError(m_reader)};
            if (m_headers.format == "webp") // Qt's WebP reader leaves its orientation to us
                decoded.images.front() =
                    upright(std::move(decoded.images.front()), m_headers.webp.orientation);
        }
        for (std::size_t i = 0; i < plan.jpegScales.size(); ++i) {
            const QSize scale = plan.jpegScales[i];
            const auto same =
                std::find(plan.jpegScales.begin(), plan.jpegScales.begin() + i, scale);
            if (same != plan.jpegScales.begin() + i) {
                decoded.images.push_back(
                    decoded.images[std::size_t(same - plan.jpegScales.begin())]);
                continue;
            }
            if (m_cmykProfile) {
                if (cmykBytes.isEmpty())
                    cmykBytes = allBytes();
                std::optional<QImage> cmyk = decodeCmykJpeg(cmykBytes, scale, m_headers.colour.icc);
                if (cmyk) {
                    decoded.images.push_back(turned(std::move(*cmyk), m_reader.transformation()));
                    continue;
                }
            }
            // A reader of its own, from the start of the same bytes (read whole for libjpeg when
            // the picture is CMYK with a profile, which it could not decode).
            if (i > 0 || m_cmykProfile) {
                if (!m_device.seek(0))
                    return Failure{QStringLiteral("the file could not be read")};
                m_reader.setDevice(nullptr);
                m_reader.setDevice(&m_device);
            }
            m_reader.setScaledSize(scale.isValid() ? scale : QSize());
            decoded.images.push_back(m_reader.read());
            if (decoded.images.back().isNull())
                return Failure{readerError(m_reader)};
        }
        if (!decoded.natural.isValid()) { // measured after decoding
            decoded.natural = decoded.images.front().size();
            decoded.wanted = wantedSizes(decoded.natural, m_sizes);
            const qint64 cost =
                m_heldBytes + wholeDecodeCost(decoded.natural, decoded.images.front().format(),
                                              anyWhole(decoded.wanted));
            if (cost > pictureMemoryBudget)
                return Failure{refusal(decoded.natural, cost, m_headers).value_or(damaged)};
        }
        return decoded;
    }

    // A plan for a picture shown at `natural`, reduced to what the caller asks for; its cost is
    // the caller's to add.
    [[nodiscard]] Plan sizedPlan(QSize natural) const
    {
        Plan plan;
        plan.natural = natural;
        plan.wanted = wantedSizes(natural, m_sizes);
        return plan;
    }

    // `plan`, unless its cost is beyond the budget, or beyond what the file's bytes can back for
    // a picture claiming `claimed` (as stored). The conversion of its colours to sRGB is done in
    // place, but a picture kept whole that also gives other sizes is converted in a copy of it.
    [[nodiscard]] Result<Plan> unlessRefused(Plan plan, QSize claimed) const
    {
        if (!m_headers.colour.isEmpty() && plan.wanted.size() > 1 && anyWhole(plan.wanted))
            plan.cost += pixels(plan.natural) * 4;
        if (const std::optional<QString> why = refusal(claimed, plan.cost, m_headers))
            return Failure{*why};
        return plan;
    }

    Result<Plan> planOwnBmp()
    {
        const BmpLayout& layout = m_headers.bmp;
        Plan plan = sizedPlan(layout.size);
        const bool alpha = layout.masks[3] != 0;
        plan.cost = m_heldBytes + pixels(layout.size) * 4 + pixelsOf(plan.wanted) * 4 +
                    (alpha && anyWhole(plan.wanted) ? pixels(layout.size) * 4 : 0);
        return unlessRefused(plan, layout.size);
    }

    // Qt's reader reads such a picture right when the colour's chunk is left out, in 16 bits a
    // channel; the program then makes every pixel of exactly that colour transparent.
    Result<Plan> planKeyedPng()
    {
        const PngChunks& png = m_headers.png;
        Plan plan = sizedPlan(png.size);
        plan.cost = m_heldBytes + m_headers.fileBytes + pixels(png.size) * (8 + 4) +
                    pixelsOf(plan.wanted) * 4 + (anyWhole(plan.wanted) ? pixels(png.size) * 4 : 0);
        return unlessRefused(plan, png.size);
    }

    Result<Decoded> decodeKeyedPng()
    {
        const PngChunks& png = m_headers.png;
        const qint64 fileBytes = m_headers.fileBytes;
        QByteArray bytes = bytesAt(m_device, 0, fileBytes);
        if (bytes.size() != fileBytes)
            return Failure{QStringLiteral("the file could not be read")};
        for (auto chunk = png.keyChunks.crbegin(); chunk != png.keyChunks.crend(); ++chunk)
            bytes.remove(chunk->first, chunk->second);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        PictureRead withoutKey(buffer, m_heldBytes + fileBytes, m_sizes);
        withoutKey.m_headers = m_headers;
        withoutKey.m_headers.fileBytes = bytes.size();
        withoutKey.m_headers.route = Route::Qt;
        const Result<Plan> plan = withoutKey.planWithQt();
        if (!plan)
            return plan.failure();
        Result<Decoded> decoded = withoutKey.decodeWithQt(plan.value());
        if (!decoded)
            return decoded;
        QImage& image = decoded->images.front();
        if (image.depth() != 64)
            return Failure{damaged}; // the colour cannot be matched exactly
        image.convertTo(QImage::Format_RGBA64);
        const std::array<quint16, 3> key = *png.colourKey16;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgba64*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (row[x].red() == key[0] && row[x].green() == key[1] && row[x].blue() == key[2])
                    row[x] = QRgba64::fromRgba64(0, 0, 0, 0);
        }
        return decoded;
    }

    // Whether the picture's bytes are held in memory already (a pasted picture's, a file's read
    // once), so that having them whole costs nothing more.
    [[nodiscard]] bool holdsBytes() const
    {
        return qobject_cast<QBuffer*>(&m_device) != nullptr ||
               dynamic_cast<ReadOnceDevice*>(&m_device) != nullptr;
    }

    // The picture's bytes whole: as they are held, or read from the file.
    QByteArray allBytes()
    {
        if (auto* buffer = qobject_cast<QBuffer*>(&m_device))
            return buffer->data();
        if (auto* readOnce = dynamic_cast<ReadOnceDevice*>(&m_device))
            return readOnce->whole();
        return bytesAt(m_device, 0, m_headers.fileBytes);
    }

    // The picture's bytes whole in memory, for the readers that read from memory: bytes held
    // already (a pasted picture's, a file's read once) as they are held, a file's read whole.
    // Gives the bytes read besides those held, or why they could not be had.
    Result<qint64> holdWhole()
    {
        const qint64 fileBytes = holdsBytes() ? 0 : m_headers.fileBytes;
        if (m_heldBytes + fileBytes > pictureMemoryBudget)
            return Failure{QStringLiteral("the picture is too large: its file holds %1 MB, more "
                                          "than the %2 MB this program allows")
                               .arg((m_headers.fileBytes + megabyte - 1) / megabyte)
                               .arg(pictureMemoryBudget / megabyte)};
        m_wholeBytes = allBytes();
        if (m_wholeBytes.size() != m_headers.fileBytes)
            return Failure{QStringLiteral("the file could not be read")};
        return fileBytes;
    }

    // libheif reads from memory: a file's bytes are read whole first, a pasted picture's are used
    // as they are held. Its size and the memory decoding takes are known before it is decoded.
    Result<Plan> planHeif()
    {
        const Result<qint64> fileBytes = holdWhole();
        if (!fileBytes)
            return fileBytes.failure();
        Result<HeifPicture> opened = HeifPicture::open(m_wholeBytes);
        if (!opened)
            return opened.failure();
        m_heif = std::move(opened.value());
        m_headers.colour = m_heif->colour();
        Plan plan = sizedPlan(m_heif->size());
        // Reduced, a transparent picture is first made premultiplied (a copy: the pixels are
        // libheif's); kept whole, it is flattened onto the box colour (another).
        const qint64 whole = pixels(plan.natural);
        plan.cost = m_heldBytes + fileBytes.value() + whole * m_heif->decodingBytesPerPixel() +
                    (m_heif->hasAlpha() ? whole * 4 : 0) + pixelsOf(plan.wanted) * 4;
        return unlessRefused(plan, plan.natural);
    }

    Result<Decoded> decodeHeif(const Plan& plan)
    {
        Result<QImage> image = m_heif->decode();
        if (!image)
            return image.failure();
        Decoded decoded{{std::move(image.value())}, plan.natural, plan.wanted, m_headers.colour};
        // libheif gives the size after the picture's turn and crop; should the decoded picture
        // still differ, it is taken as it is, as long as it is no larger than was reckoned.
        const QSize size = decoded.images.front().size();
        if (size != decoded.natural) {
            if (pixels(size) > pixels(plan.natural))
                return Failure{damaged};
            decoded.natural = size;
            decoded.wanted = wantedSizes(decoded.natural, m_sizes);
        }
        return decoded;
    }

    // TIFF is read by the program's own reader, from memory, strip by strip or tile by tile into
    // the picture it gives, stood upright as it is read. Its header walk comes first: a picture
    // whose size, or one of whose strips or tiles, is beyond the budget is refused before libtiff
    // reads its directory.
    Result<Plan> planTiff()
    {
        const TiffHeader& header = m_headers.tiff;
        if (!header.size.isValid())
            return Failure{damaged};
        if (header.blockBytes > pictureMemoryBudget)
            return Failure{QStringLiteral("the picture data is damaged: one strip or tile of it "
                                          "claims %1 MB")
                               .arg(header.blockBytes / megabyte)};
        const qint64 claimed = timesSaturated(pixels(header.size), 4);
        if (const std::optional<QString> why = refusal(header.size, claimed, m_headers))
            return Failure{*why};
        const Result<qint64> fileBytes = holdWhole();
        if (!fileBytes)
            return fileBytes.failure();
        Result<TiffPicture> opened = TiffPicture::open(m_wholeBytes);
        if (!opened)
            return opened.failure();
        m_tiff = std::move(opened.value());
        // Its profile describes the colours it gives when they are its own numbers: grey, RGB or
        // a palette's. Inks and L*a*b* come out already turned into sRGB.
        const int photometric = m_tiff->photometric();
        if (photometric <= 3 || photometric == 6) {
            m_headers.colour.icc = m_tiff->iccProfile();
            m_headers.colour.stored = photometric <= 1 ? StoredColours::Grey : StoredColours::Rgb;
        }
        Plan plan = sizedPlan(m_tiff->size());
        const QSize stored = m_tiff->storedSize();
        plan.cost = plusSaturated(m_heldBytes + fileBytes.value() + m_tiff->decodingBytes() +
                                      pixelsOf(plan.wanted) * 4,
                                  wholeDecodeCost(stored, m_tiff->format(), anyWhole(plan.wanted)));
        return unlessRefused(plan, stored);
    }

    Result<Decoded> decodeTiff(const Plan& plan)
    {
        Result<QImage> image = m_tiff->decode();
        if (!image)
            return image.failure();
        return Decoded{{std::move(image.value())}, plan.natural, plan.wanted, m_headers.colour};
    }

    QIODevice& m_device;
    const qint64 m_heldBytes;
    std::vector<DecodeSizeFor> m_sizes; // never empty
    Headers m_headers;
    QImageReader m_reader;
    QByteArray m_wholeBytes;           // what m_heif or m_tiff reads
    std::optional<HeifPicture> m_heif; // a HEIF picture once planned
    std::optional<TiffPicture> m_tiff; // a TIFF picture once planned
    bool m_cmykProfile = false;        // a CMYK JPEG with a CMYK profile, decoded by libjpeg
};

// Plans and decodes the picture in `device` at each of `sizes`.
PictureLoads planAndDecode(QIODevice& device, qint64 heldBytes, std::vector<DecodeSizeFor> sizes)
{
    PictureRead read(device, heldBytes, std::move(sizes));
    const Result<Plan> plan = read.plan();
    if (!plan)
        return plan.failure();
    return read.decode(plan.value());
}

PictureLoad first(PictureLoads loads)
{
    if (!loads)
        return loads.failure();
    return std::move(loads->front());
}

} // namespace

PictureLoad loadPictureFile(const QString& path, const DecodeSizeFor& decodeSizeFor)
{
    QFile file(path);
    if (!file.exists())
        return Failure{QStringLiteral("file not found")};
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("the file could not be read")};
    return first(planAndDecode(file, 0, {decodeSizeFor}));
}

qint64 pictureFileCost(const QString& path, const DecodeSizeFor& decodeSizeFor)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const Result<Plan> plan = PictureRead(file, 0, {decodeSizeFor}).plan();
    return plan ? plan->cost : 0;
}

qint64 pictureBytesCost(const QString& path, std::span<const DecodeSizeFor> sizes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const qint64 held = file.size();
    const Result<Plan> plan = PictureRead(file, held, {sizes.begin(), sizes.end()}).plan();
    return plan ? plan->cost : 0;
}

qint64 pictureDataCost(const QByteArray& data)
{
    QByteArray copy = data; // shares the bytes; the buffer only reads them
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const Result<Plan> plan = PictureRead(buffer, data.size(), {}).plan();
    return plan ? plan->cost : 0;
}

PictureLoad loadPictureData(const QByteArray& data, const DecodeSizeFor& decodeSizeFor)
{
    return first(loadPictureBytes(data, std::span(&decodeSizeFor, 1)));
}

PictureLoads loadPictureOnce(QIODevice& device, std::span<const DecodeSizeFor> sizes)
{
    // Its bytes are held while it is read: a file larger than the budget is refused unread.
    if (device.size() > pictureMemoryBudget)
        return Failure{QStringLiteral("the picture is too large: its file holds %1 MB, more than "
                                      "the %2 MB this program allows")
                           .arg((device.size() + megabyte - 1) / megabyte)
                           .arg(pictureMemoryBudget / megabyte)};
    ReadOnceDevice once(device);
    return planAndDecode(once, device.size(), {sizes.begin(), sizes.end()});
}

PictureLoads loadPictureBytes(const QByteArray& data, std::span<const DecodeSizeFor> sizes)
{
    QByteArray copy = data; // shares the bytes; the buffer only reads them
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return planAndDecode(buffer, data.size(), {sizes.begin(), sizes.end()});
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
