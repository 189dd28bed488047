#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "surface/result.h"

struct tiff;

namespace hakomiru {

// TIFF pictures, read with libtiff from bytes in memory: the first directory's picture, strip by
// strip or tile by tile, stood upright as its orientation tag says.
//
// Read: grey (min-is-black and min-is-white), RGB, palette (1 to 16-bit indices), CMYK (one ink
// set of four), CIELab and ICC Lab (D50, converted to sRGB), YCbCr compressed as JPEG; 1 to 16,
// 24 and 32 bits a sample, unsigned or signed, and 16, 32 and 64-bit floating point; samples
// interleaved or in separate planes; an associated or unassociated alpha sample. Signed samples
// are shifted up by half their range (the most negative is black, 0 a middle grey), floating
// point samples read 0 as black and 1 as white. What libtiff's RGBA helper alone understands
// (subsampled YCbCr not compressed as JPEG, old-style JPEG, LogLuv) is read through it.

// A TIFF opened from bytes in memory, its first directory read but no pixel decoded. The bytes are
// not copied: they must stay as they are while the picture is in use.
class TiffPicture
{
public:
    [[nodiscard]] static Result<TiffPicture> open(const QByteArray& bytes);
    TiffPicture(TiffPicture&&) noexcept;
    TiffPicture& operator=(TiffPicture&&) noexcept;
    ~TiffPicture();

    // The picture's size as stored, before its orientation turns it.
    [[nodiscard]] QSize storedSize() const { return m_stored; }
    // The orientation tag: 1 to 8 as a camera's (1 when missing or out of range).
    [[nodiscard]] int orientation() const { return m_orientation; }
    // The picture's size as it is shown.
    [[nodiscard]] QSize size() const
    {
        return m_orientation >= 5 ? m_stored.transposed() : m_stored;
    }
    // What decode() gives: RGB32, ARGB32 or ARGB32_Premultiplied for 8 bits a sample or less,
    // RGBX64, RGBA64 or RGBA64_Premultiplied for more.
    [[nodiscard]] QImage::Format format() const { return m_format; }
    // The bytes decoding takes besides the image it gives: libtiff's strip or tile buffers (one
    // for each plane when the planes are separate), or the whole picture in 32 bits when it is
    // read through libtiff's RGBA helper.
    [[nodiscard]] qint64 decodingBytes() const { return m_decodingBytes; }
    // The embedded ICC colour profile (tag 34675), empty when there is none.
    [[nodiscard]] QByteArray iccProfile() const { return m_icc; }
    // The photometric interpretation, as the tag says: 0 and 1 grey, 2 RGB, 3 palette, 5 inks,
    // 6 YCbCr, 8 and 9 CIELab.
    [[nodiscard]] int photometric() const { return m_photometric; }

    // The picture, upright, in format().
    [[nodiscard]] Result<QImage> decode() const;

private:
    struct Close
    {
        void operator()(tiff* file) const;
    };
    struct Source; // the bytes libtiff reads, and the first complaint it made

    TiffPicture();

    [[nodiscard]] Result<QImage> decodeSamples() const;
    [[nodiscard]] Result<QImage> decodeWithHelper() const;

    std::unique_ptr<Source> m_source;
    std::unique_ptr<tiff, Close> m_file;
    QSize m_stored;
    int m_orientation = 1;
    QImage::Format m_format = QImage::Format_RGB32;
    qint64 m_decodingBytes = 0;
    QByteArray m_icc;
    bool m_helper = false;      // read through libtiff's RGBA helper
    bool m_tiled = false;       // in tiles, not strips
    bool m_separate = false;    // each sample in a plane of its own
    int m_photometric = 1;      // as the tag says (YCbCr compressed as JPEG reads as RGB)
    int m_bits = 8;             // bits a sample
    int m_sampleFormat = 1;     // unsigned, signed or floating point
    int m_samples = 1;          // samples a pixel
    int m_colours = 1;          // of which colour samples
    int m_alpha = -1;           // the alpha sample's index, or -1
    bool m_associated = false;  // the alpha is premultiplied
    qint64 m_blockWidth = 0;    // a tile's width, or the picture's
    qint64 m_blockHeight = 0;   // a tile's height, or a strip's rows
    qint64 m_blockBytes = 0;    // the buffer for one strip or tile
    qint64 m_rowBytes = 0;      // one row of a strip or tile, of one plane
    std::vector<quint16> m_map; // palette: red, green and blue maps one after another
};

} // namespace hakomiru
