#include "output/form2.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>

#include "app/end_program.h"
#include "app/form1.h"
#include "app/program_state.h"
#include "app/window_look.h"
#include "output/form3.h"
#include "output/print_sheet.h"
#include "output/save_sheet.h"
#include "surface/picture_box.h"

namespace hakomiru {

namespace {

// The canvas as designed; the main window's start-up sizes it for the sheet.
constexpr QSize designCanvasSize{769, 505};

} // namespace

Form2::Form2(Form1& mainWindow, ProgramState& state, PlatformServices& services, QWidget* parent)
    : QMainWindow(parent), m_main(mainWindow), m_services(services),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setWindowTitle(QStringLiteral("ハコミル"));

    // A plain area, not a layout: the canvas and the button keep their places whatever the
    // window's size. Beyond the canvas the area shows the colour of title-bar text.
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("clientArea"));
    QPalette back = area->palette();
    back.setColor(QPalette::Window, palette().color(QPalette::WindowText));
    area->setPalette(back);
    area->setAutoFillBackground(true);
    area->setMinimumSize(0, 0);
    setCentralWidget(area);

    // The boxes and the canvas are paper white whatever the desktop's theme.
    const QRgb windowBack = defaultBoxBackColor;
    m_picture3 =
        new PictureBox(designCanvasSize.width(), designCanvasSize.height(), windowBack, area);
    m_picture3->setObjectName(QStringLiteral("Picture3"));
    m_picture3->move(0, 0);

    m_picture2.reserve(pieceBoxCount);
    for (int i = 0; i < pieceBoxCount; ++i)
        m_picture2.emplace_back(pieceBoxSide, pieceBoxSide, windowBack);
    m_picture2.back().setLeft(152);
    m_picture2.back().setTop(32);

    // Made after the canvas, so it lies on top of it.
    m_command1 = new QPushButton(QStringLiteral("もどる"), area);
    m_command1->setObjectName(QStringLiteral("Command1_1"));
    m_command1->setGeometry(8, 16, 81, 33);
    setFaceColor(m_command1, QColor(255, 192, 255));
    connect(m_command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    m_mnufile2 = menuBar()->addMenu(QStringLiteral("ファイル"));
    m_mnufile2->setObjectName(QStringLiteral("mnufile2"));
    QAction* save = m_mnufile2->addAction(QStringLiteral("名前をつけて　ほぞん"));
    save->setObjectName(QStringLiteral("mnusave"));
    connect(save, &QAction::triggered, this, &Form2::mnusave_Click);
    QAction* separator = m_mnufile2->addSeparator();
    separator->setObjectName(QStringLiteral("mnuh2"));
    QAction* print = m_mnufile2->addAction(QStringLiteral("いんさつ"));
    print->setObjectName(QStringLiteral("mnuprint"));
    connect(print, &QAction::triggered, this, &Form2::mnuprint_Click);

    // The print settings dialog is made on first use; "ＯＫ" prints the canvas as it is then.
    m_form3 = std::make_unique<Form3Owner>(
        state,
        [this, &state] {
            (void)PrintSheet(m_services, m_picture3->surface(), state, *m_printer);
            m_picture3->update();
        },
        [this] { showResult(); }, this);

    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
    centreOnScreen(this);
}

Form2::~Form2() = default;

Form3* Form2::printSettings() const
{
    return m_form3->form();
}

Surface& Form2::Picture2(int index)
{
    Q_ASSERT(index >= 0 && index < pieceBoxCount);
    return m_picture2.at(std::size_t(index));
}

QPushButton* Form2::Command1(int index) const
{
    Q_ASSERT(index == 1);
    return index == 1 ? m_command1 : nullptr;
}

void Form2::showResult()
{
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
    m_main.Label1()->setText(QStringLiteral("絵を開いてください"));
    m_main.Label1()->setVisible(true);
    m_main.Command1(0)->setVisible(true);
    hide();
    m_main.show();
    m_main.raise();
    m_main.activateWindow();
}

void Form2::mnusave_Click()
{
    SaveSheet(m_services, m_picture3->surface().image());
}

void Form2::mnuprint_Click()
{
    m_form3->show();
}

} // namespace hakomiru
