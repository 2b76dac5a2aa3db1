#pragma once

#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QTemporaryDir>

namespace TestFiles {

// What the two passes over a sheet left: the log, with the test's folder as
// "{dir}", the files below the destination and the turns of the event loop.
struct Split
{
    QStringList log;
    Files files {};
    int yields = 0;
};

// Tracks named by pattern, straight into dir/folder.
inline ExtractionSettings flat(const QTemporaryDir &dir, OutputFormat format = OutputFormat::Wav,
    const QString &pattern = "%1", const QString &folder = "out")
{
    ExtractionSettings settings {dir.filePath(folder), false, false, false, pattern};
    settings.outputFormat = format;
    return settings;
}

// Checks dir/Disc.cue, written from text (or the sheet named, left as it is
// when text is empty) and, unless checkOnly or the check fails, splits it.
// The destination is made afresh, holding the old files.
inline Split split(const QTemporaryDir &dir, const QByteArray &text,
    const ExtractionSettings &settings, const Files &old = {}, bool checkOnly = false,
    const QString &sheetName = "Disc.cue")
{
    const QString cue = dir.filePath(sheetName), out = settings.destPath;
    // A folder that cannot be prepared leaves the log empty.
    bool ready = QDir(out).removeRecursively() && QDir().mkdir(out)
        && (text.isEmpty() || writeFile(cue, text));
    for (auto it = old.begin(); it != old.end(); ++it)
        ready = ready && writeFile(out + '/' + it.key(), *it);
    RecordingHost host;
    if (ready && unpackCue(host, settings, cue, true) == 1 && !checkOnly)
        unpackCue(host, settings, cue, false);
    return {host.lines.replaceInStrings(QDir::toNativeSeparators(dir.path()), "{dir}"),
        filesBelow(out), host.yields};
}

} // namespace TestFiles
