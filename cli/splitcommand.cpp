#include "splitcommand.h"

#include "clihost.h"
#include "codepages.h"
#include "extractionrun.h"
#include "sheetlist.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

class SplitCommand
{
    Q_DECLARE_TR_FUNCTIONS(SplitCommand)

public:
    SplitCommand();
    int run();

private:
    // Fills m_settings from the options; the reason when they are unusable.
    QString readOptions();
    int usageError(const QString &reason);

    QCommandLineParser m_parser;
    const QCommandLineOption m_split {QStringLiteral("split"), tr("Split without a window.")};
    const QCommandLineOption m_dest {{QStringLiteral("d"), QStringLiteral("dest")},
        tr("Write the tracks below DIR, which must exist."), QStringLiteral("DIR")};
    const QCommandLineOption m_format {QStringLiteral("format"),
        tr("Write the tracks as wav or flac (default wav)."), QStringLiteral("FORMAT"),
        QStringLiteral("wav")};
    const QCommandLineOption m_gaps {QStringLiteral("gaps"),
        tr("Leave the audio between INDEX 00 and INDEX 01 out, or append it to the track "
           "before or prepend it to the track after: leave, append or prepend (default leave)."),
        QStringLiteral("MODE"), QStringLiteral("leave")};
    const QCommandLineOption m_encoding {QStringLiteral("encoding"),
        tr("Read every sheet in the text encoding NAME instead of detecting it."),
        QStringLiteral("NAME")};
    const QCommandLineOption m_pattern {QStringLiteral("pattern"),
        tr("Name the tracks by TEXT: %1 number, %2 performer, %3 title, %4 album."),
        QStringLiteral("TEXT"), QString(defaultTrackFormat)};
    const QCommandLineOption m_noArtist {
        QStringLiteral("no-artist-folder"), tr("Write no folder per performer.")};
    const QCommandLineOption m_noAlbum {
        QStringLiteral("no-album-folder"), tr("Write no folder per album.")};
    const QCommandLineOption m_overwrite {
        QStringLiteral("overwrite"), tr("Replace existing track files instead of skipping them.")};
    const QCommandLineOption m_keepGoing {QStringLiteral("keep-going"),
        tr("Split every sheet that passes its check and leave out those that fail.")};
    const QCommandLineOption m_quiet {
        {QStringLiteral("q"), QStringLiteral("quiet")}, tr("Print errors only.")};
    ExtractionSettings m_settings;
};

SplitCommand::SplitCommand()
{
    m_parser.setApplicationDescription(tr("Splits CD images into one file per track."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOptions({m_split, m_dest, m_format, m_gaps, m_encoding, m_pattern, m_noArtist,
        m_noAlbum, m_overwrite, m_keepGoing, m_quiet});
    m_parser.addPositionalArgument(QStringLiteral("PATH"),
        tr("A CUE sheet, or a folder whose sheets are split at any depth."),
        QStringLiteral("PATH..."));
}

int SplitCommand::usageError(const QString &reason)
{
    std::fprintf(stderr, "%s: %s\n\n%s", qPrintable(QCoreApplication::applicationName().toLower()),
        qPrintable(reason), qPrintable(m_parser.helpText()));
    return 2;
}

QString SplitCommand::readOptions()
{
    if (!m_parser.isSet(m_dest))
        return tr("Missing --dest");
    m_settings.destPath = QDir::cleanPath(QFileInfo(m_parser.value(m_dest)).absoluteFilePath());
    if (!QFileInfo(m_settings.destPath).isDir())
        return tr("Destination %1 does not exist").arg(m_parser.value(m_dest));
    const QString format = m_parser.value(m_format);
    if (format != QLatin1String("wav") && format != QLatin1String("flac"))
        return tr("Unknown format %1").arg(format);
    m_settings.outputFormat
        = format == QLatin1String("flac") ? OutputFormat::Flac : OutputFormat::Wav;
    const QStringList modes {
        QStringLiteral("leave"), QStringLiteral("append"), QStringLiteral("prepend")};
    const int mode = int(modes.indexOf(m_parser.value(m_gaps)));
    if (mode < 0)
        return tr("Unknown gap mode %1").arg(m_parser.value(m_gaps));
    // Taken and checked, but the engine does not move gap audio yet: every
    // mode writes as leave does.
    m_settings.gaps = GapMode(mode);
    if (m_parser.isSet(m_encoding) && !isKnownEncoding(m_parser.value(m_encoding)))
        return tr("Unknown encoding %1").arg(m_parser.value(m_encoding));
    m_settings.trackFormat = m_parser.value(m_pattern);
    m_settings.subArtist = !m_parser.isSet(m_noArtist);
    m_settings.subAlbum = !m_parser.isSet(m_noAlbum);
    m_settings.overwrite = m_parser.isSet(m_overwrite);
    if (m_parser.positionalArguments().isEmpty())
        return tr("No PATH given");
    return QString();
}

int SplitCommand::run()
{
    if (!m_parser.parse(QCoreApplication::arguments()))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help")))
        m_parser.showHelp(0);
    if (m_parser.isSet(QStringLiteral("version")))
        m_parser.showVersion();
    const QString reason = readOptions();
    if (!reason.isEmpty())
        return usageError(reason);

    CliHost host(m_parser.isSet(m_quiet), ::isatty(STDERR_FILENO));
    const QStringList paths = m_parser.positionalArguments();
    // A mistyped path ends the run before anything is looked at.
    for (const QString &path : paths) {
        if (!QFileInfo::exists(path)) {
            host.error(tr("Cannot find %1").arg(QDir::toNativeSeparators(path)));
            return 1;
        }
    }
    SheetCollector collector(host);
    QStringList sheets;
    for (const QString &path : paths) {
        // The window passes over a file that is no sheet; a command says so.
        if (!QFileInfo(path).isDir() && !isAcceptableSheet(path))
            host.error(tr("Not a CUE sheet: %1").arg(QDir::toNativeSeparators(path)));
        sheets << collector.add(path);
    }
    if (sheets.isEmpty())
        return 1;
    sheets.sort();
    if (m_parser.isSet(m_encoding)) {
        for (const QString &sheet : std::as_const(sheets))
            m_settings.sheetEncodings.insert(sheet, m_parser.value(m_encoding));
    }

    StopSignals interrupts;
    QObject::connect(&interrupts, &StopSignals::stopAsked, [&host] { host.requestStop(); });
    const auto outcome = ExtractionRun(host, m_settings).run(sheets, m_parser.isSet(m_keepGoing));
    host.clearProgress();
    if (interrupts.caught())
        return 128 + interrupts.caught();
    return outcome == ExtractionRun::Outcome::Done ? 0 : 1;
}

} // namespace

bool wantsSplitCommand(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--split") == 0)
            return true;
    }
    return false;
}

int runSplitCommand()
{
    return SplitCommand().run();
}
