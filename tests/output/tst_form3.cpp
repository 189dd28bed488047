#include <QtTest>

#include <QApplication>
#include <QGroupBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "app/program_state.h"
#include "output/form3.h"
#include "output/print_sheet.h"
#include "output/print_services.h"
#include "output/print_test_support.h"
#include "surface/surface.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

// What the dialog's callbacks saw, in order.
struct Calls
{
    QStringList log;
    QPointer<Form3> form;

    std::function<void()> printSheet()
    {
        return [this] {
            log << (form && form->isVisible() ? QStringLiteral("print (dialog shown)")
                                              : QStringLiteral("print (dialog hidden)"));
        };
    }
    std::function<void()> showResultWindow()
    {
        return [this] {
            log << (form && form->isVisible() ? QStringLiteral("result (dialog shown)")
                                              : QStringLiteral("result (dialog hidden)"));
        };
    }
};

// The program's start values.
ProgramState startState()
{
    ProgramState state;
    state.paperSize = 2;
    return state;
}

bool showAndActivate(Form3Owner& owner)
{
    Form3& form = owner.show();
    return QTest::qWaitForWindowActive(&form);
}

// Clicks an option on its round indicator, which always takes the click.
void clickOption(QRadioButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

// Makes `window` the program's active window, as a click on it does.
bool activate(QWidget* window)
{
    QApplication::setActiveWindow(window);
    return QApplication::activeWindow() == window;
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
        Form3 form(state, {}, {});
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
        Form3 form(state, {}, {});
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
        ProgramState state = startState();
        Form3Owner owner(state, {}, {});
        QVERIFY(showAndActivate(owner));
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
        ProgramState state = startState();
        Form3Owner owner(state, {}, {});
        QVERIFY(showAndActivate(owner));
        QVERIFY(owner.form()->Option1(2)->isChecked());
        QVERIFY(owner.form()->Option2(0)->isChecked());
        QCOMPARE(int(state.paperSize), 2);
        QCOMPARE(state.orientation(), 0);
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
        ProgramState state = startState();
        state.paperSize = index == 0 ? 3 : 0;
        Form3Owner owner(state, {}, {});
        QVERIFY(showAndActivate(owner));
        clickOption(owner.form()->Option1(index));
        QCOMPARE(int(state.paperSize), index);
        QVERIFY(owner.form()->Option1(index)->isChecked());
    }

    // ＯＫ prints while the dialog is still shown, then hides it, then brings the result window
    // forward; やめる does the same without printing.
    void buttons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("OK") << 0 << QStringList{"print (dialog shown)", "result (dialog hidden)"};
        QTest::newRow("cancel") << 1 << QStringList{"result (dialog hidden)"};
    }
    void buttons()
    {
        QFETCH(int, index);
        QFETCH(QStringList, expected);
        ProgramState state = startState();
        Calls calls;
        Form3Owner owner(state, calls.printSheet(), calls.showResultWindow());
        QVERIFY(showAndActivate(owner));
        calls.form = owner.form();
        QTest::mouseClick(owner.form()->Command1(index), Qt::LeftButton);
        QCOMPARE(calls.log, expected);
        // Hidden, not unloaded: the same dialog comes back.
        QVERIFY(owner.form());
        QVERIFY(!owner.form()->isVisible());
        Form3* before = owner.form();
        QVERIFY(showAndActivate(owner));
        QCOMPARE(owner.form(), before);
    }

    // Enter and Esc press neither button.
    void keysPressNoButton()
    {
        ProgramState state = startState();
        Calls calls;
        Form3Owner owner(state, calls.printSheet(), calls.showResultWindow());
        QVERIFY(showAndActivate(owner));
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
        ProgramState state = startState();
        Calls calls;
        Form3Owner owner(state, calls.printSheet(), calls.showResultWindow());
        QVERIFY(showAndActivate(owner));
        QPointer<Form3> first = owner.form();
        clickOption(first->Option1(3));
        QVERIFY(first->close());
        QVERIFY(!first->isVisible());
        QVERIFY(!owner.form());
        flushDeletes();
        QVERIFY(first.isNull());
        QVERIFY(calls.log.isEmpty());
        QCOMPARE(int(state.paperSize), 3);

        QVERIFY(showAndActivate(owner));
        QVERIFY(owner.form()->Option1(3)->isChecked());
        QVERIFY(owner.form()->Option2(0)->isChecked());
    }

    // "いんさつ" twice brings the same dialog forward; there is never a second one.
    void openedTwiceIsOneDialog()
    {
        ProgramState state = startState();
        Form3Owner owner(state, {}, {});
        QWidget other;
        other.show();
        QVERIFY(showAndActivate(owner));
        Form3* first = owner.form();
        QVERIFY(activate(&other));
        QVERIFY(showAndActivate(owner));
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
        ProgramState state = startState();
        Form3Owner owner(state, {}, {});
        QWidget resultWindow;
        resultWindow.show();
        QVERIFY(showAndActivate(owner));
        Form3& form = *owner.form();

        state.paperSize = 1;
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
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        ScriptedPrintServices services;
        Surface canvas(sheetWidth, sheetHeight);
        canvas.paintPicture(linedSheet(), 0, 0);
        ProgramState state = startState();
        Form3Owner owner(state, [&] { PrintSheet(services, canvas, state, printer); }, {});

        QVERIFY(showAndActivate(owner));
        clickOption(owner.form()->Option1(3));
        QTest::mouseClick(owner.form()->Command1(1), Qt::LeftButton);
        QCOMPARE(services.printDialogs, 0);

        QVERIFY(showAndActivate(owner));
        QVERIFY(owner.form()->Option1(3)->isChecked());
        QTest::mouseClick(owner.form()->Command1(0), Qt::LeftButton);
        QCOMPARE(services.printDialogs, 1);
        const auto info = pdfInfo(path);
        QVERIFY(info);
        QCOMPARE(info->pages, 1);
        QCOMPARE(qRound(info->pageSizePoints.width()), qRound(420 / 25.4 * 72)); // A3 landscape
        QCOMPARE(qRound(info->pageSizePoints.height()), qRound(297 / 25.4 * 72));
    }
};

QTEST_MAIN(tst_Form3)
#include "tst_form3.moc"
