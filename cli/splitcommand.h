#pragma once

// Whether the command line asks for a split without a window: the program
// then needs no display and must not create a QApplication.
bool wantsSplitCommand(int argc, char **argv);

// "splitmere --split [options] PATH...": the whole run on standard output and
// standard error. A QCoreApplication must exist. Returns the exit status: 0
// when every sheet was split, 1 when one failed, 2 for bad usage, 128 plus
// the signal's number after an interrupt.
int runSplitCommand();
