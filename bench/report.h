#pragma once

#include "fixtures.h"

#include <QList>
#include <QString>

// Everything measured on one image.
struct ImageResult
{
    Image image;
    bool speedTargets = true;
    QList<double> run; // seconds
    QList<double> cp; // seconds
    QList<double> shnsplit; // seconds; empty when not installed or not a 16-bit image
    QList<double> runCpu; // CPU seconds, which other load on the machine disturbs less
    QList<double> cpCpu;
    QList<double> shnsplitCpu;
    QList<double> logMs; // of each run, in the log panel
    QList<double> growthMiB; // timed rounds
    QList<double> everyGrowthMiB; // every run of the image: check, rounds, stops
    QList<double> gapMs; // timed rounds
    QList<double> gapCpuMs; // how much of each longest gap was spent on a CPU
    QList<double> stopGapMs; // stop runs
    QList<int> turns;
    QList<double> stopLatencyMs;
    QList<double> stopWaitMs;
    int stopsAfterWork = 0; // stops that came after the last track was written
    QStringList checks;
    QStringList problems;
};

struct Targets
{
    double runPerCp16 = 1.25;
    double runPerCp24 = 2.5;
    double growthMiB = 16;
    double gapMs = 50;
    double stopMs = 100;
};

void printImage(const ImageResult &r);
// One line per target with the figure and whether it is met; returns how many
// were missed.
int printTargets(
    const QList<ImageResult> &results, double firstRunGrowthMiB, const Targets &targets);
void say(const QString &line);
