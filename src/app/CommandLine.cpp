#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace zyr {

namespace {

// The kit's options; the one positional argument is the medium.
class KitCommandLine {
public:
    KitCommandLine()
    {
        m_parser.setApplicationDescription(QStringLiteral(
            "The ZYR Multimedia Kit: a main menu that opens a WAV player, a MIDI player, an AVI "
            "viewer and an audio CD player.\n\n"
            "Given a medium, the kit opens it in its player and plays it. The player is chosen by "
            "the file's content, then by its extension (.wav, .mid, .midi, .avi; a .cue sheet "
            "plays in the CD player as a disc). A CD drive is named by its device (/dev/sr0) or "
            "as cdda://sr0. When the kit already runs on this desktop, the medium is handed to it "
            "and this start ends at once."));
        m_parser.addPositionalArgument(
            QStringLiteral("FILE-OR-URI"),
            QStringLiteral("A WAV, MIDI or AVI file, a cue sheet, a CD drive, or a file:// or "
                           "cdda:// URI."),
            QStringLiteral("[FILE-OR-URI]"));
    }

    QCommandLineParser m_parser;
    QCommandLineOption m_help = m_parser.addHelpOption();
    QCommandLineOption m_version = m_parser.addVersionOption();
};

bool asksForHelpOrVersion(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QLatin1String arg(argv[i]);
        if (arg == QLatin1String("--"))
            return false;
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (arg == QLatin1String(option))
                return true;
    }
    return false;
}

} // namespace

std::optional<int> answerCommandLineAtOnce(int argc, char **argv)
{
    if (!asksForHelpOrVersion(argc, argv))
        return std::nullopt;
    // A core application names the program in the usage, and needs no display.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZYR_VERSION));
    KitCommandLine line;
    // The windowing system's own options are not known here; only help and version count.
    line.m_parser.parse(QCoreApplication::arguments());
    if (line.m_parser.isSet(line.m_help))
        line.m_parser.showHelp(0);
    if (line.m_parser.isSet(line.m_version))
        line.m_parser.showVersion();
    return std::nullopt;
}

std::variant<QString, int> mediumOnCommandLine(const QStringList &arguments)
{
    KitCommandLine line;
    if (!line.m_parser.parse(arguments)) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(line.m_parser.errorText()),
                     qPrintable(line.m_parser.helpText()));
        return 1;
    }
    const QStringList media = line.m_parser.positionalArguments();
    if (media.size() > 1) {
        std::fprintf(stderr, "Only one medium can be opened at a time.\n\n%s",
                     qPrintable(line.m_parser.helpText()));
        return 1;
    }
    return media.isEmpty() ? QString() : media.front();
}

} // namespace zyr
