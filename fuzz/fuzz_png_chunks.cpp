// The PNG chunk walk: the header's size and raw bytes, chunks claiming missing bytes, the
// transparent colour of 16-bit pictures.

#include "parser_input.h"
#include "picture/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    (void)hakomiru::walkPngChunks(input.device());
    return 0;
}
