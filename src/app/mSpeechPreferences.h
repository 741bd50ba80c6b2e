#pragma once
// The stored speech settings and the order a single cell is read in; no speech calls, no widgets.
#include <QString>

// How the program's own voice sounds, on speech-dispatcher's scales, and how a cell is read.
struct cSpeechSettings {
    static constexpr qint32 kLowest = -100;
    static constexpr qint32 kHighest = 100;
    enum : qint32 { PunctuationNone = 0, PunctuationSome = 1, PunctuationAll = 2 };

    qint32 Rate = 0;
    qint32 Pitch = 0;
    qint32 Volume = 100;
    QString Voice; // empty: the daemon's default voice
    qint32 Punctuation = PunctuationNone;
    bool HeaderFirst = false; // a cell read alone: its column's header before its value
    bool RowNumber = false;   // reading by cells: the row number said on a move up or down

    bool operator==(const cSpeechSettings&) const = default;
};

// Whether the settings were ever stored; until then the daemon's own ones stay untouched.
bool SpeechSettingsStored();
// What is stored: a missing or unreadable value gives its default, one out of range its limit.
cSpeechSettings StoredSpeechSettings();
// Stores them all in one rewrite, so no other program sees half of them.
void StoreSpeechSettings(const cSpeechSettings& settings);
// Whether a cell read alone says its header before its value (preference CellHeaderFirst).
bool HeaderBeforeValue();
// Whether reading by cells says the row number on a move up or down (preference CellRowNumber).
bool RowNumberOnMove();
