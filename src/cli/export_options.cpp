#include "cli/export_options.h"

#include <algorithm>
#include <utility>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "output/sharp_page.h"
#include "picture/picture_formats.h"

namespace hakomiru {

namespace {

// The option of each visible slot, by its letter: -a for 絵A.
QString pictureOption(const VisibleSlot& slot)
{
    return QLatin1Char('-') + slot.letter.toLower();
}

// The option of each visible slot's view: --view-a for 絵A.
QString viewOption(const VisibleSlot& slot)
{
    return QStringLiteral("--view-") + slot.letter.toLower();
}

QStringList paperNames()
{
    QStringList names;
    for (const Paper& paper : papers)
        names << QString::fromLatin1(paper.name);
    return names;
}

std::optional<int> indexOfName(const QString& value, const QStringList& names)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (value.compare(names[i], Qt::CaseInsensitive) == 0)
            return int(i);
    return std::nullopt;
}

// The same file under two names: the same path once made absolute and clean, or, for files that
// exist, the same file after links are followed.
bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath()))
        return true;
    const QString canonicalA = first.canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == second.canonicalFilePath();
}

// One option of the command line: its names as typed ("-o", "--fit"), and whether it takes a
// value.
struct KnownOption
{
    QStringList names;
    bool takesValue;
};

// Every option the exporter knows, in the order the help lists them.
std::vector<KnownOption> knownOptions()
{
    std::vector<KnownOption> options;
    for (const VisibleSlot& slot : visibleSlots)
        options.push_back({{pictureOption(slot)}, true});
    for (const VisibleSlot& slot : visibleSlots)
        options.push_back({{viewOption(slot)}, true});
    for (const char* name :
         {"--fit", "-o", "--scale", "--pdf", "--svg", "--box", "--dpi", "--paper", "--orientation"})
        options.push_back({{QString::fromLatin1(name)}, true});
    options.push_back({{QStringLiteral("--pasted")}, false});
    options.push_back({{QStringLiteral("-h"), QStringLiteral("--help")}, false});
    options.push_back({{QStringLiteral("--version")}, false});
    return options;
}

// Whether `argument`, as typed, is an option that takes a value.
bool takesValue(const QString& argument)
{
    const std::vector<KnownOption> options = knownOptions();
    return std::any_of(options.begin(), options.end(), [&argument](const KnownOption& option) {
        return option.takesValue && option.names.contains(argument);
    });
}

// An option's name as QCommandLineParser knows it: without its dashes.
QString bare(const QString& name)
{
    return name.mid(name.startsWith(QLatin1String("--")) ? 2 : 1);
}

// An option's name as typed: "-" before a letter, "--" before a word.
QString typed(const QString& bareName)
{
    return (bareName.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + bareName;
}

// Reads the command line with QCommandLineParser (values after "=" or in the next argument,
// whatever it begins with; "--" ends the options; a single dash before a word names a long option),
// then checks what it found in the program's own words.
class Parser
{
public:
    explicit Parser(const QStringList& arguments) : m_arguments(arguments)
    {
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        for (const KnownOption& option : knownOptions()) {
            QStringList names;
            for (const QString& name : option.names)
                names << bare(name);
            m_parser.addOption(option.takesValue
                                   ? QCommandLineOption(names, QString(), QStringLiteral("value"))
                                   : QCommandLineOption(names));
        }
    }

    ExportCommand run()
    {
        // QCommandLineParser reads the program's name first.
        const bool parsed = m_parser.parse(QStringList{QString()} + m_arguments);
        // --help and --version anywhere before "--" win over everything else, even over wrong
        // arguments; as an option's value they are a file name.
        if (m_parser.isSet(QStringLiteral("help"))) {
            m_command.action = ExportCommand::Action::Help;
            return m_command;
        }
        if (m_parser.isSet(QStringLiteral("version"))) {
            m_command.action = ExportCommand::Action::Version;
            return m_command;
        }
        if (!parsed)
            failParsing();
        else
            takeOptions();
        if (m_command.error.isEmpty())
            takePositional();
        if (m_command.error.isEmpty())
            check();
        m_command.action =
            m_command.error.isEmpty() ? ExportCommand::Action::Run : ExportCommand::Action::Error;
        return m_command;
    }

private:
    void fail(const QString& error)
    {
        if (m_command.error.isEmpty())
            m_command.error = error;
    }

    // What QCommandLineParser refused, in the program's words: an unknown option, an option
    // without its value at the end of the line, or a value given to --pasted.
    void failParsing()
    {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            fail(QStringLiteral("unknown option \"%1\"").arg(typed(unknown.front())));
            return;
        }
        for (const QString& argument : m_arguments)
            if (argument.startsWith(QLatin1String("--pasted=")))
                fail(QStringLiteral("option --pasted takes no value"));
        const std::optional<QString> last = lastValueOption();
        fail(QStringLiteral("option %1 needs a value").arg(last.value_or(m_arguments.last())));
    }

    // The option that takes a value whose value is missing at the end of the line, if any.
    [[nodiscard]] std::optional<QString> lastValueOption() const
    {
        if (m_arguments.isEmpty() || !takesValue(m_arguments.last()))
            return std::nullopt;
        return m_arguments.last();
    }

    // The one value of option `name`: refused when the option is given more than once, or with
    // an empty value. Nothing when it is not given.
    std::optional<QString> value(const QString& name)
    {
        const QStringList values = m_parser.values(bare(name));
        if (values.isEmpty())
            return std::nullopt;
        if (values.size() > 1) {
            fail(QStringLiteral("option %1 is given more than once").arg(name));
            return std::nullopt;
        }
        if (values.front().isEmpty()) {
            fail(QStringLiteral("option %1 needs a value").arg(name));
            return std::nullopt;
        }
        m_seen << name;
        return values.front();
    }

    // A whole number from `least` to `most`, written in decimal digits only.
    int wholeNumber(const QString& name, const QString& text, int least, int most)
    {
        bool ok = !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                                 [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int number = ok ? text.toInt(&ok) : 0;
        if (!ok || number < least || number > most) {
            fail(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                     .arg(name)
                     .arg(least)
                     .arg(most)
                     .arg(text));
            return least;
        }
        return number;
    }

    // A view written ZOOM,DX,DY: a zoom from 1 to 8 in decimal digits (1.5) and two whole numbers
    // of source-box pixels, which may be negative.
    SlotView view(const QString& name, const QString& text)
    {
        static const QRegularExpression form(QStringLiteral(
            "^([0-9]{1,3}(?:\\.[0-9]{1,12})?),([+-]?[0-9]{1,6}),([+-]?[0-9]{1,6})$"));
        const QRegularExpressionMatch match = form.match(text);
        const double zoom = match.hasMatch() ? match.captured(1).toDouble() : 0.0;
        if (!match.hasMatch() || zoom < minimumZoom || zoom > maximumZoom) {
            fail(QStringLiteral("%1 takes ZOOM,DX,DY: a zoom from 1 to 8 and two whole numbers of "
                                "pixels, not \"%2\"")
                     .arg(name, text));
            return {};
        }
        return {zoom, match.captured(2).toInt(), match.captured(3).toInt()};
    }

    // The options in the order the help lists them; the first thing wrong is told.
    void takeOptions()
    {
        ExportOptions& options = m_command.options;
        for (std::size_t i = 0; i < visibleSlots.size(); ++i) {
            if (const auto path = value(pictureOption(visibleSlots[i])))
                options.pictures[i] = *path;
            if (const auto text = value(viewOption(visibleSlots[i])))
                options.views[i] = view(viewOption(visibleSlots[i]), *text);
        }
        if (const auto mode = value(QStringLiteral("--fit"))) {
            const auto index =
                indexOfName(*mode, {QStringLiteral("whole"), QStringLiteral("cover")});
            if (index)
                options.fitMode = *index;
            else
                fail(QStringLiteral("--fit takes whole or cover, not \"%1\"").arg(*mode));
        }
        if (m_parser.optionNames().count(QStringLiteral("pasted")) > 1)
            fail(QStringLiteral("option --pasted is given more than once"));
        options.pasted = m_parser.isSet(QStringLiteral("pasted"));
        if (const auto path = value(QStringLiteral("-o")))
            options.sheetPath = *path;
        if (const auto number = value(QStringLiteral("--scale")))
            options.scale = wholeNumber(QStringLiteral("--scale"), *number, 1, 4);
        if (const auto path = value(QStringLiteral("--pdf")))
            options.pdfPath = *path;
        if (const auto path = value(QStringLiteral("--svg")))
            options.svgPath = *path;
        if (const auto path = value(QStringLiteral("--box")))
            options.boxPath = *path;
        if (const auto number = value(QStringLiteral("--dpi")))
            options.pictureDpi =
                wholeNumber(QStringLiteral("--dpi"), *number, minimumPictureDpi, maximumPictureDpi);
        if (const auto paper = value(QStringLiteral("--paper"))) {
            const QStringList names = paperNames();
            const auto index = indexOfName(*paper, names);
            if (index)
                options.paperSize = *index;
            else
                fail(QStringLiteral("--paper takes %1 or %2, not \"%3\"")
                         .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")),
                              names.last(), *paper));
        }
        if (const auto orientation = value(QStringLiteral("--orientation"))) {
            const auto index = indexOfName(
                *orientation, {QStringLiteral("landscape"), QStringLiteral("portrait")});
            if (index)
                options.paperOrientation = *index;
            else
                fail(QStringLiteral("--orientation takes landscape or portrait, not \"%1\"")
                         .arg(*orientation));
        }
    }

    // The pictures after "--", in the order 絵A, 絵B, 絵C, into the slots the options left; any
    // other argument that is not an option is refused.
    void takePositional()
    {
        const QStringList positional = m_parser.positionalArguments();
        const qsizetype afterDashes = argumentsAfterDashes();
        if (positional.size() > afterDashes) {
            fail(QStringLiteral("unexpected argument \"%1\"; pictures are given with -a, -b and "
                                "-c, or after --")
                     .arg(positional.front()));
            return;
        }
        std::size_t slot = 0;
        for (const QString& path : positional) {
            if (slot >= visibleSlots.size()) {
                fail(QStringLiteral("more than three pictures: \"%1\"").arg(path));
                return;
            }
            if (path.isEmpty()) {
                fail(QStringLiteral("an empty picture name after --"));
                return;
            }
            if (m_command.options.pictures[slot]) {
                fail(QStringLiteral("picture \"%1\" after -- is for the slot that %2 already fills")
                         .arg(path, pictureOption(visibleSlots[slot])));
                return;
            }
            m_command.options.pictures[slot++] = path;
        }
    }

    // How many arguments follow the "--" that ends the options (one that is not an option's
    // value), or 0 without one.
    [[nodiscard]] qsizetype argumentsAfterDashes() const
    {
        for (qsizetype i = 0; i < m_arguments.size(); ++i) {
            if (m_arguments[i] == QLatin1String("--"))
                return m_arguments.size() - i - 1;
            if (takesValue(m_arguments[i]))
                ++i; // its value, whatever it is
        }
        return 0;
    }

    void check()
    {
        const ExportOptions& options = m_command.options;
        if (options.sheetPath.isEmpty() && options.pdfPath.isEmpty() && options.svgPath.isEmpty() &&
            options.boxPath.isEmpty()) {
            fail(QStringLiteral("nothing to write: give -o SHEET.bmp, --pdf PAGE.pdf, --svg "
                                "SHEET.svg, --box BOX.png or more"));
            return;
        }
        for (std::size_t i = 0; i < visibleSlots.size(); ++i) {
            if (m_seen.contains(viewOption(visibleSlots[i])) && !options.pictures[i]) {
                fail(QStringLiteral("%1 needs a picture for 絵%2")
                         .arg(viewOption(visibleSlots[i]), visibleSlots[i].letter));
                return;
            }
        }
        const bool page = !options.pdfPath.isEmpty() || !options.svgPath.isEmpty();
        for (const char* pageOption : {"--paper", "--orientation", "--dpi"})
            if (!page && m_seen.contains(QLatin1String(pageOption))) {
                fail(
                    QStringLiteral("--paper, --orientation and --dpi only go with --pdf or --svg"));
                return;
            }
        if (options.sheetPath.isEmpty() && m_seen.contains(QStringLiteral("--scale"))) {
            fail(QStringLiteral("--scale only goes with -o"));
            return;
        }
        // An output may not replace another output or one of the pictures it is made from.
        const std::array<std::pair<QString, QString>, 4> outputs = {
            std::pair{QStringLiteral("-o"), options.sheetPath},
            std::pair{QStringLiteral("--pdf"), options.pdfPath},
            std::pair{QStringLiteral("--svg"), options.svgPath},
            std::pair{QStringLiteral("--box"), options.boxPath}};
        for (std::size_t i = 0; i < outputs.size(); ++i)
            for (std::size_t j = i + 1; j < outputs.size(); ++j)
                if (!outputs[i].second.isEmpty() && !outputs[j].second.isEmpty() &&
                    sameFile(outputs[i].second, outputs[j].second)) {
                    fail(QStringLiteral("%1 and %2 name the same file \"%3\"")
                             .arg(outputs[i].first, outputs[j].first, outputs[j].second));
                    return;
                }
        for (const auto& [option, output] : outputs) {
            if (output.isEmpty())
                continue;
            for (const auto& picture : options.pictures)
                if (picture && sameFile(*picture, output)) {
                    fail(QStringLiteral("the output \"%1\" would replace the picture \"%2\"")
                             .arg(output, *picture));
                    return;
                }
        }
    }

    const QStringList& m_arguments;
    QCommandLineParser m_parser;
    QStringList m_seen; // the options given a value
    ExportCommand m_command;
};

} // namespace

std::vector<SlotPicture> ExportOptions::slotPictures() const
{
    std::vector<SlotPicture> given;
    for (std::size_t i = 0; i < pictures.size(); ++i)
        if (pictures[i])
            given.push_back({visibleSlots[i].index, *pictures[i], views[i]});
    return given;
}

ExportCommand parseExportArguments(const QStringList& arguments)
{
    return Parser(arguments).run();
}

QString exportUsage(const QString& programName)
{
    return QStringLiteral(
               "Usage: %1 [-a FILE] [-b FILE] [-c FILE] [--fit whole|cover] [--pasted]\n"
               "       %2 [--view-a ZOOM,DX,DY] [--view-b ...] [--view-c ...]\n"
               "       %2 [-o SHEET.bmp [--scale 1|2|3|4]]\n"
               "       %2 [--pdf PAGE.pdf] [--svg SHEET.svg] [--dpi %6..%7]\n"
               "       %2 [--paper %3 --orientation landscape|portrait]\n"
               "       %2 [--box BOX.png]\n"
               "\n"
               "Makes the paper-craft sheet of ハコミル from up to three pictures, without a "
               "window.\n"
               "\n"
               "  -a FILE, -b FILE, -c FILE\n"
               "                  the pictures of the slots 絵A, 絵B and 絵C\n"
               "                  (%5);\n"
               "                  slots not given stay blank. After --, pictures may also be\n"
               "                  given without options, in the order 絵A, 絵B, 絵C.\n"
               "  --view-a ZOOM,DX,DY, --view-b ..., --view-c ...\n"
               "                  show that slot's picture zoomed ZOOM times (1 to 8) and moved\n"
               "                  DX, DY pixels of the 489-pixel square, as dragging and zooming\n"
               "                  its preview in the window does (1.5,101,-20); a shift beyond\n"
               "                  half the zoomed picture is held there\n"
               "  --fit whole     show each whole picture in its square (the default)\n"
               "  --fit cover     cover each square, cutting off what overflows\n"
               "  --pasted        fit the pictures as pasted ones are fitted\n"
               "  -o SHEET.bmp    write the sheet as a BMP file, as the window saves it; a name\n"
               "                  ending in .png gets a PNG file of the same pixels\n"
               "  --scale N       write the sheet N times as large (1 to 4; default 1, the\n"
               "                  window's sheet): pictures resampled, lines N pixels wide\n"
               "  --pdf PAGE.pdf  write the printed page as a PDF file: pictures at --dpi,\n"
               "                  lines as lines\n"
               "  --svg SHEET.svg write the sheet as an SVG drawing, sized as printed on the\n"
               "                  page: pictures at --dpi, the lines in two layers, \"cut\"\n"
               "                  (the outlines of the net) and \"fold\" (every other line)\n"
               "  --box BOX.png   write the folded box as a PNG picture: its three states\n"
               "                  side by side (flat, folded about the vertical middle, folded\n"
               "                  about the horizontal middle), each showing one of the\n"
               "                  pictures, as the box window draws them\n"
               "  --dpi N         the resolution of the pictures on the page and in the\n"
               "                  drawing (%6 to %7, default %8)\n"
               "  --paper %3\n"
               "                  the paper of the page (default %4)\n"
               "  --orientation landscape|portrait\n"
               "                  the orientation of the page (default landscape)\n"
               "  --help          show this text\n"
               "  --version       show the version\n"
               "\n"
               "At least one of -o, --pdf, --svg and --box is needed. An existing file is "
               "replaced\n"
               "whole, or left as it was when it cannot be written.\n"
               "\n"
               "Exit status: 0 written, 1 a picture could not be read or a file not written,\n"
               "2 wrong arguments.\n")
        .arg(programName, QString(programName.size(), QLatin1Char(' ')),
             paperNames().join(QLatin1Char('|')),
             QString::fromLatin1(papers[std::size_t(defaultPaperSize)].name), pictureKindNames(),
             QString::number(minimumPictureDpi), QString::number(maximumPictureDpi),
             QString::number(ExportOptions().pictureDpi));
}

} // namespace hakomiru
