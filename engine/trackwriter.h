#pragma once

#include "extractionsettings.h"

#include <QSet>
#include <QString>

class EngineHost;
class SourceImage;
struct CueSheet;

// The track files written so far in one run (absolute, clean paths), so that
// two tracks of a run never land on one name.
using WrittenFiles = QSet<QString>;

// Cuts an open image into one canonical 16-bit WAV file per track of the
// sheet. Returns 1 when every track was written, skipped or reported empty,
// 0 at the first failure or on a stop (after logging and marking the sheet).
int writeTracks(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, SourceImage &source, WrittenFiles &written);

// The frames the sheet's tracks take from the image, written or skipped: what
// a run's progress counts.
qint64 framesToWrite(const CueSheet &sheet, const SourceImage &source);
