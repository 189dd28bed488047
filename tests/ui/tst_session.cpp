// What users trust the program with over a whole session: many opens and conversions without
// growing, any picture on the clipboard, unusual file names, failing disks, and no files written
// anywhere they did not choose.

#include <QtTest>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>

#include "conversion/workbench.h"
#include "ui/form1.h"
#include "ui/no_settings.h"
#include "ui/program_state.h"
#include "file_size_limit.h"
#include "ui/form2.h"
#include "ui/picture_box.h"
#include "ui/qt_platform_services.h"
#include "test_pictures.h"
#include "window_fixture.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

// The home the test runs in: empty at the start, checked at the end.
QTemporaryDir* home = nullptr;

// The memory the program holds, in KiB: its resident pages once the allocator has given back
// what it keeps free (each reading thread keeps an arena of its own, whose free memory would
// otherwise come and go with the thread a read happens to run on).
long residentKiB()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

int paintedPixels(const Surface& box)
{
    int count = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            count += box.point(x, y) != box.backColor();
    return count;
}

// Answers the next modal file dialog with `path`, as a user typing it and pressing Enter.
void answerFileDialog(const QString& path)
{
    QTimer::singleShot(0, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

QString mimeTypeFor(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == "jpg")
        return "image/jpeg";
    return "image/" + suffix;
}

} // namespace

class tst_Session : public QObject
{
    Q_OBJECT

private slots:
    // 200 opens and 200 conversions: memory after them stays within 10 % of memory after 20.
    void longSession()
    {
        QTemporaryDir dir;
        const QStringList files = {dir.filePath("a.jpg"), dir.filePath("b.bmp"),
                                   dir.filePath("c.gif")};
        QVERIFY(savePicture(quadrantPicture(1200, 900, qRgb(250, 0, 0), qRgb(0, 250, 0),
                                            qRgb(0, 0, 250), qRgb(250, 250, 0)),
                            files[0], "jpg"));
        QVERIFY(savePicture(quadrantPicture(300, 400, qRgb(9, 9, 9), qRgb(90, 90, 90),
                                            qRgb(180, 180, 180), qRgb(240, 240, 240)),
                            files[1], "bmp"));
        QVERIFY(savePicture(solidPicture(64, 48, qRgb(0, 128, 255)), files[2], "gif"));

        Program program;
        const int slotOrder[] = {0, 1, 5};
        long afterTwenty = 0;
        QImage firstSheet;
        for (int round = 1; round <= 200; ++round) {
            program.services.openAnswers = {files[round % 3]};
            QTest::mouseClick(program.form1->Command2(slotOrder[round % 3]), Qt::LeftButton);
            convert(program);
            if (round == 3)
                firstSheet = program.form1->form2()->Picture3()->surface().image();
            if (round == 20)
                afterTwenty = residentKiB();
        }
        // Each open reads its file once, for the boxes and the picture kept for printing alike.
        QCOMPARE(int(program.services.loadCount()), 200);
        // Every slot holds the same picture as after round 3, so the sheet is the same again.
        QCOMPARE(program.form1->form2()->Picture3()->surface().image(), firstSheet);
        const long after = residentKiB();
        qInfo("resident memory: %ld KiB after 20 rounds, %ld KiB after 200", afterTwenty, after);
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine; the leak check covers this run");
#else
        QVERIFY2(
            after <= afterTwenty * 11 / 10,
            qPrintable(
                QStringLiteral("%1 KiB after 20, %2 KiB after 200").arg(afterTwenty).arg(after)));
#endif
    }

    // Whatever picture the clipboard holds, pasting keeps the program running: a readable one is
    // placed, any other leaves the slot cleared.
    void clipboardCorpus()
    {
        ProgramState state;
        QtPlatformServices services;
        Workbench workbench;
        Form1 form1(state, workbench, services);
        form1.show();
        QAction* paste = form1.findChild<QAction*>("mnupaste1");
        QVERIFY(paste);
        const QDir corpus(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures"));
        int placed = 0, refused = 0;
        for (const QString& name : corpus.entryList(QDir::Files)) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            auto* mime = new QMimeData;
            mime->setData(mimeTypeFor(name), file.readAll());
            QGuiApplication::clipboard()->setMimeData(mime);
            form1.Picture2(0).pset(3, 3, qRgb(1, 2, 3)); // something to clear
            paste->trigger();
            QTRY_VERIFY(!form1.reading());
            if (paintedPixels(form1.Picture2(0)) > 0)
                ++placed;
            else
                ++refused;
            QCOMPARE(form1.Picture2(0).point(3, 3) == qRgb(1, 2, 3), false);
        }
        qInfo("%d pictures placed, %d left the slot cleared", placed, refused);
        QVERIFY(placed >= 20);
        QVERIFY(refused >= 8);
        QGuiApplication::clipboard()->clear();
    }

    // Names with Japanese characters, spaces, a leading "-" and great length open and save.
    void unusualFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("japanese with spaces") << "家族の 写真 (夏).JPG";
        QTest::newRow("leading dash") << "-rf --help.bmp";
        QTest::newRow("long") << QString(78, QChar(0x7d75)) + ".gif"; // 238 bytes in UTF-8
    }
    void unusualFileNames()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QString format = QFileInfo(name).suffix().toLower();
        QVERIFY(savePicture(solidPicture(50, 40, qRgb(200, 30, 30)), path,
                            format == "jpg" ? "jpg" : format.toLatin1().constData()));
        Program program;
        program.services.openAnswers = {path};
        QTest::mouseClick(program.form1->Command2(5), Qt::LeftButton);
        settle(program);
        QCOMPARE(program.state.fileName, path);
        QVERIFY(closeColor(program.sourceCentre(5), qRgb(200, 30, 30), 30));

        convert(program);
        const QString sheet = dir.filePath("シート " + QFileInfo(name).completeBaseName());
        program.services.saveAnswers = {sheet};
        program.form1->form2()->findChild<QAction*>("mnusave")->trigger();
        QVERIFY(program.services.messages.empty());
        QCOMPARE(QImage(sheet).convertToFormat(QImage::Format_RGB32),
                 program.form1->form2()->Picture3()->surface().image());
    }

    // A disk that fills up while the sheet is written: one message, the old file whole, nothing
    // left behind.
    void saveOnAFullDisk()
    {
        Program program;
        convert(program); // an empty sheet is a sheet too
        QTemporaryDir dir;
        const QString path = dir.filePath("sheet.bmp");
        QVERIFY(writeFile(path, QByteArray(3000, 's')));
        program.services.saveAnswers = {path};

        {
            const FileSizeLimit fullDisk(50000);
            QVERIFY(fullDisk.active());
            program.form1->form2()->findChild<QAction*>("mnusave")->trigger();
        }

        QCOMPARE(int(program.services.messages.size()), 1);
        QCOMPARE(program.services.messages[0].title, QString("ハコミル"));
        QVERIFY(program.services.messages[0].text.contains("ほぞんできませんでした"));
        QVERIFY(program.services.messages[0].text.contains("sheet.bmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(3000, 's'));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"sheet.bmp"});
    }

    // The real file dialogs, used as a person would; afterwards the home folder is still empty.
    void nothingWrittenOutsideTheChosenFiles()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath("picture.bmp");
        QVERIFY(savePicture(solidPicture(20, 20, qRgb(0, 0, 200)), picture, "bmp"));
        ProgramState state;
        QtPlatformServices services;
        Workbench workbench;
        Form1 form1(state, workbench, services);
        form1.show();
        answerFileDialog(picture);
        QTest::mouseClick(form1.Command2(0), Qt::LeftButton);
        QCOMPARE(state.fileName, picture);
        QTRY_VERIFY(!form1.reading());
        QTest::mouseClick(form1.Command1(0), Qt::LeftButton);
        form1.Timer1()->setInterval(0);
        QTRY_VERIFY(form1.form2()->isVisible());
        const QString sheet = dir.filePath("sheet.bmp");
        answerFileDialog(sheet);
        form1.form2()->findChild<QAction*>("mnusave")->trigger();
        QVERIFY(QFileInfo::exists(sheet));

        QStringList written;
        QDirIterator it(home->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            written << it.next();
        QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
    }
};

int main(int argc, char* argv[])
{
    // A fresh, empty home for the whole run, set before anything of Qt starts.
    QTemporaryDir fresh;
    home = &fresh;
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qunsetenv(name);
    qputenv("HOME", fresh.path().toLocal8Bit());
    QApplication app(argc, argv);
    keepNoSettings();
    tst_Session test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"
