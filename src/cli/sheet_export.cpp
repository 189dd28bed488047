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

// The side, in pixels, that the sharp outputs asked for draw a source box at (the box spans two
// piece widths of the sheet), no more than a slot keeps: the exporter reads its pictures no larger.
int sharpBoxSide(const ExportOptions& options)
{
    const double boxWidthOnSheet = 2.0 * pieceBoxSide;
    double side = 0;
    if (!options.pdfPath.isEmpty() || !options.svgPath.isEmpty()) {
        const QSize canvas = sheetCanvasSize(Surface(pieceBoxSide, pieceBoxSide));
        const double dpi = options.pictureDpi;
        if (const auto sheet = sheetOnPage(
                marginlessPage(pageSetupFor(options.paperSize, options.paperOrientation)),
                QSizeF(canvas), dpi, dpi))
            side = sheet->pixelsFor(boxWidthOnSheet, canvas.width(), dpi);
    }
    if (options.scale > 1)
        side = std::max(side, boxWidthOnSheet * options.scale);
    return std::min(keptBoxSide, static_cast<int>(std::ceil(side)));
}

// What each given picture's read asks for. A slot shown at another view paints its boxes from
// the picture it keeps, which is then read at the size the window keeps it at; when nothing shows
// the boxes (no sheet at its own size), one size, the sharp one, paints the boxes too; when nothing
// is drawn sharp, the slot keeps the picture its boxes show.
SlotReadPlan readPlanFor(const Workbench& workbench, const SlotPicture& picture,
                         const ExportOptions& options)
{
    if (options.pasted)
        return workbench.readPlan(picture.slot, options.fitMode, true);
    const bool viewed = !picture.view.isDefault();
    SlotReadPlan plan = workbench.readPlan(picture.slot, options.fitMode, false,
                                           viewed ? keptBoxSide : sharpBoxSide(options));
    if (options.drawsSharp() && (options.sheetPath.isEmpty() || options.scale > 1))
        plan.boxSide = plan.keptSide;
    else if (!options.drawsSharp() && !viewed)
        plan.keptSide = plan.boxSide;
    return plan;
}

// Reads the pictures `given[first..end)` by their plans: the first in this thread, the others each
// in a thread of its own. Each read has its own file and reader; nothing is shared.
std::vector<SlotReading> readTogether(const std::vector<SlotPicture>& given,
                                      const std::vector<SlotReadPlan>& plans, std::size_t first,
                                      std::size_t end)
{
    std::vector<std::future<SlotReading>> others;
    // A thread the system cannot start now leaves its picture to be read in this thread, later.
    for (std::size_t i = first + 1; i < end; ++i)
        others.push_back(
            std::async(std::launch::async | std::launch::deferred,
                       [&given, &plans, i] { return readSlotFile(given[i].path, plans[i]); }));
    std::vector<SlotReading> reads;
    reads.push_back(readSlotFile(given[first].path, plans[first]));
    for (std::future<SlotReading>& other : others)
        reads.push_back(other.get());
    return reads;
}

} // namespace

std::vector<std::size_t> readingGroups(std::span<const qint64> costs)
{
    std::vector<std::size_t> groups;
    for (std::size_t first = 0; first < costs.size();) {
        std::size_t end = first + 1;
        qint64 cost = costs[first];
        while (end < costs.size() && cost + costs[end] <= pictureMemoryBudget)
            cost += costs[end++];
        groups.push_back(end - first);
        first = end;
    }
    return groups;
}

Result<MadeSheet> makeSheet(const ExportOptions& options, Decoding decoding)
{
    Workbench workbench;
    const std::vector<SlotPicture> given = options.slotPictures();
    std::vector<SlotReadPlan> plans;
    for (const SlotPicture& picture : given)
        plans.push_back(readPlanFor(workbench, picture, options));

    // Pictures are decoded together, each on a thread of its own that the system shares out
    // among the cores (three pictures on two cores then take one and a half decodes' time, not
    // two), only as long as what they take together stays within the budget of one picture: the
    // run as a whole takes no more memory than reading its largest picture alone. The rest is
    // done in order. With one core there is nothing to gain, and the pictures are read in order.
    const bool together =
        decoding == Decoding::SideBySide && QThread::idealThreadCount() > 1 && given.size() > 1;
    std::vector<qint64> costs(given.size(), pictureMemoryBudget);
    if (together)
        for (std::size_t i = 0; i < given.size(); ++i)
            costs[i] = slotReadCost(given[i].path, plans[i]);

    std::size_t first = 0;
    for (const std::size_t count : readingGroups(costs)) {
        const std::size_t end = first + count;
        std::vector<SlotReading> reads = readTogether(given, plans, first, end);
        for (std::size_t i = first; i < end; ++i) {
            const SlotPicture& picture = given[i];
            workbench.clearSlot(picture.slot);
            const SlotReading& read = reads[i - first];
            if (!read)
                return read.failure();
            workbench.place(picture.slot, read.value());
            if (!picture.view.isDefault())
                (void)workbench.setView(picture.slot, picture.view);
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
