#pragma once

#include <QStringList>

// The CUE sheet paths named on the command line: every argument the toolkit
// left after the program name, decoded with the platform's local 8-bit
// encoding so that non-ASCII paths name files that exist.
QStringList sheetArguments();
