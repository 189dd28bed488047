#pragma once

#include <memory>
#include <span>
#include <vector>

#include <QMainWindow>

#include "conversion/sheet.h"
#include "surface/surface.h"

class QAction;
class QMenu;
class QPrinter;
class QPushButton;

namespace hakomiru {

class Form1;
class Form3;
class Form3Owner;
class PictureBox;
class PlatformServices;
struct ProgramState;

// The result window: shows the sheet canvas and owns the working surfaces of the conversion (the
// 25 piece boxes and the canvas). Its back button returns to the main window; closing it ends the
// program. The canvas is larger than the window and is shown from its top-left corner; the window
// may be resized, but nothing in it moves or scales, and it does not scroll.
class Form2 : public QMainWindow
{
    Q_OBJECT

public:
    // Made, hidden, by the main window's start-up.
    Form2(Form1& mainWindow, ProgramState& state, PlatformServices& services,
          QWidget* parent = nullptr);
    ~Form2() override;

    // The sheet canvas, at (0, 0) of the client area.
    [[nodiscard]] PictureBox* Picture3() const { return m_picture3; }
    // The piece boxes 0..24, 200 x 200 pixels, never shown; 24 is never used.
    [[nodiscard]] Surface& Picture2(int index);
    [[nodiscard]] std::span<Surface> pieceBoxes() { return m_picture2; }
    // The back button "もどる"; the only index is 1.
    [[nodiscard]] QPushButton* Command1(int index) const;
    [[nodiscard]] QMenu* fileMenu() const { return m_mnufile2; }
    // The print settings dialog while it is loaded, otherwise null.
    [[nodiscard]] Form3* printSettings() const;
    // The printer the sheet goes to; it keeps its settings for the whole run.
    [[nodiscard]] QPrinter& printer() { return *m_printer; }

    // Shows the window, not modal, and brings it to the front.
    void showResult();

    // The size of the client area below the menu bar, as designed.
    static constexpr QSize clientSize{777, 577};

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Command1_Click();
    void mnusave_Click();
    void mnuprint_Click();

private:
    Form1& m_main;
    PlatformServices& m_services;
    PictureBox* m_picture3 = nullptr;
    std::vector<Surface> m_picture2;
    QPushButton* m_command1 = nullptr;
    QMenu* m_mnufile2 = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<Form3Owner> m_form3;
};

} // namespace hakomiru
