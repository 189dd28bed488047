#include "picture/picture_formats.h"

#include <QFile>
#include <QImageReader>

#include <tiffio.h>

#include "picture/heif_reader.h"

namespace hakomiru {

namespace {

struct PictureKind
{
    const char* format;         // Qt's name, or "heif"
    const char* const* endings; // null-terminated
    const char* const* mimeTypes;
    const char* const* names; // as the help names the kind; none for the small formats
};

constexpr const char* bmpNames[] = {"BMP", nullptr};
constexpr const char* jpegNames[] = {"JPEG", nullptr};
constexpr const char* gifNames[] = {"GIF", nullptr};
constexpr const char* pngNames[] = {"PNG", nullptr};
constexpr const char* webpNames[] = {"WebP", nullptr};
constexpr const char* tiffNames[] = {"TIFF", nullptr};
constexpr const char* heifNames[] = {"HEIC", "AVIF", nullptr};
constexpr const char* bmpEndings[] = {"bmp", "dib", nullptr};
constexpr const char* bmpTypes[] = {"image/bmp", "image/x-bmp", nullptr};
constexpr const char* jpegEndings[] = {"jpg", "jpeg", "jpe", nullptr};
constexpr const char* jpegTypes[] = {"image/jpeg", nullptr};
constexpr const char* gifEndings[] = {"gif", nullptr};
constexpr const char* gifTypes[] = {"image/gif", nullptr};
constexpr const char* pngEndings[] = {"png", nullptr};
constexpr const char* pngTypes[] = {"image/png", nullptr};
constexpr const char* webpEndings[] = {"webp", nullptr};
constexpr const char* webpTypes[] = {"image/webp", nullptr};
constexpr const char* tiffEndings[] = {"tif", "tiff", nullptr};
constexpr const char* tiffTypes[] = {"image/tiff", nullptr};
constexpr const char* heifEndings[] = {"heic", "heif", "avif", nullptr};
constexpr const char* heifTypes[] = {"image/heic", "image/heif", "image/avif", nullptr};
constexpr const char* icoEndings[] = {"ico", nullptr};
constexpr const char* icoTypes[] = {"image/vnd.microsoft.icon", "image/x-icon", nullptr};
constexpr const char* curEndings[] = {"cur", nullptr};
constexpr const char* none[] = {nullptr};
constexpr const char* pbmEndings[] = {"pbm", nullptr};
constexpr const char* pbmTypes[] = {"image/x-portable-bitmap", nullptr};
constexpr const char* pgmEndings[] = {"pgm", nullptr};
constexpr const char* pgmTypes[] = {"image/x-portable-graymap", nullptr};
constexpr const char* ppmEndings[] = {"ppm", nullptr};
constexpr const char* ppmTypes[] = {"image/x-portable-pixmap", nullptr};
constexpr const char* xbmEndings[] = {"xbm", nullptr};
constexpr const char* xbmTypes[] = {"image/x-xbitmap", nullptr};
constexpr const char* xpmEndings[] = {"xpm", nullptr};
constexpr const char* xpmTypes[] = {"image/x-xpixmap", nullptr};

constexpr PictureKind kinds[] = {
    {"bmp", bmpEndings, bmpTypes, bmpNames},
    {"jpeg", jpegEndings, jpegTypes, jpegNames},
    {"gif", gifEndings, gifTypes, gifNames},
    {"png", pngEndings, pngTypes, pngNames},
    {"webp", webpEndings, webpTypes, webpNames},
    {"tiff", tiffEndings, tiffTypes, tiffNames},
    {"heif", heifEndings, heifTypes, heifNames},
    {"ico", icoEndings, icoTypes, none},
    {"cur", curEndings, none, none},
    {"pbm", pbmEndings, pbmTypes, none},
    {"pgm", pgmEndings, pgmTypes, none},
    {"ppm", ppmEndings, ppmTypes, none},
    {"xbm", xbmEndings, xbmTypes, none},
    {"xpm", xpmEndings, xpmTypes, none},
};

} // namespace

void quietTiffReader()
{
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
}

QByteArray pictureFormat(QIODevice& device)
{
    if (looksLikeHeif(device.peek(1024)))
        return "heif";
    // Qt's plugins read more (Targa, MNG, Apple icons, WAP bitmaps): none of them is offered.
    const QByteArray format = QImageReader::imageFormat(&device);
    for (const PictureKind& kind : kinds)
        if (format == kind.format)
            return format;
    return {};
}

QByteArray pictureFileFormat(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return pictureFormat(file);
}

QString pictureKindNames()
{
    QStringList names;
    for (const PictureKind& kind : kinds)
        for (const char* const* name = kind.names; *name != nullptr; ++name)
            names << QLatin1String(*name);
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
           names.last();
}

QStringList pictureFilePatterns()
{
    QStringList patterns;
    for (const PictureKind& kind : kinds)
        for (const char* const* ending = kind.endings; *ending != nullptr; ++ending)
            patterns << QStringLiteral("*.") + QLatin1String(*ending);
    return patterns;
}

bool isPictureMimeType(const QString& mimeType)
{
    for (const PictureKind& kind : kinds)
        for (const char* const* type = kind.mimeTypes; *type != nullptr; ++type)
            if (mimeType.compare(QLatin1String(*type), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

} // namespace hakomiru
