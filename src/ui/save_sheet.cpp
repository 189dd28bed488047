#include "ui/save_sheet.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "output/sheet_file.h"
#include "surface/program_title.h"

namespace hakomiru {

namespace {

// Where a save starts. The program's own folder only when the user can make files in it, as when
// the program runs from its build tree: installed, it lives in a system folder such as /usr/bin,
// and a name typed there could not be saved. Otherwise the user's Pictures folder, or home when
// there is none.
QString saveStartFolder()
{
    const QString programFolder = ProgramFolderPath();
    const QFileInfo program(programFolder);
    if (program.isDir() && program.isWritable() && program.isExecutable())
        return programFolder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

} // namespace

SaveDialogSetup sheetSaveDialogSetup()
{
    SaveDialogSetup setup;
    setup.initialFolder = saveStartFolder();
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
    services.showMessage(owner, programTitle,
                         QStringLiteral("ほぞんできませんでした\n%1\n%2")
                             .arg(QDir::toNativeSeparators(*path), written.error()));
}

} // namespace hakomiru
