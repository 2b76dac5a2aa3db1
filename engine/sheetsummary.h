#pragma once

#include <QString>

// What a sheet will give, for the CUE list's tooltip, in lines: the disc's
// performer and title, the number of tracks, the first three track titles,
// and the encoding its text is read in. A sheet that would be refused says
// why in place of the tracks. encoding is the one the user chose, if any.
QString sheetSummary(const QString &fname, const QString &encoding = {});
