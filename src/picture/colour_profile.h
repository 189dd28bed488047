#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>

class QIODevice;

namespace hakomiru {

// What a picture's file says of the colours its numbers stand for, so that they can be shown as
// sRGB: an embedded ICC profile, or the code points of an nclx colour box (HEIC and AVIF, as
// ITU-T H.273 numbers them). A picture with neither is taken as sRGB, as it always was.

// The colour model of the picture's stored numbers, which a profile must fit to be used.
enum class StoredColours
{
    Rgb,
    Grey,
    Cmyk,
};

struct Nclx
{
    int primaries = 2; // 1 BT.709 (sRGB's), 2 unspecified, 9 BT.2020, 12 Display P3, ...
    int transfer = 2;  // 1 BT.709, 4 gamma 2.2, 5 gamma 2.8, 8 linear, 13 sRGB, ...
    int matrix = 2;    // YCbCr to RGB: libheif applies it before the program sees the pixels
    bool fullRange = true;
};

struct ColourDescription
{
    QByteArray icc; // the whole profile, empty when none
    std::optional<Nclx> nclx;
    StoredColours stored = StoredColours::Rgb;

    [[nodiscard]] bool isEmpty() const { return icc.isEmpty() && !nclx; }
};

// The largest ICC profile read from a file, in bytes. Camera and press profiles are up to a few
// MB; beyond this a profile is ignored and the picture read as sRGB.
inline constexpr qint64 largestIccProfile = qint64(16) << 20;

// The ICC profile of the JPEG in `device`, from its APP2 "ICC_PROFILE" segments joined in their
// sequence numbers' order; empty when there is none, or when the segments are damaged (numbers
// missing, repeated, out of range, or disagreeing on their count). Stops at the first scan.
[[nodiscard]] QByteArray readJpegIccProfile(QIODevice& device);

// The ICC profile of the PNG in `device`, from its iCCP chunk, inflated (at most
// largestIccProfile bytes); empty when there is none or it cannot be inflated. `grey` is set
// from the header's colour type when the file is a PNG.
[[nodiscard]] QByteArray readPngIccProfile(QIODevice& device, bool* grey = nullptr);

// The ICC profile of the WebP file in `device`, from its ICCP chunk; empty when there is none.
[[nodiscard]] QByteArray readWebpIccProfile(QIODevice& device);

// The ICC profile embedded in the BMP in `device` (a version 5 header whose colour space is
// "embedded"); empty when there is none. A linked profile (a file name) is not followed.
[[nodiscard]] QByteArray readBmpIccProfile(QIODevice& device);

// The colour space an ICC profile's header names ('RGB ', 'GRAY', 'CMYK' as a big-endian number),
// read as a number: files hold any value there, which LittleCMS's enumeration does not.
[[nodiscard]] quint32 iccColourSpace(const QByteArray& icc);

// Converts `image` (32-bit: RGB32, ARGB32 or ARGB32_Premultiplied) in place from the colours
// `colour` describes to sRGB, with LittleCMS and the perceptual intent (a matrix profile has none
// of its own and gives the colorimetric result; a table-based camera or press profile carries a
// perceptual mapping made for photos). Alpha is kept as it is; a premultiplied image comes back
// as ARGB32. A description of sRGB, an empty one, a profile that cannot be opened or does not fit
// the stored colours leave the image untouched, not even copied. Returns whether it converted.
bool convertToSrgb(QImage& image, const ColourDescription& colour);

} // namespace hakomiru
