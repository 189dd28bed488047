#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QLocale>

#include "conversion/workbench.h"
#include "ui/decoration.h"
#include "ui/form1.h"
#include "ui/no_settings.h"
#include "ui/program_state.h"
#include "ui/qt_platform_services.h"

namespace {

// The text of --help; the manual page is made from it too.
const char* const usage =
    "Usage: hakomiru [--help] [--version]\n"
    "\n"
    "Turns three pictures into a printable paper-craft sheet (ハコミル).\n"
    "\n"
    "Fill the slots 絵A, 絵B and 絵C from picture files (BMP, JPEG, GIF, PNG, WebP,\n"
    "TIFF, HEIC or AVIF) or from the clipboard, press 変換, and the pictures are cut\n"
    "into 24 quarters and laid out as a net shaped like a hash sign (#), framed by cut\n"
    "and fold lines with glue tabs. The sheet is shown, saved as a BMP or PNG file, or\n"
    "printed on A4, B5, B4 or A3 paper.\n"
    "\n"
    "Options:\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Any other argument is ignored. The program needs a graphical desktop (X11 or\n"
    "Wayland). The same sheet can be made without a window by hakomiru-sheet(1).\n";

// The display the program was given, as the environment names it ("DISPLAY=:0"; several
// separated by commas); empty when none is named.
std::string namedDisplays()
{
    std::string names;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0')
            continue;
        names += (names.empty() ? "" : ", ") + std::string(name) + '=' + value;
    }
    return names;
}

QtMessageHandler qtMessages = nullptr;

// Qt's messages while the application starts. When the display named cannot be opened, Qt ends
// the program with a fatal message and an abort; the program says so itself instead, naming the
// display, and ends with status 1. Every other message goes on as usual.
void startUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        qtMessages(type, context, message);
        return;
    }
    std::fprintf(stderr,
                 "hakomiru: the display cannot be opened (%s); start it from a desktop session\n",
                 namedDisplays().c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
    // The program takes no arguments but these two, answered before any window or platform is
    // touched; whatever else is given is ignored.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("hakomiru %s\n", HAKOMIRU_VERSION);
            return 0;
        }
    }
    if (namedDisplays().empty()) {
        std::fputs("hakomiru: no display was found (DISPLAY and WAYLAND_DISPLAY are not set); "
                   "start it from a desktop session\n",
                   stderr);
        return 1;
    }

    qtMessages = qInstallMessageHandler(startUpMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    hakomiru::keepNoSettings();
    QApplication::setApplicationName(QStringLiteral("hakomiru"));
    // No display name: the platform would append it to every window title, and each window's
    // title is its caption exactly.
    QApplication::setApplicationVersion(QStringLiteral(HAKOMIRU_VERSION));
    // The desktop entry the window belongs to, so a desktop shows the entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.hakomiru.hakomiru"));
    QApplication::setWindowIcon(hakomiru::programIcon());
    // The file, print and message dialogs in the user's language, before any window is made.
    hakomiru::installQtTranslation(QLocale::system());

    hakomiru::ProgramState state;
    hakomiru::Workbench workbench;
    hakomiru::QtPlatformServices services;
    hakomiru::Form1 form1(state, workbench, services);
    form1.show();
    return QApplication::exec();
}
