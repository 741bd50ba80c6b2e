#pragma once
// Whether a screen reader reads the program's accessibility tree, and so which of the program's own speech would only repeat it; no widgets.
#include <QString>

// The user's choice of how much the program says beside a screen reader (kept in the
// preferences by its number).
enum class OwnSpeech {
    Automatic = 0,   // everything without a screen reader, only what it cannot know with one
    Always = 1,      // everything, screen reader or not
    OnlyUnknown = 2, // only what a screen reader cannot know, screen reader or not
};

OwnSpeech OwnSpeechChoice();
void SetOwnSpeechChoice(OwnSpeech choice);
// A stored number read back; anything unknown is the default.
OwnSpeech OwnSpeechFromNumber(int number);
// How the choice is said: "automaticky", "vždy", "jen co odečítač nezná".
QString OwnSpeechName(OwnSpeech choice);

// Whether a screen reader was running when last looked at (the watcher keeps it current).
bool ScreenReaderRunning();
void SetScreenReaderRunning(bool running);

// True when what has the focus (the current record, a dialog's control, a menu item) is
// left to the screen reader and the Braille line with it: the program then speaks only
// results, counts, progress, errors and hints.
bool ScreenReaderReads();
