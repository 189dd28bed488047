// The WebP header walk: the canvas and the kind of the first picture, in and out of animations.

#include "parser_input.h"
#include "picture/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    (void)hakomiru::readWebpHeader(input.device());
    return 0;
}
