#include "ui/end_program.h"

#include <QApplication>
#include <QWidget>

namespace hakomiru {

void endProgram()
{
    // Hide the windows first, so that none stays on screen while the event loop winds down;
    // quitting then closes them all. Closing a window lands here again, which is harmless.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->hide();
    QCoreApplication::quit();
}

} // namespace hakomiru
