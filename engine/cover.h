#pragma once

#include <QByteArray>
#include <QString>

// A picture beside the sheet that goes into every FLAC track of it, as its
// file holds it: never scaled, never encoded again.
struct Cover
{
    QByteArray data; // empty: no cover
    QByteArray mimeType;
    int width = 0;
    int height = 0;
    int depth = 0;  // bits per pixel, as the image reader gives them
    int colors = 0; // for an indexed picture, how many; else 0
};

// The cover of the sheet at sheetPath, or why the one there is not taken
// (reason, empty when there is none to take).
Cover findCover(const QString &sheetPath, QString &reason);
