#include "picture/heif_reader.h"

#include <algorithm>

#include <QtEndian>

#include <libheif/heif.h>

namespace hakomiru {

namespace {

QString damagedBecause(const heif_error& error)
{
    return QStringLiteral("the picture data is damaged (%1)")
        .arg(QString::fromUtf8(error.message != nullptr ? error.message : "").trimmed());
}

// Why libheif could not open a file: a kind of HEIF it does not decode (a picture coded otherwise
// than as HEVC or AV1, a file of no picture at all) is no damage.
QString unopenedBecause(const heif_error& error)
{
    if (error.code == heif_error_Unsupported_filetype ||
        error.code == heif_error_Unsupported_feature)
        return QStringLiteral("not a picture in a format this program reads (%1)")
            .arg(QString::fromUtf8(error.message != nullptr ? error.message : "").trimmed());
    return damagedBecause(error);
}

// The picture's ICC profile when it has one, else its nclx colour box.
ColourDescription colourOf(const heif_image_handle* handle)
{
    ColourDescription colour;
    const heif_color_profile_type kind = heif_image_handle_get_color_profile_type(handle);
    if (kind == heif_color_profile_type_prof || kind == heif_color_profile_type_rICC) {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size > 0 && size <= std::size_t(largestIccProfile)) {
            QByteArray icc(qsizetype(size), Qt::Uninitialized);
            if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
                colour.icc = icc;
        }
        if (!colour.icc.isEmpty())
            return colour;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok &&
        nclx != nullptr)
        colour.nclx = Nclx{int(nclx->color_primaries), int(nclx->transfer_characteristics),
                           int(nclx->matrix_coefficients), nclx->full_range_flag != 0};
    heif_nclx_color_profile_free(nclx);
    return colour;
}

void releaseImage(void* image)
{
    heif_image_release(static_cast<heif_image*>(image));
}

} // namespace

void HeifPicture::Release::operator()(heif_context* context) const
{
    heif_context_free(context);
}

void HeifPicture::Release::operator()(heif_image_handle* handle) const
{
    heif_image_handle_release(handle);
}

bool looksLikeHeif(const QByteArray& head)
{
    if (head.size() < 12)
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(head.constData());
    const heif_filetype_result kind = heif_check_filetype(bytes, int(head.size()));
    if (kind == heif_filetype_yes_supported || kind == heif_filetype_yes_unsupported)
        return true;
    // libheif is sure only of files whose first brand names the coding (heic, avif ...). The
    // others are told by every brand the file type box lists: a HEIF still picture or sequence
    // (mif1, mif2, msf1), MIAF, or one of HEVC or AV1 pictures. A file of the structural brand
    // alone is taken too: libheif's open tells whether it holds a picture it decodes. MP4,
    // QuickTime and JPEG 2000 files name none of these.
    if (head.mid(4, 4) != "ftyp")
        return false;
    const qint64 boxSize = qFromBigEndian<quint32>(bytes); // 0: to the end of the file
    const qint64 end = boxSize == 0 ? head.size() : std::min<qint64>(boxSize, head.size());
    static constexpr const char* heifBrands[] = {"mif1", "mif2", "msf1", "miaf", "heic",
                                                 "heix", "heim", "heis", "hevc", "hevx",
                                                 "hevm", "hevs", "avif", "avis", "avio"};
    // The first brand at 8, a minor version, then the compatible brands to the box's end.
    for (qint64 at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        const QByteArray brand = head.mid(at, 4);
        for (const char* heif : heifBrands)
            if (brand == heif)
                return true;
    }
    return false;
}

Result<HeifPicture> HeifPicture::open(const QByteArray& bytes)
{
    HeifPicture picture;
    picture.m_context.reset(heif_context_alloc());
    if (!picture.m_context)
        return Failure{QStringLiteral("not enough memory to read the picture")};
    heif_context* context = picture.m_context.get();
    heif_context_set_maximum_image_size_limit(context, heifLargestSide);
    // Tiles are decoded one after another, on the calling thread: the exporter already decodes
    // its pictures side by side, and each tile in flight would take memory of its own.
    heif_context_set_max_decoding_threads(context, 0);
    heif_error error = heif_context_read_from_memory_without_copy(
        context, bytes.constData(), std::size_t(bytes.size()), nullptr);
    if (error.code != heif_error_Ok)
        return Failure{unopenedBecause(error)};
    heif_image_handle* primary = nullptr;
    error = heif_context_get_primary_image_handle(context, &primary);
    picture.m_primary.reset(primary);
    if (error.code != heif_error_Ok || primary == nullptr)
        return Failure{damagedBecause(error)};
    picture.m_size =
        QSize(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary));
    if (picture.m_size.isEmpty())
        return Failure{QStringLiteral("the picture data is damaged: it has no pixels")};
    picture.m_alpha = heif_image_handle_has_alpha_channel(primary) != 0;
    picture.m_premultiplied =
        picture.m_alpha && heif_image_handle_is_premultiplied_alpha(primary) != 0;
    picture.m_colour = colourOf(primary);
    picture.m_bits = std::max(heif_image_handle_get_luma_bits_per_pixel(primary),
                              heif_image_handle_get_chroma_bits_per_pixel(primary));
    return picture;
}

qint64 HeifPicture::decodingBytesPerPixel() const
{
    const qint64 sample = m_bits > 8 ? 2 : 1;
    return 5 * sample + (m_alpha ? 2 * sample : 0) + 4;
}

Result<QImage> HeifPicture::decode() const
{
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (options == nullptr)
        return Failure{QStringLiteral("not enough memory to read the picture")};
    options->ignore_transformations = 0;
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(m_primary.get(), &decoded, heif_colorspace_RGB,
                                               heif_chroma_interleaved_RGBA, options);
    heif_decoding_options_free(options);
    if (error.code != heif_error_Ok || decoded == nullptr) {
        if (decoded != nullptr)
            heif_image_release(decoded);
        return Failure{damagedBecause(error)};
    }
    int stride = 0;
    uint8_t* pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (pixels == nullptr || width <= 0 || height <= 0 || stride < width * 4) {
        heif_image_release(decoded);
        return Failure{QStringLiteral("the picture data is damaged")};
    }
    // R, G, B, A bytes become the program's 32-bit pixels in place, and the image keeps libheif's
    // buffer, released with the last copy of the image.
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels + qint64(y) * stride);
        const uint8_t* bytes = pixels + qint64(y) * stride;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = bytes + 4 * x;
            row[x] = qRgba(p[0], p[1], p[2], m_alpha ? p[3] : 255);
        }
    }
    const QImage::Format format = !m_alpha          ? QImage::Format_RGB32
                                  : m_premultiplied ? QImage::Format_ARGB32_Premultiplied
                                                    : QImage::Format_ARGB32;
    return QImage(pixels, width, height, stride, format, releaseImage, decoded);
}

} // namespace hakomiru
