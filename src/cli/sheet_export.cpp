#include "cli/sheet_export.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <vector>

#include <QBuffer>
#include <QPdfWriter>
#include <QThread>

#include "cli/export_options.h"
#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "intake/fit.h"
#include "output/sharp_page.h"
#include "picture/picture_file.h"
#include "surface/program_title.h"

namespace hakomiru {

namespace {

// The size a pasted picture is decoded at for `fitMode`. A pasted picture arrives whole, as the
// clipboard hands it over, and is decoded whole to be placed the same. One whose whole 32-bit
// form would not fit the memory budget (some 117 megapixels) is decoded at the size the source
// box needs, as an opened picture is, rather than refused. It depends on the picture alone.
DecodeSizeFor pastedDecodeSizeFor(int fitMode)
{
    return [fitMode](QSize natural) {
        const qint64 wholeBytes = qint64(natural.width()) * natural.height() * 4;
        if (wholeBytes <= pictureMemoryBudget)
            return natural;
        return decodeSizeFor(natural, sourceBoxSide, fitMode, pasteAspectThreshold());
    };
}

// The side, in pixels, that the sharp outputs asked for draw a source box at (the box spans two
// piece widths of the sheet), no more than a slot keeps: the exporter reads its pictures no larger.
int sharpBoxSide(const ExportOptions& options)
{
    const double boxWidthOnSheet = 2.0 * pieceBoxSide;
    double side = 0;
    if (!options.pdfPath.isEmpty() || !options.svgPath.isEmpty()) {
        const PageSetup setup = pageSetupFor(options.paperSize, options.paperOrientation);
        const QPageLayout page(QPageSize(setup.paper.value_or(QPageSize::A3)), setup.orientation,
                               QMarginsF());
        const QSize canvas = sheetCanvasSize(Surface(pieceBoxSide, pieceBoxSide));
        if (const auto sheet = sheetDestination(printableWidthTwips(page), QSizeF(canvas)))
            side = sheet->width() / twipsPerInch * options.pictureDpi * boxWidthOnSheet /
                   canvas.width();
    }
    if (options.scale > 1)
        side = std::max(side, boxWidthOnSheet * options.scale);
    return std::min(keptBoxSide, static_cast<int>(std::ceil(side)));
}

// What one picture file was read as: for its boxes, and (when the slot keeps it larger) at the
// kept size.
struct Reads
{
    std::vector<PictureLoad> loads;
};

// Reads one picture at each of its decode sizes in turn; a read that fails stops it.
Reads readPicture(const QString& path, const std::vector<DecodeSizeFor>& sizes)
{
    Reads reads;
    for (const DecodeSizeFor& size : sizes) {
        reads.loads.push_back(loadPictureFile(path, size));
        if (!reads.loads.back().ok())
            break;
    }
    return reads;
}

// Reads the pictures `given[first..end)`, each at its decode sizes: the first in this thread, the
// others each in a thread of its own. Each read has its own file and reader; nothing is shared.
std::vector<Reads> readTogether(const std::vector<SlotPicture>& given,
                                const std::vector<std::vector<DecodeSizeFor>>& sizes,
                                std::size_t first, std::size_t end)
{
    std::vector<std::future<Reads>> others;
    // A thread the system cannot start now leaves its picture to be read in this thread, later.
    for (std::size_t i = first + 1; i < end; ++i)
        others.push_back(
            std::async(std::launch::async | std::launch::deferred,
                       [&given, &sizes, i] { return readPicture(given[i].path, sizes[i]); }));
    std::vector<Reads> reads;
    reads.push_back(readPicture(given[first].path, sizes[first]));
    for (std::future<Reads>& other : others)
        reads.push_back(other.get());
    return reads;
}

// Places a picture already read into its slot, as the program places it.
Result<void> place(Workbench& workbench, const SlotPicture& given, const ExportOptions& options,
                   Reads reads)
{
    if (!options.pasted) {
        // The workbench reads a file for its boxes, then for the picture it keeps; it is given the
        // reads made beforehand in that order, the last one again when there was only one (the
        // boxes' picture is then kept, or the kept picture painted into the boxes).
        std::size_t next = 0;
        return workbench.fillSlotFromFile(
            given.slot, given.path, options.fitMode,
            [&reads, &next](const QString& path, const DecodeSizeFor&) -> PictureLoad {
                if (reads.loads.empty())
                    return Failure{QStringLiteral("not read"), path};
                return reads.loads[std::min(next++, reads.loads.size() - 1)];
            });
    }
    PictureLoad load = reads.loads.empty()
                           ? PictureLoad(Failure{QStringLiteral("not read"), given.path})
                           : std::move(reads.loads.front());
    const Result<void> placed = workbench.fillSlotFromPicture(
        given.slot,
        [&load]() -> std::optional<QImage> {
            if (!load.ok())
                return std::nullopt;
            return load->image;
        },
        options.fitMode);
    if (!placed)
        return Failure{load.error().isEmpty() ? QStringLiteral("the picture has no pixels")
                                              : load.error(),
                       given.path};
    return {};
}

} // namespace

Result<MadeSheet> makeSheet(const ExportOptions& options, Decoding decoding)
{
    Workbench workbench;
    const std::vector<SlotPicture> given = options.slotPictures();
    std::vector<std::vector<DecodeSizeFor>> sizes;
    for (const SlotPicture& picture : given) {
        // A slot shown at another view paints its boxes from the picture it keeps, which is then
        // read at the size the window keeps it at.
        const bool viewed = !picture.view.isDefault();
        const DecodeSizeFor kept = Workbench::keptDecodeSizeFor(
            options.fitMode, viewed ? keptBoxSide : sharpBoxSide(options));
        if (options.pasted)
            sizes.push_back({pastedDecodeSizeFor(options.fitMode)});
        else if (options.drawsSharp() && (options.sheetPath.isEmpty() || options.scale > 1))
            // Nothing shows the boxes: one read, at the sharp size, paints them as well.
            sizes.push_back({kept});
        else if (options.drawsSharp() || viewed)
            sizes.push_back({workbench.fileDecodeSizeFor(picture.slot, options.fitMode), kept});
        else
            sizes.push_back({workbench.fileDecodeSizeFor(picture.slot, options.fitMode)});
    }

    // Pictures are decoded together, each on a thread of its own that the system shares out
    // among the cores (three pictures on two cores then take one and a half decodes' time, not
    // two), only as long as what they take together stays within the budget of one picture: the
    // run as a whole takes no more memory than reading its largest picture alone. The rest is
    // done in order. With one core there is nothing to gain, and the pictures are read in order.
    const bool together =
        decoding == Decoding::SideBySide && QThread::idealThreadCount() > 1 && given.size() > 1;
    std::vector<qint64> costs(given.size(), 0);
    if (together)
        for (std::size_t i = 0; i < given.size(); ++i)
            for (const DecodeSizeFor& size : sizes[i]) // one read after the other
                costs[i] = std::max(costs[i], pictureFileCost(given[i].path, size));

    for (std::size_t first = 0; first < given.size();) {
        std::size_t end = first + 1;
        qint64 cost = costs[first];
        while (together && end < given.size() && cost + costs[end] <= pictureMemoryBudget)
            cost += costs[end++];
        std::vector<Reads> reads = readTogether(given, sizes, first, end);
        for (std::size_t i = first; i < end; ++i) {
            const Result<void> placed =
                place(workbench, given[i], options, std::move(reads[i - first]));
            if (!placed)
                return placed.failure();
            if (!given[i].view.isDefault())
                (void)workbench.setView(given[i].slot, given[i].view);
        }
        first = end;
    }
    workbench.convert();
    return MadeSheet{workbench.canvas().image(), workbench.sheetDrawing()};
}

Result<QByteArray> sheetPdf(const SheetDrawing& drawing, const PageSetup& setup, int pictureDpi)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("hakomiru-sheet"));
        writer.setTitle(programTitle);
        // One device pixel is one picture pixel.
        writer.setResolution(pictureDpi);
        if (!writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter) ||
            !applyPageSetup(writer, setup))
            return Failure{QStringLiteral("the page cannot be set up"), {}};
        if (!paintSharpSheetOnPage(writer, drawing, pictureDpi))
            return Failure{QStringLiteral("the sheet cannot be painted on the page"), {}};
    }
    if (bytes.isEmpty())
        return Failure{QStringLiteral("the page came out empty"), {}};
    return bytes;
}

} // namespace hakomiru
