#include "cuesheet.h"

UnwrittenAudio unwrittenAudio(const CueSheet &sheet)
{
    UnwrittenAudio result;
    qint64 previousEnd = 0;
    for (const CueTrack &track : sheet.tracks) {
        // An INDEX 00 after its own INDEX 01 makes the tracks overlap: nothing
        // is left out there.
        if (track.start > previousEnd) {
            result.frames += track.start - previousEnd;
            ++result.tracks;
        }
        previousEnd = track.end;
    }
    return result;
}
