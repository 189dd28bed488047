// The TIFF header walk: the first directory's size, orientation, samples and strips or tiles,
// classic and BigTIFF, in either byte order.

#include "parser_input.h"
#include "picture/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    (void)hakomiru::readTiffHeader(input.device());
    return 0;
}
