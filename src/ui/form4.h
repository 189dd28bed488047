#pragma once

#include <array>

#include <QWidget>

#include "ui/window_look.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace hakomiru {

struct ProgramState;

// The picture-size dialog: chooses how pictures placed from now on are fitted into their slots
// (fitMode). Not modal, but a dialog of the main window, opened over it and on screen. "もどる"
// hides it. Its close box unloads it: it says so (unloaded) and deletes itself, and the window that
// owns it makes a new one when it is next wanted, in its designed state, with neither option
// marked.
class Form4 : public QWidget
{
    Q_OBJECT

public:
    explicit Form4(ProgramState& state, QWidget* parent = nullptr);

    [[nodiscard]] QRadioButton* Option1(int index) const; // 0 "横幅にあわせる", 1 "縦幅にあわせる"
    [[nodiscard]] QGroupBox* Frame1() const { return m_frame1; }
    [[nodiscard]] QPushButton* Command1() const { return m_command1; }

    // The size of the dialog's client area.
    static constexpr QSize clientSize{twipsToPixels(4680), twipsToPixels(3090)};

signals:
    // The close box: the dialog is about to be deleted and must not be shown again.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void Option1_Click(int index);
    void Command1_Click();

private:
    ProgramState& m_state;
    QGroupBox* m_frame1 = nullptr;
    std::array<QRadioButton*, 2> m_option1{};
    QPushButton* m_command1 = nullptr;
};

} // namespace hakomiru
