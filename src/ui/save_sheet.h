#pragma once

#include <QImage>

#include "ui/platform_services.h"

namespace hakomiru {

// How the save dialog opens: in the program's folder when the user can write there, otherwise in
// the Pictures folder, or at home when there is none (the first save of a run: the platform's
// dialog starts later ones where the last one saved); offering "(*.bmp)", asking before it
// replaces a file. No name is proposed and no extension is added.
[[nodiscard]] SaveDialogSetup sheetSaveDialogSetup();

// The save command: asks for a file name and writes `sheet` there, at the path exactly as chosen:
// a PNG file when the name ends in ".png", an uncompressed BMP otherwise. Cancelling does
// nothing. When the file cannot be written, an existing file keeps its old contents and the user
// is told once, with the file's name and the reason. The dialogs are modal to `owner`.
void SaveSheet(PlatformServices& services, QWidget* owner, const QImage& sheet);

} // namespace hakomiru
