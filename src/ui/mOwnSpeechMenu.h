#pragma once
// The menu of how much the program says itself beside a screen reader: its items, and what choosing one does.
#include "mScreenReader.h"

class QAction;
class QMenu;
class QWidget;

// The submenu "Vlastní řeč" with one checkable item per choice (its number as the item's
// data), the choice in force checked.
QMenu* NewOwnSpeechMenu(QWidget* owner);
// The choice an item of the submenu stands for.
OwnSpeech OwnSpeechOfItem(const QAction* item);
// Puts the choice in force, stores it at once (a crash keeps it), says it and checks it.
void ChooseOwnSpeech(QMenu* menu, OwnSpeech choice);
// At start: the stored choice in force, and checked.
void ApplyStoredOwnSpeech(QMenu* menu);
