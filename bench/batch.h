#pragma once

#include "contenders.h"

#include <QList>
#include <QString>
#include <QStringList>

// A whole collection dropped on the window at once: many small sheets in one
// run, to show whether the cost per sheet holds when the batch grows.
struct BatchResult
{
    int sheets = 0;
    bool ok = false;
    QString problem;
    double addSeconds = 0; // addFileList taking every sheet
    double runSeconds = 0; // Start triggered: check pass and extraction pass
    double cpuSeconds = 0; // user + system time of both together
    double systemSeconds = 0;
    double logMs = 0;
    double progressMs = 0;
    double longestGapMs = 0;

    double perSheetMs() const { return (addSeconds + runSeconds) * 1000 / sheets; }
};

// Writes count sheets into dir, each cutting a 4-second 16-bit stereo
// 44.1 kHz image into 2 tracks under an album title of its own; the sheets
// take turns on a few shared images, which saves the disk and changes nothing
// for the run. Gives the paths in a shuffled order, as a drop may bring
// them; empty on failure.
QStringList makeBatchSheets(const QString &dir, int count);

// Adds the sheets to the window's emptied list and starts a run into dest
// (one album folder per sheet), both timed; then checks, untimed, that every
// sheet left the list and every track file is there. dest should be a new
// folder: ext4 steps over every inode freed in the last minutes when it
// makes a file, so writing right after deleting a large batch would time
// the file system's bookkeeping rather than the program.
BatchResult runBatch(BenchWindow &window, const QStringList &sheets, const QString &dest);

// Writes a tree of artist and album folders holding sheets sheets among
// three other files each, times adding the tree's root to the window's
// emptied list, and removes the tree; the line to report.
QString addFolderTree(BenchWindow &window, const QString &dir, int sheets);

// The table of per-sheet times and the target: the largest batch at most
// 1.2 times the smallest per sheet. Returns how many targets were missed.
int printBatch(const QList<QList<BatchResult>> &bySize);
