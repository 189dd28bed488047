// The program's own BMP reader: the layout of the header, then, for a picture small enough to be
// decoded quickly, its pixels (the program checks a picture's size against its memory budget
// before it decodes it, as this target does against a far smaller one).

#include <QImage>

#include "parser_input.h"
#include "picture/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hakomiru::fuzzing::ParserInput input(data, size);
    const hakomiru::BmpLayout layout = hakomiru::readBmpLayout(input.device());
    constexpr qint64 quickPixels = qint64(1) << 18;
    if (layout.route == hakomiru::BmpRoute::Own &&
        qint64(layout.size.width()) * layout.size.height() <= quickPixels)
        (void)hakomiru::readBmp(input.device(), layout);
    return 0;
}
