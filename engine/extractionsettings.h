#pragma once

#include <QString>

// What a new installation names its tracks: "01 Artist - Title".
constexpr QLatin1String defaultTrackFormat("%1 %2 - %3");

// The destination and naming choices of a run, as the window's widgets hold
// them. The engine never reads the settings store.
struct ExtractionSettings
{
    QString destPath;
    bool subArtist = true;
    bool subAlbum = true;
    bool overwrite = false;
    QString trackFormat = defaultTrackFormat;
};
