#include "output/sheet_file.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace hakomiru {

SheetWrite writeSheetBmp(const QImage& sheet, const QString& path)
{
    if (sheet.isNull())
        return {false, QStringLiteral("The sheet is empty")};

    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        if (!writer.write(sheet.convertToFormat(QImage::Format_RGB32)))
            return {false, writer.errorString()};
    }

    QSaveFile file(path);
    // The file is replaced whole through a temporary beside it; where the folder forbids that
    // (a folder the user can write files in but not create them), writing in place would risk
    // a half-written sheet, so the save fails instead.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    if (file.write(encoded) != encoded.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

QString ProgramFolderPath()
{
    QString folder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    folder = QDir::toNativeSeparators(folder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace hakomiru
