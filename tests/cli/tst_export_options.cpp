#include <QtTest>

#include "cli/export_options.h"

using namespace hakomiru;

Q_DECLARE_METATYPE(ExportCommand::Action)

class tst_ExportOptions : public QObject
{
    Q_OBJECT

private slots:
    // What a good command line asks for. "pictures" lists 絵A|絵B|絵C, "-" for a slot not given.
    void reads_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("pictures");
        QTest::addColumn<int>("fitMode");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("svg");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("scale");

        QTest::newRow("defaults: whole, B4 landscape")
            << QStringList{"-a", "a.jpg", "-o", "s.bmp"} << "a.jpg|-|-" << 0 << false << "s.bmp"
            << "" << 2 << 0 << "" << 300 << 1;
        QTest::newRow("every option")
            << QStringList{"-c",       "c.gif",   "-b",    "b.bmp",
                           "-a",       "a.jpg",   "--fit", "cover",
                           "--pasted", "-o",      "s.bmp", "--pdf",
                           "p.pdf",    "--paper", "A3",    "--orientation",
                           "portrait"}
            << "a.jpg|b.bmp|c.gif" << 1 << true << "s.bmp"
            << "p.pdf" << 3 << 1 << "" << 300 << 1;
        QTest::newRow("long options with =, any case")
            << QStringList{"--fit=whole", "--pdf=p.pdf", "--paper=b5", "--orientation=Landscape"}
            << "-|-|-" << 0 << false << ""
            << "p.pdf" << 1 << 0 << "" << 300 << 1;
        QTest::newRow("A4") << QStringList{"--pdf", "p.pdf", "--paper", "A4"} << "-|-|-" << 0
                            << false << ""
                            << "p.pdf" << 0 << 0 << "" << 300 << 1;
        QTest::newRow("values beginning with a dash")
            << QStringList{"-a", "-pic.jpg", "-o", "./-name.bmp"} << "-pic.jpg|-|-" << 0 << false
            << "./-name.bmp"
            << "" << 2 << 0 << "" << 300 << 1;
        QTest::newRow("japanese names with spaces")
            << QStringList{"-b", "写真 の 絵.jpg", "-o", "はこ みる.bmp"} << "-|写真 の 絵.jpg|-"
            << 0 << false << "はこ みる.bmp"
            << "" << 2 << 0 << "" << 300 << 1;
        QTest::newRow("pictures after --, in slot order")
            << QStringList{"-o", "s.bmp", "--", "-x.jpg", "--help", "-c"} << "-x.jpg|--help|-c" << 0
            << false << "s.bmp"
            << "" << 2 << 0 << "" << 300 << 1;
        QTest::newRow("after --, the slots the options left")
            << QStringList{"-o", "s.bmp", "--", "a.jpg"} << "a.jpg|-|-" << 0 << false << "s.bmp"
            << "" << 2 << 0 << "" << 300 << 1;
        QTest::newRow("the sharp outputs")
            << QStringList{"--svg",   "s.svg",     "--dpi", "600",  "-o",
                           "big.png", "--scale=3", "--pdf", "p.pdf"}
            << "-|-|-" << 0 << false << "big.png"
            << "p.pdf" << 2 << 0 << "s.svg" << 600 << 3;
        QTest::newRow("a drawing alone, its paper")
            << QStringList{"--svg", "s.svg", "--paper", "A4", "--dpi=300"} << "-|-|-" << 0 << false
            << ""
            << "" << 0 << 0 << "s.svg" << 300 << 1;
    }

    void reads()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, pictures);
        QFETCH(int, fitMode);
        QFETCH(bool, pasted);
        QFETCH(QString, sheet);
        QFETCH(QString, pdf);
        QFETCH(int, paperSize);
        QFETCH(int, orientation);
        QFETCH(QString, svg);
        QFETCH(int, dpi);
        QFETCH(int, scale);

        const ExportCommand command = parseExportArguments(arguments);
        QVERIFY2(command.action == ExportCommand::Action::Run, qPrintable(command.error));
        const ExportOptions& options = command.options;
        QStringList given;
        for (const auto& picture : options.pictures)
            given << picture.value_or("-");
        QCOMPARE(given.join('|'), pictures);
        QCOMPARE(options.fitMode, fitMode);
        QCOMPARE(options.pasted, pasted);
        QCOMPARE(options.sheetPath, sheet);
        QCOMPARE(options.pdfPath, pdf);
        QCOMPARE(options.paperSize, paperSize);
        QCOMPARE(options.paperOrientation, orientation);
        QCOMPARE(options.svgPath, svg);
        QCOMPARE(options.pictureDpi, dpi);
        QCOMPARE(options.scale, scale);
    }

    // -a, -b and -c fill the slots 0, 1 and 5, each at the view its --view option gives.
    void slotsOfThePictures()
    {
        const ExportCommand command =
            parseExportArguments({"-c", "c.jpg", "-a", "a.jpg", "-b", "b.jpg", "-o", "s.bmp",
                                  "--view-c", "1.5,101,-20", "--view-a=8,+0,-0"});
        const std::vector<SlotPicture> given = command.options.slotPictures();
        QCOMPARE(given.size(), std::size_t(3));
        QCOMPARE(given[0].view, (SlotView{8, 0, 0}));
        QCOMPARE(given[1].view, SlotView{});
        QCOMPARE(given[2].view, (SlotView{1.5, 101, -20}));
        QCOMPARE(given[0].slot, 0);
        QCOMPARE(given[0].path, QString("a.jpg"));
        QCOMPARE(given[1].slot, 1);
        QCOMPARE(given[1].path, QString("b.jpg"));
        QCOMPARE(given[2].slot, 5);
        QCOMPARE(given[2].path, QString("c.jpg"));
    }

    // Wrong command lines are refused with a reason that names what is wrong.
    void refuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("nothing to write") << QStringList{"-a", "a.jpg"} << "-o";
        QTest::newRow("no arguments") << QStringList{} << "-o";
        QTest::newRow("value missing at the end") << QStringList{"-o"} << "-o";
        QTest::newRow("empty value") << QStringList{"-o", ""} << "-o";
        QTest::newRow("empty value after =") << QStringList{"--pdf=", "-o", "s.bmp"} << "--pdf";
        QTest::newRow("unknown option") << QStringList{"-o", "s.bmp", "-d", "d.jpg"} << "-d";
        QTest::newRow("stray argument") << QStringList{"-o", "s.bmp", "a.jpg"} << "a.jpg";
        QTest::newRow("bad fit") << QStringList{"-o", "s.bmp", "--fit", "height"} << "height";
        QTest::newRow("bad paper")
            << QStringList{"--pdf", "p.pdf", "--paper", "Letter"} << "Letter";
        QTest::newRow("bad orientation")
            << QStringList{"--pdf", "p.pdf", "--orientation", "upright"} << "upright";
        QTest::newRow("paper without pdf")
            << QStringList{"-o", "s.bmp", "--paper", "A4"} << "--pdf";
        QTest::newRow("slot given twice")
            << QStringList{"-a", "1.jpg", "-a", "2.jpg", "-o", "s.bmp"} << "-a";
        QTest::newRow("slot given twice, once after --")
            << QStringList{"-a", "1.jpg", "-o", "s.bmp", "--", "2.jpg"} << "2.jpg";
        QTest::newRow("four pictures after --")
            << QStringList{"-o", "s.bmp", "--", "1", "2", "3", "4"} << "4";
        QTest::newRow("--pasted with a value")
            << QStringList{"-o", "s.bmp", "--pasted=yes"} << "--pasted";
        QTest::newRow("--pasted twice")
            << QStringList{"-o", "s.bmp", "--pasted", "--pasted"} << "--pasted";
        QTest::newRow("a page without its file") << QStringList{"-a", "a.jpg", "--pdf"} << "--pdf";
        QTest::newRow("stray argument before --")
            << QStringList{"b.jpg", "-o", "s.bmp", "--", "a.jpg"} << "b.jpg";
        QTest::newRow("unknown long option")
            << QStringList{"-o", "s.bmp", "--colour", "red"} << "--colour";
        QTest::newRow("both outputs one file")
            << QStringList{"-o", "out", "--pdf", "./out"} << "out";
        QTest::newRow("output over a picture")
            << QStringList{"-a", "dir/../pic.bmp", "-o", "pic.bmp"} << "pic.bmp";
        QTest::newRow("drawing over a picture")
            << QStringList{"-a", "pic.svg", "--svg", "./pic.svg"} << "pic.svg";
        QTest::newRow("drawing and page one file")
            << QStringList{"--pdf", "out", "--svg", "out"} << "--svg";
        QTest::newRow("dpi too low") << QStringList{"--pdf", "p.pdf", "--dpi", "299"} << "299";
        QTest::newRow("dpi too high") << QStringList{"--pdf", "p.pdf", "--dpi", "601"} << "601";
        QTest::newRow("dpi not a number")
            << QStringList{"--pdf", "p.pdf", "--dpi", "300dpi"} << "300dpi";
        QTest::newRow("dpi with a sign") << QStringList{"--pdf", "p.pdf", "--dpi=+400"} << "+400";
        QTest::newRow("dpi without a page")
            << QStringList{"-o", "s.bmp", "--dpi", "300"} << "--dpi";
        QTest::newRow("scale 0") << QStringList{"-o", "s.png", "--scale", "0"} << "--scale";
        QTest::newRow("scale 5") << QStringList{"-o", "s.png", "--scale", "5"} << "--scale";
        QTest::newRow("zoom below 1")
            << QStringList{"-a", "a", "-o", "s", "--view-a", "0.9,0,0"} << "0.9,0,0";
        QTest::newRow("zoom above 8")
            << QStringList{"-a", "a", "-o", "s", "--view-a", "8.01,0,0"} << "8.01,0,0";
        QTest::newRow("view of two numbers")
            << QStringList{"-a", "a", "-o", "s", "--view-a", "1,5"} << "1,5";
        QTest::newRow("shift not whole")
            << QStringList{"-a", "a", "-o", "s", "--view-a", "1,0.5,0"} << "1,0.5,0";
        QTest::newRow("view without its picture")
            << QStringList{"-a", "a", "-o", "s", "--view-b", "2,0,0"} << "--view-b";
        QTest::newRow("view given twice")
            << QStringList{"-a", "a", "-o", "s", "--view-a", "2,0,0", "--view-a=1,0,0"}
            << "--view-a";
        QTest::newRow("scale without a sheet")
            << QStringList{"--pdf", "p.pdf", "--scale", "2"} << "--scale";
    }
    void refuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const ExportCommand command = parseExportArguments(arguments);
        QCOMPARE(command.action, ExportCommand::Action::Error);
        QVERIFY2(command.error.contains(named), qPrintable(command.error));
    }

    // Help and version win over everything before or after them, wrong arguments too, but not
    // after -- or as an option's value.
    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<ExportCommand::Action>("action");
        QTest::newRow("--help alone") << QStringList{"--help"} << ExportCommand::Action::Help;
        QTest::newRow("-h with other options")
            << QStringList{"-a", "a.jpg", "-h"} << ExportCommand::Action::Help;
        QTest::newRow("--version")
            << QStringList{"--version", "--fit", "bad"} << ExportCommand::Action::Version;
        QTest::newRow("as a value it is a file name")
            << QStringList{"-a", "--help", "-o", "s.bmp"} << ExportCommand::Action::Run;
        QTest::newRow("--help after a bad value")
            << QStringList{"--fit", "bad", "--help"} << ExportCommand::Action::Help;
        QTest::newRow("--help after an unknown option")
            << QStringList{"-x", "--help", "-o", "s.bmp"} << ExportCommand::Action::Help;
        QTest::newRow("--help before a value missing at the end")
            << QStringList{"--help", "-o"} << ExportCommand::Action::Help;
        QTest::newRow("-h after an option given twice")
            << QStringList{"-o", "a.bmp", "-o", "b.bmp", "-h"} << ExportCommand::Action::Help;
        QTest::newRow("after --, a picture's name")
            << QStringList{"-o", "s.bmp", "--", "--help"} << ExportCommand::Action::Run;
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(ExportCommand::Action, action);
        QCOMPARE(parseExportArguments(arguments).action, action);
    }
};

QTEST_GUILESS_MAIN(tst_ExportOptions)
#include "tst_export_options.moc"
