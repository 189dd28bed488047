#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "picture/colour_profile.h"
#include "surface/result.h"

struct heif_context;
struct heif_image_handle;

namespace hakomiru {

// HEIC, HEIF and AVIF pictures, read with libheif: the file's primary picture, turned and mirrored
// as the file says, its transparency kept for the program to flatten as it flattens a PNG's.

// True when `head`, the first bytes of a file (12 or more), begins a HEIF or AVIF file: its file
// type box names a brand of HEIF pictures (heic, avif, mif1, mif2 ...), first or among the
// compatible ones.
[[nodiscard]] bool looksLikeHeif(const QByteArray& head);

// The most pixels on either side libheif accepts from a file's boxes before anything is decoded.
// Far beyond any picture the memory budget lets through: the budget itself is checked against
// HeifPicture::size() before decoding.
inline constexpr int heifLargestSide = 1 << 16;

// A HEIF file opened from bytes in memory, its primary picture measured but not yet decoded. The
// bytes are not copied: they must stay as they are while the picture is in use.
class HeifPicture
{
public:
    [[nodiscard]] static Result<HeifPicture> open(const QByteArray& bytes);

    // The picture's size as it is shown: after its turn and its crop.
    [[nodiscard]] QSize size() const { return m_size; }
    [[nodiscard]] bool hasAlpha() const { return m_alpha; }
    // The primary picture's colour profile (ICC) or colour box (nclx), as libheif reports it.
    [[nodiscard]] const ColourDescription& colour() const { return m_colour; }
    // The most bytes one pixel takes while libheif decodes it: the decoder's own picture and
    // libheif's planes (in the file's bit depth, the colour planes reckoned at full size), those
    // of the alpha plane, and the 8-bit RGBA form the program paints from. Measured: 7.1 (AVIF)
    // to 7.8 (HEIC) bytes, 8.9 with alpha, 9.3 for a picture turned half round; reckoned 9 and 11.
    [[nodiscard]] qint64 decodingBytesPerPixel() const;

    // The primary picture in 32-bit colour (ARGB32 with alpha, RGB32 without), turned and mirrored
    // as the file says. The image holds libheif's own pixel buffer, so no copy is made.
    [[nodiscard]] Result<QImage> decode() const;

private:
    struct Release
    {
        void operator()(heif_context* context) const;
        void operator()(heif_image_handle* handle) const;
    };
    std::unique_ptr<heif_context, Release> m_context;
    std::unique_ptr<heif_image_handle, Release> m_primary;
    QSize m_size;
    bool m_alpha = false;
    bool m_premultiplied = false;
    int m_bits = 8;
    ColourDescription m_colour;
};

} // namespace hakomiru
