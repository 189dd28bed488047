#include "ui/form2.h"

#include <QAction>
#include <QKeySequence>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>

#include "conversion/workbench.h"
#include "ui/box_window.h"
#include "surface/program_title.h"
#include "ui/decoration.h"
#include "ui/end_program.h"
#include "ui/form3.h"
#include "ui/picture_box.h"
#include "ui/print_sheet.h"
#include "ui/program_state.h"
#include "ui/save_sheet.h"
#include "ui/sheet_view.h"
#include "ui/window_look.h"

namespace hakomiru {

Form2::Form2(ProgramState& state, Workbench& workbench, PlatformServices& services, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_workbench(workbench), m_services(services),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setWindowTitle(programTitle);

    // The client area shows the canvas from its top-left corner and scrolls when the window is
    // smaller than the canvas. Nothing in it moves or scales with the window's size; beyond the
    // canvas it shows the colour of title-bar text.
    m_picture3 = new PictureBox(m_workbench.canvas());
    m_picture3->setObjectName(QStringLiteral("Picture3"));
    m_view = new SheetView(m_picture3, palette().color(QPalette::WindowText), this);
    m_view->setObjectName(QStringLiteral("clientArea"));
    // The window may still be made as small as the window system allows.
    m_view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setCentralWidget(m_view);

    // Piece box 24 sits where it was designed; nothing draws into it.
    m_workbench.pieceBox(pieceBoxCount - 1).setLeft(float(twipsToPixels(2280)));
    m_workbench.pieceBox(pieceBoxCount - 1).setTop(float(twipsToPixels(480)));

    // Pinned on top of the canvas: it stays where it is while the canvas scrolls beneath it.
    m_command1 = new QPushButton(QStringLiteral("もどる"), m_view);
    m_command1->setObjectName(QStringLiteral("Command1_1"));
    m_view->pin(m_command1, twipsToPixels({120, 240, 1215, 495}));
    setFaceColor(m_command1, backFace);
    connect(m_command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    // The button has the focus when the window first shows; Tab moves it to the canvas's view.
    m_command1->setFocus();

    m_mnufile2 = menuBar()->addMenu(QStringLiteral("ファイル"));
    m_mnufile2->setObjectName(QStringLiteral("mnufile2"));
    QAction* save = m_mnufile2->addAction(QStringLiteral("名前をつけて　ほぞん"));
    save->setObjectName(QStringLiteral("mnusave"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &Form2::mnusave_Click);
    QAction* separator = m_mnufile2->addSeparator();
    separator->setObjectName(QStringLiteral("mnuh2"));
    QAction* print = m_mnufile2->addAction(QStringLiteral("いんさつ"));
    print->setObjectName(QStringLiteral("mnuprint"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, &Form2::mnuprint_Click);
    // The sheet folded into its box, before it is printed.
    QAction* box = m_mnufile2->addAction(QStringLiteral("ハコを　みる"));
    box->setObjectName(QStringLiteral("mnubox"));
    box->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(box, &QAction::triggered, this, &Form2::mnubox_Click);
    openFirstMenuWithF10(this);

    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
    centreOnScreen(this);
}

Form2::~Form2() = default;

Form3* Form2::printSettings() const
{
    return m_form3.data();
}

Surface& Form2::Picture2(int index)
{
    Q_ASSERT(index >= 0 && index < pieceBoxCount);
    return m_workbench.pieceBox(index);
}

QPushButton* Form2::Command1(int index) const
{
    Q_ASSERT(index == 1);
    return index == 1 ? m_command1 : nullptr;
}

BoxWindow* Form2::boxWindow() const
{
    return m_box.data();
}

void Form2::showResult()
{
    // An open box window folds the new sheet.
    if (m_box)
        m_box->setSheet(m_workbench.canvas().image());
    m_view->scrollToCorner();
    bringForward();
}

void Form2::bringForward()
{
    m_picture3->update();
    show();
    raise();
    activateWindow();
}

void Form2::closeEvent(QCloseEvent* event)
{
    event->accept();
    endProgram();
}

void Form2::Command1_Click()
{
    hide();
    emit backRequested();
}

void Form2::mnusave_Click()
{
    SaveSheet(m_services, this, m_workbench.canvas().image());
}

void Form2::mnuprint_Click()
{
    // The print settings dialog is made on first use, and again after its close box unloaded it.
    if (m_form3.isNull()) {
        m_form3 = new Form3(m_state, this);
        connect(m_form3, &Form3::unloaded, this, [this] { m_form3.clear(); });
        connect(m_form3, &Form3::printRequested, this, &Form2::printSheet);
        connect(m_form3, &Form3::dismissed, this, &Form2::bringForward);
    }
    m_form3->show();
    m_form3->raise();
    m_form3->activateWindow();
}

void Form2::mnubox_Click()
{
    // Made on first use, over the result window; closing it only hides it.
    if (m_box.isNull()) {
        m_box = new BoxWindow(this);
        m_box->move(geometry().center() - m_box->rect().center());
    }
    m_box->setSheet(m_workbench.canvas().image());
    m_box->show();
    m_box->raise();
    m_box->activateWindow();
}

void Form2::printSheet()
{
    // The dialog stays on screen while the page is printed.
    (void)PrintSheet(m_services, this, m_workbench.canvas(), m_workbench.sheetDrawing(),
                     m_state.paperSize, m_state.orientation(), *m_printer);
    m_picture3->update();
}

} // namespace hakomiru
