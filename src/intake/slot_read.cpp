#include "intake/slot_read.h"

#include <array>

#include <QFile>
#include <QIODevice>

#include "intake/fit.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

// The size a pasted picture's file is decoded at: whole, as the clipboard hands a picture over,
// unless its whole 32-bit form would not fit the memory budget (some 117 megapixels); then at
// what the boxes need, as an opened picture is, rather than refused.
DecodeSizeFor pastedFileSize(const SlotReadPlan& plan)
{
    return [boxSize = plan.boxSize()](QSize natural) {
        const qint64 wholeBytes = qint64(natural.width()) * natural.height() * 4;
        return wholeBytes <= pictureMemoryBudget ? natural : boxSize(natural);
    };
}

std::vector<DecodeSizeFor> sizesFor(const SlotReadPlan& plan)
{
    if (plan.pasted)
        return {pastedFileSize(plan)};
    return {plan.boxSize(), plan.keptSize()};
}

SlotReading fromPictures(PictureLoads loads, const SlotReadPlan& plan)
{
    if (!loads)
        return loads.failure();
    if (plan.pasted && loads->front().image.isNull())
        return Failure{QStringLiteral("the picture has no pixels")};
    if (plan.pasted)
        return readPastedPicture(loads->front().image, plan);
    const Picture& boxes = loads->front();
    const Picture& kept = loads->back();
    if (boxes.image.isNull() || boxes.naturalSize.isEmpty())
        return Failure{QStringLiteral("the picture has no pixels")};
    return SlotRead{boxes,
                    {flattenOnto(kept.image, plan.backColor).convertToFormat(QImage::Format_RGB32),
                     kept.naturalSize},
                    plan.fitMode,
                    plan.aspectThreshold()};
}

} // namespace

double SlotReadPlan::aspectThreshold() const
{
    return pasted ? pasteAspectThreshold() : fileAspectThreshold;
}

DecodeSizeFor SlotReadPlan::boxSize() const
{
    return [side = boxSide, mode = fitMode, threshold = aspectThreshold()](QSize natural) {
        return decodeSizeFor(natural, side, mode, threshold);
    };
}

DecodeSizeFor SlotReadPlan::keptSize() const
{
    return [side = keptSide, mode = fitMode, threshold = aspectThreshold()](QSize natural) {
        return decodeSizeFor(natural, side, mode, threshold);
    };
}

SlotReading readSlotData(const QByteArray& bytes, const SlotReadPlan& plan)
{
    const std::vector<DecodeSizeFor> sizes = sizesFor(plan);
    return fromPictures(loadPictureBytes(bytes, sizes), plan);
}

SlotReading readSlotPicture(QIODevice& device, const SlotReadPlan& plan)
{
    const std::vector<DecodeSizeFor> sizes = sizesFor(plan);
    return fromPictures(loadPictureOnce(device, sizes), plan);
}

SlotReading readSlotFile(const QString& path, const SlotReadPlan& plan)
{
    QFile file(path);
    if (!file.exists())
        return Failure{QStringLiteral("file not found"), path};
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("the file could not be read"), path};
    SlotReading read = readSlotPicture(file, plan);
    if (!read)
        return Failure{read.error(), path};
    return read;
}

SlotReading readPastedPicture(const QImage& picture, const SlotReadPlan& plan)
{
    if (picture.isNull() || picture.size().isEmpty())
        return Failure{QStringLiteral("there is no picture to paste")};
    const double threshold = pasteAspectThreshold();
    const QSize size = decodeSizeFor(picture.size(), plan.keptSide, plan.fitMode, threshold);
    const QImage flat = flattenOnto(picture, plan.backColor);
    const QImage reduced =
        size == picture.size()
            ? flat
            : averagedReduction(flat.convertToFormat(QImage::Format_RGB32), size);
    return SlotRead{{picture, picture.size()},
                    {flattenOnto(reduced, plan.backColor).convertToFormat(QImage::Format_RGB32),
                     picture.size()},
                    plan.fitMode,
                    threshold};
}

qint64 slotReadCost(const QString& path, const SlotReadPlan& plan)
{
    const std::vector<DecodeSizeFor> sizes = sizesFor(plan);
    return pictureBytesCost(path, sizes);
}

} // namespace hakomiru
