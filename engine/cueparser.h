#pragma once

#include "cuesheet.h"

#include <QString>

class EngineHost;

// Reads and checks one CUE sheet into a CueSheet, turning the event loop before
// every line. On any error or stop it has logged the error line, marked the
// sheet and returns false.
bool readCueSheet(EngineHost &host, const QString &fname, CueSheet &sheet);
