#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "ui/form4.h"
#include "test_pictures.h"
#include "window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

const QRgb red = qRgb(220, 20, 30);
const QRgb green = qRgb(20, 200, 40);

// What the user can see of the window's state besides the slots.
struct Look
{
    bool convertShown;
    bool labelShown;
    QString label;
    bool operator==(const Look&) const = default;
};

Look lookOf(const Form1& form1)
{
    return {form1.Command1(0)->isVisibleTo(form1.centralWidget()),
            form1.Label1()->isVisibleTo(form1.centralWidget()), form1.Label1()->text()};
}

} // namespace

class tst_Form1Commands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_redFile;

    void trigger(Program& program, const QString& how, int slot)
    {
        if (how == "button")
            QTest::mouseClick(program.form1->Command2(slot), Qt::LeftButton);
        else if (how == "right-click")
            QTest::mouseClick(program.form1->Picture4(slot), Qt::RightButton);
        else
            program.action(how.toLatin1().constData())->trigger();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_redFile = m_dir.filePath("red.bmp");
        QVERIFY(savePicture(solidPicture(30, 30, red), m_redFile, "bmp"));
    }

    // Each command stores its slot first and fills that slot only; 絵C is slot 5.
    void commandsFillTheirSlot_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("buttonOrPreview");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("question");
        QTest::newRow("open A button") << "button" << 0 << 0 << "";
        QTest::newRow("open B button") << "button" << 1 << 1 << "";
        QTest::newRow("open C button") << "button" << 5 << 5 << "";
        QTest::newRow("open A menu") << "menuopen1" << -1 << 0 << "";
        QTest::newRow("open B menu") << "menuopen2" << -1 << 1 << "";
        QTest::newRow("open C menu") << "menuopen6" << -1 << 5 << "";
        QTest::newRow("paste A menu") << "mnupaste1" << -1 << 0 << "";
        QTest::newRow("paste B menu") << "mnupaste2" << -1 << 1 << "";
        QTest::newRow("paste C menu") << "mnupaste6" << -1 << 5 << "";
        QTest::newRow("right-click A")
            << "right-click" << 0 << 0 << "クリップボードの内容を　絵1にはりつけていいですか";
        QTest::newRow("right-click B")
            << "right-click" << 1 << 1 << "クリップボードの内容を　絵2にはりつけていいですか";
        QTest::newRow("right-click C")
            << "right-click" << 5 << 5 << "クリップボードの内容を　絵6にはりつけていいですか";
    }
    void commandsFillTheirSlot()
    {
        QFETCH(QString, how);
        QFETCH(int, buttonOrPreview);
        QFETCH(int, slot);
        QFETCH(QString, question);
        Program program;
        program.state.currentSlot = 3;
        program.services.openAnswers = {m_redFile};
        program.services.clipboard = solidPicture(30, 30, red);
        program.services.questionAnswers = {true};

        trigger(program, how, buttonOrPreview);

        QCOMPARE(program.state.currentSlot, slot);
        for (int i = 0; i < 6; ++i) {
            const QRgb expected = i == slot ? red : program.boxBack();
            QCOMPARE(program.sourceCentre(i), expected);
            QCOMPARE(program.previewCentre(i), expected);
        }
        QCOMPARE(lookOf(*program.form1), (Look{true, false, "ちょっと待ってね"}));
        const bool opened = how == "button" || how.startsWith("menuopen");
        QCOMPARE(program.state.fileName, opened ? m_redFile : QString());
        QCOMPARE(program.services.openSetups.size(), std::size_t(opened ? 1 : 0));
        if (opened)
            QCOMPARE(program.services.openSetups.front().filterDescription,
                     QString("絵ファイル(*.bmp,*.jpg,*gif)"));
        QCOMPARE(program.services.questions.size(), std::size_t(question.isEmpty() ? 0 : 1));
        if (!question.isEmpty()) {
            QCOMPARE(program.services.questions.front().title, QString("確認"));
            QCOMPARE(program.services.questions.front().text, question);
        }
    }

    // Failures leave the window's state alone; only the slot itself may have been emptied.
    void failuresKeepTheWindowState_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("slotFilledFirst");
        QTest::addColumn<bool>("slotCleared");
        QTest::addColumn<bool>("fileNameChanged");
        QTest::addColumn<int>("currentSlotAfter");
        QTest::newRow("open cancelled") << "cancel" << true << false << false << 0;
        QTest::newRow("not a picture") << "not a picture" << true << true << true << 0;
        QTest::newRow("not a picture, at start-up")
            << "not a picture" << false << true << true << 0;
        QTest::newRow("missing file") << "missing" << true << true << true << 0;
        QTest::newRow("clipboard without picture")
            << "empty clipboard" << true << true << false << 0;
        QTest::newRow("paste question cancelled")
            << "question cancelled" << true << false << false << 5;
    }
    void failuresKeepTheWindowState()
    {
        QFETCH(QString, how);
        QFETCH(bool, slotFilledFirst);
        QFETCH(bool, slotCleared);
        QFETCH(bool, fileNameChanged);
        QFETCH(int, currentSlotAfter);
        Program program;
        if (slotFilledFirst) {
            program.services.openAnswers = {m_redFile};
            QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
            QCOMPARE(program.sourceCentre(0), red);
        }
        const Look before = lookOf(*program.form1);
        const QString fileNameBefore = program.state.fileName;
        const QString notAPicture = m_dir.filePath("notes.bmp");
        QVERIFY(writeFile(notAPicture, "some text\n"));

        if (how == "cancel") {
            program.services.openAnswers = {std::nullopt};
            QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
        } else if (how == "not a picture" || how == "missing") {
            program.services.openAnswers = {how == "missing" ? m_dir.filePath("gone.jpg")
                                                             : notAPicture};
            program.action("menuopen1")->trigger();
        } else if (how == "empty clipboard") {
            program.action("mnupaste1")->trigger();
        } else {
            program.services.clipboard = solidPicture(30, 30, green);
            program.services.questionAnswers = {false};
            QTest::mouseClick(program.form1->Picture4(5), Qt::RightButton);
            QCOMPARE(program.services.clipboardReads, 0);
        }

        const QRgb slotColour = slotCleared || !slotFilledFirst ? program.boxBack() : red;
        QCOMPARE(program.sourceCentre(0), slotColour);
        QCOMPARE(program.previewCentre(0), slotColour);
        QCOMPARE(program.sourceCentre(5), program.boxBack());
        QCOMPARE(lookOf(*program.form1), before);
        QCOMPARE(program.state.fileName != fileNameBefore, fileNameChanged);
        QCOMPARE(program.state.currentSlot, currentSlotAfter);
    }

    void onlyTheRightButtonAsks_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("questions");
        QTest::newRow("left") << Qt::LeftButton << 0;
        QTest::newRow("middle") << Qt::MiddleButton << 0;
        QTest::newRow("right") << Qt::RightButton << 1;
    }
    void onlyTheRightButtonAsks()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, questions);
        Program program;
        program.services.clipboard = solidPicture(30, 30, red);
        QTest::mouseClick(program.form1->Picture4(1), button);
        QCOMPARE(int(program.services.questions.size()), questions);
        QCOMPARE(program.state.currentSlot, questions == 1 ? 1 : 5);
        QCOMPARE(program.services.clipboardReads, 0); // the question was cancelled
    }

    // A new fit mode applies to pictures placed afterwards; placed slots keep theirs.
    void fitModeAppliesToLaterPictures()
    {
        Program program;
        program.services.clipboard = solidPicture(400, 300, red);
        program.action("mnupaste1")->trigger();
        QCOMPARE(program.form1->Picture2(0).point(244, 30), program.boxBack());

        program.action("mnuookisa")->trigger();
        QTest::mouseClick(program.form1->form4()->Option1(1), Qt::LeftButton);
        QCOMPARE(program.state.fitMode, 1);
        QCOMPARE(program.form1->Picture2(0).point(244, 30), program.boxBack());

        program.action("mnupaste2")->trigger();
        QCOMPARE(program.form1->Picture2(1).point(244, 30), red);
        QCOMPARE(program.form1->Picture2(1).point(0, 0), red);
    }
};

QTEST_MAIN(tst_Form1Commands)
#include "tst_form1_commands.moc"
