#include "output/save_sheet.h"

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

void SaveSheet(PlatformServices& services, const QImage& sheet)
{
    const std::optional<QString> path = services.chooseSaveFile(sheetSaveDialogSetup());
    if (!path || path->isEmpty())
        return;
    const SheetWrite written = writeSheetBmp(sheet, *path);
    if (written.ok)
        return;
    services.showMessage(QStringLiteral("ハコミル"),
                         QStringLiteral("ほぞんできませんでした\n%1\n%2")
                             .arg(QDir::toNativeSeparators(*path), written.error));
}

} // namespace hakomiru
