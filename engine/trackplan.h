#pragma once

#include "cuesheet.h"
#include "extractionsettings.h"

#include <QList>

// Which audio of a sheet's images goes into which track file, for a gap mode.
// A track may run across files: a pregap at the end of the previous file
// joins it there when gaps are prepended.

// Frames [from, to) of one image of the sheet.
struct Segment
{
    int file = 0;
    qint64 from = 0;
    qint64 to = 0;
};

struct PlannedTrack
{
    CueTrack track; // number and texts for naming; a data track is never written
    QList<Segment> segments;
};

// Audio that no track file gets, in the sheet's positions where it lies within
// one file and in frames where it runs to a file's end.
struct UnwrittenAudio
{
    qint64 positions = 0;
    qint64 frames = 0;
    int tracks = 0; // the stretches: one before each track that has one
    void add(const UnwrittenAudio &other);
    double seconds(qint32 positionRate, qint32 rate) const;
};

struct TrackPlan
{
    QList<PlannedTrack> tracks; // in the sheet's order, data tracks included
    // With gaps appended, the audio before the first INDEX 01 as track 00; it
    // is written only when it is worth a track, else it counts as unwritten.
    bool hasHidden = false;
    PlannedTrack hidden;
    UnwrittenAudio hiddenAudio;
    UnwrittenAudio unwritten; // what the mode leaves out, the hidden track aside
};

// fileFrames holds the length of each of the sheet's files; all share rate.
// hiddenTitle names track 00.
TrackPlan planTracks(const CueSheet &sheet, GapMode gaps, const QList<qint64> &fileFrames,
    qint32 rate, const QString &hiddenTitle);
