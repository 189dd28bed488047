#pragma once

#include <span>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "surface/result.h"

namespace hakomiru {

// The bytes of the sheet file at `path`, in the format its name asks for: PNG when the name ends
// in ".png" in any case (lossless, the same RGB pixels), an uncompressed BMP for every other name.
// Or why `sheet` cannot be encoded.
Result<QByteArray> encodeSheetFile(const QImage& sheet, const QString& path);

// A file to write: its whole contents and its path, exactly as given.
struct PendingFile
{
    QByteArray contents;
    QString path;
};

// Writes every file whole or not at all: each goes to a temporary file beside it first, and only
// when all of them are written are they put in place. A file that cannot be written (missing or
// read-only folder, full disk) leaves every existing file whole and no temporary file behind; the
// failure's subject is the failing path. Only a failure while the files are put in place (rare:
// the folder changed meanwhile) can leave the earlier ones replaced.
Result<void> writeFilesSafely(std::span<const PendingFile> files);

// Writes `sheet` at `path`, exactly as given (no extension added), in the format encodeSheetFile
// chooses for it. The picture is encoded first and the file replaced in one step, so a failed
// write (missing or read-only folder, full disk) leaves an existing file whole and no temporary
// file behind.
Result<void> writeSheetFile(const QImage& sheet, const QString& path);

// The folder that holds the running program, ending in exactly one separator.
[[nodiscard]] QString ProgramFolderPath();

} // namespace hakomiru
