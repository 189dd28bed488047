#include <QtTest>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include "conversion/workbench.h"
#include "output/print_test_support.h"
#include "surface/surface.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/print_services.h"
#include "ui/program_state.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

// The program's start values.
ProgramState startState()
{
    ProgramState state;
    state.paperSize = 2;
    return state;
}

// The result window that owns the dialog, as the program has it. Its print dialog is cancelled
// unless a test says otherwise, so nothing reaches a printer.
struct Owner
{
    ProgramState state = startState();
    Workbench workbench;
    ScriptedPrintServices services;
    Form2 window{state, workbench, services};

    Owner() { services.acceptPrintDialog = false; }

    // "いんさつ": brings the dialog forward, made anew where needed; true once it is active.
    bool showAndActivate()
    {
        window.findChild<QAction*>("mnuprint")->trigger();
        return form() != nullptr && QTest::qWaitForWindowActive(form());
    }
    [[nodiscard]] Form3* form() const { return window.printSettings(); }
};

// What the dialog's signals said, in order, with whether the dialog was shown at the time.
struct Calls
{
    QStringList log;

    void watch(Form3* form)
    {
        auto note = [this, form](const char* what) {
            log << QStringLiteral("%1 (dialog %2)")
                       .arg(QLatin1String(what),
                            form->isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden"));
        };
        QObject::connect(form, &Form3::printRequested, form, [note] { note("print"); });
        QObject::connect(form, &Form3::dismissed, form, [note] { note("result"); });
    }
};

// Clicks an option on its round indicator, which always takes the click.
void clickOption(QRadioButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

// Makes `window` the program's active window, as a click on it does.
bool activate(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_Form3 : public QObject
{
    Q_OBJECT

private slots:
    void captionsAndPlaces_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        // Twips / 15: the layout's positions in pixels.
        QTest::newRow("Frame1") << QString("Frame1") << QString("紙の大きさ")
                                << QRect(40, 32, 153, 129);
        QTest::newRow("Option1(0)")
            << QString("Option1(0)") << QString("Ａ４") << QRect(32, 24, 97, 17);
        QTest::newRow("Option1(1)")
            << QString("Option1(1)") << QString("Ｂ５") << QRect(32, 48, 97, 17);
        QTest::newRow("Option1(2)")
            << QString("Option1(2)") << QString("Ｂ４") << QRect(32, 72, 97, 17);
        QTest::newRow("Option1(3)")
            << QString("Option1(3)") << QString("Ａ３") << QRect(32, 96, 97, 17);
        QTest::newRow("Frame2") << QString("Frame2") << QString("紙の向き")
                                << QRect(40, 184, 153, 81);
        QTest::newRow("Option2(0)")
            << QString("Option2(0)") << QString("横長") << QRect(32, 24, 81, 25);
        QTest::newRow("Option2(1)")
            << QString("Option2(1)") << QString("たて長") << QRect(32, 48, 81, 25);
        QTest::newRow("Command1(0)")
            << QString("Command1(0)") << QString("ＯＫ") << QRect(280, 208, 73, 33);
        QTest::newRow("Command1(1)")
            << QString("Command1(1)") << QString("やめる") << QRect(280, 256, 73, 33);
    }
    void captionsAndPlaces()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        ProgramState state = startState();
        Form3 form(state);
        QWidget* widget = nullptr;
        QString text;
        if (control == "Frame1" || control == "Frame2") {
            auto* frame = control == "Frame1" ? form.Frame1() : form.Frame2();
            widget = frame;
            text = frame->title();
        } else if (control.startsWith("Command1")) {
            auto* button = form.Command1(control.at(9).digitValue());
            widget = button;
            text = button->text();
        } else {
            auto* option = control.startsWith("Option1") ? form.Option1(control.at(8).digitValue())
                                                         : form.Option2(control.at(8).digitValue());
            widget = option;
            text = option->text();
        }
        QCOMPARE(text, caption);
        QVERIFY2(!text.contains('&'), "no access keys");
        QCOMPARE(widget->geometry(), geometry);
    }

    void window()
    {
        ProgramState state = startState();
        Form3 form(state);
        QCOMPARE(form.windowTitle(), QString(QString("ハコミル")));
        QCOMPARE(form.size(), QSize(370, 303));
        QVERIFY(form.isWindow());
        QCOMPARE(form.windowModality(), Qt::NonModal);
        // The options sit inside their frames.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(form.Option1(i)->parentWidget(), form.Frame1());
        QCOMPARE(form.Option2(0)->parentWidget(), form.Frame2());
        QCOMPARE(form.Option2(1)->parentWidget(), form.Frame2());
        // Neither button answers Enter as the default.
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!form.Command1(i)->isDefault());
            QVERIFY(!form.Command1(i)->autoDefault());
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.Option2(1)->isVisible());
        QVERIFY(form.Option2(0)->isVisible());
    }

    // The tab order is Ａ４, Ｂ５, 横長, (たて長,) ＯＫ, やめる, Ｂ４, Ａ３; within an option group
    // only the selected option is a tab stop, so with Ｂ４ and 横長 selected Tab goes 横長, ＯＫ,
    // やめる, Ｂ４ and round again.
    void tabOrder()
    {
        Owner owner;
        QVERIFY(owner.showAndActivate());
        Form3& form = *owner.form();
        const QList<QWidget*> order{form.Option1(0), form.Option1(1),  form.Option2(0),
                                    form.Option2(1), form.Command1(0), form.Command1(1),
                                    form.Option1(2), form.Option1(3)};
        QList<QWidget*> chain;
        QWidget* widget = &form;
        do {
            if (widget->focusPolicy() != Qt::NoFocus)
                chain << widget;
            widget = widget->nextInFocusChain();
        } while (widget != &form);
        QCOMPARE(chain, order);

        form.Option2(0)->setFocus();
        const QList<QWidget*> stops{form.Command1(0), form.Command1(1), form.Option1(2),
                                    form.Option2(0), form.Command1(0)};
        for (QWidget* next : stops) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    // The first opening after start-up shows Ｂ４ and 横長.
    void firstOpening()
    {
        Owner owner;
        QVERIFY(owner.showAndActivate());
        QVERIFY(owner.form()->Option1(2)->isChecked());
        QVERIFY(owner.form()->Option2(0)->isChecked());
        QCOMPARE(int(owner.state.paperSize), 2);
        QCOMPARE(owner.state.orientation(), 0);
    }

    // A click stores the option's index at once, before any button.
    void optionClickStoresAtOnce_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 4; ++i)
            QTest::addRow("Option1(%d)", i) << i;
    }
    void optionClickStoresAtOnce()
    {
        QFETCH(int, index);
        Owner owner;
        owner.state.paperSize = index == 0 ? 3 : 0;
        QVERIFY(owner.showAndActivate());
        clickOption(owner.form()->Option1(index));
        QCOMPARE(int(owner.state.paperSize), index);
        QVERIFY(owner.form()->Option1(index)->isChecked());
    }

    // ＯＫ prints while the dialog is still shown, then hides it, then brings the result window
    // forward; やめる does the same without printing.
    void buttons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("expected");
        // The result window is moved mostly beyond the screen's bottom-right corner before the
        // dialog comes back.
        QTest::addColumn<bool>("ownerMoves");
        QTest::newRow("OK") << 0 << QStringList{"print (dialog shown)", "result (dialog hidden)"}
                            << false;
        QTest::newRow("cancel") << 1 << QStringList{"result (dialog hidden)"} << false;
        QTest::newRow("cancel, result window moved to the screen's corner")
            << 1 << QStringList{"result (dialog hidden)"} << true;
    }
    void buttons()
    {
        QFETCH(int, index);
        QFETCH(QStringList, expected);
        QFETCH(bool, ownerMoves);
        Owner owner;
        owner.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner.window));
        Calls calls;
        QVERIFY(owner.showAndActivate());
        calls.watch(owner.form());
        QTest::mouseClick(owner.form()->Command1(index), Qt::LeftButton);
        QCOMPARE(calls.log, expected);
        // ＯＫ asked for the print dialog, modal to the result window; やめる did not.
        QCOMPARE(owner.services.printDialogs, index == 0 ? 1 : 0);
        if (index == 0)
            QCOMPARE(owner.services.lastOwner, &owner.window);
        // Hidden, not unloaded: the same dialog comes back.
        QVERIFY(owner.form());
        QVERIFY(!owner.form()->isVisible());
        Form3* before = owner.form();
        const QRect screen = owner.window.screen()->availableGeometry();
        if (ownerMoves)
            owner.window.move(screen.right() - 100, screen.bottom() - 100);
        QVERIFY(owner.showAndActivate());
        QCOMPARE(owner.form(), before);
        // A dialog of the result window, over its centre or as near as the screen allows.
        QCOMPARE(before->windowHandle()->type(), Qt::Dialog);
        QCOMPARE(before->windowHandle()->transientParent(), owner.window.windowHandle());
        const QRect frame = before->frameGeometry();
        if (ownerMoves)
            QCOMPARE(frame.bottomRight(), screen.bottomRight());
        else
            QVERIFY2((frame.center() - owner.window.frameGeometry().center()).manhattanLength() <=
                         2,
                     qPrintable(QStringLiteral("dialog at %1, %2").arg(frame.x()).arg(frame.y())));
    }

    // Enter and Esc press neither button.
    void keysPressNoButton()
    {
        Owner owner;
        Calls calls;
        QVERIFY(owner.showAndActivate());
        calls.watch(owner.form());
        owner.form()->Option1(2)->setFocus();
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(owner.form()->Option1(2), Qt::Key(key));
        QVERIFY(calls.log.isEmpty());
        QVERIFY(owner.form()->isVisible());
    }

    // The close box prints nothing and unloads the dialog; the choices made before stay, and the
    // next opening creates the dialog anew with them selected.
    void closeBox()
    {
        Owner owner;
        Calls calls;
        QVERIFY(owner.showAndActivate());
        QPointer<Form3> first = owner.form();
        calls.watch(first);
        clickOption(first->Option1(3));
        QVERIFY(first->close());
        QVERIFY(!first->isVisible());
        QVERIFY(!owner.form());
        flushDeletes();
        QVERIFY(first.isNull());
        QVERIFY(calls.log.isEmpty());
        QCOMPARE(owner.services.printDialogs, 0);
        QCOMPARE(int(owner.state.paperSize), 3);

        QVERIFY(owner.showAndActivate());
        QVERIFY(owner.form()->Option1(3)->isChecked());
        QVERIFY(owner.form()->Option2(0)->isChecked());
    }

    // "いんさつ" twice brings the same dialog forward; there is never a second one.
    void openedTwiceIsOneDialog()
    {
        Owner owner;
        QWidget other;
        other.show();
        QVERIFY(owner.showAndActivate());
        Form3* first = owner.form();
        QVERIFY(first->parentWidget() == &owner.window);
        QVERIFY(activate(&other));
        QVERIFY(owner.showAndActivate());
        QCOMPARE(owner.form(), first);
        int dialogs = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            dialogs += qobject_cast<Form3*>(widget) != nullptr;
        QCOMPARE(dialogs, 1);
    }

    // Coming to the dialog from another window of the program selects the stored choices again;
    // coming back from another application does not.
    void activateSelectsTheStoredChoices()
    {
        Owner owner;
        QWidget resultWindow;
        resultWindow.show();
        QVERIFY(owner.showAndActivate());
        Form3& form = *owner.form();

        owner.state.paperSize = 1;
        QApplication::setActiveWindow(nullptr); // the user switches to another application
        QVERIFY(!QApplication::activeWindow());
        QVERIFY(activate(&form)); // and comes back
        QVERIFY(form.Option1(2)->isChecked());

        QVERIFY(activate(&resultWindow));
        QVERIFY(activate(&form));
        QVERIFY(form.Option1(1)->isChecked());
    }

    // Ａ３ and then やめる keeps the choice: the next opening shows Ａ３ and the next print is on
    // A3.
    void choiceSurvivesCancel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("page.pdf");
        Owner owner;
        owner.services.acceptPrintDialog = true;
        owner.window.printer().setOutputFormat(QPrinter::PdfFormat);
        owner.window.printer().setOutputFileName(path);
        makeLightSheet(owner.workbench);

        QVERIFY(owner.showAndActivate());
        clickOption(owner.form()->Option1(3));
        QTest::mouseClick(owner.form()->Command1(1), Qt::LeftButton);
        QCOMPARE(owner.services.printDialogs, 0);

        QVERIFY(owner.showAndActivate());
        QVERIFY(owner.form()->Option1(3)->isChecked());
        QTest::mouseClick(owner.form()->Command1(0), Qt::LeftButton);
        QCOMPARE(owner.services.printDialogs, 1);
        const auto info = pdfInfo(path);
        QVERIFY(info);
        QCOMPARE(info->pages, 1);
        QCOMPARE(qRound(info->pageSizePoints.width()), qRound(420 / 25.4 * 72)); // A3 landscape
        QCOMPARE(qRound(info->pageSizePoints.height()), qRound(297 / 25.4 * 72));
    }
};

QTEST_MAIN(tst_Form3)
#include "tst_form3.moc"
