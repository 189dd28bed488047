#pragma once

#include <array>

#include <QWidget>

class QGroupBox;
class QPushButton;
class QRadioButton;
class QWindow;

namespace hakomiru {

struct ProgramState;

// The print settings dialog: the paper size ("紙の大きさ") and orientation ("紙の向き") for
// printing, kept in the program state as soon as an option is clicked, and "ＯＫ" to print.
// Not modal, but a dialog of the window that opens it: it stays above that window and opens over
// it, on screen. Its close box unloads it: it says so (unloaded) and deletes itself, and the window
// that owns it makes a new one when it is next wanted.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    explicit Form3(ProgramState& state, QWidget* parent = nullptr);

    // The controls, by the names and indexes of the dialog's layout. Asking for an index an
    // array lacks is a programming error (asserted; nullptr in release builds).
    [[nodiscard]] QGroupBox* Frame1() const { return m_frame1; }
    [[nodiscard]] QGroupBox* Frame2() const { return m_frame2; }
    // Paper size: 0 "Ａ４", 1 "Ｂ５", 2 "Ｂ４", 3 "Ａ３".
    [[nodiscard]] QRadioButton* Option1(int index) const;
    // Orientation: 0 "横長", 1 "たて長" (never shown).
    [[nodiscard]] QRadioButton* Option2(int index) const;
    // 0 "ＯＫ", 1 "やめる".
    [[nodiscard]] QPushButton* Command1(int index) const;

signals:
    // "ＯＫ": print the sheet now, while the dialog is still on screen.
    void printRequested();
    // Either button: the dialog has hidden itself.
    void dismissed();
    // The close box: the dialog is about to be deleted and must not be shown again.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Command1_Click(int index);
    void focusWindowChanged(QWindow* window);

    ProgramState& m_state;

    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    std::array<QRadioButton*, 4> m_option1{};
    std::array<QRadioButton*, 2> m_option2{};
    std::array<QPushButton*, 2> m_command1{};

    // The window of the program that was activated last (modal dialogs aside); compared, never
    // used. The dialog's Activate runs only when it takes over from another window of the
    // program, not when the user comes back to it from another application.
    const QWindow* m_lastActiveWindow = nullptr;
};

} // namespace hakomiru
