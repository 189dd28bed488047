#pragma once

#include <memory>
#include <optional>

#include <QImage>
#include <QString>

#include "ui/platform_services.h"

class QFileDialog;
class QLocale;
class QMimeData;
class QWidget;

namespace hakomiru {

// The platform services bound to Qt: Qt's own file dialogs (the same on every desktop, so the
// filter text shows exactly as written), message boxes, the print dialog and the clipboard.
// Dialogs are modal to the window that asks. The open dialog and the save dialog each start in the
// folder of the file last chosen in them, for as long as the services live (one run of the
// program; nothing is kept after it); until then, and when that folder is gone, they start where
// their setup says (the open dialog in the working folder).
class QtPlatformServices final : public PlatformServices
{
public:
    [[nodiscard]] std::optional<QString> chooseOpenFile(QWidget* owner,
                                                        const OpenDialogSetup& setup) override;
    [[nodiscard]] std::optional<QString> chooseSaveFile(QWidget* owner,
                                                        const SaveDialogSetup& setup) override;
    [[nodiscard]] bool askOkCancel(QWidget* owner, const QString& title,
                                   const QString& text) override;
    void showMessage(QWidget* owner, const QString& title, const QString& text) override;
    [[nodiscard]] bool choosePrinter(QWidget* owner, QPrinter& printer) override;
    [[nodiscard]] std::optional<OfferedPicture> clipboardPicture() override;
    [[nodiscard]] SlotReading readSlotPicture(const QString& path,
                                              const SlotReadPlan& plan) override;

private:
    // The folders of the files last chosen; empty until a file is chosen.
    QString m_openFolder;
    QString m_saveFolder;
};

// The dialogs as chooseOpenFile and chooseSaveFile set them up, not yet shown.
[[nodiscard]] std::unique_ptr<QFileDialog> makeOpenDialog(const OpenDialogSetup& setup,
                                                          QWidget* parent);
[[nodiscard]] std::unique_ptr<QFileDialog> makeSaveDialog(const SaveDialogSetup& setup,
                                                          QWidget* parent);

// The picture that clipboard or dragged data offers, without decoding it: the bytes of each
// image/* format whose headers the picture reader takes (see pictureDataCost), or, when no image/*
// bytes are offered at all, the image Qt recognises. Nothing when there is none. Cheap enough for
// the window's thread.
[[nodiscard]] std::optional<OfferedPicture> offeredPicture(const QMimeData* data);

// Decodes an offered picture: the first of its bytes the picture reader reads, or Qt's image.
// Nothing when none can be read. Runs on any thread.
[[nodiscard]] std::optional<QImage> readOfferedPicture(const OfferedPicture& offered);

// Both at once: the picture that clipboard data carries, decoded.
[[nodiscard]] std::optional<QImage> pictureFromMimeData(const QMimeData* data);

// Whether the data offers a picture in a form pictureFromMimeData takes, judged by its formats
// alone, without reading the data.
[[nodiscard]] bool offersPictureData(const QMimeData* data);

// The picture file that dragged data names: exactly one local file whose content is a picture in
// a format the picture reader knows, whatever its name. Nothing otherwise.
[[nodiscard]] std::optional<QString> pictureFileFromMimeData(const QMimeData* data);

// Installs Qt's own translation for `locale` (from Qt's translations folder), so that the
// platform's dialogs and standard buttons speak the user's language. The program's own captions
// are written in Japanese and are not translated. False when Qt has no translation for it.
bool installQtTranslation(const QLocale& locale);

} // namespace hakomiru
