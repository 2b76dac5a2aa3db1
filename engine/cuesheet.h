#pragma once

#include <QList>
#include <QMap>
#include <QString>

// Positions are CD frames (1/75 s) from the start of a file's audio data, or,
// for a sheet read from a FLAC CUESHEET block, samples (see positionRate);
// -1 means not set.
struct CueTrack
{
    QString number; // the digits as written on the TRACK line ("01" stays "01")
    QString performer;
    QString title;
    bool audio = true; // false for a data track (MODE1/2352 and the like)
    int file = -1;     // which of CueSheet::files holds its INDEX 01
    qint64 start = -1; // INDEX 01
    // INDEX 00 and its file: a pregap may lie at the end of the previous file.
    int pregapFile = -1;
    qint64 pregap = -1;
    // The texts the sheet gives for the track, by keyword ("TITLE", "ISRC",
    // "REM REPLAYGAIN_TRACK_GAIN"), as decoded and without defaults: the tags.
    QMap<QString, QString> values {};
};

struct CueFile
{
    QString path;
    // When path stands in for a missing file, the file the sheet named.
    QString namedPath {};
};

struct CueSheet
{
    QString performer;
    QString title;
    // In the order of the FILE lines; a sheet without one has its default image.
    QList<CueFile> files;
    QList<CueTrack> tracks;
    // Positions per second: CD frames, or the image's rate for a CUESHEET block.
    qint32 positionRate = 75;
    // The encoding the sheet's text was read in, as the user reads it.
    QString encoding {};
    // The disc's texts, as CueTrack::values holds the track's.
    QMap<QString, QString> values {};
};
