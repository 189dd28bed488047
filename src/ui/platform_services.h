#pragma once

#include <optional>

#include <QImage>
#include <QString>
#include <QStringList>

#include "intake/slot_read.h"
#include "picture/picture_file.h"

class QPrinter;
class QWidget;

namespace hakomiru {

// A picture the clipboard or a drop offers, taken on the window's thread and not yet decoded: the
// bytes of each picture format offered, in the order offered, or, when no bytes are offered (a
// picture copied within a Qt program), Qt's own image. Decoding it (readOfferedPicture) is for a
// reading thread.
struct OfferedPicture
{
    QList<QByteArray> bytes;
    QImage image;
};

// One entry of a file dialog's type list: its text, shown exactly, and the patterns it lists.
// Patterns match without regard to case.
struct FileFilter
{
    QString description;
    QStringList patterns;
};

// What the open dialog shows: its first filter entry, then any further entries, and which entry
// is selected when it opens (0 the first, 1 the first further one, ...).
struct OpenDialogSetup
{
    QString filterDescription;
    QStringList patterns;
    QList<FileFilter> furtherFilters;
    int selectedFilter = 0;
};

// What the save dialog shows. An empty title leaves the platform's own.
struct SaveDialogSetup
{
    QString initialFolder;
    QString filterDescription;
    QStringList patterns;
    bool confirmOverwrite = true;
};

// Everything modal or outside the program, behind one small interface: the windows call these and
// never a dialog or the clipboard directly, so tests can answer them from a script. Each dialog is
// modal to `owner`, the window that asks.
class PlatformServices
{
public:
    virtual ~PlatformServices() = default;

    // The full path of the chosen file, or nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QString> chooseOpenFile(QWidget* owner,
                                                                const OpenDialogSetup& setup) = 0;
    [[nodiscard]] virtual std::optional<QString> chooseSaveFile(QWidget* owner,
                                                                const SaveDialogSetup& setup) = 0;
    // A question with OK and Cancel and no icon; true for OK.
    [[nodiscard]] virtual bool askOkCancel(QWidget* owner, const QString& title,
                                           const QString& text) = 0;
    // A message with an OK button only, for failures the user must know about.
    virtual void showMessage(QWidget* owner, const QString& title, const QString& text) = 0;
    // Lets the user pick a printer and its options for `printer`; false when cancelled.
    [[nodiscard]] virtual bool choosePrinter(QWidget* owner, QPrinter& printer) = 0;
    // The picture the clipboard offers, or nothing when it offers none.
    [[nodiscard]] virtual std::optional<OfferedPicture> clipboardPicture() = 0;
    // Reads a picture file for a slot (see readSlotFile). Called on a worker thread, never the
    // window's, and possibly for two files at once.
    [[nodiscard]] virtual SlotReading readSlotPicture(const QString& path,
                                                      const SlotReadPlan& plan) = 0;
};

} // namespace hakomiru
