#pragma once

#include "cStdFont.h"

#include <QString>

class QObject;

// Program-wide preferences, read when the main window loads and written when it unloads.
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
extern QString gSuitePath;
extern QString gHelpFile;
extern QString gHelpViewer;

extern const QString kProgramKey; // "Software\Korvi\dBase"
extern const QString kCommonKey;  // "Software\Korvi\Common"

// The part before the last separator ("\" or "/"), or the whole text without one.
QString ParentPath(const QString& path);
// The part up to and including the last separator, or the empty text without one.
QString FolderOf(const QString& path);

void LoadCommonPreferences(QObject* mainWindow);
void LoadPreferences();
void SavePreferences();
void SaveWorkDir();
// The file the last file dialog chose; consumed by the reading.
QString TakeSelectedFile();
QString EnsureSuffix(const QString& text, const QString& suffix);
QString SuitePathWithSlash();
// The folder of the program's own files (help page, sample database): the program's folder
// in a build tree, its share/quarnel folder once installed.
QString ProgramDataFolder();
// A path given relative to the program's folder, made whole (the installed Access reader).
QString BesideProgram(const QString& relative);
