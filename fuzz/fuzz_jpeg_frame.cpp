// The JPEG frame walk: segments up to the first scan, the frame and the coefficient buffer, and
// the size the JPEG reader would decode the frame at for a few wished sizes.

#include "parser_input.h"
#include "picture/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    const std::optional<hakomiru::JpegFrame> frame = hakomiru::readJpegFrame(input.device());
    if (frame)
        for (const QSize wish : {QSize(489, 489), QSize(145, 145), QSize(1, 1)})
            (void)hakomiru::jpegScaledDecodeSize(frame->size, wish);
    return 0;
}
