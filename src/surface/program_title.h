#pragma once

#include <QString>

namespace hakomiru {

// The program's name as the user sees it: the title of every window and message, the name of the
// print job and the title of the exported page.
inline const QString programTitle = QStringLiteral("ハコミル");

} // namespace hakomiru
