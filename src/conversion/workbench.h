#pragma once

#include <span>
#include <vector>

#include <QRgb>
#include <QString>

#include "intake/slot_intake.h"
#include "surface/result.h"
#include "surface/surface.h"

namespace hakomiru {

// Every picture surface of the program in one place, sized as the program sizes them at start-up:
// the source boxes 0..7 (slots 0..5 in use, 489 x 489; the conversion reads them), the previews
// 0..5 (145 x 145), the piece boxes 0..24 (200 x 200) and the sheet canvas (1702 x 1302), all
// with `backColor`. The windows show its surfaces and the exporter drives it, so both make the
// same sheet by construction.
class Workbench
{
public:
    explicit Workbench(QRgb backColor = defaultBoxBackColor);

    // The boxes by index: source boxes 0..7, previews 0..5, piece boxes 0..24. An index out of
    // range is a programming error: it stops the program with a message (qFatal), rather than
    // reaching past the boxes or throwing.
    [[nodiscard]] Surface& sourceBox(int index);
    [[nodiscard]] Surface& preview(int slot);
    [[nodiscard]] Surface& pieceBox(int index);
    [[nodiscard]] Surface& canvas() { return m_canvas; }
    [[nodiscard]] const Surface& canvas() const { return m_canvas; }
    // The source boxes of the slots in use (0..5), which the conversion reads, and all piece boxes.
    [[nodiscard]] std::span<const Surface> slotSources() const;
    [[nodiscard]] std::span<Surface> pieceBoxes() { return m_pieces; }
    // The source and preview box of a slot in use (0..5).
    [[nodiscard]] SlotBoxes slotBoxes(int slot) { return {sourceBox(slot), preview(slot)}; }

    // Fills slot 0..5 from a picture file read through `load`, fitted by `fitMode` (see
    // fillSlotFromFile). A failure leaves the slot's boxes cleared.
    Result<void> fillSlotFromFile(int slot, const QString& path, int fitMode,
                                  const PictureLoader& load = loadPictureFile);
    // The size fillSlotFromFile decodes a picture file at for slot 0..5 (see fileDecodeSizeFor).
    [[nodiscard]] DecodeSizeFor fileDecodeSizeFor(int slot, int fitMode);
    // Fills slot 0..5 with a pasted picture (see fillSlotFromPicture).
    Result<void> fillSlotFromPicture(int slot, const PastedPicture& pasted, int fitMode);

    // Cuts the six slot pictures into pieces, places them on the canvas and draws the sheet's
    // lines. The canvas is not cleared first.
    void convert();

private:
    std::vector<Surface> m_sources;
    std::vector<Surface> m_previews;
    std::vector<Surface> m_pieces;
    Surface m_canvas;
};

} // namespace hakomiru
