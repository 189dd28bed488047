// Feeds arbitrary bytes to the picture intake: read them as a slot reads a picture (at the size its
// boxes need and the size it keeps), and fit and paint them into a source box and a preview box in
// both fit modes, as a file and as a pasted picture.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QCoreApplication>

#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "intake/slot_read.h"
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
    for (const bool pasted : {false, true}) {
        for (const int mode : {fitWhole, fitCover}) {
            Surface source(489, 489, qRgb(240, 240, 240));
            Surface preview(145, 145, qRgb(240, 240, 240));
            SlotReadPlan plan;
            plan.fitMode = mode;
            plan.pasted = pasted;
            plan.boxSide = source.width();
            plan.keptSide = 2240;
            plan.backColor = source.backColor();
            const SlotReading read = readSlotData(bytes, plan);
            if (!read.ok())
                continue;
            placePicture(read->boxes, SlotBoxes{source, preview}, mode, read->aspectThreshold);
        }
    }
    return 0;
}
