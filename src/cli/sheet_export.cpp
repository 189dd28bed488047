#include "cli/sheet_export.h"

#include <algorithm>
#include <future>
#include <vector>

#include <QBuffer>
#include <QPdfWriter>
#include <QThread>

#include "cli/export_options.h"
#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "intake/fit.h"
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

// Reads the pictures `given[first..end)`, each at its decode size: the first in this thread, the
// others each in a thread of its own. Each read has its own file and reader; nothing is shared.
std::vector<PictureLoad> readTogether(const std::vector<SlotPicture>& given,
                                      const std::vector<DecodeSizeFor>& sizes, std::size_t first,
                                      std::size_t end)
{
    std::vector<std::future<PictureLoad>> others;
    // A thread the system cannot start now leaves its picture to be read in this thread, later.
    for (std::size_t i = first + 1; i < end; ++i)
        others.push_back(
            std::async(std::launch::async | std::launch::deferred,
                       [&given, &sizes, i] { return loadPictureFile(given[i].path, sizes[i]); }));
    std::vector<PictureLoad> loads;
    loads.push_back(loadPictureFile(given[first].path, sizes[first]));
    for (std::future<PictureLoad>& other : others)
        loads.push_back(other.get());
    return loads;
}

// Places a picture already read into its slot, as the program places it.
Result<void> place(Workbench& workbench, const SlotPicture& given, const ExportOptions& options,
                   PictureLoad load)
{
    if (!options.pasted)
        return workbench.fillSlotFromFile(
            given.slot, given.path, options.fitMode,
            [&load](const QString&, const DecodeSizeFor&) { return std::move(load); });
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

Result<QImage> makeSheet(const ExportOptions& options, Decoding decoding)
{
    Workbench workbench;
    const std::vector<SlotPicture> given = options.slotPictures();
    std::vector<DecodeSizeFor> sizes;
    for (const SlotPicture& picture : given)
        sizes.push_back(options.pasted
                            ? pastedDecodeSizeFor(options.fitMode)
                            : workbench.fileDecodeSizeFor(picture.slot, options.fitMode));

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
            costs[i] = pictureFileCost(given[i].path, sizes[i]);

    for (std::size_t first = 0; first < given.size();) {
        std::size_t end = first + 1;
        qint64 cost = costs[first];
        while (together && end < given.size() && cost + costs[end] <= pictureMemoryBudget)
            cost += costs[end++];
        std::vector<PictureLoad> loads = readTogether(given, sizes, first, end);
        for (std::size_t i = first; i < end; ++i) {
            const Result<void> placed =
                place(workbench, given[i], options, std::move(loads[i - first]));
            if (!placed)
                return placed.failure();
        }
        first = end;
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
        writer.setTitle(programTitle);
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
