#pragma once

#include "cuesheet.h"

#include <QByteArray>
#include <QString>

// A CUE sheet that a FLAC or WavPack image carries inside itself.
struct EmbeddedSheet
{
    // The sheet's text: FLAC's CUESHEET comment or WavPack's Cuesheet tag.
    QByteArray text;
    // Without such a text, FLAC's CUESHEET block: its tracks with positions in
    // samples, and the disc's texts from the ARTIST and ALBUM tags.
    bool fromBlock = false;
    CueSheet block;
};

// Whether the file is a FLAC or WavPack image, by its first bytes.
bool isSheetImage(const QString &path);
// False when the file is no such image or carries no sheet.
bool readEmbeddedSheet(const QString &path, EmbeddedSheet &sheet);
// For whoever looks for sheets among files: an image that can be added itself.
bool hasEmbeddedSheet(const QString &path);
