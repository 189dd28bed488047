#pragma once

// What the printing tests share: a sheet with lines at known places, and reading PDF files back
// through poppler's command-line tools.

#include <cmath>
#include <optional>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

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

// Where the test sheet's lines are, in canvas pixels. The sheet is the standard canvas size with
// a one-pixel black frame on its outermost pixels, vertical lines at x = 51 + 200 k and
// horizontal lines at y = 101 + 200 k and at 1201, the bottom edge of a real sheet's drawing (its
// last 100 rows stay empty), on white.
inline constexpr int sheetWidth = 1702;
inline constexpr int sheetHeight = 1302;
inline constexpr int lowestDrawnRow = 1201;
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
    std::vector<int> rows{0};
    for (int y = 101; y < sheetHeight - 1; y += 200)
        rows.push_back(y);
    rows.push_back(lowestDrawnRow);
    rows.push_back(sheetHeight - 1);
    return rows;
}

inline QImage linedSheet()
{
    QImage sheet(sheetWidth, sheetHeight, QImage::Format_RGB32);
    sheet.fill(0xffffffff);
    for (int x : sheetColumns())
        for (int y = 0; y < sheetHeight; ++y)
            sheet.setPixel(x, y, 0xff000000);
    for (int y : sheetRows())
        for (int x = 0; x < sheetWidth; ++x)
            sheet.setPixel(x, y, 0xff000000);
    return sheet;
}

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

// What a rendered page shows of the lined sheet.
struct SheetOnPage
{
    // What differs from the expected place, or empty.
    QString error;
    // Measured from the frame's outer lines, in millimetres; the height only when the frame's
    // bottom line is on the page.
    double widthMm = 0;
    std::optional<double> heightMm;
    // The frame's sides run down to the page's last row: the page edge cuts the sheet.
    bool cutByPageBottom = false;
    // The horizontal lines (canvas rows) found on the page.
    std::vector<int> rowsSeen;
};

// Looks for the lines of linedSheet() on `page`, rendered at `dotsPerInch`, where a sheet with its
// top-left corner at `originMm` from the page's top-left corner and `widthMm` wide puts them. A
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

    const std::vector<double> columns = darkRunsAlongRow(page, static_cast<int>(atY(50)));
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

    const std::vector<double> rows = darkRunsDownColumn(page, static_cast<int>(atX(150)));
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
    if (!rows.empty() && hasRunNear(rows, atY(sheetHeight - 1), tolerance))
        found.heightMm = (rows.back() - rows.front() + scale) / pxPerMm;

    const std::vector<double> lastRow = darkRunsAlongRow(page, page.height() - 1);
    found.cutByPageBottom = hasRunNear(lastRow, atX(0), tolerance) &&
                            hasRunNear(lastRow, atX(sheetWidth - 1), tolerance);
    found.error = errors.join(QLatin1Char('\n'));
    return found;
}

} // namespace hakomiru::testing
