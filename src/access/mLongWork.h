#pragma once
// Long work kept off the window's thread, with its waiting message and Escape; the work touches no widget.
#include "cWorkControl.h"

#include <QString>

#include <functional>

// Work that may take longer than a second, run so that the window keeps answering: on a
// worker thread while this thread waits in an event loop that lets through everything but
// the user's input. After a second the waiting message is said once (mode 12 with its
// text, and on the Braille line); then, no more often than every five seconds and not
// while the user is typing, how far the work has got. Escape stops it: the work is told
// through its control, interrupt breaks into a call it cannot look into, and once the
// work has given up "Přerušeno." is said, unless the work had already committed its result
// (cWorkControl::Commit). A work that ends after the waiting message confirms with done.
//
// The work must leave what it changes as it was when it stops (the caller commits its
// result only on true), and must not touch what this thread uses meanwhile: while it runs
// LongWorkRunning() is true, and readers of shared objects (the grid) hold back.
// Returns true when the work ran to its end, false when it was stopped. An exception of
// the work is thrown again here. Called while another work runs, the work runs at once on
// this thread.
bool RunLongWork(const QString& waiting, const QString& done, const std::function<void(cWorkControl&)>& work,
                 const std::function<void()>& interrupt = {});

bool LongWorkRunning();
// As Escape: for a window that is asked to close meanwhile.
void StopLongWork();

// The timings, shortened by tests.
struct LongWorkTimes {
    int WaitingMs = 1000;
    int ProgressMs = 5000;
    int TypingPauseMs = 2000; // no progress while the last key is younger
};
void SetLongWorkTimes(const LongWorkTimes& times);
