#include "cli/sheet_export.h"

#include <QBuffer>
#include <QImageReader>
#include <QPdfWriter>

#include "cli/export_options.h"
#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "intake/fit.h"
#include "surface/picture_file.h"

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

Result<QImage> makeSheet(const ExportOptions& options)
{
    Workbench workbench;
    for (const SlotPicture& given : options.slotPictures()) {
        if (options.pasted) {
            QString error;
            const Result<void> placed = workbench.fillSlotFromPicture(
                given.slot,
                [&]() -> std::optional<QImage> {
                    PictureLoad load = loadPictureFile(given.path, [&](QSize natural) {
                        return pastedDecodeSize(natural, options.fitMode);
                    });
                    if (!load.ok()) {
                        error = load.error();
                        return std::nullopt;
                    }
                    return load->image;
                },
                options.fitMode);
            if (!placed)
                return Failure{error.isEmpty() ? QStringLiteral("the picture has no pixels")
                                               : error,
                               given.path};
        } else {
            const Result<void> placed =
                workbench.fillSlotFromFile(given.slot, given.path, options.fitMode);
            if (!placed)
                return placed.failure();
        }
    }
    workbench.convert();
    return workbench.canvas().image();
}

Result<QByteArray> sheetPdf(const QImage& sheet, const PageSetup& setup)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("hakomiru-sheet"));
        writer.setTitle(QStringLiteral("ハコミル"));
        if (!writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter) ||
            !applyPageSetup(writer, setup))
            return Failure{QStringLiteral("the page cannot be set up"), {}};
        if (!paintSheetOnPage(writer, sheet, QSizeF(sheet.size())))
            return Failure{QStringLiteral("the sheet cannot be painted on the page"), {}};
    }
    if (bytes.isEmpty())
        return Failure{QStringLiteral("the page came out empty"), {}};
    return bytes;
}

} // namespace hakomiru
