#include "unpackcue.h"

#include "cueparser.h"
#include "cuesheet.h"
#include "enginehost.h"
#include "enginetext.h"
#include "imagesearch.h"
#include "naming.h"
#include "sourceimage.h"
#include "trackplan.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace {

using Images = std::vector<std::unique_ptr<SourceImage>>;

// The first audio track that would start at or past the end of its image, by
// the writer's own arithmetic: such a sheet belongs to another image, or the
// image is not all there. A data track's place is often past the audio.
const CueTrack *trackPastEnd(const CueSheet &sheet, const Images &images)
{
    for (const CueTrack &track : sheet.tracks) {
        const SourceImage &image = *images[size_t(track.file)];
        if (track.audio
            && sourceFrame(track.start, image.rate(), sheet.positionRate) >= image.frameCount())
            return &track;
    }
    return nullptr;
}

// One track file cannot hold samples of two formats.
bool sameFormat(const Images &images)
{
    for (const auto &image : images) {
        if (image->rate() != images.front()->rate()
            || image->channelCount() != images.front()->channelCount()
            || image->sampleBits() != images.front()->sampleBits()) {
            return false;
        }
    }
    return true;
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
    Images images;
    QList<qint64> fileFrames;
    for (CueFile &file : sheet.files) {
        // The parser looked beside the sheet for a FILE it names; a sheet
        // without one gets the same search for its default image here.
        if (file.namedPath.isEmpty())
            locateImage(fname, file.path, file.namedPath);
        OpenedImage opened = openImage(file.path);
        if (!opened.image) {
            return host.failSheet(fname,
                sheetPrefix + EngineText::tr("Failed to open %1").arg(file.path), opened.reason);
        }
        fileFrames.append(opened.image->frameCount());
        images.push_back(std::move(opened.image));
    }
    if (!sameFormat(images)) {
        return host.failSheet(
            fname, sheetPrefix + EngineText::tr("The images of this sheet differ in format"));
    }
    if (const CueTrack *track = trackPastEnd(sheet, images)) {
        return host.failSheet(fname,
            sheetPrefix
                + EngineText::tr("The image ends before track %1 starts").arg(track->number));
    }
    const TrackPlan plan = planTracks(
        sheet, settings.gaps, fileFrames, images.front()->rate(), EngineText::tr("(HTOA)"));
    std::vector<SourceImage *> sources;
    for (const auto &image : images)
        sources.push_back(image.get());
    if (frames)
        *frames = framesToWrite(plan, sources);
    if (checkOnly)
        return 1;
    for (const CueFile &file : std::as_const(sheet.files)) {
        if (!file.namedPath.isEmpty()) {
            host.information(fnPrefix(fname)
                + EngineText::tr("Using %1 for %2")
                      .arg(QFileInfo(file.path).fileName(), QFileInfo(file.namedPath).fileName()));
        }
    }
    WrittenFiles ownRun;
    return writeTracks(host, settings, fname, sheet, plan, sources, written ? *written : ownRun);
}
