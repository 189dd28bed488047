#pragma once

// A main window on scripted services, as the program starts it, for window tests.

#include <memory>

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "conversion/workbench.h"
#include "ui/form1.h"
#include "ui/program_state.h"
#include "scripted_services.h"
#include "ui/picture_box.h"

namespace hakomiru::testing {

struct Program
{
    ProgramState state;
    Workbench workbench;
    ScriptedServices services;
    std::unique_ptr<Form1> form1;

    Program() : form1(std::make_unique<Form1>(state, workbench, services))
    {
        form1->show();
        (void)QTest::qWaitForWindowExposed(form1.get());
    }

    QAction* action(const char* name) const
    {
        return form1->findChild<QAction*>(QString::fromLatin1(name));
    }
    QRgb sourceCentre(int slot) const { return form1->Picture2(slot).point(244, 244); }
    QRgb previewCentre(int slot) const { return form1->Picture4(slot)->surface().point(72, 72); }
    QRgb boxBack() const { return form1->Picture2(0).backColor(); }
};

// While it lives, the application has the palette of a dark desktop colour scheme: light text on
// near-black windows, documents and buttons.
class DarkScheme
{
public:
    explicit DarkScheme(bool dark = true) : m_saved(QApplication::palette())
    {
        if (!dark)
            return;
        QPalette palette;
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            palette.setColor(role, QColor(32, 35, 38));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, QColor(250, 250, 250));
        QApplication::setPalette(palette);
    }
    ~DarkScheme() { QApplication::setPalette(m_saved); }
    DarkScheme(const DarkScheme&) = delete;
    DarkScheme& operator=(const DarkScheme&) = delete;

private:
    QPalette m_saved;
};

// Clicks "変換" and lets the one-second delay end at once; returns when the conversion has run.
// Waits until the pictures being read have been placed (or their slots left cleared).
inline void settle(Program& program)
{
    QTRY_VERIFY(!program.form1->reading());
}

inline void convert(Program& program)
{
    settle(program);
    QTest::mouseClick(program.form1->Command1(0), Qt::LeftButton);
    QTimer* timer = program.form1->Timer1();
    QVERIFY(timer->isActive());
    timer->setInterval(0);
    QTRY_VERIFY(!timer->isActive());
}

} // namespace hakomiru::testing
