#pragma once

#include <array>
#include <span>
#include <vector>

#include <QRgb>
#include <QString>

#include "conversion/sheet_drawing.h"
#include "intake/slot_intake.h"
#include "intake/slot_read.h"
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

    // The plan of a read for slot 0..5 (see SlotReadPlan): the source box's side for its boxes,
    // `keptSide` (at most keptBoxSide) for the picture it keeps, its BackColor.
    [[nodiscard]] SlotReadPlan readPlan(int slot, int fitMode, bool pasted = false,
                                        int keptSide = keptBoxSide) const;
    // Clears slot 0..5 for a new picture: its source box, then its preview, and the picture it
    // kept; its view goes back to the default.
    void clearSlot(int slot);
    // Places a finished read into slot 0..5: fits and paints its source box and preview from the
    // read's boxes picture (see placePicture) and keeps its kept picture for the sharp page and for
    // painting the slot at other views; the view starts at the default.
    void place(int slot, const SlotRead& read);
    // Fills slot 0..5 from a picture file, fitted by `fitMode`, at once: clears the slot, reads the
    // file by readPlan (its bytes once, see readSlotFile) and places it. A failure leaves the slot
    // cleared and gives the reader's reason, about `path`.
    Result<void> fillSlotFromFile(int slot, const QString& path, int fitMode);
    // Fills slot 0..5 with a pasted picture, in this order: clears the slot, takes the picture
    // from `pasted`, places it fitted as a pasted picture and kept reduced to what a box of
    // keptBoxSide needs. Without a picture the slot stays cleared.
    Result<void> fillSlotFromPicture(int slot, const PastedPicture& pasted, int fitMode);
    // The picture slot 0..5 keeps (null when it holds none).
    [[nodiscard]] const KeptPicture& keptPicture(int slot) const
    {
        return m_slots.at(std::size_t(slot)).kept;
    }

    // Whether slot 0..5 holds a picture, whose view can then change.
    [[nodiscard]] bool holdsPicture(int slot) const;
    // The view of slot 0..5: the default until it is set, and again after each fill.
    [[nodiscard]] SlotView view(int slot) const { return keptPicture(slot).view; }
    // Sets the view of slot 0..5, held within its limits (see limitedView), and paints the slot's
    // source box and preview at it (see paintSlotView); the default view gives back both boxes as
    // the picture was placed, byte for byte. The window and the exporter both change views through
    // it. Returns the view set. A slot without a picture keeps the default view and its boxes.
    SlotView setView(int slot, SlotView view);
    // Paints only the preview of slot 0..5 at `view`, held within its limits, as while a drag goes
    // on: the slot's view and source box stay as they are until setView. Returns the view painted.
    SlotView paintPreview(int slot, SlotView view);

    // Cuts the six slot pictures into pieces, places them on the canvas and draws the sheet's
    // lines. The canvas is not cleared first. Takes the kept pictures with it into sheetDrawing().
    void convert();
    // The drawing of the sheet the last conversion made, for drawing it at any resolution;
    // pictures filled since then do not change it.
    [[nodiscard]] const SheetDrawing& sheetDrawing() const { return m_drawing; }

private:
    std::vector<Surface> m_sources;
    std::vector<Surface> m_previews;
    std::vector<Surface> m_pieces;
    Surface m_canvas;
    // What each slot holds: the picture it keeps, the copies of it that halve in size it is
    // painted from at a view other than the default, and its boxes as the picture was placed, for
    // the default view.
    struct Slot
    {
        KeptPicture kept;
        std::vector<QImage> ladder;
        QImage sourceAsPlaced;
        QImage previewAsPlaced;
    };
    std::array<Slot, slotCount> m_slots;
    SheetDrawing m_drawing;

    void takeDrawing();
    // What paints slot 0..5 at a view other than the default.
    [[nodiscard]] HeldPicture held(int slot) const;
    [[nodiscard]] SlotView limited(int slot, SlotView view) const;
    void paintAt(int slot, Surface& box, const SlotView& view, const QImage& asPlaced);
};

} // namespace hakomiru
