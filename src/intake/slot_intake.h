#pragma once

#include <functional>
#include <optional>

#include <QImage>
#include <QString>

#include "picture/picture_file.h"
#include "surface/result.h"

namespace hakomiru {

class Surface;

// The two boxes of one picture slot: the full-size source box that the conversion reads and the
// preview box the user sees. Both are square.
struct SlotBoxes
{
    Surface& source;
    Surface& preview;
};

// Fits `picture` into the source box and then into the preview box, by `fitMode` with the
// width-limited factor `aspectThreshold` (see fitPicture), measured by its natural size even when
// its pixels were decoded smaller. Transparent parts show each box's own BackColor. Each box is
// cleared to its BackColor first. A fitMode other than 0 or 1 paints nothing.
void placePicture(const Picture& picture, SlotBoxes boxes, int fitMode, double aspectThreshold);

// Reads a picture file for a slot: the path and the size to decode it at (see loadPictureFile).
using PictureLoader = std::function<PictureLoad(const QString& path, const DecodeSizeFor&)>;

// Supplies a picture to paste, or nothing when there is none. Called once, after the slot's boxes
// are cleared.
using PastedPicture = std::function<std::optional<QImage>()>;

// Fills only a slot's boxes from a picture file, in this order: clears the source box, clears the
// preview box, reads the file through `load` (decoded at what the larger, source box needs with
// `fitMode` and the file factor 1; see SlotReadPlan::boxSize), then fits and
// paints the source box and the preview box with the file factor 1. When the file cannot be read
// as a picture, both boxes are left cleared and the reader's reason is returned.
Result<void> fillSlotFromFile(const PictureLoader& load, const QString& fileName, int fitMode,
                              SlotBoxes boxes);

// Fills a slot with a pasted picture, in this order: clears the source box, clears the preview
// box, takes the picture from `pasted`, then fits and paints both boxes with the clipboard factor
// cos 30°, the picture measured by its own size. When there is no picture, both boxes are left
// cleared.
Result<void> fillSlotFromPicture(const PastedPicture& pasted, int fitMode, SlotBoxes boxes);

} // namespace hakomiru
