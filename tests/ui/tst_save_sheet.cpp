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
        QCOMPARE(setup.initialFolder, ProgramFolderPath());
        QVERIFY(setup.initialFolder.endsWith('/'));
        QCOMPARE(setup.filterDescription, QString("(*.bmp)"));
        QCOMPARE(setup.patterns, QStringList{"*.bmp"});
        QVERIFY(setup.confirmOverwrite);
        QVERIFY(services.messages.empty()); // cancelled: nothing said
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
