#include "unpackcue.h"

#include "cueparser.h"
#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "imagesearch.h"
#include "naming.h"
#include "sourceimage.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The first track that would start at or past the end of the image, by the
// writer's own arithmetic: such a sheet belongs to another image, or the
// image is not all there.
const CueTrack *trackPastEnd(const CueSheet &sheet, const SourceImage &image)
{
    for (const CueTrack &track : sheet.tracks) {
        if (sourceFrame(track.start, image.rate()) >= image.frameCount())
            return &track;
    }
    return nullptr;
}

} // namespace

int unpackCue(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    bool checkOnly, WrittenFiles *written, qint64 *frames)
{
    const QString native = QDir::toNativeSeparators(fname);
    const QString sheetPrefix = native + QLatin1String(": ");
    // The check pass stays silent unless something fails.
    if (!checkOnly)
        host.information(EngineText::tr("Extracting tracks from %1").arg(native));
    CueSheet sheet;
    if (!readCueSheet(host, fname, sheet, settings.sheetEncodings.value(fname)))
        return 0;
    // The parser looked beside the sheet for a FILE it names; a sheet without
    // one gets the same search for its default image here.
    if (sheet.namedFile.isEmpty())
        locateImage(fname, sheet.wavFile, sheet.namedFile);
    const OpenedImage opened = openImage(sheet.wavFile);
    if (!opened.image) {
        return host.failSheet(fname,
            sheetPrefix + EngineText::tr("Failed to open %1").arg(sheet.wavFile), opened.reason);
    }
    if (const CueTrack *track = trackPastEnd(sheet, *opened.image)) {
        return host.failSheet(fname,
            sheetPrefix
                + EngineText::tr("The image ends before track %1 starts").arg(track->number));
    }
    if (frames)
        *frames = framesToWrite(sheet, *opened.image);
    if (checkOnly)
        return 1;
    if (!sheet.namedFile.isEmpty()) {
        host.information(fnPrefix(fname)
            + EngineText::tr("Using %1 for %2")
                  .arg(QFileInfo(sheet.wavFile).fileName(), QFileInfo(sheet.namedFile).fileName()));
    }
    WrittenFiles ownRun;
    return writeTracks(host, settings, fname, sheet, *opened.image, written ? *written : ownRun);
}
