#pragma once

#include <QString>

// The destination and naming choices of a run, as the window's widgets hold
// them. The engine never reads the settings store.
struct ExtractionSettings
{
    QString destPath;
    bool subArtist = true;
    bool subAlbum = true;
    bool overwrite = false;
    QString trackFormat = QStringLiteral("%1 %2 - %3");
};
