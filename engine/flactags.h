#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

struct CueSheet;
struct CueTrack;

// A Vorbis comment: its name and its UTF-8 value.
using Tag = std::pair<QByteArray, QByteArray>;

// The tags of one track, from what its sheet says of the disc and of it.
// Absent and empty values give no tag.
QList<Tag> trackTags(const CueSheet &sheet, const CueTrack &track);
