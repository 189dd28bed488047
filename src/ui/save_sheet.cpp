#include "ui/save_sheet.h"

#include <QDir>

#include "output/sheet_file.h"

namespace hakomiru {

SaveDialogSetup sheetSaveDialogSetup()
{
    SaveDialogSetup setup;
    setup.initialFolder = ProgramFolderPath();
    setup.filterDescription = QStringLiteral("(*.bmp)");
    setup.patterns = {QStringLiteral("*.bmp")};
    setup.confirmOverwrite = true;
    return setup;
}

void SaveSheet(PlatformServices& services, QWidget* owner, const QImage& sheet)
{
    const std::optional<QString> path = services.chooseSaveFile(owner, sheetSaveDialogSetup());
    if (!path || path->isEmpty())
        return;
    const Result<void> written = writeSheetFile(sheet, *path);
    if (written)
        return;
    services.showMessage(owner, QStringLiteral("ハコミル"),
                         QStringLiteral("ほぞんできませんでした\n%1\n%2")
                             .arg(QDir::toNativeSeparators(*path), written.error()));
}

} // namespace hakomiru
