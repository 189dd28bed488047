#include "ui/form3.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QShowEvent>
#include <QWindow>
#include <QColor>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "output/page_layout.h"
#include "surface/program_title.h"
#include "ui/decoration.h"
#include "ui/program_state.h"
#include "ui/window_look.h"

namespace hakomiru {

namespace {

QPushButton* makeButton(QWidget* parent, const QString& caption, QColor face, TwipsRect place)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(twipsToPixels(place));
    button->setAutoDefault(false);
    button->setDefault(false);
    setFaceColor(button, face);
    return button;
}

QRadioButton* makeOption(QWidget* frame, const QString& caption, TwipsRect place)
{
    auto* option = new QRadioButton(caption, frame);
    option->setGeometry(twipsToPixels(place));
    return option;
}

// Within an option group only the selected option is a tab stop; the arrow keys move inside it.
template <std::size_t N>
void makeSelectedOptionTheTabStop(const std::array<QRadioButton*, N>& group)
{
    const bool anySelected =
        std::any_of(group.begin(), group.end(), [](QRadioButton* o) { return o->isChecked(); });
    for (QRadioButton* option : group) {
        const bool stop = option->isChecked() || !anySelected;
        option->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

} // namespace

Form3::Form3(ProgramState& state, QWidget* parent) : QWidget(parent, Qt::Dialog), m_state(state)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(programTitle);
    resize(twipsToPixels(5550), twipsToPixels(4545));

    // Created back to front, so that the later controls lie on top.
    m_frame1 = new QGroupBox(QStringLiteral("紙の大きさ"), this);
    m_frame1->setGeometry(twipsToPixels({600, 480, 2295, 1935}));
    for (std::size_t i = 0; i < m_option1.size(); ++i)
        m_option1[i] = makeOption(m_frame1, QString::fromUtf16(papers[i].caption),
                                  {480, 360 + 360 * int(i), 1455, 255});

    m_frame2 = new QGroupBox(QStringLiteral("紙の向き"), this);
    m_frame2->setGeometry(twipsToPixels({600, 2760, 2295, 1215}));
    m_option2[0] = makeOption(m_frame2, QStringLiteral("横長"), {480, 360, 1215, 375});
    m_option2[1] = makeOption(m_frame2, QStringLiteral("たて長"), {480, 720, 1215, 375});
    // Portrait is offered to the print code but not to the user.
    m_option2[1]->setVisible(false);

    m_command1[0] = makeButton(this, QStringLiteral("ＯＫ"), goFace, {4200, 3120, 1095, 495});
    m_command1[1] = makeButton(this, QStringLiteral("やめる"), backFace, {4200, 3840, 1095, 495});

    setTabOrder(m_option1[0], m_option1[1]);
    setTabOrder(m_option1[1], m_option2[0]);
    setTabOrder(m_option2[0], m_option2[1]);
    setTabOrder(m_option2[1], m_command1[0]);
    setTabOrder(m_command1[0], m_command1[1]);
    setTabOrder(m_command1[1], m_option1[2]);
    setTabOrder(m_option1[2], m_option1[3]);

    for (int index = 0; index < static_cast<int>(m_option1.size()); ++index) {
        connect(m_option1[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            makeSelectedOptionTheTabStop(m_option1);
            if (checked)
                Option1_Click(index);
        });
    }
    for (int index = 0; index < static_cast<int>(m_option2.size()); ++index) {
        connect(m_option2[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            makeSelectedOptionTheTabStop(m_option2);
            if (checked)
                Option2_Click(index);
        });
    }
    for (int index = 0; index < static_cast<int>(m_command1.size()); ++index)
        connect(m_command1[index], &QPushButton::clicked, this,
                [this, index] { Command1_Click(index); });

    // Shown with the stored choices even where the window manager does not activate a new
    // window at once; Activate selects them again whenever the dialog takes over.
    Form_Activate();

    // Every change of the program's active window passes here, so that Activate can tell a
    // switch between the program's windows from a return from another application.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &Form3::focusWindowChanged);
}

namespace {

// The control at `index` of a control array; asked for an index the array lacks, a programming
// error, asserted and nullptr in release builds.
template <typename Control, std::size_t N>
Control* controlAt(const std::array<Control*, N>& controls, int index)
{
    Q_ASSERT(index >= 0 && std::size_t(index) < N);
    return index >= 0 && std::size_t(index) < N ? controls[std::size_t(index)] : nullptr;
}

} // namespace

QRadioButton* Form3::Option1(int index) const
{
    return controlAt(m_option1, index);
}

QRadioButton* Form3::Option2(int index) const
{
    return controlAt(m_option2, index);
}

QPushButton* Form3::Command1(int index) const
{
    return controlAt(m_command1, index);
}

void Form3::focusWindowChanged(QWindow* window)
{
    // No window: the program lost the focus to another application. A modal dialog (the print
    // dialog, a message box) interrupts a window; it does not take its place.
    if (window == nullptr || window->modality() != Qt::NonModal)
        return;
    const bool takesOver = m_lastActiveWindow != windowHandle();
    m_lastActiveWindow = window;
    if (window == windowHandle() && takesOver)
        Form_Activate();
}

void Form3::closeEvent(QCloseEvent* event)
{
    // The choices live in the program state, so nothing is lost when the dialog goes.
    hide();
    emit unloaded();
    event->accept();
}

void Form3::showEvent(QShowEvent* event)
{
    // Over the window that opened it each time it is shown from hidden: that window may have
    // moved meanwhile.
    if (!event->spontaneous())
        placeOverParent(this);
    QWidget::showEvent(event);
}

void Form3::Form_Activate()
{
    // The state only ever holds option indexes; anything else leaves the group as it is rather
    // than selecting an option that does not exist.
    const int size = m_state.paperSize;
    if (size >= 0 && size < static_cast<int>(m_option1.size()))
        m_option1[static_cast<std::size_t>(size)]->setChecked(true);
    const int orientation = m_state.orientation();
    if (orientation >= 0 && orientation < static_cast<int>(m_option2.size()))
        m_option2[static_cast<std::size_t>(orientation)]->setChecked(true);
}

void Form3::Option1_Click(int index)
{
    m_state.paperSize = static_cast<std::int16_t>(index);
}

void Form3::Option2_Click(int index)
{
    m_state.paperOrientation = static_cast<std::int16_t>(index);
}

void Form3::Command1_Click(int index)
{
    if (index == 0)
        emit printRequested();
    hide();
    emit dismissed();
}

} // namespace hakomiru
