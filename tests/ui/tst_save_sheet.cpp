#include <QtTest>

#include <unistd.h>

#include <QImageReader>

#include "ui/save_sheet.h"
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

    // A user who cannot write to the program's folder (installed, it is /usr/bin) starts in the
    // Pictures folder, or at home when there is none. The tests run as root, who may write
    // anywhere, so the test runs itself again as the user nobody, for whom the build tree is
    // read-only, with a home made for the row.
    void startFolderOfAnotherUser_data()
    {
        QTest::addColumn<bool>("pictures");
        QTest::newRow("pictures folder") << true;
        QTest::newRow("no pictures folder") << false;
    }
    void startFolderOfAnotherUser()
    {
        QFETCH(bool, pictures);
        if (qEnvironmentVariableIsSet("HAKOMIRU_TEST_AS_NOBODY")) {
            QVERIFY(!QFileInfo(ProgramFolderPath()).isWritable());
            const QString home = QDir::homePath();
            QCOMPARE(sheetSaveDialogSetup().initialFolder, pictures ? home + "/Pictures" : home);
            return;
        }
        if (::geteuid() != 0)
            QSKIP("only root can run the test as the user nobody");
        QTemporaryDir home;
        QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::ExeOther));
        QVERIFY(!pictures || QDir(home.path()).mkdir("Pictures"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.remove("XDG_CONFIG_HOME");
        // A runtime folder of its own, or Qt makes one in /tmp that outlives the test.
        const QString runtime = home.filePath("runtime");
        QVERIFY(QDir(home.path()).mkdir("runtime") &&
                ::chown(QFile::encodeName(runtime).constData(), 65534, 65534) == 0 &&
                QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadUser |
                                                   QFile::WriteUser | QFile::ExeUser));
        environment.insert("XDG_RUNTIME_DIR", runtime);
        environment.insert("HAKOMIRU_TEST_AS_NOBODY", "1");
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv",
                    {"--reuid=65534", "--regid=65534", "--clear-groups",
                     QCoreApplication::applicationFilePath(),
                     QStringLiteral("startFolderOfAnotherUser:") + QTest::currentDataTag()});
        if (!child.waitForStarted())
            QSKIP("setpriv is not installed");
        QVERIFY(child.waitForFinished(120000));
        const QString output = QString::fromUtf8(child.readAll());
        if (!output.contains("Start testing"))
            QSKIP(qPrintable("the user nobody cannot run the test here: " + output));
        QVERIFY2(child.exitCode() == 0 &&
                     output.contains("PASS   : tst_SaveSheet::startFolderOfAnotherUser("),
                 qPrintable(output));
    }

    // The file is written at the path exactly as chosen, in the format its name asks for, and
    // reads back as the sheet.
    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("bmp name") << "sheet.bmp" << false << QByteArray("BMP");
        QTest::newRow("no extension added") << "sheet" << false << QByteArray("BMP");
        QTest::newRow("japanese name with space") << "はこ の 絵.bmp" << false << QByteArray("BMP");
        QTest::newRow("replaces an existing file") << "old.bmp" << true << QByteArray("BMP");
        QTest::newRow("png name") << "シート.png" << false << QByteArray("PNG");
        QTest::newRow("png over a bmp file") << "old.PNG" << true << QByteArray("PNG");
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(bool, existing);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (existing)
            QVERIFY(savePicture(solidPicture(500, 400, qRgb(1, 2, 3)), path, "bmp"));
        ScriptedServices services;
        services.saveAnswers = {path};
        SaveSheet(services, nullptr, sheet());
        QVERIFY(services.messages.empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format().toUpper(), format);
        const QImage back = reader.read();
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
            if (::geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
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
