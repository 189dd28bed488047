#include "intake/slot_intake.h"

#include <algorithm>

#include "intake/fit.h"
#include "intake/slot_read.h"
#include "intake/slot_view.h"
#include "surface/surface.h"

namespace hakomiru {

void placePicture(const Picture& picture, SlotBoxes boxes, int fitMode, double aspectThreshold)
{
    const HeldPicture held{
        picture.image, {}, QSizeF(picture.naturalSize), fitMode, aspectThreshold};
    for (Surface* box : {&boxes.source, &boxes.preview})
        paintSlotView(*box, held, SlotView{}, boxes.source.width());
}

Result<void> fillSlotFromFile(const PictureLoader& load, const QString& fileName, int fitMode,
                              SlotBoxes boxes)
{
    boxes.source.clear();
    const double aspectThreshold = fileAspectThreshold;
    boxes.preview.clear();

    SlotReadPlan plan;
    plan.fitMode = fitMode;
    plan.boxSide = std::max(boxes.source.width(), boxes.source.height());
    const PictureLoad loaded = load(fileName, plan.boxSize());
    if (!loaded.ok())
        return Failure{loaded.error(), fileName};
    if (loaded->image.isNull() || loaded->naturalSize.isEmpty())
        return Failure{QStringLiteral("the picture has no pixels"), fileName};

    placePicture(loaded.value(), boxes, fitMode, aspectThreshold);
    return {};
}

Result<void> fillSlotFromPicture(const PastedPicture& pasted, int fitMode, SlotBoxes boxes)
{
    boxes.source.clear();
    const double aspectThreshold = pasteAspectThreshold();
    boxes.preview.clear();

    const std::optional<QImage> picture = pasted();
    if (!picture || picture->isNull() || picture->size().isEmpty())
        return Failure{QStringLiteral("there is no picture to paste"), {}};

    placePicture(Picture{*picture, picture->size()}, boxes, fitMode, aspectThreshold);
    return {};
}

} // namespace hakomiru
