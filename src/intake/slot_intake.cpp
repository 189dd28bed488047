#include "intake/slot_intake.h"

#include <algorithm>

#include "intake/fit.h"
#include "surface/surface.h"

namespace hakomiru {

OpenDialogSetup pictureOpenDialogSetup()
{
    // The entry lists "*gif" without its dot; that is how the user has always seen it. The
    // patterns themselves are the real ones, plus the other common JPEG ending.
    return {QStringLiteral("絵ファイル(*.bmp,*.jpg,*gif)"),
            {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif"),
             QStringLiteral("*.jpeg")}};
}

void placePicture(const Picture& picture, SlotBoxes boxes, int fitMode, double aspectThreshold)
{
    const QSizeF measured(picture.naturalSize);
    for (Surface* box : {&boxes.source, &boxes.preview}) {
        const QImage flat = flattenOnto(picture.image, box->backColor());
        (void)paintFitted(*box, flat, measured, fitMode, aspectThreshold);
    }
}

SlotFill LoadPictureIntoSlot(const PictureLoader& load, const QString& fileName, int fitMode,
                             SlotBoxes boxes)
{
    boxes.source.clear();
    const double aspectThreshold = fileAspectThreshold;
    boxes.preview.clear();

    // The picture is decoded once, at the size the larger (source) box needs; a large photo is
    // never held at its full size.
    const int boxSide = std::max(boxes.source.width(), boxes.source.height());
    const PictureLoad loaded = load(fileName, [&](QSize naturalSize) {
        return decodeSizeFor(naturalSize, boxSide, fitMode, aspectThreshold);
    });
    if (!loaded.picture)
        return {false, loaded.error};
    if (loaded.picture->image.isNull() || loaded.picture->naturalSize.isEmpty())
        return {false, QStringLiteral("the picture has no pixels")};

    placePicture(*loaded.picture, boxes, fitMode, aspectThreshold);
    return {true, {}};
}

bool LoadPictureIntoSlot(PlatformServices& services, const QString& fileName, int fitMode,
                         SlotBoxes boxes)
{
    const PictureLoader load = [&services](const QString& path, const DecodeSizeFor& decodeSize) {
        return services.loadPicture(path, decodeSize);
    };
    return LoadPictureIntoSlot(load, fileName, fitMode, boxes).placed;
}

bool PastePictureIntoSlot(const PastedPicture& pasted, int fitMode, SlotBoxes boxes)
{
    boxes.source.clear();
    const double aspectThreshold = pasteAspectThreshold();
    boxes.preview.clear();

    const std::optional<QImage> picture = pasted();
    if (!picture || picture->isNull() || picture->size().isEmpty())
        return false;

    placePicture(Picture{*picture, picture->size()}, boxes, fitMode, aspectThreshold);
    return true;
}

bool PasteClipboardPicture(PlatformServices& services, int fitMode, SlotBoxes boxes)
{
    return PastePictureIntoSlot([&services] { return services.clipboardPicture(); }, fitMode,
                                boxes);
}

} // namespace hakomiru
