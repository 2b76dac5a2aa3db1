#pragma once

#include <QHash>
#include <QString>

// What a new installation names its tracks: "01 Artist - Title".
constexpr QLatin1String defaultTrackFormat("%1 %2 - %3");

// What the tracks are written as: 16-bit WAV, or FLAC at the image's own depth.
enum class OutputFormat { Wav, Flac };

// Where the audio between a track's INDEX 00 and INDEX 01 goes.
enum class GapMode { Leave, Append, Prepend };

// The destination and naming choices of a run, as the window's widgets hold
// them. The engine never reads the settings store.
struct ExtractionSettings
{
    QString destPath;
    bool subArtist = true;
    bool subAlbum = true;
    bool overwrite = false;
    QString trackFormat = defaultTrackFormat;
    OutputFormat outputFormat = OutputFormat::Wav;
    GapMode gaps = GapMode::Leave;
    // The text encoding the user chose for a sheet, by the sheet's path as the
    // CUE list shows it; a sheet without an entry is detected automatically.
    QHash<QString, QString> sheetEncodings {};
};
