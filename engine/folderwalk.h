#pragma once

#include <QStringList>

#include <functional>

// What a walk through a folder tree found.
struct FolderSheets
{
    QStringList sheets;     // .cue files, and images that carry their own sheet
    QStringList unreadable; // folders that could not be listed
};

// Every sheet below folder, at any depth: .cue files (any letter case), and
// FLAC and WavPack images with a sheet of their own in folders without a .cue
// file. Symbolic links to folders and hidden folders are not entered, and no
// folder is entered twice, so a loop of links cannot hold the walk. turn is
// called at least every 50 ms, so the caller's event loop stays alive.
FolderSheets walkFolder(const QString &folder, const std::function<void()> &turn);
