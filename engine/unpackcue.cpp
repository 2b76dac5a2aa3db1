#include "unpackcue.h"

#include "cueparser.h"
#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "waveread16.h"

#include <QDir>

int unpackCue(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    bool checkOnly, WrittenFiles *written)
{
    const QString native = QDir::toNativeSeparators(fname);
    // The check pass stays silent unless something fails.
    if (!checkOnly)
        host.information(EngineText::tr("Extracting tracks from %1").arg(native));
    CueSheet sheet;
    if (!readCueSheet(host, fname, sheet))
        return 0;
    WaveRead16 wave;
    if (wave.open(sheet.wavFile) <= 0) {
        host.error(
            native + QLatin1String(": ") + EngineText::tr("Failed to open %1").arg(sheet.wavFile));
        host.markSheet(fname);
        return 0;
    }
    if (checkOnly)
        return 1;
    WrittenFiles ownRun;
    return writeTracks(host, settings, fname, sheet, wave, written ? *written : ownRun);
}
