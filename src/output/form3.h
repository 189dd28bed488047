#pragma once

#include <array>
#include <functional>

#include <QPointer>
#include <QWidget>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace hakomiru {

struct ProgramState;

// The print settings dialog: the paper size ("紙の大きさ") and orientation ("紙の向き") for
// printing, kept in the program state as soon as an option is clicked, and "ＯＫ" to print.
// Not modal. Closing it with the close box unloads it (it deletes itself); Form3Owner creates it
// again when it is next wanted.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // `printSheet` runs the print for "ＯＫ"; `showResultWindow` brings the result window forward
    // after either button. Either may be empty.
    Form3(ProgramState& state, std::function<void()> printSheet,
          std::function<void()> showResultWindow, QWidget* parent = nullptr);

    // The controls, by the names and indexes of the dialog's layout.
    [[nodiscard]] QGroupBox* Frame1() const { return m_frame1; }
    [[nodiscard]] QGroupBox* Frame2() const { return m_frame2; }
    // Paper size: 0 "Ａ４", 1 "Ｂ５", 2 "Ｂ４", 3 "Ａ３".
    [[nodiscard]] QRadioButton* Option1(int index) const;
    // Orientation: 0 "横長", 1 "たて長" (never shown).
    [[nodiscard]] QRadioButton* Option2(int index) const;
    // 0 "ＯＫ", 1 "やめる".
    [[nodiscard]] QPushButton* Command1(int index) const;

    // True once the close box has closed the dialog; it is about to be deleted and must not be
    // shown again.
    [[nodiscard]] bool isUnloaded() const { return m_unloaded; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Activate();
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Command1_Click(int index);

    ProgramState& m_state;
    std::function<void()> m_printSheet;
    std::function<void()> m_showResultWindow;

    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    std::array<QRadioButton*, 4> m_option1{};
    std::array<QRadioButton*, 2> m_option2{};
    std::array<QPushButton*, 2> m_command1{};

    // The window of the program that was activated last (modal dialogs aside). The dialog's
    // Activate runs only when it takes over from another window of the program, not when the
    // user comes back to it from another application.
    const QObject* m_lastActiveWindow = nullptr;
    bool m_unloaded = false;
};

// Keeps the one print settings dialog of the result window: "いんさつ" calls show(), which
// creates the dialog on first use (or after the close box unloaded it) and otherwise shows the
// existing one and brings it forward.
class Form3Owner
{
public:
    Form3Owner(ProgramState& state, std::function<void()> printSheet,
               std::function<void()> showResultWindow, QWidget* parent = nullptr);
    ~Form3Owner();
    Form3Owner(const Form3Owner&) = delete;
    Form3Owner& operator=(const Form3Owner&) = delete;

    Form3& show();
    // The dialog while it is loaded, otherwise null.
    [[nodiscard]] Form3* form() const;

private:
    ProgramState& m_state;
    std::function<void()> m_printSheet;
    std::function<void()> m_showResultWindow;
    QPointer<QWidget> m_parent;
    QPointer<Form3> m_form;
};

} // namespace hakomiru
