#include <QtTest>

#include <atomic>

#include <QLabel>
#include <QMenu>
#include <QSemaphore>
#include <QPushButton>
#include <QRadioButton>

#include "cli/export_options.h"
#include "cli/sheet_export.h"
#include "ui/form2.h"
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
        if (how == "button") {
            QTest::mouseClick(program.form1->Command2(slot), Qt::LeftButton);
        } else if (how == "F10") {
            // F10 opens the first menu, ファイル, at its first item, 絵Aを開く.
            program.form1->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(program.form1.get()));
            QTest::keyClick(program.form1.get(), Qt::Key_F10);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr && menu->objectName() == "mnufile");
            QTest::keyClick(menu, Qt::Key_Return);
        } else if (how == "right-click") {
            QTest::mouseClick(program.form1->Picture4(slot), Qt::RightButton);
        } else {
            program.action(how.toLatin1().constData())->trigger();
        }
    }

    // A left-button drag from `from` to `to`, through one move.
    static void drag(QWidget* widget, QPoint from, QPoint to)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, widget->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
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
        QTest::newRow("open A menu from F10") << "F10" << -1 << 0 << "";
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
        settle(program);

        QCOMPARE(program.state.currentSlot, slot);
        for (int i = 0; i < 6; ++i) {
            const QRgb expected = i == slot ? red : program.boxBack();
            QCOMPARE(program.sourceCentre(i), expected);
            QCOMPARE(program.previewCentre(i), expected);
        }
        QCOMPARE(lookOf(*program.form1), (Look{true, false, "ちょっと待ってね"}));
        const bool opened = how == "button" || how.startsWith("menuopen") || how == "F10";
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
        // The preview of 絵A had the focus, and the window has it back only after the file is read,
        // as after the platform's open dialog.
        QTest::newRow("not a picture, preview focused")
            << "not a picture, focused" << true << true << true << 0;
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
            settle(program);
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
        } else if (how == "not a picture, focused") {
            program.form1->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(program.form1.get()));
            QTest::mouseClick(program.form1->Picture4(0), Qt::LeftButton, {}, QPoint(5, 5));
            QVERIFY(program.form1->Picture4(0)->hasFocus());
            QWidget dialog; // the open dialog, still active while the file is read
            program.services.beforeRead = [&dialog] {
                dialog.show();
                dialog.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
            };
            program.services.openAnswers = {notAPicture};
            program.action("menuopen1")->trigger();
            program.services.beforeRead = nullptr;
            program.form1->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(program.form1.get()));
            // The focus went on to the next in the tab order, 絵Bを開く.
            QCOMPARE(QApplication::focusWidget(), program.form1->Command2(1));
        } else if (how == "empty clipboard") {
            program.action("mnupaste1")->trigger();
        } else {
            program.services.clipboard = solidPicture(30, 30, green);
            program.services.questionAnswers = {false};
            QTest::mouseClick(program.form1->Picture4(5), Qt::RightButton);
            QCOMPARE(program.services.clipboardReads, 0);
        }
        settle(program);

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

    // Gestures on a filled preview (145 pixels for the 489 of the source box) and the view they
    // leave, worked out by hand: a drag moves by the movement x 489 / 145, rounded; a wheel notch
    // zooms 1.25 times keeping the point under the pointer (shift -0.25 x (point - 244.5), and
    // from zoom 1.25 with shift d to 1.5625: point - 244.5 - 1.25 x (point - 244.5 - d)); the
    // picture, 400 x 300 fitted whole (489 x 366.75), moves at most 244 by 183 at zoom 1.
    void previewGesturesSetTheView_data()
    {
        QTest::addColumn<QString>("gestures");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::newRow("drag 30 right") << "drag 30 0" << 1.0 << 101 << 0;
        QTest::newRow("drag up and left") << "drag -30 -15" << 1.0 << -101 << -51;
        QTest::newRow("drag past the limit") << "drag 200 -200" << 1.0 << 244 << -183;
        QTest::newRow("click without movement") << "drag 0 0" << 1.0 << 0 << 0;
        QTest::newRow("a click's wobble") << "drag 3 2" << 1.0 << 0 << 0;
        QTest::newRow("double-click resets") << "drag 30 0,double" << 1.0 << 0 << 0;
        QTest::newRow("wheel up at the centre") << "wheel 72 72 120" << 1.25 << 0 << 0;
        QTest::newRow("wheel up off the centre") << "wheel 20 30 120" << 1.25 << 44 << 36;
        QTest::newRow("two notches off the centre")
            << "wheel 20 30 120,wheel 20 30 120" << 1.5625 << 99 << 81;
        QTest::newRow("half notches add up") << "wheel 20 30 60,wheel 20 30 60" << 1.25 << 44 << 36;
        QTest::newRow("wheel down at zoom 1") << "wheel 20 30 -120" << 1.0 << 0 << 0;
        QTest::newRow("arrow keys") << "key right,key down,key down" << 1.0 << 10 << 20;
        QTest::newRow("plus, and minus back") << "key +,key +,key -" << 1.25 << 0 << 0;
        QTest::newRow("0 resets") << "key right,key +,key 0" << 1.0 << 0 << 0;
    }
    void previewGesturesSetTheView()
    {
        QFETCH(QString, gestures);
        QFETCH(double, zoom);
        QFETCH(int, dx);
        QFETCH(int, dy);
        Program program;
        const QString file = m_dir.filePath("quadrants.png");
        QVERIFY(savePicture(
            quadrantPicture(400, 300, red, green, qRgb(0, 0, 255), qRgb(250, 250, 0), red), file,
            "png"));
        program.services.openAnswers = {file};
        QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
        settle(program);
        const QImage placed = program.form1->Picture2(0).image();
        const Look before = lookOf(*program.form1);
        SlotPreview* preview = program.form1->Picture4(0);

        QTest::mouseClick(preview, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(preview->hasFocus());
        QCOMPARE(program.workbench.view(0), SlotView{});
        for (const QString& gesture : gestures.split(',')) {
            const QStringList word = gesture.split(' ');
            if (word[0] == "drag") {
                drag(preview, QPoint(70, 70), QPoint(70 + word[1].toInt(), 70 + word[2].toInt()));
            } else if (word[0] == "double") {
                QTest::mouseDClick(preview, Qt::LeftButton, {}, QPoint(70, 70));
            } else if (word[0] == "wheel") {
                const QPointF at(word[1].toInt(), word[2].toInt());
                QWheelEvent wheel(at, preview->mapToGlobal(at), {}, QPoint(0, word[3].toInt()),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(preview, &wheel);
            } else {
                const std::map<QString, Qt::Key> keys = {{"right", Qt::Key_Right},
                                                         {"down", Qt::Key_Down},
                                                         {"+", Qt::Key_Plus},
                                                         {"-", Qt::Key_Minus},
                                                         {"0", Qt::Key_0}};
                QTest::keyClick(preview, keys.at(word[1]));
            }
        }

        QCOMPARE(program.workbench.view(0), (SlotView{zoom, dx, dy}));
        // The source box follows; the default view gives back the picture as placed.
        QCOMPARE(program.form1->Picture2(0).image() == placed, zoom == 1.0 && dx == 0 && dy == 0);
        QCOMPARE(lookOf(*program.form1), before);
        QVERIFY(program.services.questions.empty());
    }

    // The sheet after a drag and a wheel notch is the exporter's with the same views.
    void draggedSheetIsTheExportersSheet()
    {
        Program program;
        const QString file = m_dir.filePath("photo.jpg");
        QVERIFY(savePicture(
            quadrantPicture(1600, 1200, red, green, qRgb(0, 0, 255), qRgb(250, 250, 0), red), file,
            "jpg"));
        program.services.openAnswers = {file, file};
        QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
        QTest::mouseClick(program.form1->Command2(5), Qt::LeftButton);
        settle(program);
        drag(program.form1->Picture4(0), QPoint(40, 70), QPoint(70, 70));
        QWheelEvent wheel(QPointF(20, 30), QPointF(), {}, QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(program.form1->Picture4(5), &wheel);
        convert(program);

        ExportOptions options;
        options.pictures = {file, std::nullopt, file};
        options.views = {SlotView{1, 101, 0}, SlotView{}, program.workbench.view(5)};
        options.sheetPath = m_dir.filePath("sheet.bmp");
        QCOMPARE(program.workbench.view(0), options.views[0]);
        QCOMPARE(options.views[2].zoom, 1.5625);
        const Result<MadeSheet> made = makeSheet(options);
        QVERIFY(made);
        QVERIFY(made->canvas == program.workbench.canvas().image());
    }

    // A picture is read off the window's thread. While the read of 絵A is held, the window has
    // answered the click, cleared the slot and shows it waiting (a busy cursor, the slot faded),
    // and then: a timer fires; a second open into the slot wins over the first, which ends later
    // and changes nothing; closing the window ends at once, the read still held; 変換 waits
    // until the read has ended and converts the slot as it then stands.
    void readsOffTheWindowsThread_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("a timer fires") << "timer";
        QTest::newRow("a second open wins") << "second open";
        QTest::newRow("closing ends at once") << "close";
        QTest::newRow("変換 waits for the read") << "convert";
    }
    void readsOffTheWindowsThread()
    {
        QFETCH(QString, then);
        const QString greenFile = m_dir.filePath("green.png");
        QVERIFY(savePicture(solidPicture(30, 30, green), greenFile, "png"));
        QSemaphore gate;
        std::atomic<bool> heldReadEnded = false;
        Program program;
        program.services.openAnswers = {greenFile};
        QTest::mouseClick(program.form1->Command2(1), Qt::LeftButton);
        settle(program);
        program.services.duringRead = [&](const QString& path) {
            if (path != m_redFile)
                return;
            (void)gate.tryAcquire(1, 10000);
            heldReadEnded = true;
        };

        program.services.openAnswers = {m_redFile};
        QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
        SlotPreview* preview = program.form1->Picture4(0);
        QVERIFY(program.form1->readingSlot(0));
        QCOMPARE(program.sourceCentre(0), program.boxBack());
        QCOMPARE(preview->cursor().shape(), Qt::BusyCursor);
        QVERIFY(preview->graphicsEffect() != nullptr);

        if (then == "timer") {
            bool fired = false;
            QTimer::singleShot(10, [&] {
                fired = true;
                gate.release();
            });
            QTRY_VERIFY(fired);
            settle(program);
            QCOMPARE(program.sourceCentre(0), red);
        } else if (then == "second open") {
            program.services.openAnswers = {greenFile};
            QTest::mouseClick(program.form1->Command2(0), Qt::LeftButton);
            settle(program);
            QCOMPARE(program.sourceCentre(0), green);
            gate.release();
            QTRY_VERIFY(heldReadEnded);
            QTRY_COMPARE(program.services.loadCount(), std::size_t(3));
            QTest::qWait(20); // the first read's end, were it still heard
            QCOMPARE(program.sourceCentre(0), green);
        } else if (then == "close") {
            program.form1->close();
            QVERIFY(!program.form1->isVisible());
            QVERIFY(!heldReadEnded);
            gate.release();
        } else {
            QTest::mouseClick(program.form1->Command1(0), Qt::LeftButton);
            program.form1->Timer1()->setInterval(0);
            QTRY_VERIFY(!program.form1->Timer1()->isActive());
            QTest::qWait(20);
            QVERIFY(!program.form1->form2()->isVisible());
            QVERIFY(program.workbench.sheetDrawing().pictures[0].image.isNull());
            gate.release();
            QTRY_VERIFY(program.form1->form2()->isVisible());
            QCOMPARE(program.workbench.sheetDrawing().pictures[0].image.pixel(5, 5), red);
        }
        QCOMPARE(preview->cursor().shape(), then == "close" ? Qt::BusyCursor : Qt::OpenHandCursor);
        QCOMPARE(preview->graphicsEffect() != nullptr, then == "close");
    }

    // A new fit mode applies to pictures placed afterwards; placed slots keep theirs.
    void fitModeAppliesToLaterPictures()
    {
        Program program;
        program.services.clipboard = solidPicture(400, 300, red);
        program.action("mnupaste1")->trigger();
        settle(program);
        QCOMPARE(program.form1->Picture2(0).point(244, 30), program.boxBack());

        program.action("mnuookisa")->trigger();
        QTest::mouseClick(program.form1->form4()->Option1(1), Qt::LeftButton);
        QCOMPARE(program.state.fitMode, 1);
        QCOMPARE(program.form1->Picture2(0).point(244, 30), program.boxBack());

        program.action("mnupaste2")->trigger();
        settle(program);
        QCOMPARE(program.form1->Picture2(1).point(244, 30), red);
        QCOMPARE(program.form1->Picture2(1).point(0, 0), red);
    }
};

QTEST_MAIN(tst_Form1Commands)
#include "tst_form1_commands.moc"
