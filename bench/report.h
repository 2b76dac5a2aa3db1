#pragma once

#include "contenders.h"
#include "fixtures.h"

#include <QList>
#include <QString>

// One rival's figures on one image, round by round.
struct RivalTimes
{
    Rival rival;
    QList<double> seconds;
    QList<double> cpu; // CPU seconds, which other load on the machine disturbs less
};

// Everything measured on one image.
struct ImageResult
{
    Image image;
    QList<double> run; // seconds
    QList<double> runCpu;
    QList<RivalTimes> rivals;
    QList<double> logMs;          // of each run, in the log panel
    QList<double> progressMs;     // of each run, in the progress bar
    QList<double> lineMs;         // one log line, the average of a round's probe
    QList<double> longLineMs;     // the same with long, elided lines
    QList<double> focusedLineMs;  // and with the keyboard focus in the panel
    QList<double> growthMiB;      // timed rounds
    QList<double> everyGrowthMiB; // every run of the image: check, rounds, stops
    QList<double> gapMs;          // timed rounds
    QList<double> gapCpuMs;       // how much of each longest gap was spent on a CPU
    QList<double> stopGapMs;      // stop runs
    double worstStopGapCpuMs = 0; // how much of the longest of them was spent on a CPU
    QList<int> turns;
    QList<double> stopLatencyMs;
    QList<double> stopWaitMs;
    int stopsAfterWork = 0; // stops that came after the last track was written
    QStringList checks;
    QStringList problems;
};

struct Targets
{
    // run / rival
    double perCp16 = 1.10;
    double perCp24 = 2.5;
    double perDecoder = 1.0;      // the reference decoder of a FLAC or WavPack image
    double perSplitter = 1.0;     // shnsplit and ffmpeg on an encoded image: strictly less
    double perShnsplitWav = 0.85; // shnsplit on a 16-bit WAV image
    double growthMiB = 16;
    double gapMs = 50;
    double stopMs = 100;
    double lineMs = 0.25; // one log line, with the window shown
};

void printImage(const ImageResult &r);
// One line per target with the figure and whether it is met; returns how many
// were missed.
int printTargets(
    const QList<ImageResult> &results, double firstRunGrowthMiB, const Targets &targets);
void say(const QString &line);
