#include "ui/form4.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "surface/program_title.h"
#include "ui/decoration.h"
#include "ui/program_state.h"
#include "ui/window_look.h"

namespace hakomiru {

Form4::Form4(ProgramState& state, QWidget* parent) : QWidget(parent, Qt::Dialog), m_state(state)
{
    setWindowTitle(programTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(clientSize);

    m_frame1 = new QGroupBox(QStringLiteral("絵のサイズ"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(twipsToPixels({360, 360, 3015, 1695}));

    const std::array<QString, 2> captions = {QStringLiteral("横幅にあわせる"),
                                             QStringLiteral("縦幅にあわせる")};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(captions[std::size_t(i)], m_frame1);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setGeometry(twipsToPixels({360, 480 + 480 * i, 1935, 375}));
        // Marked by the user or by the program alike.
        connect(option, &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                Option1_Click(i);
        });
        m_option1[std::size_t(i)] = option;
    }

    m_command1 = new QPushButton(QStringLiteral("もどる"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(twipsToPixels({3480, 2400, 975, 495}));
    setFaceColor(m_command1, backFace);
    connect(m_command1, &QPushButton::clicked, this, &Form4::Command1_Click);

    setTabOrder(m_option1[0], m_option1[1]);
    setTabOrder(m_option1[1], m_command1);
}

QRadioButton* Form4::Option1(int index) const
{
    Q_ASSERT(index == 0 || index == 1);
    return index == 0 || index == 1 ? m_option1[std::size_t(index)] : nullptr;
}

void Form4::Option1_Click(int index)
{
    m_state.fitMode = static_cast<std::int16_t>(index);
}

void Form4::Command1_Click()
{
    hide();
}

void Form4::showEvent(QShowEvent* event)
{
    // Over the main window each time it is shown again; the window system would put it anywhere.
    if (!event->spontaneous())
        placeOverParent(this);
    QWidget::showEvent(event);
}

void Form4::closeEvent(QCloseEvent* event)
{
    // The close goes ahead: the dialog hides and is unloaded; fitMode keeps its value.
    hide();
    emit unloaded();
    event->accept();
}

} // namespace hakomiru
