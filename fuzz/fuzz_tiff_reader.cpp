// The program's TIFF reader: libtiff's directory read from memory, then, for a picture of at most
// 4 megapixels whose strips or tiles are no larger than 64 MB, every strip or tile decoded and
// its samples converted.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "picture/tiff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const hakomiru::Result<hakomiru::TiffPicture> tiff = hakomiru::TiffPicture::open(bytes);
    if (!tiff)
        return 0;
    const QSize stored = tiff->storedSize();
    if (qint64(stored.width()) * stored.height() <= (qint64(1) << 22) &&
        tiff->decodingBytes() <= (qint64(64) << 20))
        (void)tiff->decode();
    return 0;
}
