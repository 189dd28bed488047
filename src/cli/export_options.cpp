#include "cli/export_options.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

class Parser
{
public:
    explicit Parser(const QStringList& arguments) : m_arguments(arguments) {}

    ExportCommand run()
    {
        while (m_next < m_arguments.size() && m_command.error.isEmpty()) {
            const QString argument = m_arguments[m_next++];
            if (argument == QLatin1String("--")) {
                takePositional();
                break;
            }
            takeOption(argument);
            if (m_command.action == ExportCommand::Action::Help ||
                m_command.action == ExportCommand::Action::Version)
                return m_command;
        }
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

    // The option's value: after "=" in the argument itself, or the next argument.
    std::optional<QString> value(const QString& name, const std::optional<QString>& attached)
    {
        if (attached) {
            if (attached->isEmpty())
                fail(QStringLiteral("option %1 needs a value").arg(name));
            return attached->isEmpty() ? std::nullopt : attached;
        }
        if (m_next >= m_arguments.size() || m_arguments[m_next].isEmpty()) {
            fail(QStringLiteral("option %1 needs a value").arg(name));
            return std::nullopt;
        }
        return m_arguments[m_next++];
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

    bool once(const QString& name)
    {
        if (m_seen.contains(name)) {
            fail(QStringLiteral("option %1 is given more than once").arg(name));
            return false;
        }
        m_seen << name;
        return true;
    }

    void takeOption(const QString& argument)
    {
        QString name = argument;
        std::optional<QString> attached;
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            if (equals > 0) {
                name = argument.left(equals);
                attached = argument.mid(equals + 1);
            }
        }
        ExportOptions& options = m_command.options;

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            m_command.action = ExportCommand::Action::Help;
        } else if (name == QLatin1String("--version")) {
            m_command.action = ExportCommand::Action::Version;
        } else if (const std::optional<std::size_t> slot = slotOfOption(name)) {
            if (once(name))
                if (const auto path = value(name, attached))
                    options.pictures[*slot] = *path;
        } else if (const std::optional<std::size_t> slot = slotOfViewOption(name)) {
            if (once(name))
                if (const auto text = value(name, attached))
                    options.views[*slot] = view(name, *text);
        } else if (name == QLatin1String("-o")) {
            if (once(name))
                if (const auto path = value(name, attached))
                    options.sheetPath = *path;
        } else if (name == QLatin1String("--pdf")) {
            if (once(name))
                if (const auto path = value(name, attached))
                    options.pdfPath = *path;
        } else if (name == QLatin1String("--svg")) {
            if (once(name))
                if (const auto path = value(name, attached))
                    options.svgPath = *path;
        } else if (name == QLatin1String("--box")) {
            if (once(name))
                if (const auto path = value(name, attached))
                    options.boxPath = *path;
        } else if (name == QLatin1String("--dpi")) {
            if (once(name))
                if (const auto number = value(name, attached))
                    options.pictureDpi = wholeNumber(name, *number, 300, 600);
        } else if (name == QLatin1String("--scale")) {
            if (once(name))
                if (const auto number = value(name, attached))
                    options.scale = wholeNumber(name, *number, 1, 4);
        } else if (name == QLatin1String("--fit")) {
            if (once(name))
                if (const auto mode = value(name, attached)) {
                    const auto index =
                        indexOfName(*mode, {QStringLiteral("whole"), QStringLiteral("cover")});
                    if (index)
                        options.fitMode = *index;
                    else
                        fail(QStringLiteral("--fit takes whole or cover, not \"%1\"").arg(*mode));
                }
        } else if (name == QLatin1String("--paper")) {
            if (once(name))
                if (const auto paper = value(name, attached)) {
                    const QStringList names = paperNames();
                    const auto index = indexOfName(*paper, names);
                    if (index)
                        options.paperSize = *index;
                    else
                        fail(QStringLiteral("--paper takes %1 or %2, not \"%3\"")
                                 .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")),
                                      names.last(), *paper));
                }
        } else if (name == QLatin1String("--orientation")) {
            if (once(name))
                if (const auto orientation = value(name, attached)) {
                    const auto index = indexOfName(
                        *orientation, {QStringLiteral("landscape"), QStringLiteral("portrait")});
                    if (index)
                        options.paperOrientation = *index;
                    else
                        fail(QStringLiteral("--orientation takes landscape or portrait, not \"%1\"")
                                 .arg(*orientation));
                }
        } else if (name == QLatin1String("--pasted")) {
            if (attached)
                fail(QStringLiteral("option --pasted takes no value"));
            else if (once(name))
                options.pasted = true;
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            fail(QStringLiteral("unknown option \"%1\"").arg(argument));
        } else {
            fail(
                QStringLiteral("unexpected argument \"%1\"; pictures are given with -a, -b and -c, "
                               "or after --")
                    .arg(argument));
        }
    }

    // The visible slot (0 for 絵A) whose picture option `name` is, if it is one.
    static std::optional<std::size_t> slotOfOption(const QString& name)
    {
        for (std::size_t i = 0; i < visibleSlots.size(); ++i)
            if (name == pictureOption(visibleSlots[i]))
                return i;
        return std::nullopt;
    }

    // The visible slot whose view option `name` is (--view-a for 絵A), if it is one.
    static std::optional<std::size_t> slotOfViewOption(const QString& name)
    {
        for (std::size_t i = 0; i < visibleSlots.size(); ++i)
            if (name == viewOption(visibleSlots[i]))
                return i;
        return std::nullopt;
    }

    void takePositional()
    {
        std::size_t slot = 0;
        for (; m_next < m_arguments.size(); ++m_next) {
            const QString& path = m_arguments[m_next];
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
    qsizetype m_next = 0;
    QStringList m_seen;
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
               "       %2 [--pdf PAGE.pdf] [--svg SHEET.svg] [--dpi 300..600]\n"
               "       %2 [--paper %3 --orientation landscape|portrait]\n"
               "       %2 [--box BOX.png]\n"
               "\n"
               "Makes the paper-craft sheet of ハコミル from up to three pictures, without a "
               "window.\n"
               "\n"
               "  -a FILE, -b FILE, -c FILE\n"
               "                  the pictures of the slots 絵A, 絵B and 絵C (BMP, JPEG, GIF,\n"
               "                  PNG, WebP, TIFF, HEIC or AVIF);\n"
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
               "                  drawing (300 to 600, default 300)\n"
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
             QString::fromLatin1(papers[std::size_t(defaultPaperSize)].name));
}

} // namespace hakomiru
