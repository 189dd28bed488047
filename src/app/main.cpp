#include <QApplication>
#include <QLocale>

#include "conversion/workbench.h"
#include "ui/decoration.h"
#include "ui/form1.h"
#include "ui/no_settings.h"
#include "ui/program_state.h"
#include "ui/qt_platform_services.h"

int main(int argc, char* argv[])
{
    // The program takes no arguments; whatever is given is ignored.
    QApplication app(argc, argv);
    hakomiru::keepNoSettings();
    QApplication::setApplicationName(QStringLiteral("hakomiru"));
    // No display name: the platform would append it to every window title, and each window's
    // title is its caption exactly.
    QApplication::setApplicationVersion(QStringLiteral(HAKOMIRU_VERSION));
    // The desktop entry the window belongs to, so a desktop shows the entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("hakomiru"));
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
