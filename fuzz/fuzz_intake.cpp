// Feeds arbitrary bytes to the picture intake: read them as a picture, decode at the size the slot
// needs, measure, and fit and paint into a source box and a preview box in both fit modes, as a
// file and as a pasted picture.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QCoreApplication>

#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "picture/picture_file.h"
#include "surface/surface.h"

using namespace hakomiru;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const double threshold : {fileAspectThreshold, pasteAspectThreshold()}) {
        for (const int mode : {fitWhole, fitCover}) {
            Surface source(489, 489, qRgb(240, 240, 240));
            Surface preview(145, 145, qRgb(240, 240, 240));
            const PictureLoad load = loadPictureData(bytes, [&](QSize natural) {
                return decodeSizeFor(natural, source.width(), mode, threshold);
            });
            if (!load.ok())
                continue;
            placePicture(load.value(), SlotBoxes{source, preview}, mode, threshold);
        }
    }
    return 0;
}
