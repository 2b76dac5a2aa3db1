#include "cueparser.h"
#include "sourceimage.h"
#include "trackplan.h"

#include "scratchfile.h"
#include "silenthost.h"

#include <QString>

// The input is the metadata of a FLAC file: whatever follows its "fLaC". A
// sheet read from it (comment or CUESHEET block) is planned in every gap mode
// over images of ten seconds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes("fLaC");
    bytes.append(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!writeScratch(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())))
        return 0;
    const QString path = QString::fromLocal8Bit(scratchPath());
    SilentHost host;
    CueSheet sheet;
    if (!readCueSheet(host, path, sheet))
        return 0;
    // The image is the file itself, whatever the sheet's FILE lines say.
    require(sheet.files.size() == 1 && sheet.files.first().path == path);
    // A run refuses a sheet with an audio track that starts past its image's
    // end before it plans anything.
    for (const CueTrack &track : sheet.tracks) {
        if (track.audio && sourceFrame(track.start, 44100, sheet.positionRate) >= 441000)
            return 0;
    }
    for (const GapMode gaps : {GapMode::Leave, GapMode::Append, GapMode::Prepend}) {
        const TrackPlan plan = planTracks(sheet, gaps, {441000}, 44100, QStringLiteral("(HTOA)"));
        require(plan.tracks.size() == sheet.tracks.size());
        for (const PlannedTrack &track : plan.tracks) {
            for (const Segment &segment : track.segments)
                require(segment.file == 0 && segment.from >= 0 && segment.from <= segment.to);
        }
    }
    return 0;
}
