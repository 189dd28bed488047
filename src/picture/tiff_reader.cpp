#include "picture/tiff_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include <QPoint>

#include <tiffio.h>

#include "picture/picture_file.h"
#include "picture/picture_headers.h"

namespace hakomiru {

namespace {

const QString damaged = QStringLiteral("the picture data is damaged");

// A side longer than this cannot fit the memory budget in any form; refused before libtiff's
// sizes are multiplied.
constexpr quint32 longestSide = 1u << 27;

QString damagedBecause(const QString& why)
{
    return why.isEmpty() ? damaged : damaged + QStringLiteral(" (") + why + QLatin1Char(')');
}

// A sample of `bits` bits, the `index`th of its row, as libtiff leaves it: 8, 16, 24, 32 and
// 64-bit samples in the machine's byte order, others packed from the highest bit of each byte.
quint64 rawSample(const uchar* row, qint64 index, int bits)
{
    switch (bits) {
    case 8:
        return row[index];
    case 16: {
        quint16 v = 0;
        std::memcpy(&v, row + index * 2, sizeof v);
        return v;
    }
    case 24: {
        const uchar* p = row + index * 3;
        return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? p[0] | quint32(p[1]) << 8 | quint32(p[2]) << 16
                                               : p[2] | quint32(p[1]) << 8 | quint32(p[0]) << 16;
    }
    case 32: {
        quint32 v = 0;
        std::memcpy(&v, row + index * 4, sizeof v);
        return v;
    }
    case 64: {
        quint64 v = 0;
        std::memcpy(&v, row + index * 8, sizeof v);
        return v;
    }
    default: {
        // At most 31 bits starting anywhere in a byte: within 5 bytes, all inside the row.
        const qint64 bit = index * bits;
        const uchar* p = row + bit / 8;
        const int lead = int(bit % 8);
        const int bytes = (lead + bits + 7) / 8;
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | p[i];
        return (v >> (bytes * 8 - lead - bits)) & ((quint64(1) << bits) - 1);
    }
    }
}

// An IEEE half-precision number's value.
double fromHalf(quint16 half)
{
    const int exponent = (half >> 10) & 0x1f;
    const int fraction = half & 0x3ff;
    const double magnitude = exponent == 0 ? std::ldexp(fraction, -24)
                             : exponent == 31
                                 ? (fraction == 0 ? std::numeric_limits<double>::infinity()
                                                  : std::numeric_limits<double>::quiet_NaN())
                                 : std::ldexp(1024 + fraction, exponent - 25);
    return (half & 0x8000) != 0 ? -magnitude : magnitude;
}

// CIE L*a*b* relative to D50, as TIFF stores it, in sRGB: to XYZ, adapted to D65 by Bradford's
// transform and to linear sRGB in one matrix, then sRGB's transfer curve.
QRgb labToSrgb(double l, double a, double b)
{
    constexpr double epsilon = 216.0 / 24389.0, kappa = 24389.0 / 27.0;
    const double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
    auto inverse = [&](double f) {
        return f * f * f > epsilon ? f * f * f : (116 * f - 16) / kappa;
    };
    const double x = 0.96422 * inverse(fx);
    const double y = l > kappa * epsilon ? fy * fy * fy : l / kappa;
    const double z = 0.82521 * inverse(fz);
    const double linear[3] = {3.1338561 * x - 1.6168667 * y - 0.4906146 * z,
                              -0.9787684 * x + 1.9161415 * y + 0.0334540 * z,
                              0.0719453 * x - 0.2289914 * y + 1.4052427 * z};
    int out[3];
    for (int i = 0; i < 3; ++i) {
        const double c = std::clamp(linear[i], 0.0, 1.0);
        const double encoded = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
        out[i] = int(std::lround(std::clamp(encoded, 0.0, 1.0) * 255));
    }
    return qRgb(out[0], out[1], out[2]);
}

// The stored pixel (x, y) of a picture stored `width` x `height`, where it shows once the
// orientation tag has stood the picture upright.
QPoint upright(int orientation, int x, int y, int width, int height)
{
    switch (orientation) {
    case 2:
        return {width - 1 - x, y};
    case 3:
        return {width - 1 - x, height - 1 - y};
    case 4:
        return {x, height - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {height - 1 - y, x};
    case 7:
        return {height - 1 - y, width - 1 - x};
    case 8:
        return {y, width - 1 - x};
    default:
        return {x, y};
    }
}

} // namespace

// The bytes libtiff reads as its file, and the first error it reported.
struct TiffPicture::Source
{
    explicit Source(const QByteArray& held) : bytes(held) {}

    const QByteArray bytes;
    qint64 at = 0;
    QString error;

    static tmsize_t read(thandle_t handle, void* data, tmsize_t size)
    {
        auto* source = static_cast<Source*>(handle);
        const qint64 left = std::max<qint64>(0, source->bytes.size() - source->at);
        const qint64 count = std::min<qint64>(left, size);
        if (count > 0)
            std::memcpy(data, source->bytes.constData() + source->at, std::size_t(count));
        source->at += count;
        return tmsize_t(count);
    }
    static tmsize_t write(thandle_t, void*, tmsize_t) { return 0; }
    static toff_t seek(thandle_t handle, toff_t offset, int whence)
    {
        auto* source = static_cast<Source*>(handle);
        const qint64 base = whence == SEEK_CUR   ? source->at
                            : whence == SEEK_END ? source->bytes.size()
                                                 : 0;
        // Offsets are unsigned: one beyond the signed range is as far off as a negative one.
        if (offset > toff_t(std::numeric_limits<qint64>::max() / 2))
            return toff_t(-1);
        const qint64 to = base + qint64(offset);
        source->at = to;
        return toff_t(to);
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t handle)
    {
        return toff_t(static_cast<Source*>(handle)->bytes.size());
    }
    // The bytes are given to libtiff as its file mapped in memory, so strips stored without
    // compression are not read twice. libtiff only reads a file it opened for reading.
    static int map(thandle_t handle, void** base, toff_t* size)
    {
        auto* source = static_cast<Source*>(handle);
        *base = const_cast<char*>(source->bytes.constData());
        *size = toff_t(source->bytes.size());
        return 1;
    }
    static void unmap(thandle_t, void*, toff_t) {}
    static int complaint(TIFF*, void* handle, const char*, const char* format, va_list args)
    {
        auto* source = static_cast<Source*>(handle);
        if (source->error.isEmpty()) {
            char text[256];
            std::vsnprintf(text, sizeof text, format, args);
            source->error = QString::fromUtf8(text).trimmed();
        }
        return 1;
    }
    static int warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
};

TiffPicture::TiffPicture() = default;
TiffPicture::TiffPicture(TiffPicture&&) noexcept = default;
TiffPicture& TiffPicture::operator=(TiffPicture&&) noexcept = default;
TiffPicture::~TiffPicture() = default;

void TiffPicture::Close::operator()(tiff* file) const
{
    TIFFClose(file);
}

Result<TiffPicture> TiffPicture::open(const QByteArray& bytes)
{
    TiffPicture picture;
    picture.m_source.reset(new Source(bytes));
    Source* source = picture.m_source.get();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return Failure{QStringLiteral("not enough memory to read the picture")};
    // No single block libtiff sets aside (a directory's arrays, a strip) may pass the budget.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(pictureMemoryBudget));
    TIFFOpenOptionsSetErrorHandlerExtR(options, &Source::complaint, source);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &Source::warning, source);
    picture.m_file.reset(TIFFClientOpenExt("picture", "r", source, &Source::read, &Source::write,
                                           &Source::seek, &Source::close, &Source::size,
                                           &Source::map, &Source::unmap, options));
    TIFFOpenOptionsFree(options);
    TIFF* file = picture.m_file.get();
    if (file == nullptr)
        return Failure{damagedBecause(source->error)};

    quint32 width = 0, height = 0;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0)
        return Failure{QStringLiteral("the picture data is damaged: it has no pixels")};
    if (width > longestSide || height > longestSide)
        return Failure{
            QStringLiteral("the picture is too large: %1 x %2 pixels").arg(width).arg(height)};
    picture.m_stored = QSize(int(width), int(height));

    quint16 orientation = 1, bits = 1, samples = 1, sampleFormat = SAMPLEFORMAT_UINT,
            planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE, photometric = 0;
    TIFFGetFieldDefaulted(file, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(file, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(file, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(file, TIFFTAG_COMPRESSION, &compression);
    if (TIFFGetField(file, TIFFTAG_PHOTOMETRIC, &photometric) == 0)
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    picture.m_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    picture.m_bits = bits;
    picture.m_samples = samples;
    picture.m_sampleFormat = sampleFormat == SAMPLEFORMAT_VOID ? SAMPLEFORMAT_UINT : sampleFormat;
    picture.m_separate = planar == PLANARCONFIG_SEPARATE;
    picture.m_photometric = photometric;

    quint32 iccBytes = 0;
    void* icc = nullptr;
    if (TIFFGetField(file, TIFFTAG_ICCPROFILE, &iccBytes, &icc) != 0 && icc != nullptr)
        picture.m_icc = QByteArray(static_cast<const char*>(icc), qsizetype(iccBytes));

    const bool integer =
        picture.m_sampleFormat == SAMPLEFORMAT_UINT || picture.m_sampleFormat == SAMPLEFORMAT_INT;
    const bool floating = picture.m_sampleFormat == SAMPLEFORMAT_IEEEFP;
    if (!(integer && bits >= 1 && bits <= 32) &&
        !(floating && (bits == 16 || bits == 32 || bits == 64)))
        return Failure{QStringLiteral("the picture's samples (%1 bits, kind %2) are of a kind "
                                      "this program does not read")
                           .arg(bits)
                           .arg(sampleFormat)};

    bool helper = false;
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        picture.m_colours = 1;
        break;
    case PHOTOMETRIC_RGB:
        picture.m_colours = 3;
        break;
    case PHOTOMETRIC_PALETTE: {
        picture.m_colours = 1;
        quint16 *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!integer || bits > 16 ||
            TIFFGetField(file, TIFFTAG_COLORMAP, &red, &green, &blue) == 0 || red == nullptr ||
            green == nullptr || blue == nullptr)
            return Failure{damagedBecause(QStringLiteral("a palette picture without a palette"))};
        const std::size_t entries = std::size_t(1) << bits;
        picture.m_map.reserve(entries * 3);
        for (const quint16* map : {red, green, blue})
            picture.m_map.insert(picture.m_map.end(), map, map + entries);
        // Some writers store the palette in 8 bits, not 16: no entry above 255 tells them.
        if (std::all_of(picture.m_map.begin(), picture.m_map.end(),
                        [](quint16 v) { return v < 256; }))
            for (quint16& v : picture.m_map)
                v = quint16(v * 257);
        break;
    }
    case PHOTOMETRIC_SEPARATED: {
        quint16 inkSet = INKSET_CMYK;
        TIFFGetFieldDefaulted(file, TIFFTAG_INKSET, &inkSet);
        if (inkSet != INKSET_CMYK || samples < 4)
            return Failure{QStringLiteral("the picture is printed with inks other than cyan, "
                                          "magenta, yellow and black, which this program does "
                                          "not read")};
        picture.m_colours = 4;
        break;
    }
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        if (!integer || (bits != 8 && bits != 16))
            return Failure{QStringLiteral("the picture's L*a*b* samples of %1 bits are of a kind "
                                          "this program does not read")
                               .arg(bits)};
        picture.m_colours = 3;
        break;
    case PHOTOMETRIC_YCBCR:
        if (compression == COMPRESSION_JPEG && bits == 8) {
            // libjpeg turns its YCbCr into RGB as it decodes.
            TIFFSetField(file, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            picture.m_photometric = PHOTOMETRIC_RGB;
            picture.m_colours = 3;
        } else {
            helper = true;
        }
        break;
    default:
        helper = true;
    }
    if (compression == COMPRESSION_OJPEG)
        helper = true;
    if (picture.m_colours > samples)
        return Failure{damagedBecause(QStringLiteral("%1 samples a pixel are too few for its "
                                                     "colours")
                                          .arg(samples))};

    // The first sample after the colours is alpha when the file says so; any others are ignored.
    quint16 extraCount = 0;
    quint16* extraKinds = nullptr;
    TIFFGetFieldDefaulted(file, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    if (samples > picture.m_colours && extraCount > 0 && extraKinds != nullptr &&
        (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA)) {
        picture.m_alpha = picture.m_colours;
        picture.m_associated = extraKinds[0] == EXTRASAMPLE_ASSOCALPHA;
    }

    const bool tiled = TIFFIsTiled(file) != 0;
    picture.m_tiled = tiled;
    if (tiled) {
        quint32 tileWidth = 0, tileHeight = 0;
        TIFFGetField(file, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(file, TIFFTAG_TILELENGTH, &tileHeight);
        picture.m_blockWidth = tileWidth;
        picture.m_blockHeight = tileHeight;
        picture.m_blockBytes = qint64(TIFFTileSize64(file));
    } else {
        quint32 rows = height;
        TIFFGetFieldDefaulted(file, TIFFTAG_ROWSPERSTRIP, &rows);
        picture.m_blockWidth = width;
        picture.m_blockHeight = std::clamp<qint64>(rows, 1, height);
        picture.m_blockBytes = qint64(TIFFStripSize64(file));
    }
    if (picture.m_blockWidth <= 0 || picture.m_blockHeight <= 0 || picture.m_blockBytes <= 0)
        return Failure{damagedBecause(source->error)};

    const qint64 storedPixels = qint64(width) * height;
    if (helper) {
        char why[1024] = {};
        if (TIFFRGBAImageOK(file, why) == 0)
            return Failure{QStringLiteral("the picture is of a kind this program does not read "
                                          "(%1)")
                               .arg(QString::fromUtf8(why))};
        picture.m_helper = true;
        picture.m_format =
            picture.m_alpha >= 0 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
        picture.m_decodingBytes = picture.m_blockBytes + storedPixels * 4;
        return picture;
    }

    const bool lab = picture.m_colours == 3 && photometric != PHOTOMETRIC_RGB &&
                     photometric != PHOTOMETRIC_YCBCR;
    const bool deep = !lab && (bits > 8 || floating);
    const bool alpha = picture.m_alpha >= 0;
    picture.m_format = deep ? (!alpha                 ? QImage::Format_RGBX64
                               : picture.m_associated ? QImage::Format_RGBA64_Premultiplied
                                                      : QImage::Format_RGBA64)
                            : (!alpha                 ? QImage::Format_RGB32
                               : picture.m_associated ? QImage::Format_ARGB32_Premultiplied
                                                      : QImage::Format_ARGB32);
    // The samples read: the colours and alpha, each from a buffer of its own when the planes
    // are separate. A buffer holds what libtiff decodes and no less than the rows it is read as.
    const qint64 planes = picture.m_separate ? picture.m_colours + (alpha ? 1 : 0) : 1;
    const qint64 inRow = picture.m_separate ? 1 : samples;
    picture.m_rowBytes = (picture.m_blockWidth * inRow * bits + 7) / 8;
    picture.m_blockBytes =
        std::max(picture.m_blockBytes, timesSaturated(picture.m_rowBytes, picture.m_blockHeight));
    picture.m_decodingBytes = timesSaturated(picture.m_blockBytes, planes);
    return picture;
}

Result<QImage> TiffPicture::decode() const
{
    return m_helper ? decodeWithHelper() : decodeSamples();
}

Result<QImage> TiffPicture::decodeSamples() const
{
    TIFF* file = m_file.get();
    const int width = m_stored.width(), height = m_stored.height();
    QImage image(size(), m_format);
    if (image.isNull())
        return Failure{QStringLiteral("not enough memory to read the picture")};
    const bool deep = image.depth() == 64;
    const quint64 top = deep ? 0xffff : 0xff;
    const bool alpha = m_alpha >= 0;
    const int used = m_colours + (alpha ? 1 : 0); // samples read of each pixel
    const int planes = m_separate ? used : 1;
    const qint64 rowBytes = m_rowBytes;
    const qint64 blockBytes = m_blockBytes;
    if (m_decodingBytes > pictureMemoryBudget)
        return Failure{damaged};
    std::vector<QByteArray> buffers;
    for (int p = 0; p < planes; ++p) {
        buffers.emplace_back(qsizetype(blockBytes), Qt::Uninitialized);
        if (buffers.back().size() != blockBytes)
            return Failure{QStringLiteral("not enough memory to read the picture")};
    }

    // A sample scaled to the image's 0..top.
    const quint64 sampleTop = m_bits >= 64 ? ~quint64(0) : (quint64(1) << m_bits) - 1;
    auto level = [&](quint64 raw) -> quint64 {
        if (m_sampleFormat == SAMPLEFORMAT_IEEEFP) {
            double v = 0;
            if (m_bits == 16) {
                v = fromHalf(quint16(raw));
            } else if (m_bits == 32) {
                const auto word = quint32(raw);
                float f = 0;
                std::memcpy(&f, &word, sizeof f);
                v = double(f);
            } else {
                std::memcpy(&v, &raw, sizeof v);
            }
            if (!(v > 0)) // NaN too
                return 0;
            return v >= 1 ? top : quint64(std::lround(v * double(top)));
        }
        if (m_sampleFormat == SAMPLEFORMAT_INT)
            raw ^= quint64(1) << (m_bits - 1); // the most negative is 0, 0 half way up
        if (sampleTop == top)
            return raw;
        return (raw * top * 2 + sampleTop) / (2 * sampleTop); // to the nearest
    };
    const std::size_t mapEntries = m_map.size() / 3;
    // Palette entries of a picture of 8 bits or less come down to 8 bits by their high byte.
    auto fromMap = [&](quint64 value) -> quint64 {
        return deep ? value : value >> 8;
    };

    uchar* const pixels = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // Interleaved unsigned grey or RGB of 8 or 16 bits, the most common kinds, are read straight
    // from the buffer: a row of `columns` pixels from stored (x, y) on.
    const bool grey = m_photometric == PHOTOMETRIC_MINISBLACK;
    const bool plain = !m_separate && m_sampleFormat == SAMPLEFORMAT_UINT &&
                       (m_bits == 8 || m_bits == 16) && (grey || m_photometric == PHOTOMETRIC_RGB);
    const int orientation = m_orientation, samples = m_samples, alphaAt = m_alpha;
    const bool associated = m_associated;
    auto putPlainRow = [=](const uchar* row, int x, int y, int columns) {
        const int green = grey ? 0 : 1, blue = grey ? 0 : 2;
        for (int c = 0; c < columns; ++c) {
            const QPoint at =
                orientation == 1 ? QPoint(x + c, y) : upright(orientation, x + c, y, width, height);
            uchar* line = pixels + at.y() * stride;
            if (deep) {
                auto sample = [&](int i) {
                    quint16 v = 0;
                    std::memcpy(&v, row + (qint64(c) * samples + i) * 2, sizeof v);
                    return v;
                };
                const quint16 a = alpha ? sample(alphaAt) : quint16(0xffff);
                auto colour = [&](int i) {
                    return associated ? std::min(sample(i), a) : sample(i);
                };
                reinterpret_cast<QRgba64*>(line)[at.x()] =
                    QRgba64::fromRgba64(colour(0), colour(green), colour(blue), a);
            } else {
                const uchar* p = row + qint64(c) * samples;
                const uchar a = alpha ? p[alphaAt] : uchar(0xff);
                auto colour = [&](int i) {
                    return associated ? std::min(p[i], a) : p[i];
                };
                reinterpret_cast<QRgb*>(line)[at.x()] =
                    qRgba(colour(0), colour(green), colour(blue), a);
            }
        }
    };
    quint64 raw[5] = {};
    for (qint64 by = 0; by < height; by += m_blockHeight) {
        const int rows = int(std::min<qint64>(m_blockHeight, height - by));
        for (qint64 bx = 0; bx < width; bx += m_blockWidth) {
            const int columns = int(std::min<qint64>(m_blockWidth, width - bx));
            const qint64 needed = rowBytes * (m_tiled ? m_blockHeight : rows);
            for (int p = 0; p < planes; ++p) {
                void* buffer = buffers[std::size_t(p)].data();
                const tmsize_t got =
                    m_tiled
                        ? TIFFReadEncodedTile(
                              file, TIFFComputeTile(file, quint32(bx), quint32(by), 0, quint16(p)),
                              buffer, tmsize_t(blockBytes))
                        : TIFFReadEncodedStrip(file,
                                               TIFFComputeStrip(file, quint32(by), quint16(p)),
                                               buffer, tmsize_t(blockBytes));
                if (got < needed)
                    return Failure{damagedBecause(m_source->error)};
            }
            for (int r = 0; r < rows; ++r) {
                const qint64 rowAt = r * rowBytes;
                if (plain) {
                    putPlainRow(reinterpret_cast<const uchar*>(buffers[0].constData()) + rowAt,
                                int(bx), int(by) + r, columns);
                    continue;
                }
                for (int c = 0; c < columns; ++c) {
                    for (int s = 0; s < used; ++s) {
                        const auto* row =
                            reinterpret_cast<const uchar*>(
                                buffers[std::size_t(m_separate ? s : 0)].constData()) +
                            rowAt;
                        raw[s] = rawSample(row, m_separate ? c : qint64(c) * m_samples + s, m_bits);
                    }
                    quint64 red = 0, green = 0, blue = 0;
                    switch (m_photometric) {
                    case PHOTOMETRIC_MINISWHITE:
                        red = green = blue = top - level(raw[0]);
                        break;
                    case PHOTOMETRIC_MINISBLACK:
                        red = green = blue = level(raw[0]);
                        break;
                    case PHOTOMETRIC_PALETTE: {
                        const std::size_t i = std::size_t(raw[0]) % mapEntries;
                        red = fromMap(m_map[i]);
                        green = fromMap(m_map[mapEntries + i]);
                        blue = fromMap(m_map[2 * mapEntries + i]);
                        break;
                    }
                    case PHOTOMETRIC_SEPARATED: {
                        const quint64 k = top - level(raw[3]);
                        red = (top - level(raw[0])) * k / top;
                        green = (top - level(raw[1])) * k / top;
                        blue = (top - level(raw[2])) * k / top;
                        break;
                    }
                    case PHOTOMETRIC_CIELAB:
                    case PHOTOMETRIC_ICCLAB: {
                        const bool wide = m_bits == 16;
                        const double l = double(raw[0]) * 100 / (wide ? 65535 : 255);
                        double a = 0, b = 0;
                        if (m_photometric == PHOTOMETRIC_CIELAB) { // signed
                            a = wide ? qint16(raw[1]) / 256.0 : qint8(raw[1]);
                            b = wide ? qint16(raw[2]) / 256.0 : qint8(raw[2]);
                        } else { // offset by half
                            a = wide ? double(raw[1]) / 256 - 128 : double(raw[1]) - 128;
                            b = wide ? double(raw[2]) / 256 - 128 : double(raw[2]) - 128;
                        }
                        const QRgb rgb = labToSrgb(l, a, b);
                        red = quint64(qRed(rgb));
                        green = quint64(qGreen(rgb));
                        blue = quint64(qBlue(rgb));
                        break;
                    }
                    default: // RGB
                        red = level(raw[0]);
                        green = level(raw[1]);
                        blue = level(raw[2]);
                    }
                    quint64 opacity = top;
                    if (alpha) {
                        opacity = level(raw[m_alpha]);
                        if (m_associated) { // a colour beyond its alpha is no premultiplied colour
                            red = std::min(red, opacity);
                            green = std::min(green, opacity);
                            blue = std::min(blue, opacity);
                        }
                    }
                    const QPoint at =
                        upright(m_orientation, int(bx) + c, int(by) + r, width, height);
                    uchar* line = pixels + at.y() * stride;
                    if (deep)
                        reinterpret_cast<QRgba64*>(line)[at.x()] = QRgba64::fromRgba64(
                            quint16(red), quint16(green), quint16(blue), quint16(opacity));
                    else
                        reinterpret_cast<QRgb*>(line)[at.x()] =
                            qRgba(int(red), int(green), int(blue), int(opacity));
                }
            }
        }
    }
    return image;
}

Result<QImage> TiffPicture::decodeWithHelper() const
{
    TIFF* file = m_file.get();
    const int width = m_stored.width(), height = m_stored.height();
    TIFFRGBAImage helper;
    char why[1024] = {};
    if (TIFFRGBAImageBegin(&helper, file, 0, why) == 0)
        return Failure{damagedBecause(QString::fromUtf8(why))};
    // Rows as stored, top first: the turn is made below, as for every other picture.
    helper.orientation = ORIENTATION_TOPLEFT;
    helper.req_orientation = ORIENTATION_TOPLEFT;
    // The helper's pixels, one 32-bit word each, rows one after another with no gap.
    QImage raster(m_stored, QImage::Format_RGB32);
    QImage image(size(), m_format);
    if (raster.isNull() || image.isNull()) {
        TIFFRGBAImageEnd(&helper);
        return Failure{QStringLiteral("not enough memory to read the picture")};
    }
    auto* words = reinterpret_cast<quint32*>(raster.bits());
    const int read = TIFFRGBAImageGet(&helper, words, quint32(width), quint32(height));
    TIFFRGBAImageEnd(&helper);
    if (read == 0)
        return Failure{damagedBecause(m_source->error)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const quint32 v = words[qint64(y) * width + x];
            const QPoint at = upright(m_orientation, x, y, width, height);
            reinterpret_cast<QRgb*>(image.scanLine(at.y()))[at.x()] =
                qRgba(int(TIFFGetR(v)), int(TIFFGetG(v)), int(TIFFGetB(v)),
                      m_alpha >= 0 ? int(TIFFGetA(v)) : 255);
        }
    return image;
}

} // namespace hakomiru
