#pragma once

// What the printing tests share: a sheet with lines at known places, and reading PDF files back
// through poppler's command-line tools.

#include <cmath>
#include <optional>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include "conversion/workbench.h"
#include "test_pictures.h"

namespace hakomiru::testing {

// The papers of the paper-size options 0..3, in millimetres, as the standards give them.
struct PaperMillimetres
{
    const char* name;
    double shortMm;
    double longMm;
};
inline constexpr PaperMillimetres testPapers[] = {
    {"A4", 210, 297}, {"JIS B5", 182, 257}, {"JIS B4", 257, 364}, {"A3", 297, 420}};

// The sheet of the light test pictures (lightSheet()) and where its lines are, in canvas pixels:
// along the upper band's middle row (y = 300) the vertical lines at x = 0 (the left end tab),
// 51 + 200 k and 1701 (the right end tab); down the middle of the left strip (x = 550) the
// horizontal lines at y = 1 + 200 k. The drawing ends at row 1201; the last 100 rows stay empty.
inline constexpr int sheetWidth = 1702;
inline constexpr int sheetHeight = 1302;
inline constexpr int lowestDrawnRow = 1201;
inline constexpr int columnsScanRow = 300;
inline constexpr int rowsScanColumn = 550;
inline std::vector<int> sheetColumns()
{
    std::vector<int> columns{0};
    for (int x = 51; x < sheetWidth - 1; x += 200)
        columns.push_back(x);
    columns.push_back(sheetWidth - 1);
    return columns;
}
inline std::vector<int> sheetRows()
{
    std::vector<int> rows;
    for (int y = 1; y <= lowestDrawnRow; y += 200)
        rows.push_back(y);
    return rows;
}

// Fills 絵A, 絵B and 絵C with light pictures (every colour lighter than grey 190, so the lines are
// the only dark pixels of the sheet), as pasted, and converts.
inline void makeLightSheet(Workbench& bench, int fitMode = 0)
{
    const QImage pictures[] = {
        quadrantPicture(1200, 900, qRgb(250, 200, 200), qRgb(200, 250, 200), qRgb(200, 200, 250),
                        qRgb(250, 250, 190), qRgb(220, 220, 220)),
        quadrantPicture(700, 1000, qRgb(250, 220, 180), qRgb(190, 230, 250), qRgb(230, 190, 250),
                        qRgb(210, 250, 230), qRgb(240, 240, 240)),
        quadrantPicture(2600, 2600, qRgb(255, 235, 205), qRgb(205, 235, 255), qRgb(235, 255, 205),
                        qRgb(250, 210, 230), qRgb(200, 200, 200))};
    const int filled[] = {0, 1, 5};
    for (int i = 0; i < 3; ++i)
        (void)bench.fillSlotFromPicture(
            filled[i], [&] { return std::optional<QImage>(pictures[i]); }, fitMode);
    bench.convert();
}

// Compares a picture of the sheet, drawn 1702 pixels across the sheet from its top-left corner,
// with the 1x sheet of light pictures: every dark (line) pixel of either within one pixel of a
// dark pixel of the other, and wherever the sheet is of one colour over 7 x 7 pixels the same
// colour within `tolerance`. Rows from `rows` on are not compared (a page edge cut them). Says
// what differed, or nothing.
inline QString sheetDifference(const QImage& drawn, const QImage& sheet, int tolerance,
                               int rows = sheetHeight)
{
    auto dark = [](const QImage& image, int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
               qGray(image.pixel(x, y)) < 160;
    };
    auto darkNear = [&](const QImage& image, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (dark(image, x + dx, y + dy))
                    return true;
        return false;
    };
    QStringList errors;
    int lineMisses = 0;
    int colourMisses = 0;
    const int height = std::min({rows, sheet.height(), drawn.height()});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < sheet.width(); ++x) {
            if ((dark(sheet, x, y) && !darkNear(drawn, x, y)) ||
                (dark(drawn, x, y) && !darkNear(sheet, x, y))) {
                if (++lineMisses <= 5)
                    errors << QStringLiteral("line pixel (%1, %2): sheet %3, drawn %4")
                                  .arg(x)
                                  .arg(y)
                                  .arg(colorText(sheet.pixel(x, y)),
                                       x < drawn.width() ? colorText(drawn.pixel(x, y))
                                                         : QStringLiteral("none"));
                continue;
            }
            if (x < 3 || y < 3 || x + 3 >= sheet.width() || y + 3 >= height)
                continue;
            const QRgb colour = sheet.pixel(x, y);
            bool uniform = true;
            for (int v = y - 3; v <= y + 3 && uniform; ++v)
                for (int u = x - 3; u <= x + 3 && uniform; ++u)
                    uniform = sheet.pixel(u, v) == colour;
            if (uniform && !closeColor(drawn.pixel(x, y), colour, tolerance) && ++colourMisses <= 5)
                errors << QStringLiteral("(%1, %2): sheet %3, drawn %4")
                              .arg(x)
                              .arg(y)
                              .arg(colorText(colour), colorText(drawn.pixel(x, y)));
        }
    if (lineMisses || colourMisses)
        errors << QStringLiteral("%1 line pixels and %2 picture pixels differ")
                      .arg(lineMisses)
                      .arg(colourMisses);
    return errors.join(QLatin1Char('\n'));
}

// The pictures of a PDF file as `pdfimages -list` lists them: width, height, encoding and
// resolution.
struct PdfImage
{
    int width = 0;
    int height = 0;
    QString encoding;
    int xPpi = 0;
    int yPpi = 0;
};

inline QString runTool(const QString& program, const QStringList& arguments, bool* ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

struct PdfInfo
{
    int pages = 0;
    QSizeF pageSizePoints;
};

inline std::vector<PdfImage> pdfImages(const QString& path, bool* ok = nullptr)
{
    const QString list = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path}, ok);
    std::vector<PdfImage> images;
    const QStringList lines = list.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].simplified().split(QLatin1Char(' '));
        if (f.size() >= 14)
            images.push_back({f[3].toInt(), f[4].toInt(), f[8], f[12].toInt(), f[13].toInt()});
    }
    return images;
}

inline std::optional<PdfInfo> pdfInfo(const QString& path)
{
    bool ok = false;
    const QString text = runTool(QStringLiteral("pdfinfo"), {path}, &ok);
    if (!ok)
        return std::nullopt;
    PdfInfo info;
    const auto pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(text);
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption)
                          .match(text);
    if (!pages.hasMatch() || !size.hasMatch())
        return std::nullopt;
    info.pages = pages.captured(1).toInt();
    info.pageSizePoints = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    return info;
}

// The first page of a PDF file as a grey picture at `dotsPerInch`.
inline QImage renderPdf(const QString& path, int dotsPerInch)
{
    const QString base = path + QStringLiteral(".render");
    bool ok = false;
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dotsPerInch), QStringLiteral("-gray"),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-f"),
             QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"), path, base},
            &ok);
    if (!ok)
        return {};
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

inline bool isDark(const QImage& grey, int x, int y)
{
    return qGray(grey.pixel(x, y)) < 160;
}

// The centres (in pixels, the first pixel's centre being 0.5) of the dark runs among `count`
// pixels, `darkAt(i)` telling whether pixel i is dark.
template <typename DarkAt> std::vector<double> darkRuns(int count, DarkAt darkAt)
{
    std::vector<double> centres;
    int start = -1;
    for (int i = 0; i <= count; ++i) {
        const bool dark = i < count && darkAt(i);
        if (dark && start < 0)
            start = i;
        if (!dark && start >= 0) {
            centres.push_back((start + i) / 2.0);
            start = -1;
        }
    }
    return centres;
}

inline std::vector<double> darkRunsAlongRow(const QImage& grey, int y)
{
    return darkRuns(grey.width(), [&](int x) { return isDark(grey, x, y); });
}

inline std::vector<double> darkRunsDownColumn(const QImage& grey, int x)
{
    return darkRuns(grey.height(), [&](int y) { return isDark(grey, x, y); });
}

// True when some run centre lies within `tolerance` of `expected`.
inline bool hasRunNear(const std::vector<double>& centres, double expected, double tolerance)
{
    for (double c : centres)
        if (std::abs(c - expected) <= tolerance)
            return true;
    return false;
}

inline QString runsText(const std::vector<double>& centres)
{
    QStringList parts;
    for (double c : centres)
        parts << QString::number(c, 'f', 1);
    return parts.join(QLatin1Char(' '));
}

// What a rendered page shows of the light sheet.
struct SheetOnPage
{
    // What differs from the expected place, or empty.
    QString error;
    // Measured from the outermost lines, in millimetres; the height (the sheet's whole height, in
    // proportion to its drawn part) only when the lowest line is on the page.
    double widthMm = 0;
    std::optional<double> heightMm;
    // The sheet reaches beyond the page's last row: the page edge cuts it.
    bool cutByPageBottom = false;
    // The horizontal lines (canvas rows) found on the page.
    std::vector<int> rowsSeen;
};

// Looks for the lines of the light sheet on `page`, rendered at `dotsPerInch`, where a sheet with
// its top-left corner at `originMm` from the page's top-left corner and `widthMm` wide puts them. A
// line must lie within a quarter of a millimetre of its place; lines below the page edge must be
// missing.
inline SheetOnPage findSheet(const QImage& page, int dotsPerInch, QPointF originMm, double widthMm)
{
    SheetOnPage found;
    const double pxPerMm = dotsPerInch / 25.4;
    const double scale = widthMm * pxPerMm / sheetWidth;
    auto atX = [&](int c) {
        return originMm.x() * pxPerMm + (c + 0.5) * scale;
    };
    auto atY = [&](int c) {
        return originMm.y() * pxPerMm + (c + 0.5) * scale;
    };
    const double tolerance = 0.25 * pxPerMm;
    QStringList errors;

    const std::vector<double> columns =
        darkRunsAlongRow(page, static_cast<int>(atY(columnsScanRow)));
    if (columns.size() != sheetColumns().size())
        errors << QStringLiteral("%1 vertical lines instead of %2: %3")
                      .arg(columns.size())
                      .arg(sheetColumns().size())
                      .arg(runsText(columns));
    for (int x : sheetColumns())
        if (!hasRunNear(columns, atX(x), tolerance))
            errors << QStringLiteral("vertical line %1 not near %2 (found %3)")
                          .arg(x)
                          .arg(atX(x), 0, 'f', 1)
                          .arg(runsText(columns));
    if (columns.size() >= 2)
        found.widthMm = (columns.back() - columns.front() + scale) / pxPerMm;

    const std::vector<double> rows =
        darkRunsDownColumn(page, static_cast<int>(atX(rowsScanColumn)));
    for (int y : sheetRows()) {
        const bool onPage = atY(y) < page.height() - tolerance;
        const bool offPage = atY(y) > page.height() + tolerance;
        const bool seen = hasRunNear(rows, atY(y), tolerance);
        if (seen)
            found.rowsSeen.push_back(y);
        if ((onPage && !seen) || (offPage && seen))
            errors << QStringLiteral("horizontal line %1 %2 near %3 (found %4)")
                          .arg(y)
                          .arg(onPage ? QStringLiteral("missing") : QStringLiteral("not cut off"))
                          .arg(atY(y), 0, 'f', 1)
                          .arg(runsText(rows));
    }
    if (rows.size() >= 2 && hasRunNear(rows, atY(lowestDrawnRow), tolerance))
        found.heightMm = (rows.back() - rows.front()) / pxPerMm * sheetHeight /
                         (lowestDrawnRow - sheetRows().front());
    found.cutByPageBottom = originMm.y() * pxPerMm + sheetHeight * scale > page.height();
    found.error = errors.join(QLatin1Char('\n'));
    return found;
}

} // namespace hakomiru::testing
