#include "ui/no_settings.h"

#include <QSettings>

namespace hakomiru {

void keepNoSettings()
{
    // A folder below /dev/null can never be made, so reading finds nothing and writing fails
    // quietly.
    const QString nowhere = QStringLiteral("/dev/null");
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (const auto scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, nowhere);
}

} // namespace hakomiru
