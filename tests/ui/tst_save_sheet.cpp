#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "ui/save_sheet.h"
#include "as_nobody.h"
#include "output/sheet_file.h"
#include "scripted_services.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

QImage sheet()
{
    return quadrantPicture(171, 131, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                           qRgb(250, 250, 250));
}

} // namespace

class tst_SaveSheet : public QObject
{
    Q_OBJECT

private slots:
    void dialogSetup()
    {
        ScriptedServices services;
        SaveSheet(services, nullptr, sheet());
        QCOMPARE(services.saveSetups.size(), std::size_t(1));
        const SaveDialogSetup& setup = services.saveSetups.front();
        QCOMPARE(setup.initialFolder, ProgramFolderPath()); // the build tree: writable
        QVERIFY(setup.initialFolder.endsWith('/'));
        QCOMPARE(setup.filterDescription, QString("(*.bmp)"));
        QCOMPARE(setup.patterns, QStringList{"*.bmp"});
        QVERIFY(setup.confirmOverwrite);
        QVERIFY(services.messages.empty()); // cancelled: nothing said
    }

    // A user who cannot write to the program's folder (installed: /usr/bin) starts in Pictures,
    // or at home when there is none. Run as root, the test runs again as the user nobody, for
    // whom the build tree is read-only, in a home made for the row.
    void startFolderOfAnotherUser_data()
    {
        QTest::addColumn<bool>("pictures");
        QTest::newRow("pictures folder") << true;
        QTest::newRow("no pictures folder") << false;
    }
    void startFolderOfAnotherUser()
    {
        QFETCH(bool, pictures);
        const QString home = QDir::homePath();
        if (qEnvironmentVariableIsSet("HAKOMIRU_TEST_AS_NOBODY")) {
            QCOMPARE(sheetSaveDialogSetup().initialFolder, pictures ? home + "/Pictures" : home);
            return;
        }
        if (::geteuid() != 0)
            QSKIP("only root can run the test again as the user nobody");
        QTemporaryDir made;
        const QByteArray runtime = QFile::encodeName(made.filePath("runtime")); // or Qt makes one
        QVERIFY(::chmod(QFile::encodeName(made.path()), 0755) == 0 && ::mkdir(runtime, 0700) == 0 &&
                ::chown(runtime, 65534, 65534) == 0);
        QVERIFY(!pictures || QDir(made.path()).mkdir("Pictures"));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", made.path());
        environment.remove("XDG_CONFIG_HOME");
        environment.insert("XDG_RUNTIME_DIR", runtime);
        environment.insert("HAKOMIRU_TEST_AS_NOBODY", "1");
        child.setProcessEnvironment(environment);
        child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                QCoreApplication::applicationFilePath(),
                                QString("startFolderOfAnotherUser:") + QTest::currentDataTag()});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitCode() == 0 && output.contains("PASS   : tst_SaveSheet::startFolder"),
                 output.constData());
    }

    // The file is written at the path exactly as chosen, and reads back as the sheet.
    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existing");
        QTest::newRow("bmp name") << "sheet.bmp" << false;
        QTest::newRow("no extension added") << "sheet" << false;
        QTest::newRow("japanese name with space") << "はこ の 絵.bmp" << false;
        QTest::newRow("replaces an existing file") << "old.bmp" << true;
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (existing)
            QVERIFY(savePicture(solidPicture(500, 400, qRgb(1, 2, 3)), path, "bmp"));
        ScriptedServices services;
        services.saveAnswers = {path};
        SaveSheet(services, nullptr, sheet());
        QVERIFY(services.messages.empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
        QImage back;
        QVERIFY(back.load(path, "BMP"));
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), sheet());
    }

    // A failed write is told once, names the file, and leaves an existing file as it was.
    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("name is a folder") << "folder";
        QTest::newRow("read-only folder") << "read-only";
    }
    void failures()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath("gone/sheet.bmp");
        if (kind == "folder") {
            path = dir.filePath("folder.bmp");
            QVERIFY(QDir(dir.path()).mkdir("folder.bmp"));
        } else if (kind == "read-only") {
            if (::geteuid() == 0) { // permissions do not bind root: the row runs as nobody
                const QString failure = rerunAsNobody(*this);
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                return;
            }
            path = dir.filePath("locked/sheet.bmp");
            QVERIFY(QDir(dir.path()).mkdir("locked"));
            QVERIFY(writeFile(path, "old contents"));
            QVERIFY(
                QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        }
        ScriptedServices services;
        services.saveAnswers = {path};
        SaveSheet(services, nullptr, sheet());
        QCOMPARE(services.messages.size(), std::size_t(1));
        QCOMPARE(services.messages.front().title, QString("ハコミル"));
        QVERIFY(services.messages.front().text.startsWith("ほぞんできませんでした"));
        QVERIFY(services.messages.front().text.contains(QDir::toNativeSeparators(path)));
        if (kind == "read-only") {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old contents"));
            QFile::setPermissions(dir.filePath("locked"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
};

QTEST_MAIN(tst_SaveSheet)
#include "tst_save_sheet.moc"
