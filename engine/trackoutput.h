#pragma once

#include "extractionsettings.h"

#include <QString>

#include <memory>

class EngineHost;
class QFile;
class SourceImage;
struct CueSheet;
struct CueTrack;

// What a track file is written as. The track writer opens the part file,
// walks the track in chunks and renames the file; an output turns the image's
// frames into the file's bytes. A new format is one new output file.
class TrackOutput
{
public:
    virtual ~TrackOutput() = default;

    // What the track files' names end with (".wav").
    virtual QString suffix() const = 0;
    // The most frames one track file can hold.
    virtual qint64 maxFrames() const = 0;
    // How many frames may be written between two turns of the event loop.
    virtual qint64 framesPerTurn() const = 0;
    // Starts the track in out, an empty file, for the frames the sheet gives it.
    virtual bool begin(QFile &out, const CueTrack &track, qint64 frames) = 0;
    // Moves frames from source, one of the sheet's images (all of one format),
    // at position into the track: a track may run across images. False when
    // writing failed; fewer frames than asked (got) means the image ends there.
    virtual bool moveChunk(
        QFile &out, SourceImage &source, qint64 position, qint64 frames, qint64 &got)
        = 0;
    // Completes the file once copied frames are in it.
    virtual bool finish(QFile &out, qint64 copied) = 0;
};

// The output the settings choose, for the tracks of one sheet; source is its
// first image and gives the format. Anything it
// has to say about the sheet (a cover it cannot embed) goes to host first.
std::unique_ptr<TrackOutput> makeTrackOutput(OutputFormat format, EngineHost &host,
    const QString &fname, const CueSheet &sheet, SourceImage &source);
