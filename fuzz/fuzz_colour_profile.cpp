// The colour profile readers (a JPEG's APP2 segments, a PNG's iCCP chunk, a WebP's ICCP chunk, a
// BMP's embedded profile), and the conversion of a small picture with what they find, and with the
// bytes themselves taken as a profile, for RGB and grey pixels.

#include <QImage>

#include "parser_input.h"
#include "picture/colour_profile.h"

namespace {

void convertWith(const QByteArray& icc)
{
    if (icc.isEmpty())
        return;
    for (const hakomiru::StoredColours stored :
         {hakomiru::StoredColours::Rgb, hakomiru::StoredColours::Grey}) {
        QImage image(4, 3, QImage::Format_ARGB32_Premultiplied);
        image.fill(qRgba(20, 40, 60, 128));
        (void)hakomiru::convertToSrgb(image, hakomiru::ColourDescription{icc, {}, stored});
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    convertWith(hakomiru::readJpegIccProfile(input.device()));
    convertWith(hakomiru::readPngIccProfile(input.device()));
    convertWith(hakomiru::readWebpIccProfile(input.device()));
    convertWith(hakomiru::readBmpIccProfile(input.device()));
    convertWith(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
