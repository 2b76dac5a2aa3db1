#pragma once

#include <QList>
#include <QMap>
#include <QString>

// Positions are CD frames (1/75 s) from the start of the image's audio data;
// -1 means not set.
struct CueTrack
{
    QString number; // the digits as written on the TRACK line ("01" stays "01")
    QString performer;
    QString title;
    qint64 start = -1; // INDEX 01
    qint64 end = -1;   // next track's INDEX 00, else its INDEX 01; -1 for the last track
    // The texts the sheet gives for the track, by keyword ("TITLE", "ISRC",
    // "REM REPLAYGAIN_TRACK_GAIN"), as decoded and without defaults: the tags.
    QMap<QString, QString> values {};
};

struct CueSheet
{
    QString performer;
    QString title;
    QString wavFile;
    QList<CueTrack> tracks;
    // When wavFile stands in for a missing file, the file the sheet named.
    QString namedFile {};
    // The encoding the sheet's text was read in, as the user reads it.
    QString encoding {};
    // The disc's texts, as CueTrack::values holds the track's.
    QMap<QString, QString> values {};
};

// The audio of the image that no track file gets: everything before the first
// track's INDEX 01, and each track's pregap from its INDEX 00 to its INDEX 01.
struct UnwrittenAudio
{
    qint64 frames = 0; // CD frames
    int tracks = 0;    // tracks that have such a stretch before them
};

UnwrittenAudio unwrittenAudio(const CueSheet &sheet);
