#include <QtTest>

#include <optional>

#include <unistd.h>

#include "as_nobody.h"
#include "file_size_limit.h"
#include "output/sheet_file.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

QImage sheetPicture()
{
    QImage image = quadrantPicture(1702, 1302, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                   qRgb(250, 250, 250), qRgb(1, 2, 3));
    for (int x = 0; x < 1702; ++x)
        image.setPixel(x, 601, qRgb(0, 0, 0));
    return image;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class tst_SheetFile : public QObject
{
    Q_OBJECT

private slots:
    // The name chooses the format: PNG when it ends in .png in any case, the uncompressed BMP for
    // every other name. Either reads back as exactly the sheet, under exactly that name.
    void writesTheFormatTheNameAsksFor_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("png");
        QTest::newRow("no extension") << "シート 1" << false;
        QTest::newRow("png") << "シート.png" << true;
        QTest::newRow("png in capitals") << "SHEET.PNG" << true;
        QTest::newRow("png not at the end") << "sheet.png.jpg" << false;
    }
    void writesTheFormatTheNameAsksFor()
    {
        QFETCH(QString, name);
        QFETCH(bool, png);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QImage sheet = sheetPicture();
        const Result<void> result = writeSheetFile(sheet, path);
        QVERIFY2(result.ok(), qPrintable(result.error()));
        QCOMPARE(entries(dir.path()), QStringList{name}); // no extension added, no leftovers
        const QByteArray bytes = contents(path);
        QVERIFY(bytes.startsWith(png ? "\x89PNG\r\n" : "BM"));
        // BITMAPINFOHEADER compression field (offset 30): 0 = BI_RGB, uncompressed.
        QVERIFY(png || (quint8(bytes[30]) | quint8(bytes[31]) | quint8(bytes[32]) |
                        quint8(bytes[33])) == 0);
        QImage back;
        QVERIFY(back.loadFromData(bytes, png ? "png" : "bmp"));
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), sheet);
    }

    void overwritesAnExistingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sheet.bmp");
        QVERIFY(writeFile(path, QByteArray(10000000, 'x')));
        QVERIFY(writeSheetFile(sheetPicture(), path).ok());
        QImage back(path);
        QCOMPARE(back.size(), QSize(1702, 1302));
        QCOMPARE(entries(dir.path()), QStringList{"sheet.bmp"});
    }

    void failedWritesLeaveTheOldFileAndNoLeftovers()
    {
        QTemporaryDir dir;
        // A folder that does not exist, and a "folder" that is a file.
        QVERIFY(writeFile(dir.filePath("plain"), "plain"));
        for (const QString& path :
             {dir.filePath("missing/sheet.bmp"), dir.filePath("plain/x.bmp")}) {
            const Result<void> result = writeSheetFile(sheetPicture(), path);
            QVERIFY2(!result.ok(), qPrintable(path));
            QVERIFY(!result.error().isEmpty());
        }
        QCOMPARE(entries(dir.path()), QStringList{"plain"});
        QCOMPARE(contents(dir.filePath("plain")), QByteArray("plain"));
    }

    // A disk that fills up mid-write: the file-size limit stands in for it.
    void fullDiskLeavesTheOldFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sheet.bmp");
        const QByteArray old(5000, 'o');
        QVERIFY(writeFile(path, old));

        bool limited = false;
        const Result<void> result = [&] {
            const FileSizeLimit fullDisk(100000);
            limited = fullDisk.active();
            return writeSheetFile(sheetPicture(), path);
        }();

        QVERIFY(limited);
        QVERIFY(!result.ok());
        QVERIFY(!result.error().isEmpty());
        QCOMPARE(contents(path), old);
        QCOMPARE(entries(dir.path()), QStringList{"sheet.bmp"});
    }

    // A folder the user cannot make files in, holding a file the user may write: the sheet must
    // still not be written into the old file in place, which a full disk would leave cut short.
    // Run as root, the rows run again as the user nobody, whom permissions bind.
    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("read-only folder") << false;
        QTest::newRow("read-only folder, full disk") << true;
    }
    void readOnlyFolder()
    {
        QFETCH(bool, fullDisk);
        if (geteuid() == 0) {
            const QString failure = rerunAsNobody(*this);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath("sheet.bmp");
        QVERIFY(writeFile(path, "old"));
        std::optional<FileSizeLimit> limit;
        if (fullDisk) {
            limit.emplace(100000);
            QVERIFY(limit->active());
        }
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const Result<void> result = writeSheetFile(sheetPicture(), path);
        limit.reset();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!result.ok());
        QCOMPARE(contents(path), QByteArray("old"));
        QCOMPARE(entries(dir.path()), QStringList{"sheet.bmp"});
    }

    void programFolderEndsInOneSeparator()
    {
        const QString folder = ProgramFolderPath();
        QVERIFY(folder.endsWith(QLatin1Char('/')));
        QVERIFY(!folder.endsWith(QLatin1String("//")));
        QCOMPARE(QDir(folder).canonicalPath(),
                 QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    }
};

QTEST_MAIN(tst_SheetFile)
#include "tst_sheet_file.moc"
