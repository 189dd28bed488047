#include <QtTest>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>

#include "ui/form4.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "test_pictures.h"
#include "window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

const QRgb red = qRgb(220, 20, 30);

QString textOf(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    return {};
}

// The share of pixels in `image` whose colour is within 3 of `color`.
double shareOf(const QImage& image, QRgb color)
{
    int near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            near += closeColor(image.pixel(x, y), color, 3) ? 1 : 0;
    return double(near) / (image.width() * image.height());
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void startUpState()
    {
        Program program;
        QCOMPARE(program.state.currentSlot, 5);
        QCOMPARE(program.state.fitMode, 0);
        QCOMPARE(program.state.paperSize, 2);
        QVERIFY(!program.state.paperOrientation.has_value());
        QVERIFY(program.state.fileName.isEmpty());
        QVERIFY(program.form1->Label1()->isVisible());
        QCOMPARE(program.form1->Label1()->text(), QString("絵を開いてください"));
        QVERIFY(!program.form1->Command1(0)->isVisible());
        QVERIFY(!program.form1->Timer1()->isActive());
        QVERIFY(!program.form1->form2()->isVisible());
        QCOMPARE(program.form1->form2()->Picture3()->surface().width(), 1702);
        QCOMPARE(program.form1->form2()->Picture3()->surface().height(), 1302);
        QVERIFY(program.form1->form4() != nullptr);
        QVERIFY(!program.form1->form4()->isVisible());
        QVERIFY(program.form1->form4()->Option1(0)->isChecked());
    }

    // Every control of the main window where it is designed (twips / 15), with its caption.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<bool>("shown");
        QTest::newRow("open A") << "Command2_0"
                                << "絵Aを開く" << QRect(40, 8, 105, 25) << true;
        QTest::newRow("open B") << "Command2_1"
                                << "絵Bを開く" << QRect(192, 8, 105, 25) << true;
        QTest::newRow("open C") << "Command2_5"
                                << "絵Cを開く" << QRect(344, 8, 105, 25) << true;
        QTest::newRow("open 3") << "Command2_2"
                                << "絵３を開く" << QRect(504, 256, 105, 25) << false;
        QTest::newRow("open 4") << "Command2_3"
                                << "絵４を開く" << QRect(40, 256, 105, 25) << false;
        QTest::newRow("open 5") << "Command2_4"
                                << "絵５を開く" << QRect(192, 256, 105, 25) << false;
        QTest::newRow("preview A") << "Picture4_0"
                                   << "" << QRect(24, 40, 145, 145) << true;
        QTest::newRow("preview B") << "Picture4_1"
                                   << "" << QRect(176, 40, 145, 145) << true;
        QTest::newRow("preview C") << "Picture4_5"
                                   << "" << QRect(328, 40, 145, 145) << true;
        QTest::newRow("preview 3") << "Picture4_2"
                                   << "" << QRect(488, 288, 145, 145) << false;
        QTest::newRow("preview 4") << "Picture4_3"
                                   << "" << QRect(24, 288, 145, 145) << false;
        QTest::newRow("preview 5") << "Picture4_4"
                                   << "" << QRect(176, 288, 145, 145) << false;
        QTest::newRow("caption A") << "Label2_0"
                                   << "絵A" << QRect(56, 192, 81, 17) << true;
        QTest::newRow("caption B") << "Label2_2"
                                   << "絵B" << QRect(208, 192, 81, 17) << true;
        QTest::newRow("caption C") << "Label2_5"
                                   << "絵C" << QRect(360, 192, 81, 17) << true;
        QTest::newRow("caption 3") << "Label2_1"
                                   << "絵3" << QRect(520, 440, 81, 17) << false;
        QTest::newRow("caption 4") << "Label2_3"
                                   << "絵4" << QRect(56, 440, 81, 17) << false;
        QTest::newRow("caption 5") << "Label2_7"
                                   << "絵5" << QRect(208, 440, 81, 17) << false;
        QTest::newRow("convert") << "Command1_0"
                                 << "変換" << QRect(224, 256, 169, 49) << false;
        QTest::newRow("prompt") << "Label1"
                                << "絵を開いてください" << QRect(256, 272, 129, 17) << true;
        QTest::newRow("decoration") << "Image2"
                                    << "" << QRect(416, 256, 50, 50) << true;
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, place);
        QFETCH(bool, shown);
        Program program;
        QWidget* area = program.form1->centralWidget();
        const auto* widget = area->findChild<QWidget*>(name);
        QVERIFY2(widget != nullptr, qPrintable(name));
        QCOMPARE(textOf(widget), text);
        QCOMPARE(widget->geometry(), place);
        QCOMPARE(widget->isVisibleTo(area), shown);
    }

    void labelLiesBeneathConvertButton()
    {
        Program program;
        const QRect button = program.form1->Command1(0)->geometry();
        QVERIFY(button.contains(program.form1->Label1()->geometry()));
        const QObjectList& order = program.form1->centralWidget()->children();
        QVERIFY(order.indexOf(program.form1->Label1()) < order.indexOf(program.form1->Command1(0)));
        QCOMPARE(program.form1->Image2()->pixmap().size(), QSize(50, 50));
    }

    void menus()
    {
        Program program;
        const QList<QAction*> titles = program.form1->menuBar()->actions();
        const QStringList expectedTitles = {"ファイル", "へんしゅう", "せってい"};
        const QList<QStringList> expectedItems = {
            {"menuopen1", "絵Aを開く", "menuopen2", "絵Bを開く", "menuopen6", "絵Cを開く"},
            {"mnupaste1", "絵Aにはりつけ", "mnupaste2", "絵Bにはりつけ", "mnupaste6",
             "絵Cにはりつけ"},
            {"mnuookisa", "絵のサイズ"}};
        QCOMPARE(titles.size(), expectedTitles.size());
        for (int m = 0; m < titles.size(); ++m) {
            QCOMPARE(titles[m]->text(), expectedTitles[m]);
            QStringList items;
            for (const QAction* item : titles[m]->menu()->actions())
                items << item->objectName() << item->text();
            QCOMPARE(items, expectedItems[m]);
        }
    }

    void windowSizeAndPlace()
    {
        Program program;
        QCOMPARE(program.form1->windowTitle(), QString("ハコミル"));
        QCOMPARE(program.form1->centralWidget()->size(), QSize(507, 318));
        QCOMPARE(program.form1->centralWidget()->geometry().top(),
                 program.form1->menuBar()->geometry().bottom() + 1);
        const QPoint screenCentre = program.form1->screen()->availableGeometry().center();
        const QPoint windowCentre = program.form1->frameGeometry().center();
        QVERIFY2(
            (screenCentre - windowCentre).manhattanLength() <= 2,
            qPrintable(QString("window centre %1,%2").arg(windowCentre.x()).arg(windowCentre.y())));
    }

    void boxesAreSquare()
    {
        Program program;
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(program.form1->Picture4(i)->size(), QSize(145, 145));
            QCOMPARE(program.form1->Picture4(i)->surface().width(), 145);
            QCOMPARE(program.form1->Picture2(i).width(), 489);
            QCOMPARE(program.form1->Picture2(i).height(), 489);
        }
        // The two boxes no command reaches keep their designed size.
        QCOMPARE(program.form1->Picture2(7).width(), 401);
    }

    // The pastel faces are fixed colours, drawn flat on every button, and their captions stay
    // black under a dark colour scheme too.
    void buttonFaceColours_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRgb>("face");
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            const char* scheme = dark ? "dark" : "light";
            QTest::addRow("open A, %s", scheme) << "main"
                                                << "Command2_0" << qRgb(255, 255, 192) << dark;
            QTest::addRow("convert, %s", scheme) << "main"
                                                 << "Command1_0" << qRgb(192, 255, 255) << dark;
            QTest::addRow("size dialog back, %s", scheme)
                << "size"
                << "Command1" << qRgb(255, 192, 255) << dark;
            QTest::addRow("result back, %s", scheme) << "result"
                                                     << "Command1_1" << qRgb(255, 192, 255) << dark;
            QTest::addRow("print OK, %s", scheme) << "print"
                                                  << "0" << qRgb(192, 255, 255) << dark;
            QTest::addRow("print cancel, %s", scheme) << "print"
                                                      << "1" << qRgb(255, 192, 255) << dark;
        }
    }
    void buttonFaceColours()
    {
        QFETCH(QString, window);
        QFETCH(QString, name);
        QFETCH(QRgb, face);
        QFETCH(bool, dark);
        const DarkScheme scheme(dark);
        Program program;
        QPushButton* button = nullptr;
        if (window == "print") {
            program.form1->form2()->findChild<QAction*>("mnuprint")->trigger();
            button = program.form1->form2()->printSettings()->Command1(name.toInt());
        } else {
            QWidget* parent = window == "main"   ? static_cast<QWidget*>(program.form1.get())
                              : window == "size" ? static_cast<QWidget*>(program.form1->form4())
                                                 : static_cast<QWidget*>(program.form1->form2());
            button = parent->findChild<QPushButton*>(name);
        }
        QVERIFY(button != nullptr);
        button->show();
        const QImage look = button->grab().toImage();
        QVERIFY2(shareOf(look, face) > 0.5, qPrintable(colorText(look.pixel(4, 4))));
        int darkInk = 0; // caption pixels, darker than the grey border
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x) {
                const QRgb c = look.pixel(x, y);
                darkInk += std::max({qRed(c), qGreen(c), qBlue(c)}) < 100 ? 1 : 0;
            }
        QVERIFY2(darkInk > 10, "the caption is not black");
    }

    // The sheet is paper: a dark colour scheme leaves its boxes white and its lines black.
    void sheetIsPaperUnderADarkScheme()
    {
        const DarkScheme scheme;
        Program program;
        QCOMPARE(program.boxBack(), qRgb(255, 255, 255));
        QCOMPARE(program.form1->Picture4(0)->surface().backColor(), qRgb(255, 255, 255));
        convert(program);
        const QImage sheet = program.form1->form2()->Picture3()->surface().image();
        QCOMPARE(sheet.size(), QSize(1702, 1302));
        QMap<QRgb, int> colours;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = 0; x < sheet.width(); ++x)
                ++colours[sheet.pixel(x, y)];
        QCOMPARE(colours.keys(), (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    }

    void promptIsBlue()
    {
        Program program;
        const QImage look = program.form1->Label1()->grab().toImage();
        int blue = 0;
        int other = 0;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x) {
                const QRgb c = look.pixel(x, y);
                if (qBlue(c) > qRed(c) + 60 && qBlue(c) > qGreen(c) + 60)
                    ++blue;
                else if (qRed(c) + qGreen(c) + qBlue(c) < 300)
                    ++other; // dark text that is not blue
            }
        QVERIFY(blue > 20);
        QCOMPARE(other, 0);
    }

    void sizeDialogLayout()
    {
        Program program;
        Form4* form4 = program.form1->form4();
        QCOMPARE(form4->windowTitle(), QString("ハコミル"));
        QCOMPARE(form4->size(), QSize(312, 206));
        QCOMPARE(form4->Frame1()->title(), QString("絵のサイズ"));
        QCOMPARE(form4->Frame1()->geometry(), QRect(24, 24, 201, 113));
        QCOMPARE(form4->Option1(0)->text(), QString("横幅にあわせる"));
        QCOMPARE(form4->Option1(0)->geometry(), QRect(24, 32, 129, 25));
        QCOMPARE(form4->Option1(1)->text(), QString("縦幅にあわせる"));
        QCOMPARE(form4->Option1(1)->geometry(), QRect(24, 64, 129, 25));
        QCOMPARE(form4->Command1()->text(), QString("もどる"));
        QCOMPARE(form4->Command1()->geometry(), QRect(232, 160, 65, 33));
        QVERIFY(!form4->isModal());
    }

    // The picture-size dialog: "もどる" hides it, the close box unloads it; fitMode survives both.
    void sizeDialogLifecycle_data()
    {
        QTest::addColumn<bool>("markCover");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<int>("fitMode");
        QTest::addColumn<bool>("sameDialog");
        QTest::addColumn<int>("markedAfter"); // -1: neither option marked
        // The main window mostly beyond the screen's bottom-right corner.
        QTest::addColumn<bool>("ownerOffScreen");
        QTest::newRow("whole, back") << false << "back" << 0 << true << 0 << false;
        QTest::newRow("cover, back") << true << "back" << 1 << true << 1 << false;
        QTest::newRow("cover, close box") << true << "close" << 1 << false << -1 << false;
        QTest::newRow("whole, close box") << false << "close" << 0 << false << -1 << false;
        QTest::newRow("cover, opened again while shown")
            << true << "reopen" << 1 << true << 1 << false;
        QTest::newRow("whole, main window at the screen's corner")
            << false << "back" << 0 << true << 0 << true;
    }
    void sizeDialogLifecycle()
    {
        QFETCH(bool, markCover);
        QFETCH(QString, leave);
        QFETCH(int, fitMode);
        QFETCH(bool, sameDialog);
        QFETCH(int, markedAfter);
        QFETCH(bool, ownerOffScreen);
        Program program;
        const QRect screen = program.form1->screen()->availableGeometry();
        if (ownerOffScreen)
            program.form1->move(screen.right() - 100, screen.bottom() - 100);
        QAction* open = program.action("mnuookisa");
        open->trigger();
        QPointer<Form4> first = program.form1->form4();
        QVERIFY(first->isVisible());
        QVERIFY(first->Option1(0)->isChecked());
        // A dialog of the main window (the window system keeps it above the window), over the
        // window's centre, or as near as the screen allows.
        QCOMPARE(first->windowHandle()->type(), Qt::Dialog);
        QCOMPARE(first->windowHandle()->transientParent(), program.form1->windowHandle());
        const QRect frame = first->frameGeometry();
        if (ownerOffScreen)
            QCOMPARE(frame.bottomRight(), screen.bottomRight());
        else
            QVERIFY2((frame.center() - program.form1->frameGeometry().center()).manhattanLength() <=
                         2,
                     qPrintable(QStringLiteral("dialog at %1, %2").arg(frame.x()).arg(frame.y())));
        if (markCover)
            QTest::mouseClick(first->Option1(1), Qt::LeftButton);
        if (leave == "back")
            QTest::mouseClick(first->Command1(), Qt::LeftButton);
        else if (leave == "close")
            first->close();
        QCOMPARE(first.isNull() ? true : !first->isVisible(), leave != "reopen");
        QTRY_COMPARE(first.isNull(), !sameDialog);
        QCOMPARE(program.state.fitMode, fitMode);

        open->trigger();
        Form4* second = program.form1->form4();
        QVERIFY(second->isVisible());
        QCOMPARE(second == first.data(), sameDialog);
        QCOMPARE(program.form1->findChildren<Form4*>().size(), 1);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(second->Option1(i)->isChecked(), i == markedAfter);
        QCOMPARE(program.state.fitMode, fitMode);
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
