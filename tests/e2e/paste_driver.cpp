// Drives the real main window on a real X server: pastes the clipboard's picture into slot 絵A
// through the edit menu's item and checks the slot's source box.
//
//   paste_driver --write-png <file>   writes the picture the check expects
//   paste_driver                      pastes and checks; exit code 0 when the colours match

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QTimer>

#include "conversion/workbench.h"
#include "ui/form1.h"
#include "ui/program_state.h"
#include "ui/qt_platform_services.h"
#include "test_pictures.h"

using namespace hakomiru;

namespace {

const QRgb topLeft = qRgb(255, 0, 0);
const QRgb topRight = qRgb(0, 255, 0);
const QRgb bottomLeft = qRgb(0, 0, 255);
const QRgb bottomRight = qRgb(255, 255, 0);

int check(Form1& form1)
{
    QAction* paste = form1.findChild<QAction*>(QStringLiteral("mnupaste1"));
    if (paste == nullptr) {
        std::fprintf(stderr, "no paste item for 絵A\n");
        return 1;
    }
    paste->trigger();
    // The picture is placed once its read ends.
    const QDeadlineTimer deadline(10000);
    while (form1.reading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (form1.reading()) {
        std::fprintf(stderr, "the pasted picture was never placed\n");
        return 1;
    }
    // A square picture fills the 489-pixel box; each quarter shows its own colour.
    const Surface& box = form1.Picture2(0);
    struct Probe
    {
        int x, y;
        QRgb expected;
    };
    int faults = 0;
    for (const Probe& probe : {Probe{100, 100, topLeft}, Probe{388, 100, topRight},
                               Probe{100, 388, bottomLeft}, Probe{388, 388, bottomRight}}) {
        const QRgb found = box.point(probe.x, probe.y);
        const bool ok = (found & 0xffffffu) == (probe.expected & 0xffffffu);
        std::printf("%s (%d, %d): found %s, expected %s\n", ok ? "ok  " : "FAIL", probe.x, probe.y,
                    qPrintable(testing::colorText(found)),
                    qPrintable(testing::colorText(probe.expected)));
        faults += ok ? 0 : 1;
    }
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--write-png") {
        const QImage picture =
            testing::quadrantPicture(60, 60, topLeft, topRight, bottomLeft, bottomRight, topLeft);
        return picture.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
    }

    QApplication app(argc, argv);
    ProgramState state;
    QtPlatformServices services;
    Workbench workbench;
    Form1 form1(state, workbench, services);
    form1.show();
    int result = 1;
    QTimer::singleShot(200, &form1, [&] {
        result = check(form1);
        QCoreApplication::exit(result);
    });
    // Should the clipboard never answer, the run ends here instead of hanging.
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(2); });
    const int code = QApplication::exec();
    return code == 0 ? result : code;
}
