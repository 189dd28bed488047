#include "conversion/workbench.h"

#include <algorithm>
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

template <typename Boxes> auto& boxAt(Boxes& boxes, int index, const char* kind)
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

SlotReadPlan Workbench::readPlan(int slot, int fitMode, bool pasted, int keptSide) const
{
    SlotReadPlan plan;
    plan.fitMode = fitMode;
    plan.pasted = pasted;
    plan.boxSide = sourceBoxSide;
    plan.keptSide = std::min(keptSide, keptBoxSide);
    plan.backColor = boxAt(m_sources, slot, "source box").backColor();
    return plan;
}

void Workbench::clearSlot(int slot)
{
    m_slots.at(std::size_t(slot)) = {};
    sourceBox(slot).clear();
    preview(slot).clear();
}

void Workbench::place(int slot, const SlotRead& read)
{
    placePicture(read.boxes, slotBoxes(slot), read.fitMode, read.aspectThreshold);
    Slot& held = m_slots.at(std::size_t(slot));
    held.kept.image = read.kept.image;
    held.kept.measured = QSizeF(read.kept.naturalSize);
    held.kept.fitMode = read.fitMode;
    held.kept.aspectThreshold = read.aspectThreshold;
    held.kept.view = {};
    // The ladder goes down to about what the source box needs at the default view.
    const QSize smallest =
        decodeSizeFor(read.kept.naturalSize, sourceBoxSide, read.fitMode, read.aspectThreshold);
    held.ladder = pictureLadder(held.kept.image, smallest);
    held.sourceAsPlaced = sourceBox(slot).image();
    held.previewAsPlaced = preview(slot).image();
}

Result<void> Workbench::fillSlotFromFile(int slot, const QString& path, int fitMode)
{
    clearSlot(slot);
    const SlotReading read = readSlotFile(path, readPlan(slot, fitMode));
    if (!read)
        return read.failure();
    place(slot, read.value());
    return {};
}

Result<void> Workbench::fillSlotFromPicture(int slot, const PastedPicture& pasted, int fitMode)
{
    clearSlot(slot);
    const std::optional<QImage> picture = pasted();
    if (!picture)
        return Failure{QStringLiteral("there is no picture to paste"), {}};
    const SlotReading read = readPastedPicture(*picture, readPlan(slot, fitMode, true));
    if (!read)
        return read.failure();
    place(slot, read.value());
    return {};
}

HeldPicture Workbench::held(int slot) const
{
    const Slot& held = m_slots.at(std::size_t(slot));
    return {{}, held.ladder, held.kept.measured, held.kept.fitMode, held.kept.aspectThreshold};
}

bool Workbench::holdsPicture(int slot) const
{
    return !m_slots.at(std::size_t(slot)).ladder.empty();
}

SlotView Workbench::limited(int slot, SlotView view) const
{
    const Slot& held = m_slots.at(std::size_t(slot));
    if (held.ladder.empty())
        return {};
    const KeptPicture& kept = held.kept;
    const auto fit = fitPicture(kept.measured.width(), kept.measured.height(), sourceBoxSide,
                                sourceBoxSide, kept.fitMode, kept.aspectThreshold);
    return fit ? limitedView(view, *fit) : SlotView{};
}

void Workbench::paintAt(int slot, Surface& box, const SlotView& view, const QImage& asPlaced)
{
    if (view.isDefault()) {
        box.clear();
        box.paintPicture(asPlaced, 0, 0);
        return;
    }
    paintSlotView(box, held(slot), view, sourceBox(slot).width());
}

SlotView Workbench::setView(int slot, SlotView view)
{
    if (!holdsPicture(slot))
        return {};
    const SlotView set = limited(slot, view);
    Slot& held = m_slots.at(std::size_t(slot));
    paintAt(slot, sourceBox(slot), set, held.sourceAsPlaced);
    paintAt(slot, preview(slot), set, held.previewAsPlaced);
    held.kept.view = set;
    return set;
}

SlotView Workbench::paintPreview(int slot, SlotView view)
{
    if (!holdsPicture(slot))
        return {};
    const SlotView painted = limited(slot, view);
    paintAt(slot, preview(slot), painted, m_slots.at(std::size_t(slot)).previewAsPlaced);
    return painted;
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
    for (int i = 0; i < slotCount; ++i)
        m_drawing.pictures[std::size_t(i)] = m_slots[std::size_t(i)].kept;
    for (int i = 0; i < slotCount; ++i)
        m_drawing.slotBackColors[std::size_t(i)] = sourceBox(i).backColor();
    m_drawing.sourceBox = QSize(sourceBox(0).width(), sourceBox(0).height());
    m_drawing.pieceBox = QSize(pieceBox(0).width(), pieceBox(0).height());
    m_drawing.canvas = QSize(m_canvas.width(), m_canvas.height());
    m_drawing.canvasBackColor = m_canvas.backColor();
}

} // namespace hakomiru
