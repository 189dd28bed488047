#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include "conversion/sheet.h"
#include "intake/slot_intake.h"
#include "intake/slot_read.h"
#include "surface/surface.h"
#include "ui/platform_services.h"
#include "ui/slot_preview.h"
#include "ui/window_look.h"

class QAction;
class QLabel;
class QMimeData;
class QPushButton;

namespace hakomiru {

class Form2;
class Form4;
class PictureBox;
class Workbench;
struct ProgramState;

// The open dialog's entries, the program's own first and すべての絵 selected: their text as the
// user sees it, and the patterns they offer (matched without regard to case, so a camera's
// PHOTO.JPG is listed).
[[nodiscard]] OpenDialogSetup pictureOpenDialogSetup();

// The main window: the picture slots 絵A, 絵B and 絵C with their open buttons and previews, the
// convert button, and the menus. It creates the result window and the picture-size dialog at
// start-up. Its previews show the workbench's; the source boxes the conversion reads are the
// workbench's too. Closing it ends the program.
//
// Slots 0..5 are in use; 0 is 絵A, 1 is 絵B and 5 is 絵C. Slots 2..4 exist with their controls
// hidden and are converted with their empty source boxes.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    Form1(ProgramState& state, Workbench& workbench, PlatformServices& services,
          QWidget* parent = nullptr);
    ~Form1() override;

    // The controls, by the names and indexes the program gives them. Asking for an index an
    // array lacks is a programming error (asserted; nullptr in release builds).
    [[nodiscard]] QPushButton* Command2(int index) const; // open buttons, 0..5
    [[nodiscard]] SlotPreview* Picture4(int index) const; // previews, 0..5
    [[nodiscard]] QLabel* Label2(int index) const;        // slot captions, 0, 1, 2, 3, 5, 7
    [[nodiscard]] QPushButton* Command1(int index) const; // the convert button, 0
    [[nodiscard]] QLabel* Label1() const { return m_label1; }
    [[nodiscard]] QLabel* Image2() const { return m_image2; }
    [[nodiscard]] Surface& Picture2(int index); // the workbench's source boxes, 0..7, never shown
    // The one-second delay before the conversion; single-shot and idle until the convert button.
    [[nodiscard]] QTimer* Timer1() { return &m_timer1; }

    [[nodiscard]] Form2* form2() const { return m_form2.get(); }
    // The picture-size dialog, or nullptr while it is unloaded (closed by its close box).
    [[nodiscard]] Form4* form4() const;

    // What the window offers, set in one place: the prompt "絵を開いてください" with no convert
    // button (at start-up); the convert button once a picture is placed; the waiting text
    // "ちょっと待ってね" while the conversion is about to run; and, back from the result window,
    // the prompt together with the convert button.
    enum class Look
    {
        Prompt,
        Ready,
        Waiting,
        Back,
    };
    void showLook(Look look);

    // Whether a picture is still being read into slot 0..5 (opened, dropped or pasted), or into
    // any slot.
    [[nodiscard]] bool readingSlot(int slot) const;
    [[nodiscard]] bool reading() const;

    // The size of the window's client area below the menu bar.
    static constexpr QSize clientSize{twipsToPixels(7605), twipsToPixels(4770)};

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Command2_Click(int index);
    void menuopen_Click(int slot);
    void mnupaste_Click(int slot);
    void mnuookisa_Click();
    void Command1_Click();
    void Timer1_Timer();

private:
    // A right-click on the preview of `slot` asks whether to paste the clipboard's picture.
    void ConfirmPaste(const VisibleSlot& slot, Qt::MouseButton button);
    void buildControls();
    void buildMenus();
    void Form_Load();
    // Creates the picture-size dialog, hidden, in its designed state.
    void loadForm4();

    void OpenPictureFile();
    // The open command after its dialog: the chosen file goes into the current slot.
    void openChosenFile(const QString& path);
    void LoadPictureIntoSlot();
    void PasteClipboardPicture();
    // The paste command with its picture from `pasted` (called once, after the slot is cleared)
    // instead of the clipboard.
    void pastePicture(const std::function<std::optional<OfferedPicture>()>& pasted);
    // Data dragged onto the preview of slot `index`: a picture file, or picture data.
    [[nodiscard]] static bool acceptsDrop(const QMimeData& data);
    void dropOnSlot(int index, const QMimeData& data);
    [[nodiscard]] bool slotInUse(int slot) const;
    // Clears slot 0..5 for a new picture, dropping any read still going into it: a later open
    // wins.
    void clearForNewPicture(int slot);
    // Reads a picture into slot 0..5 with `read` on a reading thread; the slot shows that it waits
    // until the picture is placed, or stays cleared when the read fails.
    void readIntoSlot(int slot, std::function<SlotReading()> read);
    void readEnded(int slot);
    void showWaiting(int slot, bool waiting);
    void convertSheet();

    ProgramState& m_state;
    Workbench& m_workbench;
    PlatformServices& m_services;

    std::array<QPushButton*, 6> m_command2{};
    std::array<SlotPreview*, 6> m_picture4{};
    std::array<QLabel*, 8> m_label2{};
    QPushButton* m_command1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_image2 = nullptr;
    QTimer m_timer1;

    std::unique_ptr<Form2> m_form2;
    QPointer<Form4> m_form4;

    // The read going into each slot, if any.
    std::array<QFutureWatcher<SlotReading>*, slotCount> m_reads{};
    // 変換 was pressed while reads went on: the conversion runs once they have ended.
    bool m_convertAfterReads = false;
    // The reading threads. Last, so that it is the first to go: a read still going when the
    // window is destroyed is waited for, as it may use the platform services.
    QThreadPool m_readers;
};

} // namespace hakomiru
