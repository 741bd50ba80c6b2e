#pragma once

// The program's preferences as globals, read from the registry when the main window loads
// and written back when it unloads, and where the program's own files lie. No widgets and
// no registry format here: modRegistry reads and writes.

#include "cStdFont.h"
#include "mPaths.h"

#include <QString>

class QObject;

extern QObject* gMainWindow;
extern cStdFont gFont;
extern QString gWorkDir;
extern qint32 gForeColor;
extern qint32 gBackColor;
extern qint32 gForeColorForm;
extern qint32 gBackColorForm;
extern qint32 gForeMenuColor;
extern qint32 gBackMenuColor;
extern qint32 gViewStyle;
// How much the program says itself beside a screen reader, by the choice's number.
extern qint32 gOwnSpeech;
// Reading the grid by cells (Ctrl+L), and the row number said on a move up or down in it.
extern qint32 gCellReading;
extern qint32 gCellRowNumber;
// A cell read alone says its header first (1) or after its value (0).
extern qint32 gCellHeaderFirst;
extern QString gSuitePath;
extern QString gHelpFile;
extern QString gHelpViewer;

extern const QString kProgramKey; // "Software\Korvi\dBase"
extern const QString kCommonKey;  // "Software\Korvi\Common"

void LoadCommonPreferences(QObject* mainWindow);
void LoadPreferences();
void SavePreferences();
void SaveWorkDir();
// Stored as soon as it is chosen, so that a crash does not lose it.
void SaveOwnSpeech();
void SaveCellReading();
// The file the last file dialog chose; consumed by the reading.
QString TakeSelectedFile();
QString EnsureSuffix(const QString& text, const QString& suffix);
QString SuitePathWithSlash();
// The folder of the program's own files (help page, sample database): the program's folder
// in a build tree, its share/quarnel folder once installed.
QString ProgramDataFolder();
// A path given relative to the program's folder, made whole (the installed Access reader).
QString BesideProgram(const QString& relative);
