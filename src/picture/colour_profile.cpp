#include "picture/colour_profile.h"

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include <QColorSpace>
#include <QIODevice>
#include <QtEndian>

#include <lcms2.h>
#include <zlib.h>

#include "picture/picture_headers.h"

namespace hakomiru {

namespace {

quint32 bigEndian32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

// An APP2 segment's payload begins with this signature, a sequence number from 1 and the count.
constexpr char iccSignature[] = "ICC_PROFILE"; // with its terminating zero: 12 bytes
constexpr qsizetype iccHeader = 14;
// More segments than a profile split over the most chunks (255), with room for ordinary ones.
constexpr int mostJpegSegments = 4096;

} // namespace

QByteArray readJpegIccProfile(QIODevice& device)
{
    if (bytesAt(device, 0, 2) != QByteArrayLiteral("\xff\xd8"))
        return {};
    std::array<QByteArray, 256> chunks; // by sequence number; [0] unused
    std::array<bool, 256> seen{};
    int count = 0;
    qint64 total = 0;
    qint64 at = 2;
    for (int segment = 0; segment < mostJpegSegments; ++segment) {
        const QByteArray head = bytesAt(device, at, 4);
        if (head.size() < 2 || uchar(head[0]) != 0xff)
            break;
        const uchar marker = uchar(head[1]);
        if (marker == 0xff) { // a fill byte before the marker
            at += 1;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) { // no length follows
            at += 2;
            continue;
        }
        if (marker == 0xda || marker == 0xd9 || head.size() < 4)
            break;
        const int length = (uchar(head[2]) << 8) | uchar(head[3]);
        if (length < 2)
            break;
        if (marker == 0xe2 && length >= 2 + iccHeader) {
            const QByteArray payload = bytesAt(device, at + 4, length - 2);
            if (payload.size() == length - 2 &&
                payload.startsWith(QByteArrayView(iccSignature, 12))) {
                const int sequence = uchar(payload[12]);
                const int of = uchar(payload[13]);
                if (sequence == 0 || sequence > of || (count != 0 && of != count) ||
                    seen[std::size_t(sequence)])
                    return {};
                count = of;
                seen[std::size_t(sequence)] = true;
                chunks[std::size_t(sequence)] = payload.mid(iccHeader);
                total += payload.size() - iccHeader;
            }
        }
        at += 2 + length;
    }
    if (count == 0 || total == 0 || total > largestIccProfile)
        return {};
    QByteArray profile;
    profile.reserve(qsizetype(total));
    for (int sequence = 1; sequence <= count; ++sequence) {
        if (!seen[std::size_t(sequence)])
            return {};
        profile += chunks[std::size_t(sequence)];
    }
    return profile;
}

namespace {

// `compressed` inflated with zlib, or empty when it is damaged or inflates beyond `limit` bytes.
QByteArray inflated(const QByteArray& compressed, qint64 limit)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    QByteArray out;
    std::array<char, 16384> block{};
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(block.data());
        stream.avail_out = uInt(block.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(block.size() - stream.avail_out);
        if (out.size() + produced > limit) {
            status = Z_DATA_ERROR;
            break;
        }
        out.append(block.data(), produced);
    } // a stream cut short ends with Z_BUF_ERROR: no input left to go on with
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

} // namespace

QByteArray readPngIccProfile(QIODevice& device, bool* grey)
{
    if (bytesAt(device, 0, 8) != QByteArrayLiteral("\x89PNG\r\n\x1a\n"))
        return {};
    qint64 at = 8;
    while (true) {
        const QByteArray head = bytesAt(device, at, 8);
        if (head.size() < 8)
            return {};
        const qint64 length = bigEndian32(head, 0);
        const QByteArray kind = head.mid(4);
        if (kind == "IDAT" || kind == "IEND")
            return {};
        if (kind == "IHDR" && length >= 13 && grey != nullptr) {
            const QByteArray header = bytesAt(device, at + 8, 13);
            if (header.size() == 13)
                *grey = header[9] == 0 || header[9] == 4; // grey, grey with alpha
        }
        if (kind == "iCCP") {
            if (length > largestIccProfile)
                return {};
            const QByteArray data = bytesAt(device, at + 8, length);
            // A name of 1 to 79 bytes, its terminating zero, the method (0: deflate), the profile.
            const qsizetype nameEnd = data.indexOf('\0');
            if (data.size() != length || nameEnd < 1 || nameEnd > 79 || nameEnd + 2 > length ||
                data[nameEnd + 1] != 0)
                return {};
            return inflated(data.mid(nameEnd + 2), largestIccProfile);
        }
        at += 12 + length;
    }
}

QByteArray readWebpIccProfile(QIODevice& device)
{
    const QByteArray riff = bytesAt(device, 0, 12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8) != "WEBP")
        return {};
    qint64 at = 12;
    // The profile comes right after the extended header, before any picture data.
    while (true) {
        const QByteArray head = bytesAt(device, at, 8);
        if (head.size() < 8)
            return {};
        const qint64 length = qFromLittleEndian<quint32>(head.constData() + 4);
        const QByteArray kind = head.left(4);
        if (kind == "ICCP") {
            if (length > largestIccProfile)
                return {};
            const QByteArray profile = bytesAt(device, at + 8, length);
            return profile.size() == length ? profile : QByteArray();
        }
        if (kind != "VP8X")
            return {};
        at += 8 + length + (length & 1);
    }
}

QByteArray readBmpIccProfile(QIODevice& device)
{
    // The file header (14 bytes), then a version 5 info header: its colour space at 56, the
    // profile's offset from the info header's start at 112 and its size at 116.
    constexpr qint64 fileHeader = 14;
    const QByteArray head = bytesAt(device, 0, fileHeader + 124);
    if (head.size() < fileHeader + 124 || !head.startsWith("BM") ||
        qFromLittleEndian<quint32>(head.constData() + fileHeader) < 124)
        return {};
    constexpr quint32 profileEmbedded = 0x4d424544; // "MBED"
    if (qFromLittleEndian<quint32>(head.constData() + fileHeader + 56) != profileEmbedded)
        return {};
    const qint64 offset = qFromLittleEndian<quint32>(head.constData() + fileHeader + 112);
    const qint64 length = qFromLittleEndian<quint32>(head.constData() + fileHeader + 116);
    if (length == 0 || length > largestIccProfile)
        return {};
    const QByteArray profile = bytesAt(device, fileHeader + offset, length);
    return profile.size() == length ? profile : QByteArray();
}

quint32 iccColourSpace(const QByteArray& icc)
{
    return icc.size() >= 20 ? bigEndian32(icc, 16) : 0;
}

namespace {

struct CloseProfile
{
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, CloseProfile>;

struct FreeCurve
{
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Curve = std::unique_ptr<cmsToneCurve, FreeCurve>;

double srgbToLinear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// sRGB's curve as LittleCMS's parametric type 4: (a v + b)^g for v >= d, c v below.
Curve srgbCurve()
{
    const double parameters[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return Curve(cmsBuildParametricToneCurve(nullptr, 4, parameters));
}

// True when `profile` is an RGB matrix profile with sRGB's colorants and curve, to within what
// an 8-bit picture can show: such a picture is sRGB already and is left as it is.
bool isSrgb(cmsHPROFILE profile)
{
    if (!cmsIsMatrixShaper(profile))
        return false;
    // sRGB's colorants adapted to the D50 of the profile connection space (as ICC sRGB states).
    constexpr std::array<std::array<double, 3>, 3> srgb = {
        {{0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}}};
    const cmsTagSignature colorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                         cmsSigBlueColorantTag};
    const cmsTagSignature curves[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[i]));
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[i]));
        if (xyz == nullptr || curve == nullptr)
            return false;
        if (std::abs(xyz->X - srgb[i][0]) > 0.002 || std::abs(xyz->Y - srgb[i][1]) > 0.002 ||
            std::abs(xyz->Z - srgb[i][2]) > 0.002)
            return false;
        for (int step = 0; step <= 32; ++step) {
            const double v = step / 32.0;
            if (std::abs(cmsEvalToneCurveFloat(curve, float(v)) - srgbToLinear(v)) > 0.5 / 255)
                return false;
        }
    }
    return true;
}

// The chromaticities of an nclx colour primaries code point; nothing for one not known.
std::optional<cmsCIExyYTRIPLE> nclxPrimaries(int primaries)
{
    auto triple = [](double rx, double ry, double gx, double gy, double bx, double by) {
        return cmsCIExyYTRIPLE{{rx, ry, 1}, {gx, gy, 1}, {bx, by, 1}};
    };
    switch (primaries) {
    case 1: // BT.709, sRGB
    case 2: // unspecified: taken as sRGB
        return triple(0.64, 0.33, 0.30, 0.60, 0.15, 0.06);
    case 4: // BT.470 System M
        return triple(0.67, 0.33, 0.21, 0.71, 0.14, 0.08);
    case 5: // BT.470 System B, G (PAL)
        return triple(0.64, 0.33, 0.29, 0.60, 0.15, 0.06);
    case 6: // BT.601 (SMPTE 170M)
    case 7: // SMPTE 240M
        return triple(0.630, 0.340, 0.310, 0.595, 0.155, 0.070);
    case 9: // BT.2020, BT.2100
        return triple(0.708, 0.292, 0.170, 0.797, 0.131, 0.046);
    case 11: // DCI-P3, whose own white is taken as D65 here, as Display P3's
    case 12: // Display P3
        return triple(0.680, 0.320, 0.265, 0.690, 0.150, 0.060);
    case 22: // EBU Tech. 3213-E
        return triple(0.630, 0.340, 0.295, 0.605, 0.155, 0.077);
    default:
        return std::nullopt;
    }
}

// The curve of an nclx transfer characteristics code point, from stored value to light. The
// BT.709 family (1, 6, 14, 15) is shown as sRGB, as displays show such pictures, and PQ and HLG
// (16, 18) are not tone-mapped: their primaries are converted on sRGB's curve.
Curve nclxCurve(int transfer)
{
    switch (transfer) {
    case 4: // gamma 2.2
        return Curve(cmsBuildGamma(nullptr, 2.2));
    case 5: // gamma 2.8
        return Curve(cmsBuildGamma(nullptr, 2.8));
    case 8: // linear
        return Curve(cmsBuildGamma(nullptr, 1.0));
    default:
        return srgbCurve();
    }
}

bool srgbLikeTransfer(int transfer)
{
    return transfer != 4 && transfer != 5 && transfer != 8;
}

// The source profile `colour` describes, or none when the picture is sRGB already or the
// description cannot be used for its stored colours.
Profile sourceProfile(const ColourDescription& colour)
{
    if (!colour.icc.isEmpty()) {
        Profile profile(
            cmsOpenProfileFromMem(colour.icc.constData(), cmsUInt32Number(colour.icc.size())));
        if (!profile)
            return {};
        const quint32 space = iccColourSpace(colour.icc);
        const bool fits = colour.stored == StoredColours::Grey  ? space == cmsSigGrayData
                          : colour.stored == StoredColours::Rgb ? space == cmsSigRgbData
                                                                : false;
        if (!fits || (space == cmsSigRgbData && isSrgb(profile.get())))
            return {};
        return profile;
    }
    if (!colour.nclx || colour.stored != StoredColours::Rgb)
        return {};
    const Nclx& nclx = *colour.nclx;
    const std::optional<cmsCIExyYTRIPLE> primaries = nclxPrimaries(nclx.primaries);
    if (!primaries ||
        ((nclx.primaries == 1 || nclx.primaries == 2) && srgbLikeTransfer(nclx.transfer)))
        return {};
    const Curve curve = nclxCurve(nclx.transfer);
    if (!curve)
        return {};
    const cmsCIExyY d65{0.3127, 0.3290, 1};
    cmsToneCurve* curves[] = {curve.get(), curve.get(), curve.get()};
    return Profile(cmsCreateRGBProfile(&d65, &*primaries, curves));
}

} // namespace

bool convertToSrgb(QImage& image, const ColourDescription& colour)
{
    if (colour.isEmpty() || image.isNull())
        return false;
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const bool grey = colour.stored == StoredColours::Grey;
    // 32-bit pixels are B, G, R, A bytes on a little-endian machine, A, R, G, B on a big-endian
    // one; a grey picture's three colours are alike, so its blue (or red) byte is its grey.
    cmsUInt32Number input = 0;
    cmsUInt32Number output = 0;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        output = TYPE_BGRA_8;
        input = grey ? COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(3) | BYTES_SH(1) : output;
    } else {
        output = TYPE_ARGB_8;
        if (grey)
            return false;
        input = output;
    }
    const Profile source = sourceProfile(colour);
    if (!source)
        return false;
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        return false;
    // The alpha byte is left where it is: the transform writes colours only, in place.
    cmsHTRANSFORM transform =
        cmsCreateTransform(source.get(), input, srgb.get(), output, INTENT_PERCEPTUAL, 0);
    if (transform == nullptr)
        return false;
    if (format == QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        cmsDoTransform(transform, line, line, cmsUInt32Number(image.width()));
    }
    cmsDeleteTransform(transform);
    image.setColorSpace(QColorSpace::SRgb);
    return true;
}

} // namespace hakomiru
