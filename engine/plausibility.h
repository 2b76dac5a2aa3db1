#pragma once

#include "codepages.h"

#include <QString>

// How unlike typed text a reading of a sheet in a code page is: 0 when every
// line could be real, more for every sign of a wrong reading (letters of two
// scripts in one value, a value starting with a combining mark, a sign between
// two letters, rare characters, letters the code page's language has no use
// for), far more for a control character. Readings of the same bytes compare
// by it; its absolute size means nothing.
int implausibility(const QString &text, Script script);
