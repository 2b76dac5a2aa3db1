#pragma once

#include "extractionsettings.h"
#include "trackwriter.h"

#include <QString>

class EngineHost;

// One sheet of a run: read and check it, open its WAV image and, unless
// checkOnly, write its tracks. 1 on success, 0 on failure or stop. written
// collects the run's track files; without it the sheet is its own run.
// frames, when given, receives what the tracks take from the image once the
// sheet has passed its check.
int unpackCue(EngineHost &host, const ExtractionSettings &settings, const QString &fname,
    bool checkOnly, WrittenFiles *written = nullptr, qint64 *frames = nullptr);
