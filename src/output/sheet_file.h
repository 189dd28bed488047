#pragma once

#include <optional>
#include <span>

#include <QByteArray>
#include <QImage>
#include <QString>

namespace hakomiru {

// The outcome of writing the sheet: ok, or the system's reason.
struct SheetWrite
{
    bool ok = false;
    QString error;
};

// The bytes of `sheet` as an uncompressed BMP file, or nothing when it cannot be encoded.
[[nodiscard]] std::optional<QByteArray> encodeSheetBmp(const QImage& sheet,
                                                       QString* error = nullptr);

// A file to write: its whole contents and its path, exactly as given.
struct PendingFile
{
    QByteArray contents;
    QString path;
};

// Writes every file whole or not at all: each goes to a temporary file beside it first, and only
// when all of them are written are they put in place. A file that cannot be written (missing or
// read-only folder, full disk) leaves every existing file whole and no temporary file behind; the
// error names the failing path in `failedPath`. Only a failure while the files are put in place
// (rare: the folder changed meanwhile) can leave the earlier ones replaced.
[[nodiscard]] SheetWrite writeFilesSafely(std::span<const PendingFile> files,
                                          QString* failedPath = nullptr);

// Writes `sheet` as an uncompressed BMP file at `path`, exactly as given (no extension added).
// The picture is encoded first and the file replaced in one step, so a failed write (missing or
// read-only folder, full disk) leaves an existing file whole and no temporary file behind.
[[nodiscard]] SheetWrite writeSheetBmp(const QImage& sheet, const QString& path);

// The folder that holds the running program, ending in exactly one separator.
[[nodiscard]] QString ProgramFolderPath();

} // namespace hakomiru
