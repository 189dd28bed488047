#include <QtTest>

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include "picture/picture_file.h"
#include "test_pictures.h"
#include "window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

const QRgb red = qRgb(220, 20, 30);

// A slightly portrait picture: opened from a file and pasted, it is fitted differently.
QImage tallPicture()
{
    return quadrantPicture(300, 330, qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200),
                           qRgb(90, 90, 90));
}

struct Drag
{
    bool entered = false;
    Qt::DropAction enterAction = Qt::IgnoreAction;
    bool dropped = false;
};

// Drags `data` onto `target`, moves over it and lets go there.
Drag dragAndDrop(QWidget* target, const QMimeData& data, Qt::DropActions actions)
{
    const QPoint centre = target->rect().center();
    Drag drag;
    QDragEnterEvent enter(centre, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    drag.entered = enter.isAccepted();
    drag.enterAction = enter.dropAction();
    if (!drag.entered)
        return drag;
    QDragMoveEvent move(centre + QPoint(1, 1), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(centre), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    drag.dropped = drop.isAccepted();
    return drag;
}

struct Slot
{
    QImage source;
    QImage preview;
    bool operator==(const Slot&) const = default;
};

Slot slotOf(Program& program, int slot)
{
    return {program.form1->Picture2(slot).image(),
            program.form1->Picture4(slot)->surface().image()};
}

bool ready(const Program& program)
{
    const QWidget* area = program.form1->centralWidget();
    return program.form1->Command1(0)->isVisibleTo(area) &&
           !program.form1->Label1()->isVisibleTo(area) &&
           program.form1->Label1()->text() == "ちょっと待ってね";
}

} // namespace

class tst_Form1Drop : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tallFile;
    QString m_redFile;

    // The slot as the open command or the paste menu leaves it for the picture of `file`.
    Slot byCommand(int slot, bool pasted, const QString& file)
    {
        Program program;
        const char* open[] = {"menuopen1", "menuopen2", "", "", "", "menuopen6"};
        const char* paste[] = {"mnupaste1", "mnupaste2", "", "", "", "mnupaste6"};
        program.services.openAnswers = {file};
        program.services.clipboard = loadPictureFile(file)->image;
        program.action(pasted ? paste[slot] : open[slot])->trigger();
        [&] {
            settle(program);
        }();
        return slotOf(program, slot);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tallFile = m_dir.filePath("縦長 の 絵.bmp");
        QVERIFY(savePicture(tallPicture(), m_tallFile, "bmp"));
        m_redFile = m_dir.filePath("red.bmp");
        QVERIFY(savePicture(solidPicture(30, 30, red), m_redFile, "bmp"));
        QVERIFY(byCommand(5, false, m_tallFile) != byCommand(5, true, m_tallFile));
    }

    // A picture file opens into the slot as its open command would; picture data is pasted there
    // as its paste menu would, without the question. Only a copy is ever asked for.
    // `picture`: a file of the corpus, or empty for the slightly portrait picture; `kind`: how
    // it is dragged (its file, Qt's image of it, or its bytes of the type named after "bytes").
    void dropFillsTheSlot_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("asFile");
        QTest::newRow("file onto 絵C") << "file"
                                       << "" << 5 << true;
        QTest::newRow("file onto 絵A") << "file"
                                       << "" << 0 << true;
        QTest::newRow("image onto 絵C") << "image"
                                        << "" << 5 << false;
        QTest::newRow("PNG bytes onto 絵C") << "bytes image/png"
                                            << "" << 5 << false;
        QTest::newRow("file and image: the file") << "file+image"
                                                  << "" << 5 << true;
        QTest::newRow("web address and image: the image") << "web+image"
                                                          << "" << 1 << false;
        QTest::newRow("HEIC file onto 絵B") << "file"
                                            << "heic-turned.heic" << 1 << true;
        QTest::newRow("TIFF file onto 絵A") << "file"
                                            << "tiff-orientation-6.tif" << 0 << true;
        QTest::newRow("AVIF bytes onto 絵C") << "bytes image/avif"
                                             << "avif-plain.avif" << 5 << false;
        QTest::newRow("HEIC bytes onto 絵B") << "bytes image/heic"
                                             << "heic-alpha.heic" << 1 << false;
        QTest::newRow("WebP bytes onto 絵A") << "bytes image/webp"
                                             << "webp-lossy.webp" << 0 << false;
    }
    void dropFillsTheSlot()
    {
        QFETCH(QString, kind);
        QFETCH(QString, picture);
        QFETCH(int, slot);
        QFETCH(bool, asFile);
        const QString file = picture.isEmpty()
                                 ? m_tallFile
                                 : QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + picture;
        QMimeData data;
        if (kind.contains("file"))
            data.setUrls({QUrl::fromLocalFile(file)});
        if (kind.contains("web"))
            data.setUrls({QUrl("https://example.org/picture.png")});
        if (kind.contains("image"))
            data.setImageData(tallPicture());
        if (kind.startsWith("bytes ")) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QFile stored(file);
            if (picture.isEmpty())
                QVERIFY(tallPicture().save(&buffer, "PNG"));
            else
                QVERIFY(stored.open(QIODevice::ReadOnly) && buffer.write(stored.readAll()) > 0);
            data.setData(kind.mid(6), bytes);
        }
        Program program;
        program.state.currentSlot = 3;

        const Drag drag =
            dragAndDrop(program.form1->Picture4(slot), data, Qt::CopyAction | Qt::MoveAction);
        settle(program);

        QVERIFY(drag.entered);
        QCOMPARE(drag.enterAction, Qt::CopyAction);
        QVERIFY(drag.dropped);
        QCOMPARE(program.state.currentSlot, slot);
        QCOMPARE(program.state.fileName, asFile ? file : QString());
        QVERIFY(slotOf(program, slot) == byCommand(slot, !asFile, file));
        for (int other = 0; other < 6; ++other)
            if (other != slot)
                QCOMPARE(program.sourceCentre(other), program.boxBack());
        QVERIFY(ready(program));
        QVERIFY(program.services.questions.empty());
        QCOMPARE(program.services.clipboardReads, 0);
        QVERIFY(program.services.openSetups.empty());
    }

    // Anything else is refused when it enters, or at the latest when it is dropped, and changes
    // nothing: not the slot, not the current slot, not the file name, not the window.
    void otherDropsChangeNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Qt::DropActions>("actions");
        QTest::addColumn<bool>("entered");
        const Qt::DropActions any = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QTest::newRow("text") << "text" << any << false;
        QTest::newRow("a text file") << "text file" << any << false;
        QTest::newRow("a missing file") << "missing file" << any << false;
        QTest::newRow("two picture files") << "two files" << any << false;
        QTest::newRow("a web address") << "web" << any << false;
        QTest::newRow("a picture file, moving only")
            << "file" << Qt::DropActions(Qt::MoveAction) << false;
        QTest::newRow("damaged picture bytes") << "damaged png" << any << true;
    }
    void otherDropsChangeNothing()
    {
        QFETCH(QString, kind);
        QFETCH(Qt::DropActions, actions);
        QFETCH(bool, entered);
        const QString textFile = m_dir.filePath("notes.txt");
        QVERIFY(writeFile(textFile, "some words\n"));
        QMimeData data;
        if (kind == "text")
            data.setText(m_tallFile);
        else if (kind == "text file")
            data.setUrls({QUrl::fromLocalFile(textFile)});
        else if (kind == "missing file")
            data.setUrls({QUrl::fromLocalFile(m_dir.filePath("gone.bmp"))});
        else if (kind == "two files")
            data.setUrls({QUrl::fromLocalFile(m_tallFile), QUrl::fromLocalFile(m_redFile)});
        else if (kind == "web")
            data.setUrls({QUrl("https://example.org/picture.png")});
        else if (kind == "file")
            data.setUrls({QUrl::fromLocalFile(m_tallFile)});
        else
            data.setData("image/png", "\x89PNG\r\n\x1a\n but then nothing");

        Program program;
        program.services.openAnswers = {m_redFile};
        program.action("menuopen6")->trigger();
        settle(program);
        program.state.currentSlot = 1;
        const Slot before = slotOf(program, 5);

        const Drag drag = dragAndDrop(program.form1->Picture4(5), data, actions);

        QCOMPARE(drag.entered, entered);
        QCOMPARE(program.state.currentSlot, 1);
        QCOMPARE(program.state.fileName, m_redFile);
        QVERIFY(slotOf(program, 5) == before);
        QCOMPARE(program.sourceCentre(5), red);
        QVERIFY(ready(program));
    }

    // Dropped picture bytes are decoded on a reading thread, not while the drop is handled: bytes
    // whose headers are sound are taken at once (the current slot moves, the slot clears and
    // waits), and pixels that then turn out damaged leave the slot cleared, as a paste of them
    // does.
    void droppedBytesDecodeOffTheWindowsThread()
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(solidPicture(400, 300, red).save(&buffer, "PNG"));
        const qsizetype pixels = bytes.indexOf("IDAT") + 4;
        QVERIFY(pixels > 4 && pixels + 8 < bytes.size());
        for (qsizetype i = pixels; i < pixels + 8; ++i)
            bytes[i] = char(~bytes[i]); // the stream and its checksum no longer agree
        QMimeData data;
        data.setData("image/png", bytes);
        Program program;
        program.services.openAnswers = {m_redFile};
        program.action("menuopen6")->trigger();
        settle(program);
        program.state.currentSlot = 1;

        QVERIFY(dragAndDrop(program.form1->Picture4(5), data, Qt::CopyAction).dropped);
        QCOMPARE(program.state.currentSlot, 5);
        QVERIFY(program.form1->readingSlot(5));
        settle(program);
        QVERIFY(!program.form1->readingSlot(5));
        QCOMPARE(program.sourceCentre(5), program.boxBack());
    }

    // Whether a box takes the data (which may mean opening a file) is asked once for each drag,
    // not again for every move over the box.
    void dropCheckedOncePerDrag()
    {
        Surface surface(10, 10);
        PictureBox box(surface);
        int checks = 0;
        box.acceptDroppedData([&checks](const QMimeData&) { return ++checks > 0; },
                              [](const QMimeData&) {});
        QMimeData data;
        data.setText(m_tallFile);
        QVERIFY(dragAndDrop(&box, data, Qt::CopyAction).dropped);
        QCOMPARE(checks, 1);
    }
};

QTEST_MAIN(tst_Form1Drop)
#include "tst_form1_drop.moc"
