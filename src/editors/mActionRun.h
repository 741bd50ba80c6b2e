#pragma once
// Running actions on the grid's row and telling the outcome; no window of its own but the OK box.
#include "cActions.h"

#include <QList>
#include <QStringList>

class cActionStarter;

// The grid row an action runs on: the column captions (the fields' names) and the texts
// of the selected row, column 1 first; Texts is empty when no row is selected.
struct cActionRow {
    QStringList Captions;
    QStringList Texts;
};

// The 1-based column whose caption is the action's field (case counts); 0 when none is.
qint32 ActionColumn(const cAction& action, const QStringList& captions);

// The actions that can run on the row's columns, as (1-based number in actions, column).
QList<QPair<qint32, qint32>> RunnableActions(const cActions* actions, const QStringList& captions);

// Runs action on row with the column showing its field, and tells the outcome: spoken when
// started, with the program or document in the OK box when it could not be. True when started.
bool RunActionOnRow(const cAction& action, const cActionRow& row, qint32 column);

// Runs the action in the main window's way: its field is looked up among the columns,
// and a field that is not there is the engine's item-not-found error in the OK box.
bool RunActionOnRow(const cAction& action, const cActionRow& row);

// The actions bound to a column: those whose field is its caption, and the one its
// settings name by its caption (tagAction).
QList<const cAction*> ColumnActions(const cActions* actions, const QString& caption, const QString& tagAction);
// Runs every action bound to column (1-based): those whose field is the column's caption,
// and the one the column's settings name by its caption (tagAction). Returns how many ran.
int RunColumnActions(const cActions* actions, const cActionRow& row, qint32 column, const QString& tagAction);

// Where actions are started: the desktop's (programs directly, documents through their
// handler) unless a test sets another; null restores the desktop's.
void SetActionStarter(cActionStarter* starter);
cActionStarter& ActionStarter();
