#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

namespace hakomiru {

// The kinds of picture file the program reads, in one table: the photos and pictures of today
// (BMP, JPEG, GIF, PNG, WebP, TIFF, HEIC and AVIF) and the small formats Qt has always read (icons,
// the portable and X bitmaps). Files are told by their content, never by their name.

// The reader that takes the picture in `device` (left where it was): Qt's name for its format
// ("bmp", "jpeg", "webp", "tiff" ...), "heif" for HEIC, HEIF and AVIF, or empty for anything
// else, a format Qt reads but the program does not among them.
[[nodiscard]] QByteArray pictureFormat(QIODevice& device);

// The same for a file: empty when it cannot be read.
[[nodiscard]] QByteArray pictureFileFormat(const QString& path);

// The kinds of today by name, as help texts list them: "BMP, JPEG, GIF, PNG, WebP, TIFF, HEIC or
// AVIF".
[[nodiscard]] QString pictureKindNames();

// libtiff, which Qt's TIFF reader uses, writes what it finds wrong with a file straight to
// standard error; the reader's failure already tells the program, which says it in its own words.
// Silences it, for the whole process: called once, as the application starts (see
// pictureMemoryBudget), before any picture is read.
void quietTiffReader();

// Every file ending of these kinds, as patterns ("*.bmp", "*.jpg" ...), in lower case.
[[nodiscard]] QStringList pictureFilePatterns();

// Whether clipboard or dragged data of this MIME type ("image/webp") can hold such a picture.
[[nodiscard]] bool isPictureMimeType(const QString& mimeType);

} // namespace hakomiru
