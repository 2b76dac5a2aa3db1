#pragma once

#include "extractionsettings.h"

#include <QSet>
#include <QString>

#include <vector>

class EngineHost;
class SourceImage;
struct CueSheet;
struct TrackPlan;

// The track files written so far in one run (absolute, clean paths), so that
// two tracks of a run never land on one name.
using WrittenFiles = QSet<QString>;

// Cuts the sheet's open images (one per file, all of one format) into one
// file per planned track, written by the output the settings choose. Returns 1 when every track was
// written, skipped or reported empty, 0 at the first failure or on a stop
// (after logging and marking the sheet).
int writeTracks(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    const CueSheet &sheet, const TrackPlan &plan, const std::vector<SourceImage *> &sources,
    WrittenFiles &written);

// The frames the plan's tracks take from the images, written or skipped: what
// a run's progress counts.
qint64 framesToWrite(const TrackPlan &plan, const std::vector<SourceImage *> &sources);
