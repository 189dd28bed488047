#include <QtTest>

#include "ui/form4.h"
#include "ui/form2.h"
#include "window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

// Closing the main window or the result window ends the whole program, whatever else is open.
class tst_ProgramEnd : public QObject
{
    Q_OBJECT

private slots:
    void closingEndsTheProgram_data()
    {
        QTest::addColumn<QString>("closed");
        QTest::addColumn<bool>("othersShown");
        QTest::newRow("main window alone") << "main" << false;
        QTest::newRow("main window, result and size dialog shown") << "main" << true;
        QTest::newRow("result window") << "result" << true;
    }
    void closingEndsTheProgram()
    {
        QFETCH(QString, closed);
        QFETCH(bool, othersShown);
        Program program;
        Form2* form2 = program.form1->form2();
        if (othersShown) {
            form2->showResult();
            program.action("mnuookisa")->trigger();
        }
        QWidget* window = closed == "main" ? static_cast<QWidget*>(program.form1.get()) : form2;
        QTimer::singleShot(0, window, [window] { window->close(); });
        // Should the program not end, this ends the wait with another code.
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!program.form1->isVisible());
        QVERIFY(!form2->isVisible());
        QVERIFY(program.form1->form4() == nullptr || !program.form1->form4()->isVisible());
    }
};

QTEST_MAIN(tst_ProgramEnd)
#include "tst_program_end.moc"
