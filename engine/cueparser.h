#pragma once

#include "cuesheet.h"

#include <QString>

class EngineHost;

// Real sheets are a few kilobytes; the limit keeps a wrongly chosen file (an
// image renamed to .cue) from being read and parsed as text. The CUE list
// takes no larger sheet either.
constexpr qint64 maxSheetBytes = 100000;

// Reads and checks one CUE sheet into a CueSheet, turning the event loop before
// every line. On any error or stop it has logged the error line, marked the
// sheet and returns false. encoding is the one the user chose, if any.
bool readCueSheet(
    EngineHost &host, const QString &fname, CueSheet &sheet, const QString &encoding = {});
