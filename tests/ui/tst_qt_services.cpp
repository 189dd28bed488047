#include <QtTest>

#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include "intake/slot_intake.h"
#include "ui/form1.h"
#include "ui/qt_platform_services.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

// The names the dialog lists in its current folder.
QStringList listed(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QListView*>("listView");
    QStringList names;
    if (view == nullptr)
        return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QByteArray encoded(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

} // namespace

class tst_QtServices : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        for (const char* name :
             {"a.bmp", "B.JPG", "c.Gif", "d.jpeg", "g.JPEG", "e.png", "f.txt", "絵 一.BMP",
              "h.HEIC", "i.avif", "j.webp", "k.TIF", "l.tiff", "m.heif"})
            QVERIFY(writeFile(m_dir.filePath(QString::fromUtf8(name)), "x"));
        QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    }

    void openDialogEntry()
    {
        const OpenDialogSetup setup = pictureOpenDialogSetup();
        QCOMPARE(setup.filterDescription, QString("絵ファイル(*.bmp,*.jpg,*gif)"));
        for (const char* pattern : {"*.bmp", "*.jpg", "*.gif"})
            QVERIFY2(setup.patterns.contains(pattern), pattern);
        QCOMPARE(setup.furtherFilters.size(), 1);
        const FileFilter& all = setup.furtherFilters.front();
        // The text shows exactly the patterns of the entry.
        QVERIFY2(all.description.startsWith("すべての絵 (") && all.description.endsWith(")"),
                 qPrintable(all.description));
        QCOMPARE(all.description.mid(7).chopped(1).split(' '), all.patterns);
        for (const char* pattern : {"*.bmp", "*.jpg", "*.jpeg", "*.gif", "*.png", "*.webp", "*.tif",
                                    "*.tiff", "*.heic", "*.heif", "*.avif"})
            QVERIFY2(all.patterns.contains(pattern), pattern);
    }

    // The entries show their text exactly, the program's own first; すべての絵 is chosen when the
    // dialog opens, so every picture shows at once; the patterns of the entry chosen match
    // whatever the case, also after the user picks an entry again.
    void openDialog()
    {
        auto dialog = makeOpenDialog(pictureOpenDialogSetup(), nullptr);
        dialog->setDirectory(m_dir.path());
        auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(combo != nullptr);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("絵ファイル(*.bmp,*.jpg,*gif)"));
        QCOMPARE(combo->itemText(1), pictureOpenDialogSetup().furtherFilters.front().description);
        QCOMPARE(combo->currentIndex(), 1);
        QCOMPARE(dialog->selectedNameFilter(), combo->itemText(1));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        const QStringList pictures =
            sorted({"a.bmp", "B.JPG", "c.Gif", "d.jpeg", "g.JPEG", "sub", "絵 一.BMP"});

        const QStringList everyPicture = sorted(QStringList(pictures) << "e.png"
                                                                      << "h.HEIC"
                                                                      << "i.avif"
                                                                      << "j.webp"
                                                                      << "k.TIF"
                                                                      << "l.tiff"
                                                                      << "m.heif");
        QTRY_COMPARE(listed(*dialog), everyPicture);
        for (const int entry : {0, 1, 0}) {
            combo->setCurrentIndex(entry);
            emit combo->activated(entry);
            emit combo->textActivated(combo->currentText());
            QTest::qWait(200); // the list is filtered again after a short delay
            QCOMPARE(listed(*dialog), entry == 0 ? pictures : everyPicture);
        }
    }

    void saveDialog()
    {
        SaveDialogSetup setup;
        setup.initialFolder = m_dir.path() + '/';
        setup.filterDescription = "(*.bmp)";
        setup.patterns = {"*.bmp"};
        auto dialog = makeSaveDialog(setup, nullptr);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(m_dir.path()).canonicalPath());
        QCOMPARE(dialog->findChild<QComboBox*>("fileTypeCombo")->currentText(), QString("(*.bmp)"));
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(dialog->defaultSuffix().isEmpty());
        QTRY_COMPARE(listed(*dialog), sorted({"a.bmp", "sub", "絵 一.BMP"}));

        setup.confirmOverwrite = false;
        QVERIFY(makeSaveDialog(setup, nullptr)->testOption(QFileDialog::DontConfirmOverwrite));
    }

    // Each of the open and save dialogs starts in the folder of the file last chosen in it; the
    // first of each starts where it always has (the open dialog in the working folder, the save
    // dialog where its setup says), and so does one whose last folder is gone. A cancel, wherever
    // the dialog was, changes nothing.
    void dialogsStartWhereLastUsed()
    {
        QTemporaryDir pictures, sheets, setupFolder;
        QVERIFY(writeFile(pictures.filePath("a.bmp"), "x"));
        SaveDialogSetup save{setupFolder.path(), "(*.bmp)", {"*.bmp"}, true};
        QtPlatformServices services;
        QStringList startedIn;
        // Notes where the dialog starts, then chooses `path` in it, or goes to the setup's folder
        // and cancels when `path` is empty.
        auto use = [&](bool saving, const QString& path) {
            QTimer::singleShot(0, [&startedIn, &setupFolder, path] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                startedIn << dialog->directory().canonicalPath();
                dialog->setDirectory(setupFolder.path());
                dialog->selectFile(path);
                auto* asDialog = static_cast<QDialog*>(dialog);
                path.isEmpty() ? asDialog->reject() : asDialog->accept();
            });
            const auto chosen = saving ? services.chooseSaveFile(nullptr, save)
                                       : services.chooseOpenFile(nullptr, pictureOpenDialogSetup());
            QCOMPARE(chosen.value_or(QString()), path);
        };
        QStringList expected{QDir::currentPath(), setupFolder.path(), pictures.path(),
                             sheets.path(),       pictures.path(),    setupFolder.path()};
        for (QString& folder : expected)
            folder = QDir(folder).canonicalPath();
        use(false, pictures.filePath("a.bmp"));
        use(true, sheets.filePath("first.bmp"));
        use(false, QString());
        use(true, sheets.filePath("second.bmp"));
        use(false, pictures.filePath("a.bmp"));
        QVERIFY(sheets.remove());
        use(true, QString());
        QCOMPARE(startedIn, expected);
    }

    // With Qt's Japanese translation installed, as the program does in a ja_JP locale, the
    // platform's dialogs speak Japanese while the program's own texts stay as written.
    void dialogsSpeakTheUsersLanguage()
    {
        QVERIFY(installQtTranslation(QLocale(QLocale::Japanese, QLocale::Japan)));
        QString title;
        QString cancel;
        QString text;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            title = box->windowTitle();
            text = box->text();
            cancel = box->button(QMessageBox::Cancel)->text();
            box->reject();
        });
        answer.start();
        QtPlatformServices services;
        QVERIFY(!services.askOkCancel(nullptr, "確認", "絵Aにはりつけますか"));
        QCOMPARE(cancel, QString("キャンセル"));
        QCOMPARE(title, QString("確認"));
        QCOMPARE(text, QString("絵Aにはりつけますか"));
        auto dialog = makeOpenDialog(pictureOpenDialogSetup(), nullptr);
        QCOMPARE(dialog->findChild<QComboBox*>("fileTypeCombo")->itemText(0),
                 QString("絵ファイル(*.bmp,*.jpg,*gif)"));
        QVERIFY2(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text() ==
                     QString("キャンセル"),
                 "the open dialog's Cancel is not Japanese");
    }

    void pictureFromMimeData_data()
    {
        const QImage picture = quadrantPicture(8, 6, qRgb(255, 0, 0), qRgb(0, 255, 0),
                                               qRgb(0, 0, 255), qRgb(255, 255, 0));
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("picture");
        QTest::newRow("png bytes") << "image/png" << encoded(picture, "png") << true;
        QTest::newRow("bmp bytes") << "image/bmp" << encoded(picture, "bmp") << true;
        QTest::newRow("webp bytes, lossless")
            << "image/webp" << encoded(picture, "webp", 100) << true;
        QTest::newRow("tiff bytes") << "image/tiff" << encoded(picture, "tiff") << true;
        QTest::newRow("image set by Qt") << "" << QByteArray() << true;
        QTest::newRow("text only") << "text/plain" << QByteArray("hello") << false;
        QTest::newRow("broken png") << "image/png" << QByteArray("\x89PNG broken") << false;
        // A PNG of a few hundred bytes whose text chunk claims almost 2 GB: refused unread.
        QFile hostile(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/fuzz-png-huge-text-chunk.png"));
        QVERIFY(hostile.open(QIODevice::ReadOnly));
        QTest::newRow("png claiming 2 GB") << "image/png" << hostile.readAll() << false;
    }
    void pictureFromMimeData()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, picture);
        QMimeData data;
        if (format.isEmpty())
            data.setImageData(quadrantPicture(8, 6, qRgb(255, 0, 0), qRgb(0, 255, 0),
                                              qRgb(0, 0, 255), qRgb(255, 255, 0)));
        else
            data.setData(format, bytes);
        const std::optional<QImage> image = hakomiru::pictureFromMimeData(&data);
        QCOMPARE(image.has_value(), picture);
        if (picture) {
            QCOMPARE(image->size(), QSize(8, 6));
            QCOMPARE(image->pixel(6, 1) | 0xff000000u, qRgb(0, 255, 0));
            QCOMPARE(image->pixel(1, 5) | 0xff000000u, qRgb(0, 0, 255));
        }
    }
};

QTEST_MAIN(tst_QtServices)
#include "tst_qt_services.moc"
