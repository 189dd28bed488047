#include "conversion/workbench.h"

#include "conversion/sheet.h"

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
    return hakomiru::fillSlotFromFile(load, path, fitMode, slotBoxes(slot));
}

DecodeSizeFor Workbench::fileDecodeSizeFor(int slot, int fitMode)
{
    return hakomiru::fileDecodeSizeFor(sourceBox(slot), fitMode);
}

Result<void> Workbench::fillSlotFromPicture(int slot, const PastedPicture& pasted, int fitMode)
{
    return hakomiru::fillSlotFromPicture(pasted, fitMode, slotBoxes(slot));
}

std::span<const Surface> Workbench::slotSources() const
{
    return {m_sources.data(), std::size_t(slotCount)};
}

void Workbench::convert()
{
    convertSheet(slotSources(), m_pieces, m_canvas);
}

} // namespace hakomiru
