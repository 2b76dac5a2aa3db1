#include "flactags.h"

#include "cuesheet.h"
#include "naming.h"

namespace {

// Where a tag's value is looked for.
enum class Level { Track, Disc, TrackThenDisc };

struct TagSource
{
    const char *tag;
    const char *keyword; // as CueSheet::values and CueTrack::values hold it
    Level level;
};

// The usual Vorbis names for what sheets say. A track's own value wins over
// the disc's wherever both may say it.
const TagSource sources[] = {
    {"TITLE", "TITLE", Level::Track},
    {"ARTIST", "PERFORMER", Level::TrackThenDisc},
    {"ALBUM", "TITLE", Level::Disc},
    {"ALBUMARTIST", "PERFORMER", Level::Disc},
    {"DATE", "REM DATE", Level::TrackThenDisc},
    {"GENRE", "REM GENRE", Level::TrackThenDisc},
    {"COMMENT", "REM COMMENT", Level::TrackThenDisc},
    {"DISCID", "REM DISCID", Level::Disc},
    {"COMPOSER", "SONGWRITER", Level::TrackThenDisc},
    {"DISCNUMBER", "REM DISCNUMBER", Level::Disc},
    {"DISCTOTAL", "REM TOTALDISCS", Level::Disc},
    {"ISRC", "ISRC", Level::Track},
    {"BARCODE", "CATALOG", Level::Disc},
    {"REPLAYGAIN_ALBUM_GAIN", "REM REPLAYGAIN_ALBUM_GAIN", Level::TrackThenDisc},
    {"REPLAYGAIN_ALBUM_PEAK", "REM REPLAYGAIN_ALBUM_PEAK", Level::TrackThenDisc},
    {"REPLAYGAIN_TRACK_GAIN", "REM REPLAYGAIN_TRACK_GAIN", Level::TrackThenDisc},
    {"REPLAYGAIN_TRACK_PEAK", "REM REPLAYGAIN_TRACK_PEAK", Level::TrackThenDisc},
};

QString lookUp(const CueSheet &sheet, const CueTrack &track, const TagSource &source)
{
    const QString keyword = QLatin1String(source.keyword);
    const QString own = track.values.value(keyword);
    if (source.level == Level::Track || (source.level == Level::TrackThenDisc && !own.isEmpty()))
        return own;
    return sheet.values.value(keyword);
}

// "007" is track 7; a number of zeros only is still a number.
QString withoutLeadingZeros(const QString &digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == QLatin1Char('0'))
        ++first;
    return digits.mid(first);
}

} // namespace

QList<Tag> trackTags(const CueSheet &sheet, const CueTrack &track)
{
    QList<Tag> tags;
    const auto add = [&tags](const char *name, const QString &value) {
        const QString clean = withoutControls(value);
        if (!clean.isEmpty())
            tags.append({QByteArray(name), clean.toUtf8()});
    };
    for (const TagSource &source : sources) {
        add(source.tag, lookUp(sheet, track, source));
        if (qstrcmp(source.tag, "ALBUMARTIST") == 0) {
            add("TRACKNUMBER", withoutLeadingZeros(track.number));
            add("TRACKTOTAL", QString::number(sheet.tracks.size()));
        }
    }
    return tags;
}
