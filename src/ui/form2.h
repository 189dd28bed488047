#pragma once

#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "conversion/sheet.h"
#include "surface/surface.h"
#include "ui/window_look.h"

class QAction;
class QMenu;
class QPrinter;
class QPushButton;

namespace hakomiru {

class BoxWindow;
class Form3;
class PictureBox;
class PlatformServices;
class SheetView;
class Workbench;
struct ProgramState;

// The result window: shows the workbench's sheet canvas, saves it and prints it. Its back button
// hides the window and asks the main window to come back (backRequested); closing it ends the
// program. The canvas is larger than the window and is shown from its top-left corner; the window
// may be resized, but nothing in it moves or scales. Where the window is smaller than the canvas,
// the canvas scrolls beneath the back button.
class Form2 : public QMainWindow
{
    Q_OBJECT

public:
    // Made, hidden, by the main window's start-up.
    Form2(ProgramState& state, Workbench& workbench, PlatformServices& services,
          QWidget* parent = nullptr);
    ~Form2() override;

    // The sheet canvas, at (0, 0) of the client area when not scrolled.
    [[nodiscard]] PictureBox* Picture3() const { return m_picture3; }
    // The workbench's piece boxes 0..24, 200 x 200 pixels, never shown; 24 is never used.
    [[nodiscard]] Surface& Picture2(int index);
    // The back button "もどる"; the only index is 1.
    [[nodiscard]] QPushButton* Command1(int index) const;
    [[nodiscard]] QMenu* fileMenu() const { return m_mnufile2; }
    // The print settings dialog while it is loaded, otherwise null.
    [[nodiscard]] Form3* printSettings() const;
    // The box window once it has been opened, otherwise null.
    [[nodiscard]] BoxWindow* boxWindow() const;
    // The printer the sheet goes to; it keeps its settings for the whole run.
    [[nodiscard]] QPrinter& printer() { return *m_printer; }

    // Shows a new sheet: the window with the canvas as it is now, from its top-left corner, not
    // modal, brought to the front.
    void showResult();

    // The size of the client area below the menu bar, as designed.
    static constexpr QSize clientSize{twipsToPixels(11655), twipsToPixels(8655)};

signals:
    // "もどる" was pressed: the window has hidden itself.
    void backRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Command1_Click();
    void mnusave_Click();
    void mnuprint_Click();
    void mnubox_Click();

private:
    // Shows the window again, not modal, and brings it to the front; the sheet keeps its scroll.
    void bringForward();
    void printSheet();

    ProgramState& m_state;
    Workbench& m_workbench;
    PlatformServices& m_services;
    PictureBox* m_picture3 = nullptr;
    SheetView* m_view = nullptr;
    QPushButton* m_command1 = nullptr;
    QMenu* m_mnufile2 = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<Form3> m_form3;
    QPointer<BoxWindow> m_box;
};

} // namespace hakomiru
