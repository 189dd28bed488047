// hakomiru-sheet: makes the sheet of ハコミル from picture files, without a window.

#include <cstdio>
#include <vector>

#include <QGuiApplication>
#include <QStringList>

#include "cli/export_options.h"
#include "cli/sheet_export.h"
#include "output/box_drawing.h"
#include "output/page_layout.h"
#include "output/sharp_page.h"
#include "output/sheet_file.h"
#include "output/sheet_svg.h"

namespace {

const QString programName = QStringLiteral("hakomiru-sheet");

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s", bytes.constData());
    std::fflush(stream);
}

void complain(const QString& text)
{
    print(stderr, programName + QStringLiteral(": ") + text + QLatin1Char('\n'));
}

// Qt's own chatter (a missing runtime folder, font notes) is not the user's business here; only
// its critical messages are passed on.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        complain(message);
}

QString quoted(const QString& path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace hakomiru;

    // The arguments are read before Qt starts, so that Qt takes none of them for its own
    // (a picture called "-reverse" stays a picture).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ExportCommand command = parseExportArguments(arguments);
    switch (command.action) {
    case ExportCommand::Action::Help:
        print(stdout, exportUsage(programName));
        return exitWritten;
    case ExportCommand::Action::Version:
        print(stdout, programName + QStringLiteral(" ") + QStringLiteral(HAKOMIRU_VERSION) +
                          QLatin1Char('\n'));
        return exitWritten;
    case ExportCommand::Action::Error:
        complain(command.error);
        print(stderr, QStringLiteral("Try \"%1 --help\".\n").arg(programName));
        return exitUsage;
    case ExportCommand::Action::Run:
        break;
    }
    const ExportOptions& options = command.options;

    // No display is needed: without a platform named, Qt runs off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    QGuiApplication::setApplicationName(programName);
    QGuiApplication::setApplicationVersion(QStringLiteral(HAKOMIRU_VERSION));

    const Result<MadeSheet> sheet = makeSheet(options);
    if (!sheet) {
        complain(QStringLiteral("cannot read picture %1: %2")
                     .arg(quoted(sheet.failure().subject), sheet.error()));
        return exitFailed;
    }

    std::vector<PendingFile> files;
    if (!options.sheetPath.isEmpty()) {
        // At its own size the sheet is the canvas, byte for byte; larger, it is drawn anew.
        const QImage image =
            options.scale == 1 ? sheet->canvas : sharpSheetImage(sheet->drawing, options.scale);
        Result<QByteArray> encoded =
            image.isNull() ? Result<QByteArray>(Failure{QStringLiteral("out of memory")})
                           : encodeSheetFile(image, options.sheetPath);
        if (!encoded) {
            complain(QStringLiteral("cannot write %1: %2")
                         .arg(quoted(options.sheetPath), encoded.error()));
            return exitFailed;
        }
        files.push_back({std::move(encoded.value()), options.sheetPath});
    }
    if (!options.pdfPath.isEmpty()) {
        Result<QByteArray> pdf =
            sheetPdf(sheet->drawing, pageSetupFor(options.paperSize, options.paperOrientation),
                     options.pictureDpi);
        if (!pdf) {
            complain(
                QStringLiteral("cannot write %1: %2").arg(quoted(options.pdfPath), pdf.error()));
            return exitFailed;
        }
        files.push_back({std::move(pdf.value()), options.pdfPath});
    }

    if (!options.svgPath.isEmpty()) {
        Result<QByteArray> svg =
            sheetSvg(sheet->drawing, pageSetupFor(options.paperSize, options.paperOrientation),
                     options.pictureDpi);
        if (!svg) {
            complain(
                QStringLiteral("cannot write %1: %2").arg(quoted(options.svgPath), svg.error()));
            return exitFailed;
        }
        files.push_back({std::move(svg.value()), options.svgPath});
    }

    if (!options.boxPath.isEmpty()) {
        Result<QByteArray> box =
            encodeSheetFile(boxStatesPicture(BoxPictures(sheet->canvas)), QStringLiteral(".png"));
        if (!box) {
            complain(
                QStringLiteral("cannot write %1: %2").arg(quoted(options.boxPath), box.error()));
            return exitFailed;
        }
        files.push_back({std::move(box.value()), options.boxPath});
    }

    const Result<void> written = writeFilesSafely(files);
    if (!written) {
        complain(QStringLiteral("cannot write %1: %2")
                     .arg(quoted(written.failure().subject), written.error()));
        return exitFailed;
    }
    return exitWritten;
}
