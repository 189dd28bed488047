#include <QtTest>

#include <cstring>

#include <sys/resource.h>

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QXmlStreamReader>

#include "cli/export_options.h"
#include "cli/sheet_export.h"
#include "output/print_test_support.h"
#include "output/sheet_file.h"
#include "ui/form2.h"
#include "picture/picture_file.h"
#include "test_pictures.h"
#include "ui/window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runExporter(const QStringList& arguments, const QString& folder,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(HAKOMIRU_SHEET), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where two sheets first differ, for the failure message.
QString firstDifference(const QByteArray& a, const QByteArray& b)
{
    const QImage first = QImage::fromData(a, "BMP");
    const QImage second = QImage::fromData(b, "BMP");
    if (first.size() != second.size())
        return QStringLiteral("sizes %1x%2 and %3x%4")
            .arg(first.width())
            .arg(first.height())
            .arg(second.width())
            .arg(second.height());
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            if (first.pixel(x, y) != second.pixel(x, y))
                return QStringLiteral("pixel (%1, %2): %3 and %4")
                    .arg(x)
                    .arg(y)
                    .arg(colorText(first.pixel(x, y)), colorText(second.pixel(x, y)));
    return QStringLiteral("the same pixels, different bytes");
}

const char* const openItems[] = {"menuopen1", "menuopen2", "menuopen6"};
const char* const pasteItems[] = {"mnupaste1", "mnupaste2", "mnupaste6"};

// The sheet the window saves after opening (or pasting) `pictures` into 絵A, 絵B and 絵C with
// `fitMode` and pressing 変換.
QByteArray windowSheet(const QString& folder, const QStringList& pictures, int fitMode, bool pasted)
{
    Program program;
    program.state.fitMode = std::int16_t(fitMode);
    for (int i = 0; i < 3; ++i) {
        if (pictures[i].isEmpty())
            continue;
        const QString path = QDir(folder).filePath(pictures[i]);
        if (pasted) {
            program.services.clipboard = loadPictureFile(path)->image;
            program.action(pasteItems[i])->trigger();
        } else {
            program.services.openAnswers = {path};
            program.action(openItems[i])->trigger();
        }
    }
    program.form1->Command1(0)->click();
    program.form1->Timer1()->start(0); // no need to wait the second
    if (!QTest::qWaitFor([&] { return program.form1->form2()->isVisible(); }))
        return {};
    const QString saved = QDir(folder).filePath(QStringLiteral("window sheet.bmp"));
    QFile::remove(saved);
    program.services.saveAnswers = {saved};
    program.form1->form2()->findChild<QAction*>(QStringLiteral("mnusave"))->trigger();
    return contents(saved);
}

double points(double millimetres)
{
    return millimetres / 25.4 * 72.0;
}

} // namespace

class tst_HakomiruSheet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString folder() const { return m_dir.path(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QFileInfo(QStringLiteral(HAKOMIRU_SHEET)).isExecutable());
        // A landscape BMP, a large portrait JPEG (decoded reduced), a GIF whose name begins with
        // a dash, and a slightly portrait picture that a paste fits differently from a file.
        QVERIFY(savePicture(quadrantPicture(400, 300, qRgb(230, 30, 30), qRgb(30, 160, 40),
                                            qRgb(40, 60, 220), qRgb(240, 200, 20)),
                            m_dir.filePath("landscape.bmp"), "bmp"));
        QVERIFY(savePicture(quadrantPicture(900, 1200, qRgb(250, 120, 0), qRgb(0, 120, 120),
                                            qRgb(120, 0, 160), qRgb(20, 20, 20)),
                            m_dir.filePath("写真 の 絵.jpg"), "jpg"));
        QVERIFY(savePicture(quadrantPicture(330, 300, qRgb(255, 0, 255), qRgb(0, 255, 255),
                                            qRgb(255, 255, 0), qRgb(0, 0, 0)),
                            m_dir.filePath("-dash.gif"), "gif"));
        QVERIFY(savePicture(quadrantPicture(300, 330, qRgb(200, 0, 0), qRgb(0, 200, 0),
                                            qRgb(0, 0, 200), qRgb(90, 90, 90)),
                            m_dir.filePath("tall.bmp"), "bmp"));
        // One photo as PNG, WebP, TIFF, HEIC and AVIF (tests/data/make_pictures.py).
        for (const char* kind : {"png", "webp", "tif", "heic", "avif"})
            QVERIFY(QFile::copy(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/photo.") + kind,
                                m_dir.filePath(QStringLiteral("photo.") + kind)));
    }

    // The exporter's sheet is, byte for byte, the sheet the window saves for the same pictures.
    void sheetIsTheWindowsSheet_data()
    {
        QTest::addColumn<QStringList>("pictures"); // 絵A, 絵B, 絵C; empty: not given
        QTest::addColumn<int>("fitMode");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<bool>("afterDoubleDash");
        QTest::newRow("whole, three pictures")
            << QStringList{"landscape.bmp", "写真 の 絵.jpg", "-dash.gif"} << 0 << false << false;
        QTest::newRow("cover, 絵A and 絵C")
            << QStringList{"写真 の 絵.jpg", "", "landscape.bmp"} << 1 << false << false;
        QTest::newRow("pictures after --")
            << QStringList{"-dash.gif", "tall.bmp", "landscape.bmp"} << 1 << false << true;
        QTest::newRow("pasted, whole")
            << QStringList{"tall.bmp", "landscape.bmp", "写真 の 絵.jpg"} << 0 << true << false;
        QTest::newRow("pasted, cover") << QStringList{"", "tall.bmp", ""} << 1 << true << false;
        QTest::newRow("HEIC, WebP and TIFF")
            << QStringList{"photo.heic", "photo.webp", "photo.tif"} << 0 << false << false;
        QTest::newRow("AVIF and HEIC, pasted")
            << QStringList{"photo.avif", "tall.bmp", "photo.heic"} << 1 << true << false;
    }
    void sheetIsTheWindowsSheet()
    {
        QFETCH(QStringList, pictures);
        QFETCH(int, fitMode);
        QFETCH(bool, pasted);
        QFETCH(bool, afterDoubleDash);

        QStringList arguments{"-o", "./-sheet.bmp", "--fit", fitMode ? "cover" : "whole"};
        if (pasted)
            arguments << "--pasted";
        if (afterDoubleDash) {
            arguments << "--" << pictures;
        } else {
            const char* const options[] = {"-a", "-b", "-c"};
            for (int i = 0; i < 3; ++i)
                if (!pictures[i].isEmpty())
                    arguments << options[i] << pictures[i];
        }
        QFile::remove(m_dir.filePath("-sheet.bmp"));
        const Run run = runExporter(arguments, folder());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QByteArray exported = contents(m_dir.filePath("-sheet.bmp"));
        QCOMPARE(QImage::fromData(exported, "BMP").size(), QSize(1702, 1302));

        const QByteArray saved = windowSheet(folder(), pictures, fitMode, pasted);
        QVERIFY(!saved.isEmpty());
        QVERIFY2(exported == saved, qPrintable(firstDifference(exported, saved)));

        // Decoded side by side and one after another, the pictures make the same sheet.
        ExportOptions options;
        options.fitMode = fitMode;
        options.pasted = pasted;
        for (int i = 0; i < 3; ++i)
            if (!pictures[i].isEmpty())
                options.pictures[std::size_t(i)] = m_dir.filePath(pictures[i]);
        for (const Decoding decoding : {Decoding::SideBySide, Decoding::OneAfterAnother}) {
            const Result<MadeSheet> sheet = makeSheet(options, decoding);
            QVERIFY(sheet);
            const QByteArray bytes = encodeSheetFile(sheet->canvas, "s.bmp").value();
            QVERIFY2(bytes == saved, qPrintable(firstDifference(bytes, saved)));
        }

        if (pasted) { // the slightly portrait picture lies otherwise when opened from its file
            arguments.removeAll("--pasted");
            QVERIFY(runExporter(arguments, folder()).exitCode == 0);
            QVERIFY(contents(m_dir.filePath("-sheet.bmp")) != exported);
        }
    }

    // The photo as WebP, TIFF, HEIC or AVIF in every slot makes the sheet its PNG makes: the
    // same bytes from the lossless TIFF, within what lossy encoding changes from the others.
    void everyKindMakesThePhotosSheet_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("lossless");
        QTest::newRow("webp") << "photo.webp" << false;
        QTest::newRow("tiff") << "photo.tif" << true;
        QTest::newRow("heic") << "photo.heic" << false;
        QTest::newRow("avif") << "photo.avif" << false;
    }
    void everyKindMakesThePhotosSheet()
    {
        QFETCH(QString, picture);
        QFETCH(bool, lossless);
        QByteArray sheets[2];
        for (int i = 0; i < 2; ++i) {
            const QString name = i == 0 ? QStringLiteral("photo.png") : picture;
            const QString out = m_dir.filePath(QStringLiteral("photo sheet.bmp"));
            QFile::remove(out);
            const Run run = runExporter({"-a", name, "-b", name, "-c", name, "-o", out}, folder());
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            sheets[i] = contents(out);
        }
        if (lossless) {
            QVERIFY2(sheets[0] == sheets[1], qPrintable(firstDifference(sheets[0], sheets[1])));
            return;
        }
        const QImage png = QImage::fromData(sheets[0], "BMP");
        const QImage other = QImage::fromData(sheets[1], "BMP");
        QCOMPARE(other.size(), png.size());
        QVERIFY(png != other);
        qint64 difference = 0;
        int far = 0;
        for (int y = 0; y < png.height(); ++y)
            for (int x = 0; x < png.width(); ++x) {
                const QRgb a = png.pixel(x, y), b = other.pixel(x, y);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
                far += !closeColor(a, b, 16);
            }
        const double mean = double(difference) / (3.0 * png.width() * png.height());
        QVERIFY2(mean < 2.0 && far < png.width() * png.height() / 1000,
                 qPrintable(QStringLiteral("a mean difference of %1, %2 pixels differing by more "
                                           "than 16")
                                .arg(mean)
                                .arg(far)));
    }

    // A picture too large to hold whole (its 32-bit form would take more than the budget) is
    // still pasted, decoded at the size its box needs, and lies where the whole picture would:
    // where a small picture of the same drawing lies.
    void pastesAPictureTooLargeToHoldWhole()
    {
        QTemporaryDir dir;
        // Black and white squares, two by two, made 1 bit a pixel: 11008 x 11008 pixels take
        // 15 MB so, and 485 MB in 32 bits.
        for (const int side : {11008, 1376}) {
            QImage picture(side, side, QImage::Format_Mono);
            picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
            const int half = side / 16; // bytes
            for (int y = 0; y < side; ++y) {
                uchar* row = picture.scanLine(y);
                std::memset(row, y < side / 2 ? 0x00 : 0xff, std::size_t(half));
                std::memset(row + half, y < side / 2 ? 0xff : 0x00, std::size_t(half));
            }
            QVERIFY(picture.save(dir.filePath(QString::number(side) + ".jpg"), "jpg"));
        }
        QImage sheets[2];
        for (const int i : {0, 1}) {
            const QString name = i == 0 ? "11008.jpg" : "1376.jpg";
            const Run run = runExporter({"--pasted", "-b", name, "-o", "s.bmp"}, dir.path());
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            sheets[i] = QImage(dir.filePath("s.bmp"));
        }
        const QImage &reduced = sheets[0], &whole = sheets[1];
        QCOMPARE(reduced.size(), whole.size());
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                differing += !closeColor(whole.pixel(x, y), reduced.pixel(x, y), 12);
        QVERIFY2(differing < whole.width() * whole.height() / 100,
                 qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
    }

    // The page: the paper in its orientation, the sheet from the page's top-left corner at 96 % of
    // its width, its height in proportion and cut by the page's bottom edge.
    void printedPage_data()
    {
        QTest::addColumn<QStringList>("pageOptions");
        QTest::addColumn<double>("widthMm");
        QTest::addColumn<double>("heightMm");
        QTest::addColumn<int>("dpi");
        QTest::newRow("default: B4 landscape") << QStringList{} << 364.0 << 257.0 << 300;
        QTest::newRow("A4 portrait")
            << QStringList{"--paper", "A4", "--orientation", "portrait"} << 210.0 << 297.0 << 300;
        QTest::newRow("A3 landscape, 600 dpi")
            << QStringList{"--paper", "A3", "--dpi", "600"} << 420.0 << 297.0 << 600;
        QTest::newRow("B5 portrait, 450 dpi")
            << QStringList{"--paper", "B5", "--orientation", "portrait", "--dpi", "450"} << 182.0
            << 257.0 << 450;
    }
    void printedPage()
    {
        QFETCH(QStringList, pageOptions);
        QFETCH(double, widthMm);
        QFETCH(double, heightMm);
        QFETCH(int, dpi);
        const Run run =
            runExporter(QStringList{"-a", "landscape.bmp", "-c", "-dash.gif", "--fit", "cover",
                                    "-o", "page sheet.png", "--pdf", "ページ.pdf"}
                            << pageOptions,
                        folder());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString pdf = m_dir.filePath("ページ.pdf");

        const std::optional<PdfInfo> info = pdfInfo(pdf);
        QVERIFY(info);
        QCOMPARE(info->pages, 1);
        QVERIFY2(std::abs(info->pageSizePoints.width() - points(widthMm)) < 0.5 &&
                     std::abs(info->pageSizePoints.height() - points(heightMm)) < 0.5,
                 qPrintable(QStringLiteral("page %1 x %2 pt")
                                .arg(info->pageSizePoints.width())
                                .arg(info->pageSizePoints.height())));

        // The pieces of 絵A and 絵C, at the resolution asked for.
        const std::vector<PdfImage> images = pdfImages(pdf);
        QCOMPARE(images.size(), std::size_t(8));
        for (const PdfImage& image : images)
            QVERIFY2(image.xPpi == dpi && image.yPpi == dpi && image.encoding == "jpeg",
                     qPrintable(QStringLiteral("%1 x %2 ppi").arg(image.xPpi).arg(image.yPpi)));

        constexpr int renderDpi = 50;
        const QString base = pdf + ".render";
        bool rendered = false;
        runTool("pdftoppm", {"-r", QString::number(renderDpi), "-png", "-singlefile", pdf, base},
                &rendered);
        QVERIFY(rendered);
        const QImage page = QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
        // Named .png, the sheet is a PNG file.
        QVERIFY(contents(m_dir.filePath("page sheet.png")).startsWith("\x89PNG\r\n"));
        const QImage sheet(m_dir.filePath("page sheet.png"));
        const double pxPerMm = renderDpi / 25.4;
        QVERIFY(std::abs(page.width() - widthMm * pxPerMm) <= 1.5); // whole points, whole pixels

        // The drawing's extent on the white paper: from the page's corner to the right end tabs'
        // outer lines (the sheet's last column) and down to the lowest line (row 1201), unless the
        // page ends first.
        const double sheetWidth = 0.96 * widthMm * pxPerMm;
        const double sheetHeight = sheetWidth * sheet.height() / sheet.width();
        int right = -1;
        int bottom = -1;
        int left = page.width();
        int top = page.height();
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (page.pixel(x, y) != qRgb(255, 255, 255)) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                    right = std::max(right, x + 1);
                    bottom = std::max(bottom, y + 1);
                }
        QCOMPARE(left, 0);
        QCOMPARE(top, 0);
        QVERIFY2(
            std::abs(right - std::ceil(sheetWidth)) <= 1.0,
            qPrintable(QStringLiteral("right edge %1, expected %2").arg(right).arg(sheetWidth)));
        const double expectedBottom =
            std::min(sheetHeight * (lowestDrawnRow + 1) / sheet.height(), double(page.height()));
        QVERIFY2(
            std::abs(bottom - std::ceil(expectedBottom)) <= 1.0,
            qPrintable(
                QStringLiteral("bottom edge %1, expected %2").arg(bottom).arg(expectedBottom)));

        // Inside, every page pixel shows the sheet pixel that the scale puts there, wherever the
        // sheet is of one colour around it.
        const double sheetPxPerPagePx = sheet.width() / sheetWidth;
        int compared = 0;
        for (int y = 0; y < std::min(page.height(), int(sheetHeight)); y += 3)
            for (int x = 0; x < int(sheetWidth); x += 3) {
                const int sx = int((x + 0.5) * sheetPxPerPagePx);
                const int sy = int((y + 0.5) * sheetPxPerPagePx);
                const QRect around(sx - 6, sy - 6, 13, 13);
                if (!sheet.rect().contains(around))
                    continue;
                bool uniform = true;
                for (int v = around.top(); v <= around.bottom() && uniform; ++v)
                    for (int u = around.left(); u <= around.right() && uniform; ++u)
                        uniform = sheet.pixel(u, v) == sheet.pixel(sx, sy);
                if (!uniform)
                    continue;
                ++compared;
                QVERIFY2(closeColor(page.pixel(x, y), sheet.pixel(sx, sy), 6),
                         qPrintable(QStringLiteral("page (%1, %2) is %3, sheet (%4, %5) is %6")
                                        .arg(x)
                                        .arg(y)
                                        .arg(colorText(page.pixel(x, y)))
                                        .arg(sx)
                                        .arg(sy)
                                        .arg(colorText(sheet.pixel(sx, sy)))));
            }
        QVERIFY(compared > 1000);
    }

    // The sheet as an SVG drawing: sized as printed, the pieces as pictures at --dpi, the lines in
    // a cut and a fold layer, the cut layer the closed outlines of the net; drawn 1702 pixels wide
    // it shows the sheet. And the sheet twice as large, which shows it too.
    void drawingAndLargeSheet()
    {
        QTemporaryDir dir;
        Workbench light;
        makeLightSheet(light); // its pictures, saved as files, give a sheet of light pictures
        for (const int slot : {0, 1, 5})
            QVERIFY(light.keptPicture(slot).image.save(dir.filePath(QString("%1.png").arg(slot))));
        const QStringList pictures{"-a", "0.png", "-b", "1.png", "-c", "5.png"};
        const Run run = runExporter(pictures + QStringList{"-o", "s.png", "--svg", "s.svg",
                                                           "--paper", "A4", "--dpi", "400"},
                                    dir.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QImage sheet(dir.filePath("s.png"));

        QFile file(dir.filePath("s.svg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList layers;
        QString cutPath;
        int images = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == u"svg") {
                const double widthMm = 297 * 0.96;
                QCOMPARE(a.value("viewBox").toString(), QString("0 0 1702 1302"));
                QVERIFY(a.value("width").endsWith(u"mm") && a.value("height").endsWith(u"mm"));
                QVERIFY(std::abs(a.value("width").chopped(2).toDouble() - widthMm) < 0.01);
                QVERIFY(std::abs(a.value("height").chopped(2).toDouble() - widthMm * 1302 / 1702) <
                        0.01);
            } else if (xml.name() == u"g" && a.value("inkscape:groupmode") == u"layer") {
                layers << a.value("inkscape:label").toString();
            } else if (xml.name() == u"path" && layers.size() == 1) {
                QVERIFY2(cutPath.isEmpty(), "one path in the cut layer");
                cutPath = a.value("d").toString();
            } else if (xml.name() == u"image") {
                ++images;
                const QString href = a.value("xlink:href").toString();
                QVERIFY(href.startsWith("data:image/jpeg;base64,"));
                // 200 sheet pixels at 400 dpi: 285.12 mm / 1702 * 200 = 33.5 mm = 527.7 pixels.
                const QImage piece = QImage::fromData(
                    QByteArray::fromBase64(href.mid(href.indexOf(',') + 1).toLatin1()), "JPEG");
                QCOMPARE(piece.size(), QSize(528, 528));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(layers, QStringList({"cut", "fold"}));
        QCOMPARE(images, 12);

        // Two closed outlines: around the whole net (its 24 squares of 200 x 200, the 4 squares
        // of the hole it closes in, 20 tabs of (100 + 200) / 2 x 50 and 4 end tabs as large) and
        // around the hole (4 squares, less the 4 tabs that reach into it).
        QCOMPARE(cutPath.count('M'), 2);
        QCOMPARE(cutPath.count('Z'), 2);
        std::vector<double> areas;
        for (const QString& outline : cutPath.split('Z', Qt::SkipEmptyParts)) {
            QPolygonF polygon;
            for (const QString& point : outline.mid(1).split('L')) {
                const QStringList xy = point.split(' ');
                polygon << QPointF(xy.value(0).toDouble(), xy.value(1).toDouble());
            }
            double area = 0;
            for (qsizetype i = 0; i < polygon.size(); ++i) {
                const QPointF p = polygon[i];
                const QPointF q = polygon[(i + 1) % polygon.size()];
                area += (p.x() * q.y() - q.x() * p.y()) / 2;
            }
            areas.push_back(std::abs(area));
        }
        std::sort(areas.begin(), areas.end());
        const double around = 28 * 200.0 * 200 + 24 * 150.0 * 50;
        const double hole = 4 * 200.0 * 200 - 4 * 150.0 * 50;
        QVERIFY2(std::abs(areas[1] / around - 1) < 0.01 && std::abs(areas[0] / hole - 1) < 0.01,
                 qPrintable(QStringLiteral("%1 and %2").arg(areas[1]).arg(areas[0])));

        bool drawn = false;
        runTool("rsvg-convert",
                {"-w", "1702", "-o", dir.filePath("svg.png"), dir.filePath("s.svg")}, &drawn);
        QVERIFY2(drawn, "rsvg-convert (librsvg2-bin) must draw the SVG");
        const QImage svg = QImage(dir.filePath("svg.png")).convertToFormat(QImage::Format_RGB32);
        QString difference = sheetDifference(svg, sheet, 10);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        // Twice as large: averaged back to the sheet's size, it shows the sheet. --scale 1 is
        // the sheet itself.
        QVERIFY(runExporter(pictures + QStringList{"-o", "big.png", "--scale", "2"}, dir.path())
                    .exitCode == 0);
        const QImage big(dir.filePath("big.png"));
        QCOMPARE(big.size(), QSize(3404, 2604));
        difference = sheetDifference(
            big.scaled(sheet.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), sheet, 10);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(runExporter(pictures + QStringList{"-o", "one.png", "--scale", "1"}, dir.path())
                    .exitCode == 0);
        QCOMPARE(contents(dir.filePath("one.png")), contents(dir.filePath("s.png")));
    }

    // Every failure says what failed with the file's name, exits non-zero and leaves the files in
    // the folder as they were: nothing new, no temporary file, an existing output untouched.
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");
        QTest::newRow("picture not a picture")
            << QStringList{"-a", "notes.jpg", "-o", "old.bmp"} << 1 << "\"notes.jpg\"";
        QTest::newRow("picture missing, both outputs")
            << QStringList{"-a", "landscape.bmp", "-b",    "gone.gif",
                           "-o", "old.bmp",       "--pdf", "old.pdf"}
            << 1 << "\"gone.gif\"";
        QTest::newRow("picture missing, new output")
            << QStringList{"-c", "gone.jpg", "-o", "new.bmp"} << 1 << "\"gone.jpg\"";
        QTest::newRow("pasted picture not a picture")
            << QStringList{"--pasted", "-b", "notes.jpg", "-o", "old.bmp"} << 1 << "\"notes.jpg\"";
        QTest::newRow("bad fit") << QStringList{"-a",      "landscape.bmp", "-o",
                                                "old.bmp", "--fit",         "tall"}
                                 << 2 << "tall";
        QTest::newRow("unknown option")
            << QStringList{"-a", "landscape.bmp", "-x", "-o", "old.bmp"} << 2 << "-x";
        QTest::newRow("no output") << QStringList{"-a", "landscape.bmp"} << 2 << "-o";
        QTest::newRow("sheet into a missing folder")
            << QStringList{"-a", "landscape.bmp", "-o", "nowhere/s.bmp"} << 1
            << "\"nowhere/s.bmp\"";
        QTest::newRow("page into a missing folder, sheet kept")
            << QStringList{"-a", "landscape.bmp", "-o", "old.bmp", "--pdf", "nowhere/p.pdf"} << 1
            << "\"nowhere/p.pdf\"";
        QTest::newRow("sheet onto a folder")
            << QStringList{"-a", "landscape.bmp", "-o", "folder.bmp"} << 1 << "\"folder.bmp\"";
        QTest::newRow("picture beyond the memory budget")
            << QStringList{"-a", "huge.bmp", "-o", "old.bmp"} << 1
            << "\"huge.bmp\": the picture is too large";
        QTest::newRow("sheet over its picture")
            << QStringList{"-a", "old.bmp", "-o", "./old.bmp"} << 2 << "old.bmp";
        // "link.bmp" is a symbolic link to old.bmp: the same file under another name.
        QTest::newRow("sheet over its picture, the picture through a link")
            << QStringList{"-a", "link.bmp", "-o", "old.bmp"} << 2 << "old.bmp";
        QTest::newRow("page over its picture, the page through a link")
            << QStringList{"-b", "old.bmp", "--pdf", "link.bmp"} << 2 << "link.bmp";
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QDir here(dir.path());
        QVERIFY(QFile::copy(m_dir.filePath("landscape.bmp"), here.filePath("landscape.bmp")));
        QVERIFY(writeFile(here.filePath("notes.jpg"), "not a picture\n"));
        QVERIFY(savePicture(solidPicture(20, 10, qRgb(1, 2, 3)), here.filePath("old.bmp"), "bmp"));
        QVERIFY(writeFile(here.filePath("old.pdf"), "%PDF-1.4 an old page\n"));
        QVERIFY(here.mkdir("folder.bmp"));
        QVERIFY(QFile::link("old.bmp", here.filePath("link.bmp")));
        // A whole 24-bit BMP of 12000 x 12000 (576 MB decoded), its rows left sparse.
        QImage huge(1, 1, QImage::Format_RGB32);
        QByteArray hugeHeader;
        QBuffer headerBuffer(&hugeHeader);
        headerBuffer.open(QIODevice::WriteOnly);
        QVERIFY(huge.save(&headerBuffer, "bmp"));
        qToLittleEndian<qint32>(12000, hugeHeader.data() + 18);
        qToLittleEndian<qint32>(12000, hugeHeader.data() + 22);
        QFile hugeFile(here.filePath("huge.bmp"));
        QVERIFY(hugeFile.open(QIODevice::WriteOnly) && hugeFile.write(hugeHeader.left(54)) == 54 &&
                hugeFile.resize(54 + qint64(36000) * 12000));
        hugeFile.close();
        const QByteArray oldSheet = contents(here.filePath("old.bmp"));
        const QStringList before = here.entryList(QDir::AllEntries | QDir::Hidden);

        const Run run = runExporter(arguments, dir.path());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.startsWith("hakomiru-sheet: ") && run.err.contains(named),
                 qPrintable(run.err));
        QCOMPARE(here.entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(contents(here.filePath("old.bmp")), oldSheet);
        QCOMPARE(contents(here.filePath("old.pdf")), QByteArray("%PDF-1.4 an old page\n"));
    }

    // With no display, no Wayland and no platform named, it still writes both files, quietly.
    // Every picture of the hostile corpus as 絵A: a readable one gives a sheet, any other exit 1
    // with a message naming it and nothing written. No run takes much memory.
    void hostileCorpus()
    {
        QTemporaryDir dir;
        const QDir corpus(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures"));
        const QStringList names = corpus.entryList(QDir::Files);
        QVERIFY(names.size() > 30);
        int sheets = 0, refused = 0;
        for (const QString& name : names) {
            const QString out = dir.filePath("sheet.bmp");
            QFile::remove(out);
            const Run run = runExporter({"-a", corpus.filePath(name), "-o", out}, dir.path());
            if (run.exitCode == 0) {
                ++sheets;
                QVERIFY2(QImage(out).size() == QSize(1702, 1302), qPrintable(name));
                QVERIFY2(run.err.isEmpty(), qPrintable(name + ": " + run.err));
            } else {
                ++refused;
                QVERIFY2(run.exitCode == 1, qPrintable(name + ": " + run.err));
                // One line, the program's own: no reader's chatter (libtiff's, say) around it.
                QVERIFY2(run.err.contains(name) && run.err.count('\n') == 1, qPrintable(run.err));
                QVERIFY2(!QFileInfo::exists(out), qPrintable(name));
            }
        }
        QFile::remove(dir.filePath("sheet.bmp"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        qInfo("%d sheets made, %d pictures refused", sheets, refused);
        QVERIFY(sheets >= 20);
        QVERIFY(refused >= 8);
        // The sanitizers' shadow memory counts in the peak, so the figure means something only in
        // a plain build.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        rusage usage{};
        QVERIFY(getrusage(RUSAGE_CHILDREN, &usage) == 0);
        QVERIFY2(usage.ru_maxrss < 300 * 1024,
                 qPrintable(QStringLiteral("%1 KiB at the most").arg(usage.ru_maxrss)));
#endif
    }

    void runsWithoutADisplay()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        QTemporaryDir dir;
        QVERIFY(QFile::copy(m_dir.filePath("landscape.bmp"), dir.filePath("p.bmp")));
        const Run run =
            runExporter({"-b", "p.bmp", "-o", "s.bmp", "--pdf", "p.pdf"}, dir.path(), environment);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        QCOMPARE(QImage(dir.filePath("s.bmp")).size(), QSize(1702, 1302));
        const std::optional<PdfInfo> info = pdfInfo(dir.filePath("p.pdf"));
        QVERIFY(info && info->pages == 1);
    }

    // Pictures are read side by side in runs that together take no more than one picture's
    // budget (448 MB), in their order; a picture beyond it alone, a refused one (costing nothing)
    // with its neighbours.
    void readingGroups_data()
    {
        QTest::addColumn<QList<int>>("costsMiB");
        QTest::addColumn<QList<int>>("groups");
        QTest::newRow("three small, together") << QList<int>{100, 100, 100} << QList<int>{3};
        QTest::newRow("exactly the budget") << QList<int>{200, 248} << QList<int>{2};
        QTest::newRow("one byte beyond") << QList<int>{200, 249} << QList<int>{1, 1};
        QTest::newRow("the first too large") << QList<int>{500, 10, 10} << QList<int>{1, 2};
        QTest::newRow("the third does not fit") << QList<int>{300, 100, 100} << QList<int>{2, 1};
        QTest::newRow("a refused picture joins") << QList<int>{448, 0} << QList<int>{2};
        QTest::newRow("each alone") << QList<int>{448, 448, 448} << QList<int>{1, 1, 1};
    }
    void readingGroups()
    {
        QFETCH(QList<int>, costsMiB);
        QFETCH(QList<int>, groups);
        std::vector<qint64> costs;
        for (const int cost : costsMiB)
            costs.push_back(qint64(cost) << 20);
        if (QTest::currentDataTag() == QByteArray("one byte beyond"))
            costs.back() -= (qint64(1) << 20) - 1;
        QList<int> made;
        for (const std::size_t group : hakomiru::readingGroups(costs))
            made.push_back(int(group));
        QCOMPARE(made, groups);
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("shown");
        QTest::newRow("help") << QStringList{"--help"} << "-o SHEET.bmp";
        QTest::newRow("help after a bad option, the kinds it reads")
            << QStringList{"--fit", "bad", "--help"}
            << "(BMP, JPEG, GIF, PNG, WebP, TIFF, HEIC or AVIF)";
        QTest::newRow("help, the resolutions") << QStringList{"-h"} << "[--dpi 300..600]";
        QTest::newRow("version") << QStringList{"--version"}
                                 << "hakomiru-sheet " HAKOMIRU_VERSION "\n";
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, shown);
        const Run run = runExporter(arguments, folder());
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(shown), qPrintable(run.out));
        QCOMPARE(run.err, QString());
    }
};

QTEST_MAIN(tst_HakomiruSheet)
#include "tst_hakomiru_sheet.moc"
