// Speed of the conversion, of opening large photos and of writing the sheet, each next to a
// yardstick measured in the same run: a plain copy of the canvas bytes, a full-size decode, djpeg's
// 1/8-scale decode.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <lcms2.h>

#include "cli/sheet_export.h"
#include "conversion/box.h"
#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "intake/slot_read.h"
#include "intake/slot_view.h"
#include "output/box_drawing.h"
#include "output/page_layout.h"
#include "output/sharp_page.h"
#include "output/sheet_file.h"
#include "picture/picture_file.h"
#include "surface/surface.h"

using namespace hakomiru;

namespace {

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// A photo-like JPEG: smooth gradients with fine noise, so it compresses like a real photo. Each
// seed gives another photo.
QString photo(int width, int height, quint32 seed = 42)
{
    const QString path =
        scratch().filePath(QStringLiteral("photo-%1x%2-%3.jpg").arg(width).arg(height).arg(seed));
    if (QFile::exists(path))
        return path;
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(24u));
            row[x] = qRgb((x * 255 / width + noise) & 0xff, (y * 255 / height + noise) & 0xff,
                          ((x + y) * 127 / (width + height) + noise) & 0xff);
        }
    }
    image.save(path, "jpg", 90);
    return path;
}

// The same photo marked as Display P3: an ICC profile (P3's primaries on sRGB's curve, made by
// LittleCMS) in an APP2 segment after the start of the file.
QString p3Photo(int width, int height)
{
    const QString path =
        scratch().filePath(QStringLiteral("photo-p3-%1x%2.jpg").arg(width).arg(height));
    if (QFile::exists(path))
        return path;
    const cmsCIExyY d65{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE p3{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    const double srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &p3, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    QFile plain(photo(width, height));
    if (!plain.open(QIODevice::ReadOnly))
        return {};
    QByteArray jpeg = plain.readAll();
    const QByteArray data = QByteArray("ICC_PROFILE", 12) + char(1) + char(1) + icc;
    const QByteArray segment = QByteArray("\xff\xe2") + char((data.size() + 2) >> 8) +
                               char((data.size() + 2) & 0xff) + data;
    jpeg.insert(2, segment);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        return {};
    return path;
}

// The same picture drawing as a PNG file: the kinds other than JPEG are decoded whole.
QString pngPhoto(int width, int height)
{
    const QString path =
        scratch().filePath(QStringLiteral("photo-%1x%2.png").arg(width).arg(height));
    if (!QFile::exists(path))
        QImage(photo(width, height)).save(path, "png");
    return path;
}

// A progressive JPEG of the same drawing.
QString progressivePhoto(int width, int height)
{
    const QString path =
        scratch().filePath(QStringLiteral("progressive-%1x%2.jpg").arg(width).arg(height));
    if (QFile::exists(path))
        return path;
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(9);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(24u));
            row[x] = qRgb((x * 255 / width + noise) & 0xff, (y * 255 / height + noise) & 0xff,
                          noise * 4);
        }
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return path;
}

// The longest wait, in milliseconds, of the event loop for a timer due every millisecond, from
// `start` until `done`: how long the window would not answer.
double longestWait(const std::function<void()>& start, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    double longest = 0;
    qint64 last = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
        last = now;
    });
    clock.start();
    tick.start(1);
    start();
    longest = std::max(longest, double(clock.nsecsElapsed() - last) / 1e6);
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
    }
    return longest;
}

// The longest wait of each event loop benchmark, for the summary.
std::map<std::string, double>& longestWaits()
{
    static std::map<std::string, double> waits;
    return waits;
}

// A workbench whose six slots hold pictures, as after opening three photos and more.
struct Sheet
{
    Workbench bench;
    Sheet()
    {
        for (int i = 0; i < slotCount; ++i) {
            QImage picture(489, 489, QImage::Format_RGB32);
            picture.fill(qRgb(30 * i, 200 - 20 * i, 90));
            QPainter(&picture).fillRect(0, 0, 244, 244, Qt::red);
            bench.sourceBox(i).setPicture(picture);
        }
    }
};

void conversion(benchmark::State& state)
{
    Sheet sheet;
    for (auto _ : state) {
        sheet.bench.convert();
        benchmark::DoNotOptimize(sheet.bench.canvas().constRow(0));
    }
}
BENCHMARK(conversion)->Name("conversion (cut, place, draw)")->Unit(benchmark::kMicrosecond);

// The stages one by one, to see where the conversion's time goes.
void cutStage(benchmark::State& state)
{
    Sheet sheet;
    for (auto _ : state)
        CutQuarterPieces(sheet.bench.slotSources(), sheet.bench.pieceBoxes());
}
BENCHMARK(cutStage)->Name("stage: cut quarter pieces")->Unit(benchmark::kMicrosecond);

void placeStage(benchmark::State& state)
{
    Sheet sheet;
    CutQuarterPieces(sheet.bench.slotSources(), sheet.bench.pieceBoxes());
    for (auto _ : state)
        PlacePieces(sheet.bench.pieceBoxes(), sheet.bench.canvas());
}
BENCHMARK(placeStage)->Name("stage: place pieces")->Unit(benchmark::kMicrosecond);

void drawStage(benchmark::State& state)
{
    Sheet sheet;
    for (auto _ : state)
        DrawSheetLines(sheet.bench.pieceBox(0), sheet.bench.canvas());
}
BENCHMARK(drawStage)->Name("stage: draw sheet lines")->Unit(benchmark::kMicrosecond);

void canvasCopy(benchmark::State& state)
{
    const std::size_t bytes = std::size_t(1702) * 1302 * 4;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(canvasCopy)->Name("canvas copy (memcpy 1702x1302x4)")->Unit(benchmark::kMicrosecond);

// Opening a photo into a slot's boxes: measure, decode only as large as it is painted, fit and
// paint into the source box and the preview box.
void openIntoSlot(benchmark::State& state)
{
    const QString path = photo(int(state.range(0)), int(state.range(1)));
    Workbench bench;
    for (auto _ : state) {
        if (!fillSlotFromFile(loadPictureFile, path, fitWhole, bench.slotBoxes(0))) {
            state.SkipWithError("the photo did not load");
            break;
        }
        benchmark::DoNotOptimize(bench.preview(0).constRow(0));
    }
}
BENCHMARK(openIntoSlot)
    ->Name("open into slot 24 MP")
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(openIntoSlot)
    ->Name("open into slot 48 MP")
    ->Args({8000, 6000})
    ->Unit(benchmark::kMillisecond);

// The same as the program opens it: the boxes, and the picture the slot keeps for printing (the
// file read once; the JPEG decoded reduced at both sizes, the second at what a 600 dpi A3 page
// needs).
void openAndKeep(benchmark::State& state)
{
    const QString path = photo(int(state.range(0)), int(state.range(1)));
    Workbench bench;
    for (auto _ : state) {
        if (!bench.fillSlotFromFile(0, path, fitWhole)) {
            state.SkipWithError("the photo did not load");
            break;
        }
        benchmark::DoNotOptimize(bench.keptPicture(0).image.constBits());
    }
}
BENCHMARK(openAndKeep)
    ->Name("open into slot and keep 24 MP")
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond);

// The same for the photo marked as Display P3: its colours converted to sRGB at both sizes.
void openAndKeepP3(benchmark::State& state)
{
    const QString path = p3Photo(int(state.range(0)), int(state.range(1)));
    Workbench bench;
    for (auto _ : state) {
        if (!bench.fillSlotFromFile(0, path, fitWhole)) {
            state.SkipWithError("the photo did not load");
            break;
        }
        benchmark::DoNotOptimize(bench.keptPicture(0).image.constBits());
    }
}
BENCHMARK(openAndKeepP3)
    ->Name("open into slot and keep 24 MP Display P3")
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond);

// The same for a PNG, decoded once and reduced to both sizes.
void openAndKeepPng(benchmark::State& state)
{
    const QString path = pngPhoto(int(state.range(0)), int(state.range(1)));
    Workbench bench;
    for (auto _ : state) {
        if (!bench.fillSlotFromFile(0, path, fitWhole)) {
            state.SkipWithError("the photo did not load");
            break;
        }
        benchmark::DoNotOptimize(bench.keptPicture(0).image.constBits());
    }
}
BENCHMARK(openAndKeepPng)
    ->Name("open into slot and keep 24 MP PNG")
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond);

void fullDecodePng(benchmark::State& state)
{
    const QString path = pngPhoto(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QImageReader reader(path);
        QImage image = reader.read();
        if (image.isNull()) {
            state.SkipWithError("the photo did not decode");
            break;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(fullDecodePng)
    ->Name("full decode 24 MP PNG")
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond);

// The window's event loop while a 108 MP progressive JPEG is read for a slot as the window reads
// it: on a reading thread, the read placed when it ends.
void answersWhileOpening(benchmark::State& state)
{
    const QString path = progressivePhoto(12000, 9000);
    for (auto _ : state) {
        Workbench bench;
        QThreadPool readers;
        std::atomic<bool> read = false;
        std::optional<SlotReading> result;
        const double wait = longestWait(
            [&] {
                readers.start([&] {
                    result = readSlotFile(path, bench.readPlan(0, fitWhole));
                    read = true;
                });
            },
            [&] { return read.load(); });
        readers.waitForDone();
        if (!result || !*result) {
            state.SkipWithError("the photo did not load");
            break;
        }
        bench.clearSlot(0);
        bench.place(0, result->value());
        state.counters["longest wait ms"] = wait;
        double& longest = longestWaits()["while a 108 MP progressive JPEG opens"];
        longest = std::max(longest, wait);
    }
}
BENCHMARK(answersWhileOpening)
    ->Name("event loop while a 108 MP progressive JPEG opens")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

QStringList threePhotos();

// The window's event loop while an A3 landscape page is drawn at 600 dpi as printing draws it:
// the pieces made one by one on the window's thread, the events answered between them, then the
// page drawn.
void answersWhilePrinting(benchmark::State& state)
{
    Workbench bench;
    const QStringList photos = threePhotos();
    for (int i = 0; i < 3; ++i)
        (void)bench.fillSlotFromFile(std::array{0, 1, 5}[std::size_t(i)], photos[i], fitWhole);
    bench.convert();
    for (auto _ : state) {
        bool printed = false;
        const double wait = longestWait(
            [&] {
                QByteArray bytes;
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                QPdfWriter writer(&buffer);
                writer.setResolution(600);
                writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
                (void)applyPageSetup(writer, pageSetupFor(3, 0));
                printed = paintSharpSheetOnPage(writer, bench.sheetDrawing(), 600, [](int, int) {
                    QCoreApplication::processEvents();
                    return true;
                });
            },
            [&] { return true; });
        if (!printed) {
            state.SkipWithError("the page was not drawn");
            break;
        }
        state.counters["longest wait ms"] = wait;
        double& longest = longestWaits()["while an A3 page is drawn at 600 dpi"];
        longest = std::max(longest, wait);
    }
}
BENCHMARK(answersWhilePrinting)
    ->Name("event loop while an A3 page is drawn at 600 dpi")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Moving and zooming a 24 MP photo in its slot (args: zoom x 100, fitMode). A drag step paints the
// preview at the view under the pointer; the release paints the source box and the preview. Each
// iteration moves the picture one pixel further, so nothing is painted twice alike.
template <bool release> void viewPainting(benchmark::State& state)
{
    Workbench bench;
    if (!bench.fillSlotFromFile(0, photo(6000, 4000), int(state.range(1)))) {
        state.SkipWithError("the photo did not load");
        return;
    }
    SlotView view{double(state.range(0)) / 100, 0, 0};
    for (auto _ : state) {
        view.dx = (view.dx + 1) % 40;
        benchmark::DoNotOptimize(release ? bench.setView(0, view) : bench.paintPreview(0, view));
    }
}
BENCHMARK(viewPainting<false>)
    ->Name("view: drag step (preview) 24 MP")
    ->ArgNames({"zoom%", "fit"})
    ->ArgsProduct({{100, 300, 800}, {fitWhole, fitCover}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(viewPainting<true>)
    ->Name("view: release (source box and preview) 24 MP")
    ->ArgNames({"zoom%", "fit"})
    ->ArgsProduct({{100, 125, 230, 240, 800}, {fitWhole, fitCover}})
    ->Unit(benchmark::kMillisecond);

void fullDecode(benchmark::State& state)
{
    const QString path = photo(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QImageReader reader(path);
        QImage image = reader.read();
        if (image.isNull()) {
            state.SkipWithError("the photo did not decode");
            break;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(fullDecode)->Name("full decode 24 MP")->Args({6000, 4000})->Unit(benchmark::kMillisecond);
BENCHMARK(fullDecode)->Name("full decode 48 MP")->Args({8000, 6000})->Unit(benchmark::kMillisecond);

// Runs `program` with `arguments`, on the first core only when `oneCore`; false when it fails.
bool runProgram(const QString& program, QStringList arguments, bool oneCore)
{
    QProcess process;
    if (oneCore)
        arguments.prepend(program);
    process.start(oneCore ? QStringLiteral("taskset") : program,
                  oneCore ? QStringList{QStringLiteral("-c"), QStringLiteral("0")} + arguments
                          : arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QStringList threePhotos()
{
    return {photo(6000, 4000, 1), photo(6000, 4000, 2), photo(6000, 4000, 3)};
}

// The exporter making a sheet from three 24 MP photos, start to finish, on every core (range 0)
// or on one.
void exportThreePhotos(benchmark::State& state)
{
    const QStringList photos = threePhotos();
    const QStringList arguments{
        QStringLiteral("-a"), photos[0],
        QStringLiteral("-b"), photos[1],
        QStringLiteral("-c"), photos[2],
        QStringLiteral("-o"), scratch().filePath(QStringLiteral("three.bmp"))};
    for (auto _ : state)
        if (!runProgram(QStringLiteral(HAKOMIRU_SHEET), arguments, state.range(0) == 1)) {
            state.SkipWithError("the exporter failed");
            break;
        }
}
BENCHMARK(exportThreePhotos)
    ->Name("hakomiru-sheet, three 24 MP JPEGs")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(exportThreePhotos)
    ->Name("hakomiru-sheet, three 24 MP JPEGs, one core")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor of any reduced decode: djpeg decoding the same three photos at 1/8 scale, one after
// another (the entropy decoding that no reduction skips).
void djpegEighths(benchmark::State& state)
{
    const QStringList photos = threePhotos();
    for (auto _ : state)
        for (const QString& photo : photos)
            if (!runProgram(QStringLiteral("djpeg"),
                            {QStringLiteral("-scale"), QStringLiteral("1/8"),
                             QStringLiteral("-outfile"), QStringLiteral("/dev/null"), photo},
                            state.range(0) == 1)) {
                state.SkipWithError("djpeg failed (package libjpeg-turbo-progs)");
                return;
            }
}
BENCHMARK(djpegEighths)
    ->Name("djpeg -scale 1/8, three 24 MP JPEGs in series")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(djpegEighths)
    ->Name("djpeg -scale 1/8, three 24 MP JPEGs in series, one core")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void saveSheet(benchmark::State& state)
{
    Sheet sheet;
    sheet.bench.convert();
    const QString path = scratch().filePath(QStringLiteral("sheet.bmp"));
    for (auto _ : state) {
        if (!writeSheetFile(sheet.bench.canvas().image(), path)) {
            state.SkipWithError("the sheet was not written");
            break;
        }
    }
}
BENCHMARK(saveSheet)->Name("save sheet as BMP")->Unit(benchmark::kMillisecond);

// Laying out and drawing one printed page (B4 landscape, as a fresh start prints) into a PDF at
// 300 dpi, from three 24 MP photos kept in their slots.
void printPage(benchmark::State& state)
{
    Workbench bench;
    const QStringList photos = threePhotos();
    for (int i = 0; i < 3; ++i)
        (void)bench.fillSlotFromFile(std::array{0, 1, 5}[std::size_t(i)], photos[i], fitWhole);
    bench.convert();
    const PageSetup setup = pageSetupFor(2, 0);
    for (auto _ : state) {
        const auto pdf = sheetPdf(bench.sheetDrawing(), setup, 300);
        if (!pdf) {
            state.SkipWithError("the page was not made");
            break;
        }
        benchmark::DoNotOptimize(pdf.value().constData());
    }
}
BENCHMARK(printPage)
    ->Name("print page into PDF (B4 landscape, 300 dpi)")
    ->Unit(benchmark::kMillisecond);

// The exporter making the A3 landscape page (range 0: its dpi) or the SVG drawing (range 1) of
// three 24 MP photos, start to finish.
void exportSharp(benchmark::State& state)
{
    const QStringList photos = threePhotos();
    QStringList arguments{QStringLiteral("-a"),      photos[0],
                          QStringLiteral("-b"),      photos[1],
                          QStringLiteral("-c"),      photos[2],
                          QStringLiteral("--paper"), QStringLiteral("A3"),
                          QStringLiteral("--dpi"),   QString::number(state.range(0))};
    arguments << (state.range(1) ? QStringLiteral("--svg") : QStringLiteral("--pdf"))
              << scratch().filePath(QStringLiteral("sharp"));
    for (auto _ : state)
        if (!runProgram(QStringLiteral(HAKOMIRU_SHEET), arguments, false)) {
            state.SkipWithError("the exporter failed");
            break;
        }
}
BENCHMARK(exportSharp)
    ->Name("hakomiru-sheet --pdf, A3, 300 dpi")
    ->Args({300, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(exportSharp)
    ->Name("hakomiru-sheet --pdf, A3, 600 dpi")
    ->Args({600, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(exportSharp)
    ->Name("hakomiru-sheet --svg, A3, 300 dpi")
    ->Args({300, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The yardstick of the sharp outputs, what any program making them must do: djpeg decoding the
// three photos at 1/2 scale (the least that holds a 600 dpi A3 page's detail), one after
// another, plus libjpeg (through Qt's writer, quality 94) compressing the page's picture data:
// twelve pieces of 200 sheet pixels at the dpi.
void sharpYardstick(benchmark::State& state)
{
    const QStringList photos = threePhotos();
    const int side = qRound(200 * 420 * 0.96 / 1702 / 25.4 * double(state.range(0)));
    QImage piece(side, side, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int noise = int(random.bounded(24u));
            piece.setPixel(x, y,
                           qRgb((x * 255 / side + noise) & 0xff, (y * 255 / side + noise) & 0xff,
                                (noise * 5) & 0xff));
        }
    for (auto _ : state) {
        for (const QString& photo : photos)
            if (!runProgram(QStringLiteral("djpeg"),
                            {QStringLiteral("-scale"), QStringLiteral("1/2"),
                             QStringLiteral("-outfile"), QStringLiteral("/dev/null"), photo},
                            false)) {
                state.SkipWithError("djpeg failed (package libjpeg-turbo-progs)");
                return;
            }
        for (int i = 0; i < 12; ++i) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(94);
            writer.write(piece);
            benchmark::DoNotOptimize(bytes.constData());
        }
    }
}
BENCHMARK(sharpYardstick)
    ->Name("djpeg 1/2 three 24 MP + JPEG of the pictures, 300 dpi")
    ->Arg(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(sharpYardstick)
    ->Name("djpeg 1/2 three 24 MP + JPEG of the pictures, 600 dpi")
    ->Arg(600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One frame of the box window's 600 x 600 view, drawn from the sheet (200 pixels a cell): each
// state as first shown (0..2), and the flat sheet half folded (3).
void boxFrame(benchmark::State& state)
{
    Sheet sheet;
    sheet.bench.convert();
    const BoxPictures pictures(sheet.bench.canvas().image());
    const Box& box = sheetBox();
    const int which = int(state.range(0));
    const BoxPose pose = which < boxStateCount ? statePose(box, which) : foldingPose(box, 0.5f);
    const QMatrix4x4 turn = startingTurn(box, which < boxStateCount ? which : slabState);
    QImage frame(600, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&frame);
        paintBox(painter, frame.rect(), pictures, pose, turn);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(boxFrame)
    ->Name("box: one 600 x 600 frame")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond);

// Collects the mean time of every benchmark so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred) {
                const double time =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                seconds[run.run_name.function_name] = time;
                double& most = slowest[run.run_name.function_name];
                most = std::max(most, time);
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
    // The slowest run of each benchmark over its arguments.
    std::map<std::string, double> slowest;
};

// The slowest run of `what` against a time that a user feels as direct.
void printSlowest(const RatioReporter& r, const std::string& what, const char* label,
                  double targetMs)
{
    const auto a = r.slowest.find(what);
    if (a == r.slowest.end())
        return;
    const double ms = a->second * 1000;
    std::printf("%-52s %6.2f ms  (target at most %.0f ms: %s)\n", label, ms, targetMs,
                ms <= targetMs ? "met" : "MISSED");
}

void printRatio(const RatioReporter& r, const std::string& what, const std::string& yardstick,
                const char* label, double target)
{
    const auto a = r.seconds.find(what);
    const auto b = r.seconds.find(yardstick);
    if (a == r.seconds.end() || b == r.seconds.end())
        return;
    const double ratio = a->second / b->second;
    std::printf("%-52s %6.2f  (target at most %.1f: %s)\n", label, ratio, target,
                ratio <= target ? "met" : "MISSED");
}

// What `what` takes beyond `without`, against `yardstick`.
void printExtra(const RatioReporter& r, const std::string& what, const std::string& without,
                const std::string& yardstick, const char* label, double target)
{
    const auto a = r.seconds.find(what);
    const auto b = r.seconds.find(without);
    const auto c = r.seconds.find(yardstick);
    if (a == r.seconds.end() || b == r.seconds.end() || c == r.seconds.end())
        return;
    const double ratio = (a->second - b->second) / c->second;
    std::printf("%-52s %6.2f  (target at most %.2f: %s)\n", label, ratio, target,
                ratio <= target ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios (same run):\n");
    printRatio(reporter, "conversion (cut, place, draw)", "canvas copy (memcpy 1702x1302x4)",
               "conversion / canvas copy", 4.0);
    printRatio(reporter, "open into slot 24 MP", "full decode 24 MP",
               "open 24 MP JPEG into a slot / full decode", 0.6);
    printRatio(reporter, "open into slot 48 MP", "full decode 48 MP",
               "open 48 MP JPEG into a slot / full decode", 0.6);
    printRatio(reporter, "open into slot and keep 24 MP", "full decode 24 MP",
               "the same and kept for printing / full decode", 0.6);
    printExtra(reporter, "open into slot and keep 24 MP Display P3",
               "open into slot and keep 24 MP", "full decode 24 MP",
               "converting a 24 MP Display P3 JPEG's colours / decode", 0.15);
    printRatio(reporter, "open into slot and keep 24 MP PNG", "full decode 24 MP PNG",
               "open 24 MP PNG and keep it / its full decode", 1.1);
    printRatio(reporter, "hakomiru-sheet --pdf, A3, 300 dpi",
               "djpeg 1/2 three 24 MP + JPEG of the pictures, 300 dpi",
               "A3 page at 300 dpi / djpeg 1/2 + JPEG", 2.0);
    printRatio(reporter, "hakomiru-sheet --pdf, A3, 600 dpi",
               "djpeg 1/2 three 24 MP + JPEG of the pictures, 600 dpi",
               "A3 page at 600 dpi / djpeg 1/2 + JPEG", 2.0);
    printRatio(reporter, "hakomiru-sheet --svg, A3, 300 dpi",
               "djpeg 1/2 three 24 MP + JPEG of the pictures, 300 dpi",
               "SVG at 300 dpi / djpeg 1/2 + JPEG", 2.0);
    printRatio(reporter, "hakomiru-sheet, three 24 MP JPEGs",
               "djpeg -scale 1/8, three 24 MP JPEGs in series",
               "sheet of three 24 MP JPEGs / djpeg 1/8 in series", 0.8);
    printRatio(reporter, "hakomiru-sheet, three 24 MP JPEGs, one core",
               "djpeg -scale 1/8, three 24 MP JPEGs in series, one core", "the same on one core",
               1.1);
    for (const auto& [name, wait] : longestWaits())
        std::printf("%-52s %6.2f ms  (target at most 50 ms: %s)\n",
                    ("longest wait of the event loop " + name).c_str(), wait,
                    wait <= 50 ? "met" : "MISSED");
    printSlowest(reporter, "box: one 600 x 600 frame",
                 "slowest frame of the box, 600 x 600, any state", 16);
    printSlowest(reporter, "view: drag step (preview) 24 MP",
                 "slowest drag step (preview), 24 MP, any zoom", 8);
    printSlowest(reporter, "view: release (source box and preview) 24 MP",
                 "slowest release (source box), 24 MP, any zoom", 50);
    benchmark::Shutdown();
    return 0;
}
