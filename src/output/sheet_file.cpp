#include "output/sheet_file.h"

#include <memory>
#include <vector>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace hakomiru {

Result<QByteArray> encodeSheetFile(const QImage& sheet, const QString& path)
{
    if (sheet.isNull())
        return Failure{QStringLiteral("The sheet is empty"), {}};
    // A name that says PNG gets PNG: viewers and upload forms that trust the name refuse a BMP
    // under it. Every other name keeps the BMP the program always wrote.
    const bool png = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, png ? "png" : "bmp");
    if (!writer.write(sheet.convertToFormat(QImage::Format_RGB32)))
        return Failure{writer.errorString(), {}};
    return encoded;
}

Result<void> writeFilesSafely(std::span<const PendingFile> files)
{
    std::vector<std::unique_ptr<QSaveFile>> staged;
    auto fail = [&](const QString& path, const QString& reason) {
        for (const auto& file : staged)
            file->cancelWriting();
        return Failure{reason, path};
    };
    for (const PendingFile& pending : files) {
        auto file = std::make_unique<QSaveFile>(pending.path);
        // Each file is replaced whole through a temporary beside it; where the folder forbids that
        // (a folder the user can write files in but not create them), writing in place would risk
        // a half-written file, so the write fails instead.
        file->setDirectWriteFallback(false);
        if (!file->open(QIODevice::WriteOnly))
            return fail(pending.path, file->errorString());
        staged.push_back(std::move(file));
        if (staged.back()->write(pending.contents) != pending.contents.size())
            return fail(pending.path, staged.back()->errorString());
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (!staged[i]->commit()) {
            const QString reason = staged[i]->errorString();
            const QString path = files[i].path;
            staged.erase(staged.begin(), staged.begin() + std::ptrdiff_t(i) + 1);
            return fail(path, reason);
        }
    }
    return {};
}

Result<void> writeSheetFile(const QImage& sheet, const QString& path)
{
    Result<QByteArray> encoded = encodeSheetFile(sheet, path);
    if (!encoded)
        return Failure{encoded.error(), path};
    const PendingFile file{std::move(encoded.value()), path};
    return writeFilesSafely(std::span(&file, 1));
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
