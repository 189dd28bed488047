#include <QtTest>

#include <QAbstractScrollArea>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QRadioButton>
#include <QPushButton>
#include <QScrollBar>

#include "window_fixture.h"
#include "conversion/box.h"
#include "ui/box_window.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

bool samePose(const BoxPose& a, const BoxPose& b)
{
    for (std::size_t k = 0; k < a.size(); ++k)
        if ((a[k].origin - b[k].origin).length() > 1e-3f ||
            (a[k].across - b[k].across).length() > 1e-3f)
            return false;
    return true;
}

const QRgb red = qRgb(220, 20, 30);

// A point inside the cell of piece 0 (top-left quarter of 絵A: row 2, column 7) and of piece 4
// (絵B: row 2, column 8), for 200-pixel pieces and a margin of 50.
const QPoint insidePiece0(1251 + 100, 201 + 100);
const QPoint insidePiece4(1451 + 100, 201 + 100);

// One notch of the mouse wheel, turned towards the user, over `target`.
void wheel(QWidget* target, bool shift)
{
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(target, &event);
}

} // namespace

class tst_Form2 : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        Program program;
        Form2* form2 = program.form1->form2();
        form2->showResult();
        QVERIFY(QTest::qWaitForWindowExposed(form2));
        QCOMPARE(form2->windowTitle(), QString("ハコミル"));
        QCOMPARE(form2->centralWidget()->size(), QSize(777, 577));
        QCOMPARE(form2->Picture3()->geometry(), QRect(0, 0, 1702, 1302));
        QCOMPARE(form2->Picture3()->mapTo(form2->centralWidget(), QPoint(0, 0)), QPoint(0, 0));
        QCOMPARE(form2->Command1(1)->text(), QString("もどる"));
        QCOMPARE(form2->Command1(1)->geometry(), QRect(8, 16, 81, 33));
        QCOMPARE(form2->centralWidget()->childAt(40, 30), form2->Command1(1)); // above the canvas
        QCOMPARE(QApplication::focusWidget(), form2->Command1(1));
        for (int i = 0; i < 25; ++i)
            QCOMPARE(QSize(form2->Picture2(i).width(), form2->Picture2(i).height()),
                     QSize(200, 200));
        QCOMPARE(QPointF(form2->Picture2(24).left(), form2->Picture2(24).top()), QPointF(152, 32));

        QCOMPARE(form2->menuBar()->actions().size(), 1);
        QCOMPARE(form2->fileMenu()->title(), QString("ファイル"));
        const QList<QAction*> items = form2->fileMenu()->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->objectName(), QString("mnusave"));
        QCOMPARE(items[0]->text(), QString("名前をつけて　ほぞん"));
        QCOMPARE(items[0]->shortcut(), QKeySequence("Ctrl+S"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->objectName(), QString("mnuprint"));
        QCOMPARE(items[2]->text(), QString("いんさつ"));
        QCOMPARE(items[2]->shortcut(), QKeySequence("Ctrl+P"));
        QCOMPARE(items[3]->objectName(), QString("mnubox"));
        QCOMPARE(items[3]->text(), QString("ハコを　みる"));
        QCOMPARE(items[3]->shortcut(), QKeySequence("Ctrl+B"));

        // Resizing the window moves nothing and scales nothing; beyond the canvas lies the colour
        // of title-bar text (once the scroll bars, no longer needed, are gone).
        form2->resize(1900, 1500);
        QTRY_VERIFY(!form2->findChild<QScrollBar*>()->isVisible());
        QCOMPARE(form2->centralWidget()->width(), 1900);
        QCOMPARE(form2->Picture3()->geometry(), QRect(0, 0, 1702, 1302));
        QCOMPARE(form2->Command1(1)->geometry(), QRect(8, 16, 81, 33));
        const QImage shown = form2->centralWidget()->grab().toImage();
        for (const QPoint beyond :
             {QPoint(1702, 1302), QPoint(1899, 0), QPoint(0, shown.height() - 1)})
            QCOMPARE(shown.pixel(beyond), form2->palette().color(QPalette::WindowText).rgb());
    }

    // Smaller than the canvas, the client area scrolls it beneath the back button, which keeps
    // its place; the wheel over it scrolls too (with Shift sideways, a notch three lines of 20
    // pixels), and the keys scroll while it has the focus.
    void scrolling()
    {
        Program program;
        Form2* form2 = program.form1->form2();
        form2->showResult();
        auto* area = qobject_cast<QAbstractScrollArea*>(form2->centralWidget());
        const QScrollBar* down = area->verticalScrollBar();
        QPushButton* back = form2->Command1(1);
        const auto scrolled = [&] {
            return QPoint(area->horizontalScrollBar()->value(), down->value());
        };
        wheel(back, true);
        QCOMPARE(scrolled(), QPoint(60, 0));
        QTest::keyClick(back, Qt::Key_End);
        QCOMPARE(scrolled(), QPoint(60, 1302 - area->viewport()->height()));
        QTest::keyClick(back, Qt::Key_PageUp);
        QCOMPARE(scrolled(), QPoint(60, 1302 - 2 * area->viewport()->height()));
        QCOMPARE(form2->Picture3()->mapTo(area, QPoint(0, 0)), -scrolled());
        QTest::keyClick(back, Qt::Key_Home);
        QCOMPARE(scrolled(), QPoint(60, 0));
        QCOMPARE(back->geometry(), QRect(8, 16, 81, 33));
        QCOMPARE(area->childAt(40, 30), back);

        // Every scroll key, each pressed where scrolling the other way would end elsewhere: an
        // arrow moves one line of 20 pixels, a page key the view's height.
        const int page = area->viewport()->height();
        const int bottom = 1302 - page;
        const std::pair<Qt::Key, QPoint> keys[] = {
            {Qt::Key_Right, {80, 0}},
            {Qt::Key_Right, {100, 0}},
            {Qt::Key_Left, {80, 0}},
            {Qt::Key_Down, {80, 20}},
            {Qt::Key_Down, {80, 40}},
            {Qt::Key_Up, {80, 20}},
            {Qt::Key_PageDown, {80, 20 + page}},
            {Qt::Key_PageUp, {80, 20}},
            {Qt::Key_End, {80, bottom}},
            {Qt::Key_Up, {80, bottom - 20}},
            {Qt::Key_Home, {80, 0}},
        };
        for (const auto& [key, expected] : keys) {
            QTest::keyClick(back, key);
            QVERIFY2(scrolled() == expected, qPrintable(QStringLiteral("after %1: %2, %3")
                                                            .arg(QKeySequence(key).toString())
                                                            .arg(scrolled().x())
                                                            .arg(scrolled().y())));
        }
        QCOMPARE(back->geometry(), QRect(8, 16, 81, 33));
    }

    void conversion()
    {
        Program program;
        program.services.clipboard = solidPicture(40, 40, red);
        program.action("mnupaste1")->trigger();
        settle(program);

        QTest::mouseClick(program.form1->Command1(0), Qt::LeftButton);
        // Waiting: text shown, button hidden, the sheet not yet made.
        QVERIFY(program.form1->Label1()->isVisible());
        QCOMPARE(program.form1->Label1()->text(), QString("ちょっと待ってね"));
        QVERIFY(!program.form1->Command1(0)->isVisible());
        QVERIFY(program.form1->Timer1()->isActive());
        QVERIFY(program.form1->Timer1()->isSingleShot());
        QVERIFY(program.form1->Timer1()->remainingTime() > 900);
        // A coarse timer may fire up to 5 % early: the wait would be shorter than a second.
        QCOMPARE(program.form1->Timer1()->timerType(), Qt::PreciseTimer);
        QVERIFY(!program.form1->form2()->isVisible());
        Surface& canvas = program.form1->form2()->Picture3()->surface();
        QCOMPARE(canvas.point(insidePiece0.x(), insidePiece0.y()), program.boxBack());

        program.form1->Timer1()->setInterval(0);
        QTRY_VERIFY(program.form1->form2()->isVisible());
        QCOMPARE(canvas.point(insidePiece0.x(), insidePiece0.y()), red);
        QCOMPARE(canvas.point(insidePiece4.x(), insidePiece4.y()), program.boxBack());
        // Done: the waiting text stays and the button stays hidden.
        QVERIFY(program.form1->Label1()->isVisible());
        QCOMPARE(program.form1->Label1()->text(), QString("ちょっと待ってね"));
        QVERIFY(!program.form1->Command1(0)->isVisible());
        QVERIFY(!program.form1->Timer1()->isActive());

        // No second conversion follows by itself: a mark on the sheet survives.
        canvas.pset(insidePiece0.x(), insidePiece0.y(), qRgb(0, 0, 255));
        QTest::qWait(50);
        QCOMPARE(canvas.point(insidePiece0.x(), insidePiece0.y()), qRgb(0, 0, 255));
    }

    void backButton()
    {
        Program program;
        program.services.clipboard = solidPicture(40, 40, red);
        program.action("mnupaste1")->trigger();
        convert(program);
        Form2* form2 = program.form1->form2();
        auto* area = qobject_cast<QAbstractScrollArea*>(form2->centralWidget());
        QTest::keyClick(form2->Command1(1), Qt::Key_End);
        QTest::keyClick(form2->Command1(1), Qt::Key_Right);
        QVERIFY(area->verticalScrollBar()->value() > 0 && area->horizontalScrollBar()->value() > 0);

        QTest::mouseClick(form2->Command1(1), Qt::LeftButton);
        QVERIFY(!form2->isVisible());
        QVERIFY(program.form1->isVisible());
        QVERIFY(program.form1->Label1()->isVisible());
        QCOMPARE(program.form1->Label1()->text(), QString("絵を開いてください"));
        QVERIFY(program.form1->Command1(0)->isVisible());
        // Hiding keeps the sheet; converting again shows the window with the sheet remade.
        QCOMPARE(form2->Picture3()->surface().point(insidePiece0.x(), insidePiece0.y()), red);
        program.services.clipboard = solidPicture(40, 40, qRgb(0, 128, 0));
        program.action("mnupaste1")->trigger();
        convert(program);
        QCOMPARE(form2->Picture3()->surface().point(insidePiece0.x(), insidePiece0.y()),
                 qRgb(0, 128, 0));
        // The new sheet is shown from its top-left corner.
        QCOMPARE(area->verticalScrollBar()->value(), 0);
        QCOMPARE(area->horizontalScrollBar()->value(), 0);
    }

    void saveFromTheMenu()
    {
        Program program;
        program.services.clipboard = solidPicture(40, 40, red);
        program.action("mnupaste1")->trigger();
        convert(program);
        QTemporaryDir dir;
        const QString path = dir.filePath("sheet.bmp");
        program.services.saveAnswers = {path};
        program.form1->form2()->findChild<QAction*>("mnusave")->trigger();
        const QImage written(path);
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32),
                 program.form1->form2()->Picture3()->surface().image());
    }

    // "いんさつ" opens the one print settings dialog; its "ＯＫ" prints the sheet on the paper
    // chosen there and brings the result window back.
    void printFromTheMenu()
    {
        Program program;
        program.services.clipboard = solidPicture(40, 40, red);
        program.action("mnupaste1")->trigger();
        convert(program);
        Form2* form2 = program.form1->form2();
        QTemporaryDir dir;
        const QString pdf = dir.filePath("sheet.pdf");
        form2->printer().setOutputFormat(QPrinter::PdfFormat);
        form2->printer().setOutputFileName(pdf);

        QAction* print = form2->findChild<QAction*>("mnuprint");
        print->trigger();
        Form3* dialog = form2->printSettings();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        print->trigger();
        QCOMPARE(form2->printSettings(), dialog);

        dialog->Option1(0)->click(); // Ａ４
        QCOMPARE(int(program.state.paperSize), 0);
        program.services.printerAnswer = true;
        QTest::mouseClick(dialog->Command1(0), Qt::LeftButton); // ＯＫ
        QCOMPARE(program.services.printerDialogs, 1);
        QVERIFY(!dialog->isVisible());
        QVERIFY(form2->isVisible());
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(form2->printer().pageLayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(form2->printer().pageLayout().orientation(), QPageLayout::Landscape);
    }

    // ハコを　みる shows the sheet folded; the keys and buttons move it to the state that shows
    // each picture and the moves end there, the folding of the sheet ends in the slab, and a new
    // sheet is folded anew in the open window.
    void boxWindow()
    {
        Program program;
        program.services.clipboard = solidPicture(40, 40, red);
        program.action("mnupaste1")->trigger();
        convert(program);
        Form2* form2 = program.form1->form2();
        form2->findChild<QAction*>("mnubox")->trigger();
        BoxWindow* window = form2->boxWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QString("ハコミル"));
        QCOMPARE(window->parentWidget(), form2);
        BoxView* view = window->view();
        const Box& box = sheetBox();
        QTest::keyClick(view, Qt::Key_A); // 絵A: folded about the vertical middle
        QVERIFY(view->moving());
        QTRY_VERIFY_WITH_TIMEOUT(!view->moving(), 3000);
        QCOMPARE(view->state(), int(verticalFoldState));
        QVERIFY(samePose(view->pose(), statePose(box, verticalFoldState)));
        const QImage showingA = view->grab().toImage();
        QTest::mouseClick(window->button(u'C'), Qt::LeftButton); // through the slab
        QTRY_VERIFY_WITH_TIMEOUT(!view->moving(), 3000);
        QVERIFY(samePose(view->pose(), statePose(box, horizontalFoldState)));
        QTest::keyClick(view, Qt::Key_F);
        QTRY_VERIFY_WITH_TIMEOUT(!view->moving(), 8000);
        QCOMPARE(view->state(), int(slabState));
        QVERIFY(samePose(view->pose(), statePose(box, slabState)));

        QTest::keyClick(view, Qt::Key_A);
        QTRY_VERIFY_WITH_TIMEOUT(!view->moving(), 3000);
        QCOMPARE(view->grab().toImage(), showingA);
        // A drag turns the box and the wheel zooms it; a double-click gives back the start.
        const QPoint middle = view->rect().center();
        QTest::mousePress(view, Qt::LeftButton, {}, middle);
        QTest::mouseMove(view, middle + QPoint(40, 10));
        QTest::mouseRelease(view, Qt::LeftButton, {}, middle + QPoint(40, 10));
        QVERIFY(view->grab().toImage() != showingA);
        QTest::mouseDClick(view, Qt::LeftButton, {}, middle);
        QCOMPARE(view->grab().toImage(), showingA);
        QWheelEvent notch(QPointF(middle), view->mapToGlobal(QPointF(middle)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &notch);
        QVERIFY(view->grab().toImage() != showingA);
        QTest::mouseDClick(view, Qt::LeftButton, {}, middle);
        QCOMPARE(view->grab().toImage(), showingA);
        program.services.clipboard = solidPicture(40, 40, qRgb(0, 0, 200));
        program.action("mnupaste1")->trigger();
        convert(program);
        QVERIFY(view->grab().toImage() != showingA);
    }
};

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
