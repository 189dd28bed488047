#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLocale>

#include "conversion/workbench.h"
#include "picture/picture_formats.h"
#include "ui/decoration.h"
#include "ui/form1.h"
#include "ui/no_settings.h"
#include "ui/program_state.h"
#include "ui/qt_platform_services.h"

namespace {

// The text of --help; the manual page is made from it too. The picture kinds come from the table
// of kinds the program reads.
std::string usage()
{
    return QStringLiteral(
               "Usage: hakomiru [--help] [--version]\n"
               "\n"
               "Turns three pictures into a printable paper-craft sheet (ハコミル).\n"
               "\n"
               "Fill the slots 絵A, 絵B and 絵C from picture files or from the clipboard, press\n"
               "変換, and the pictures are cut into 24 quarters and laid out as a net shaped like\n"
               "a hash sign (#), framed by cut and fold lines with glue tabs. The sheet is shown,\n"
               "saved as a BMP or PNG file, or printed on A4, B5, B4 or A3 paper.\n"
               "\n"
               "Picture files of these kinds are read, told by their content, whatever they are\n"
               "called: %1.\n"
               "\n"
               "Options:\n"
               "  --help          show this text and exit\n"
               "  --version       show the version and exit\n"
               "\n"
               "Any other argument is ignored. The program needs a graphical desktop (X11 or\n"
               "Wayland). The same sheet can be made without a window by hakomiru-sheet(1).\n")
        .arg(hakomiru::pictureKindNames())
        .toStdString();
}

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

// Whether something accepts a connection on the local socket at `path` (in the abstract namespace
// when `abstract`).
bool localSocketAnswers(const std::string& path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const bool answers =
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(socket);
    return answers;
}

// Whether something accepts a connection at `port` of `host`.
bool networkSocketAnswers(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool answers = false;
    for (const addrinfo* at = found; at != nullptr && !answers; at = at->ai_next) {
        const int socket = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (socket < 0)
            continue;
        answers = ::connect(socket, at->ai_addr, at->ai_addrlen) == 0;
        ::close(socket);
    }
    ::freeaddrinfo(found);
    return answers;
}

// Whether an X server answers at the display `name` ("[host]:number[.screen]"): on this machine
// through its socket in /tmp/.X11-unix, elsewhere at port 6000 + number. A name of another form is
// left to Qt to judge.
bool xDisplayAnswers(const std::string& name)
{
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos || colon + 1 == name.size() ||
        name.find_first_not_of("0123456789.", colon + 1) != std::string::npos)
        return true;
    const int number = std::atoi(name.c_str() + colon + 1);
    std::string host = name.substr(0, colon);
    if (host.empty() || host == "unix") {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        return localSocketAnswers(socket, true) || localSocketAnswers(socket, false);
    }
    if (host.find('/') != std::string::npos)
        return true;
    return networkSocketAnswers(host, 6000 + number);
}

// Whether a Wayland compositor answers at the display `name`: a socket path, or a socket's name in
// XDG_RUNTIME_DIR.
bool waylandDisplayAnswers(const std::string& name)
{
    if (name.front() == '/')
        return localSocketAnswers(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' &&
           localSocketAnswers(std::string(runtime) + '/' + name, false);
}

// Whether the program can hope for a display: one of the displays named answers, or Qt is told to
// use a platform (offscreen, VNC, a frame buffer) that needs none of them. Asked before Qt loads a
// platform plugin, which would print its own lines about a display that does not answer.
bool displayAnswers()
{
    auto named = [](const char* variable) -> std::string {
        const char* value = std::getenv(variable);
        return value != nullptr ? value : "";
    };
    const std::string x = named("DISPLAY");
    const std::string wayland = named("WAYLAND_DISPLAY");
    std::string platforms = named("QT_QPA_PLATFORM");
    if (platforms.empty())
        platforms = "wayland;xcb";
    // Each of the platforms Qt is told to try, in turn, with its arguments after a colon.
    std::size_t start = 0;
    while (start <= platforms.size()) {
        const std::size_t end = std::min(platforms.find(';', start), platforms.size());
        const std::string platform = platforms.substr(start, end - start);
        start = end + 1;
        if (platform.rfind("xcb", 0) == 0) {
            if (!x.empty() && xDisplayAnswers(x))
                return true;
        } else if (platform.rfind("wayland", 0) == 0) {
            if (!wayland.empty() && waylandDisplayAnswers(wayland))
                return true;
        } else if (!platform.empty()) {
            return true;
        }
    }
    return false;
}

void sayTheDisplayCannotBeOpened()
{
    std::fprintf(stderr,
                 "hakomiru: the display cannot be opened (%s); start it from a desktop session\n",
                 namedDisplays().c_str());
    std::fflush(stderr);
}

QtMessageHandler qtMessages = nullptr;

// Qt's messages while the application starts. When a display answers but Qt still cannot open
// it, Qt ends the program with a fatal message and an abort; the program says so itself instead,
// naming the display, and ends with status 1. Every other message goes on as usual.
void startUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        qtMessages(type, context, message);
        return;
    }
    sayTheDisplayCannotBeOpened();
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
    // The program takes no arguments but these two, answered before any window or platform is
    // touched; whatever else is given is ignored.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage().c_str(), stdout);
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
    if (!displayAnswers()) {
        sayTheDisplayCannotBeOpened();
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
