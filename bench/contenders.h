#pragma once

#include "fixtures.h"
#include "probes.h"

#include "wmain.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

// The window as the user gets it, except that it keeps count of the time its
// log panel takes: every line is a turn of the event loop with a repaint, and
// that is the part of a run that no copy tool has to pay for.
class BenchWindow : public WMain
{
public:
    void lognormal(const QString &s) override;
    void logerror(const QString &s) override;
    void showProgress(const RunProgress *figures) override;

    qint64 logNs = 0;
    int logLines = 0;
    // The progress bar's updates during a run, and their cost.
    qint64 progressNs = 0;
    int progressUpdates = 0;

private:
    QElapsedTimer m_clock;
};

// One timed extraction run through the window, as a user starts it.
struct WindowRunResult
{
    bool ok = false;
    QString problem;
    double seconds = 0;
    double cpuSeconds = 0; // user + system time of this process during the run
    qint64 peakGrowthKb = 0;
    double longestGapMs = 0;
    double longestGapCpuMs = 0;
    double logMs = 0;      // time spent writing log lines, their turns of the event loop included
    double progressMs = 0; // time spent updating the progress bar
    int logLines = 0;
    int turns = 0;
    // Stop runs: from the Stop slot to the end of the run, and how long the
    // request waited for a turn of the event loop after its moment came.
    bool stopped = false;
    bool stopLanded = false; // false: the run had nothing left to stop
    double stopLatencyMs = 0;
    double stopWaitMs = 0;
};

// Drives a real WMain on whatever platform the application runs on: the
// sheet in the CUE list, the destination typed in, Start triggered.
class WindowContender
{
public:
    explicit WindowContender(BenchWindow &window);

    // stopAfterMs >= 0 asks for a stop that many milliseconds into the run.
    WindowRunResult run(const Image &image, const QString &dest, int stopAfterMs = -1);
    // What one log line costs, from the call to its return with the line on
    // screen, in ms: the average over that many lines appended to an empty
    // panel, the texts of the last run's lines in turn, each numbered so that
    // no two lines are the same, as in a run.
    double lineCostMs(int lines);
    // The same with lines as long as a run writes into a deep folder tree,
    // naming the sheet and the track by their whole paths, which the panel
    // elides; every seventh an error line. With focus, the panel has the
    // keyboard focus (a click into it), and every new line wears its frame.
    double longLineCostMs(int lines, bool focus = false);
    bool peakResettable() const { return m_peakResettable; }

private:
    void prepare(const Image &image, const QString &dest);
    QStringList logLines() const;

    BenchWindow &m_window;
    bool m_peakResettable;
    QStringList m_lastLog;
};

// The track files a window run (or shnsplit) leaves in dest, in track order.
QStringList windowTracks(const QString &dest);

struct CommandTime
{
    double seconds = -1; // -1: it could not start or failed
    double cpuSeconds = 0;
};

// Wall and CPU time of a command from start to exit; on failure the reason
// goes to problem.
CommandTime timeCommand(const QString &program, const QStringList &args, QString *problem);

// A program timed against the run on the same image, writing into one folder.
struct Rival
{
    QString name; // as the report shows it
    QString program;
    QStringList args;
    qint64 writesBytes = 0;
    // Target for run / rival: at most limit, or less than limit when strict;
    // 0 for none.
    double limit = 0;
    bool strict = false;
    // Writes the track files a run writes, in the same order, which the check
    // compares byte for byte.
    bool sameTracks = false;
};

bool installed(const QString &program);
Rival cpRival(const Image &image, const QString &out);
Rival shnsplitRival(const Image &image, const QString &out);
// flac -d or wvunpack writing the whole image to a WAV file.
Rival decoderRival(const Image &image, const QString &out);
// threads > 0 limits its decoder to that many threads; crcCheck has it check
// each frame against its checksum where the format carries one.
Rival ffmpegRival(const Image &image, const QString &out, int threads = 0, bool crcCheck = false);
// For FLAC tracks: flac -5 of the whole image (after flac -d for a FLAC
// image), shnsplit -o flac, and ffmpeg writing every track as FLAC.
Rival flacWholeRival(const Image &image, const QString &out);
Rival shnsplitFlacRival(const Image &image, const QString &out);
Rival ffmpegTracksRival(const Image &image, const QString &out);

// Reads the whole file, so that its pages are in the page cache when a timed
// command starts: the kernel here pages out cache that has gone cold.
void warmFile(const QString &path);

// Empties dest (keeping the folder), outside every timing.
void clearFolder(const QString &dest);
// Empty when both lists name byte-identical files.
QString compareFiles(const QStringList &ours, const QStringList &theirs);
