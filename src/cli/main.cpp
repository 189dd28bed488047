// hakomiru-sheet: makes the sheet of ハコミル from picture files, without a window.

#include <cstdio>
#include <vector>

#include <QGuiApplication>
#include <QStringList>

#include "cli/export_options.h"
#include "cli/sheet_export.h"
#include "output/page_layout.h"
#include "output/sheet_file.h"
#include "surface/surface.h"

namespace {

const QString programName = QStringLiteral("hakomiru-sheet");

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
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

    const SheetMaking made = makeSheet(options, defaultBoxBackColor);
    if (made.sheet.isNull()) {
        complain(QStringLiteral("cannot read picture %1: %2")
                     .arg(quoted(made.failedPicture), made.error));
        return exitFailed;
    }

    std::vector<PendingFile> files;
    QString error;
    if (!options.sheetPath.isEmpty()) {
        std::optional<QByteArray> bmp = encodeSheetBmp(made.sheet, &error);
        if (!bmp) {
            complain(QStringLiteral("cannot write %1: %2").arg(quoted(options.sheetPath), error));
            return exitFailed;
        }
        files.push_back({std::move(*bmp), options.sheetPath});
    }
    if (!options.pdfPath.isEmpty()) {
        std::optional<QByteArray> pdf =
            sheetPdf(made.sheet, pageSetupFor(options.paperSize, options.paperOrientation), &error);
        if (!pdf) {
            complain(QStringLiteral("cannot write %1: %2").arg(quoted(options.pdfPath), error));
            return exitFailed;
        }
        files.push_back({std::move(*pdf), options.pdfPath});
    }

    QString failedPath;
    const SheetWrite written = writeFilesSafely(files, &failedPath);
    if (!written.ok) {
        complain(QStringLiteral("cannot write %1: %2").arg(quoted(failedPath), written.error));
        return exitFailed;
    }
    return exitWritten;
}
