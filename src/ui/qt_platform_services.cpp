#include "ui/qt_platform_services.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QTranslator>

#include "picture/picture_formats.h"

namespace hakomiru {

namespace {

// Every pattern in lower and upper case, for file systems and dialogs that compare case.
QStringList bothCases(const QStringList& patterns)
{
    QStringList all;
    for (const QString& pattern : patterns) {
        all << pattern.toLower() << pattern.toUpper();
    }
    all.removeDuplicates();
    return all;
}

// Qt reads the patterns of a filter from the parentheses of its text, which would turn
// "絵ファイル(*.bmp,*.jpg,*gif)" into one pattern matching nothing. Each entry keeps its text, and
// the file list is filtered by the real patterns of the entry picked instead, again whenever the
// user picks one. The dialog starts with the entry at `selected` (the first when there is none).
void applyFilters(QFileDialog& dialog, const QList<FileFilter>& filters, qsizetype selected = 0)
{
    QStringList descriptions;
    for (const FileFilter& filter : filters)
        descriptions << filter.description;
    if (selected < 0 || selected >= descriptions.size())
        selected = 0;
    dialog.setNameFilters(descriptions);
    dialog.selectNameFilter(descriptions.at(selected));
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (model == nullptr)
        return;
    auto apply = [model, filters](const QString& picked) {
        for (const FileFilter& filter : filters)
            if (filter.description == picked) {
                model->setFilter(model->filter() & ~QDir::CaseSensitive);
                model->setNameFilters(bothCases(filter.patterns));
            }
    };
    apply(descriptions.at(selected));
    QObject::connect(&dialog, &QFileDialog::filterSelected, model, apply);
}

// Shows the dialog, starting in `lastFolder` when that is still a folder, otherwise in
// `firstFolder` (the working folder when that is empty), and gives back the file chosen;
// `lastFolder` becomes that file's folder. A cancel changes nothing. The folder is always set: Qt's
// file dialogs otherwise share one last folder, and the open dialog would start where the sheet
// was saved.
std::optional<QString> runFileDialog(QFileDialog& dialog, QString& lastFolder,
                                     const QString& firstFolder)
{
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        dialog.setDirectory(lastFolder);
    else
        dialog.setDirectory(firstFolder.isEmpty() ? QDir::currentPath() : firstFolder);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty())
        return std::nullopt;
    lastFolder = QFileInfo(files.front()).absolutePath();
    return files.front();
}

} // namespace

std::unique_ptr<QFileDialog> makeOpenDialog(const OpenDialogSetup& setup, QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    applyFilters(*dialog,
                 QList<FileFilter>{{setup.filterDescription, setup.patterns}}
                     << setup.furtherFilters,
                 setup.selectedFilter);
    return dialog;
}

std::unique_ptr<QFileDialog> makeSaveDialog(const SaveDialogSetup& setup, QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
    if (!setup.initialFolder.isEmpty())
        dialog->setDirectory(setup.initialFolder);
    applyFilters(*dialog, {{setup.filterDescription, setup.patterns}});
    return dialog;
}

std::optional<QString> QtPlatformServices::chooseOpenFile(QWidget* owner,
                                                          const OpenDialogSetup& setup)
{
    return runFileDialog(*makeOpenDialog(setup, owner), m_openFolder, QString());
}

std::optional<QString> QtPlatformServices::chooseSaveFile(QWidget* owner,
                                                          const SaveDialogSetup& setup)
{
    return runFileDialog(*makeSaveDialog(setup, owner), m_saveFolder, setup.initialFolder);
}

bool QtPlatformServices::askOkCancel(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void QtPlatformServices::showMessage(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtPlatformServices::choosePrinter(QWidget* owner, QPrinter& printer)
{
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<OfferedPicture> QtPlatformServices::clipboardPicture()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return std::nullopt;
    return offeredPicture(clipboard->mimeData(QClipboard::Clipboard));
}

SlotReading QtPlatformServices::readSlotPicture(const QString& path, const SlotReadPlan& plan)
{
    return readSlotFile(path, plan);
}

std::optional<OfferedPicture> offeredPicture(const QMimeData* data)
{
    if (data == nullptr)
        return std::nullopt;
    // Picture bytes are read with the program's own reader, which refuses damaged pictures that
    // would take a great deal of memory. Qt's ready-made image is only taken when no picture bytes
    // are offered (a picture copied within a Qt program): on X11 it is decoded from the very same
    // bytes without those checks.
    OfferedPicture offered;
    bool bytesOffered = false;
    for (const QString& format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        bytesOffered = true;
        // Only their headers are read here: bytes the reader refuses before decoding them are
        // no picture.
        QByteArray bytes = data->data(format);
        if (pictureDataCost(bytes) > 0)
            offered.bytes.push_back(std::move(bytes));
    }
    if (!bytesOffered && data->hasImage())
        offered.image = qvariant_cast<QImage>(data->imageData());
    if (offered.bytes.isEmpty() && offered.image.isNull())
        return std::nullopt;
    return offered;
}

std::optional<QImage> readOfferedPicture(const OfferedPicture& offered)
{
    for (const QByteArray& bytes : offered.bytes) {
        const PictureLoad load = loadPictureData(bytes);
        if (load.ok() && !load->image.isNull())
            return load->image;
    }
    if (!offered.image.isNull())
        return offered.image;
    return std::nullopt;
}

std::optional<QImage> pictureFromMimeData(const QMimeData* data)
{
    const std::optional<OfferedPicture> offered = offeredPicture(data);
    return offered ? readOfferedPicture(*offered) : std::nullopt;
}

bool offersPictureData(const QMimeData* data)
{
    if (data == nullptr)
        return false;
    if (data->hasImage())
        return true;
    for (const QString& format : data->formats())
        if (isPictureMimeType(format))
            return true;
    return false;
}

std::optional<QString> pictureFileFromMimeData(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (!QFileInfo(path).isFile() || pictureFileFormat(path).isEmpty())
        return std::nullopt;
    return path;
}

bool installQtTranslation(const QLocale& locale)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace hakomiru
