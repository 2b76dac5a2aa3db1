#pragma once

#include <QString>

// Rippers that encode after ripping leave the sheet naming "Album.wav" beside
// "Album.flac". When path does not exist, the sheet's folder is searched for
// the same base name with .flac, .wv or .wav, then the other lossless formats'
// extensions (.ape, .tta, .m4a, .aiff, .aif, .w64), letter case ignored; the
// first of these extensions that exactly one file has wins. Then path becomes that
// file and namedPath the one the sheet asked for. False when path does not
// exist and nothing stands in for it; when it exists, namedPath is cleared.
bool locateImage(const QString &sheetPath, QString &path, QString &namedPath);
