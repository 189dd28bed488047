#include "conversion/workbench.h"

#include <optional>

#include "conversion/sheet.h"
#include "intake/fit.h"

namespace hakomiru {

namespace {

Surface canvasFor(QRgb backColor)
{
    const QSize size = sheetCanvasSize(Surface(pieceBoxSide, pieceBoxSide));
    return Surface(size.width(), size.height(), backColor);
}

Surface& boxAt(std::vector<Surface>& boxes, int index, const char* kind)
{
    if (index < 0 || std::size_t(index) >= boxes.size())
        qFatal("the workbench has no %s %d", kind, index);
    return boxes[std::size_t(index)];
}

} // namespace

Workbench::Workbench(QRgb backColor) : m_canvas(canvasFor(backColor))
{
    m_sources.reserve(sourceBoxCount);
    for (int i = 0; i < sourceBoxCount; ++i) {
        if (i < slotCount)
            m_sources.emplace_back(sourceBoxSide, sourceBoxSide, backColor);
        else
            m_sources.emplace_back(unusedSourceBoxSize.width(), unusedSourceBoxSize.height(),
                                   backColor);
    }
    m_previews.assign(slotCount, Surface(previewBoxSide, previewBoxSide, backColor));
    m_pieces.assign(pieceBoxCount, Surface(pieceBoxSide, pieceBoxSide, backColor));
    takeDrawing();
}

Surface& Workbench::sourceBox(int index)
{
    return boxAt(m_sources, index, "source box");
}

Surface& Workbench::preview(int slot)
{
    return boxAt(m_previews, slot, "preview");
}

Surface& Workbench::pieceBox(int index)
{
    return boxAt(m_pieces, index, "piece box");
}

Result<void> Workbench::fillSlotFromFile(int slot, const QString& path, int fitMode,
                                         const PictureLoader& load)
{
    forget(slot);
    std::optional<Picture> painted;
    const PictureLoader remembering = [&](const QString& file, const DecodeSizeFor& size) {
        PictureLoad loaded = load(file, size);
        if (loaded.ok())
            painted = loaded.value();
        return loaded;
    };
    const Result<void> filled =
        hakomiru::fillSlotFromFile(remembering, path, fitMode, slotBoxes(slot));
    if (!filled || !painted)
        return filled;
    // The file is read again, larger. Should it have changed or gone in between, the slot keeps
    // what it shows.
    const PictureLoad sharp = load(path, keptDecodeSizeFor(fitMode));
    const bool same =
        sharp.ok() && !sharp->image.isNull() && sharp->naturalSize == painted->naturalSize;
    keep(slot, same ? sharp.value() : *painted, fitMode, fileAspectThreshold);
    return {};
}

DecodeSizeFor Workbench::keptDecodeSizeFor(int fitMode, int boxSide)
{
    return [fitMode, boxSide](QSize naturalSize) {
        return decodeSizeFor(naturalSize, boxSide, fitMode, fileAspectThreshold);
    };
}

void Workbench::keep(int slot, const Picture& picture, int fitMode, double aspectThreshold)
{
    KeptPicture& kept = m_kept.at(std::size_t(slot));
    kept.image = flattenOnto(picture.image, sourceBox(slot).backColor())
                     .convertToFormat(QImage::Format_RGB32);
    kept.measured = QSizeF(picture.naturalSize);
    kept.fitMode = fitMode;
    kept.aspectThreshold = aspectThreshold;
    kept.view = {};

    // The ladder goes down to about what the source box needs at the default view.
    const QSize smallest =
        decodeSizeFor(picture.naturalSize, sourceBoxSide, fitMode, aspectThreshold);
    Held& held = m_held.at(std::size_t(slot));
    held.picture = {
        {}, pictureLadder(kept.image, smallest), kept.measured, fitMode, aspectThreshold};
    held.sourceAsPlaced = sourceBox(slot).image();
    held.previewAsPlaced = preview(slot).image();
}

void Workbench::forget(int slot)
{
    m_kept.at(std::size_t(slot)) = {};
    m_held.at(std::size_t(slot)) = {};
}

bool Workbench::holdsPicture(int slot) const
{
    return !m_held.at(std::size_t(slot)).picture.ladder.empty();
}

SlotView Workbench::limited(int slot, SlotView view) const
{
    const HeldPicture& held = m_held.at(std::size_t(slot)).picture;
    if (held.ladder.empty())
        return {};
    const auto fit = fitPicture(held.measured.width(), held.measured.height(), sourceBoxSide,
                                sourceBoxSide, held.fitMode, held.aspectThreshold);
    return fit ? limitedView(view, *fit) : SlotView{};
}

void Workbench::paintAt(int slot, Surface& box, const SlotView& view, const QImage& asPlaced)
{
    if (view.isDefault()) {
        box.clear();
        box.paintPicture(asPlaced, 0, 0);
        return;
    }
    paintSlotView(box, m_held.at(std::size_t(slot)).picture, view, sourceBox(slot).width());
}

SlotView Workbench::setView(int slot, SlotView view)
{
    if (!holdsPicture(slot))
        return {};
    const SlotView set = limited(slot, view);
    const Held& held = m_held.at(std::size_t(slot));
    paintAt(slot, sourceBox(slot), set, held.sourceAsPlaced);
    paintAt(slot, preview(slot), set, held.previewAsPlaced);
    m_kept.at(std::size_t(slot)).view = set;
    return set;
}

SlotView Workbench::paintPreview(int slot, SlotView view)
{
    if (!holdsPicture(slot))
        return {};
    const SlotView painted = limited(slot, view);
    paintAt(slot, preview(slot), painted, m_held.at(std::size_t(slot)).previewAsPlaced);
    return painted;
}

DecodeSizeFor Workbench::fileDecodeSizeFor(int slot, int fitMode)
{
    return hakomiru::fileDecodeSizeFor(sourceBox(slot), fitMode);
}

Result<void> Workbench::fillSlotFromPicture(int slot, const PastedPicture& pasted, int fitMode)
{
    forget(slot);
    std::optional<QImage> painted;
    const PastedPicture remembering = [&]() {
        painted = pasted();
        return painted;
    };
    const Result<void> filled =
        hakomiru::fillSlotFromPicture(remembering, fitMode, slotBoxes(slot));
    if (!filled || !painted)
        return filled;
    const double threshold = pasteAspectThreshold();
    const QSize size = decodeSizeFor(painted->size(), keptBoxSide, fitMode, threshold);
    const QImage flat = flattenOnto(*painted, sourceBox(slot).backColor());
    const QImage reduced =
        size == painted->size()
            ? flat
            : averagedReduction(flat.convertToFormat(QImage::Format_RGB32), size);
    keep(slot, Picture{reduced, painted->size()}, fitMode, threshold);
    return {};
}

std::span<const Surface> Workbench::slotSources() const
{
    return {m_sources.data(), std::size_t(slotCount)};
}

void Workbench::convert()
{
    convertSheet(slotSources(), m_pieces, m_canvas);
    takeDrawing();
    m_drawing.converted = true;
}

void Workbench::takeDrawing()
{
    m_drawing.pictures = m_kept;
    for (int i = 0; i < slotCount; ++i)
        m_drawing.slotBackColors[std::size_t(i)] = sourceBox(i).backColor();
    m_drawing.sourceBox = QSize(sourceBox(0).width(), sourceBox(0).height());
    m_drawing.pieceBox = QSize(pieceBox(0).width(), pieceBox(0).height());
    m_drawing.canvas = QSize(m_canvas.width(), m_canvas.height());
    m_drawing.canvasBackColor = m_canvas.backColor();
}

} // namespace hakomiru
