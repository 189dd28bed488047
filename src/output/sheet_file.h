#pragma once

#include <QImage>
#include <QString>

namespace hakomiru {

// The outcome of writing the sheet: ok, or the system's reason.
struct SheetWrite
{
    bool ok = false;
    QString error;
};

// Writes `sheet` as an uncompressed BMP file at `path`, exactly as given (no extension added).
// The picture is encoded first and the file replaced in one step, so a failed write (missing or
// read-only folder, full disk) leaves an existing file whole and no temporary file behind.
[[nodiscard]] SheetWrite writeSheetBmp(const QImage& sheet, const QString& path);

// The folder that holds the running program, ending in exactly one separator.
[[nodiscard]] QString ProgramFolderPath();

} // namespace hakomiru
