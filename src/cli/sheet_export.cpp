#include "cli/sheet_export.h"

#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QPdfWriter>

#include "cli/export_options.h"
#include "conversion/sheet.h"
#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "surface/picture_file.h"
#include "surface/surface.h"

namespace hakomiru {

namespace {

// A pasted picture arrives whole, as the clipboard hands it over, and is decoded whole to be
// placed the same. One too large for the picture reader to hold whole (a phone photo of 48
// megapixels) is decoded at the size the source box needs, as an opened picture is, rather than
// refused.
QSize pastedDecodeSize(QSize natural, int fitMode)
{
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    const qint64 wholeBytes = qint64(natural.width()) * natural.height() * 4;
    if (limitBytes == 0 || wholeBytes <= limitBytes)
        return natural;
    return decodeSizeFor(natural, sourceBoxSide, fitMode, pasteAspectThreshold());
}

} // namespace

SheetMaking makeSheet(const ExportOptions& options, QRgb backColor)
{
    std::vector<Surface> sources(slotCount, Surface(sourceBoxSide, sourceBoxSide, backColor));
    std::vector<Surface> previews(slotCount, Surface(previewBoxSide, previewBoxSide, backColor));
    std::vector<Surface> pieces(pieceBoxCount, Surface(pieceBoxSide, pieceBoxSide, backColor));
    const QSize canvasSize = sheetCanvasSize(pieces.front());
    Surface canvas(canvasSize.width(), canvasSize.height(), backColor);

    for (const SlotPicture& given : options.slotPictures()) {
        const SlotBoxes boxes{sources[std::size_t(given.slot)], previews[std::size_t(given.slot)]};
        QString error;
        bool placed = false;
        if (options.pasted) {
            placed = PastePictureIntoSlot(
                [&]() -> std::optional<QImage> {
                    PictureLoad load = loadPictureFile(given.path, [&](QSize natural) {
                        return pastedDecodeSize(natural, options.fitMode);
                    });
                    if (!load.picture) {
                        error = load.error;
                        return std::nullopt;
                    }
                    return load.picture->image;
                },
                options.fitMode, boxes);
            if (!placed && error.isEmpty())
                error = QStringLiteral("the picture has no pixels");
        } else {
            const SlotFill fill = LoadPictureIntoSlot(
                [](const QString& path, const DecodeSizeFor& decodeSize) {
                    return loadPictureFile(path, decodeSize);
                },
                given.path, options.fitMode, boxes);
            placed = fill.placed;
            error = fill.error;
        }
        if (!placed)
            return {{}, given.path, error};
    }

    ConvertSheet(sources, pieces, canvas);
    return {canvas.image(), {}, {}};
}

std::optional<QByteArray> sheetPdf(const QImage& sheet, const PageSetup& setup, QString* error)
{
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("hakomiru-sheet"));
        writer.setTitle(QStringLiteral("ハコミル"));
        if (!writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter) ||
            !applyPageSetup(writer, setup))
            return fail(QStringLiteral("the page cannot be set up"));
        if (!paintSheetOnPage(writer, sheet, QSizeF(sheet.size())))
            return fail(QStringLiteral("the sheet cannot be painted on the page"));
    }
    if (bytes.isEmpty())
        return fail(QStringLiteral("the page came out empty"));
    return bytes;
}

} // namespace hakomiru
