#include "picture/cmyk_jpeg.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>

#include "picture/colour_profile.h"

namespace hakomiru {

namespace {

struct CloseProfile
{
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, CloseProfile>;

struct DeleteTransform
{
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, DeleteTransform>;

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the decoder's setjmp. Its warnings (a damaged but readable stream) are not shown.
struct ErrorManager
{
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

[[noreturn]] void jumpBack(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}

// What the decoder owns; made before setjmp, so that jumping back skips no destructor.
struct Decoding
{
    jpeg_decompress_struct info{};
    ErrorManager errors;
    bool created = false;
    std::vector<JSAMPLE> row;
    QImage image;
    Transform normal;   // inks as stored
    Transform inverted; // Adobe's inverted inks

    ~Decoding()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// Decodes into `d.image`; false on any failure. Only C frames lie between here and jumpBack.
bool decodeInto(Decoding& d, const QByteArray& bytes, QSize scale)
{
    if (setjmp(d.errors.jump) != 0)
        return false;
    d.info.err = jpeg_std_error(&d.errors.manager);
    d.errors.manager.error_exit = jumpBack;
    d.errors.manager.emit_message = quiet;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (d.info.jpeg_color_space != JCS_CMYK && d.info.jpeg_color_space != JCS_YCCK)
        return false;
    d.info.out_color_space = JCS_CMYK;
    // The smallest of the eighths at least as large as `scale`, as Qt's reader picks it.
    d.info.scale_num = 8;
    d.info.scale_denom = 8;
    if (scale.isValid() && !scale.isEmpty() && d.info.image_width > 0 && d.info.image_height > 0) {
        const double factor = std::min(double(d.info.image_width) / scale.width(),
                                       double(d.info.image_height) / scale.height());
        d.info.scale_num = unsigned(std::clamp(std::ceil(8 / factor), 1.0, 8.0));
    }
    jpeg_start_decompress(&d.info);
    if (d.info.output_components != 4 || d.info.output_width == 0 || d.info.output_height == 0)
        return false;
    const int width = int(d.info.output_width);
    const int height = int(d.info.output_height);
    d.image = QImage(width, height, QImage::Format_RGB32);
    if (d.image.isNull())
        return false;
    d.image.fill(Qt::black); // the alpha bytes, which the transform leaves as they are
    d.row.resize(std::size_t(width) * 4);
    void* transform = d.info.saw_Adobe_marker ? d.inverted.get() : d.normal.get();
    JSAMPROW rows[] = {d.row.data()};
    for (int y = 0; y < height; ++y) {
        if (jpeg_read_scanlines(&d.info, rows, 1) != 1)
            return false;
        cmsDoTransform(transform, d.row.data(), d.image.scanLine(y), cmsUInt32Number(width));
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

} // namespace

bool isCmykProfile(const QByteArray& icc)
{
    const Profile profile(
        icc.isEmpty() ? nullptr
                      : cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
    return profile && iccColourSpace(icc) == cmsSigCmykData;
}

std::optional<QImage> decodeCmykJpeg(const QByteArray& bytes, QSize scale, const QByteArray& icc)
{
    if (icc.isEmpty())
        return std::nullopt;
    const Profile cmyk(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!cmyk || !srgb || iccColourSpace(icc) != cmsSigCmykData)
        return std::nullopt;
    const cmsUInt32Number output = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
    Decoding d;
    d.normal.reset(
        cmsCreateTransform(cmyk.get(), TYPE_CMYK_8, srgb.get(), output, INTENT_PERCEPTUAL, 0));
    d.inverted.reset(
        cmsCreateTransform(cmyk.get(), TYPE_CMYK_8_REV, srgb.get(), output, INTENT_PERCEPTUAL, 0));
    if (!d.normal || !d.inverted || !decodeInto(d, bytes, scale))
        return std::nullopt;
    return std::move(d.image);
}

} // namespace hakomiru
