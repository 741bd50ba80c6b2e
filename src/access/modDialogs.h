#pragma once
// The accessible dialogs by kind, shown modally and answered; the boxes themselves are their own units.
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QDialog;

// Dialog kinds of ShowAccessibleDialog: 0/1 message with OK, 2/3 yes/no question, 4/5
// yes/no/cancel, 8/9 file open, 10/11 file save, 12/13 file dialog without filter and
// name, 14/15 sound file dialog. Others have no dialog.
namespace DialogKind {
enum : qint32 { Ok = 1, YesNo = 3, YesNoCancel = 5, FileOpen = 9, FileSave = 10, FilePlain = 13, SoundFile = 15 };
}

// The dialog being driven (null between dialogs) and its result: 1 Yes or OK, 0 No,
// -1 Cancel.
extern QPointer<QDialog> gDialogForm;
extern qint32 gDialogResult;

// Shows the accessible dialog of kind modally and returns its result, or -1 at once for a
// kind without a dialog. text holds the fields separated by "|": the message, then the
// caption. wait makes a message box close by itself once speech has ended. windowCode
// above 0 gives the window code 2600 + windowCode; otherwise 806, 807 or 808.
qint32 ShowAccessibleDialog(qint32 kind, const QString& text, bool wait = false, qint32 windowCode = 0);

// Shows text in the accessible message box with an OK button, as a voice message asks.
void ShowOkMessage(const QString& text);

// Field index (1-based) of a "|"-separated text; empty when missing.
QString DialogField(const QString& text, int index);

// Shows dialog modally and gives the keyboard back to the window and control that had it.
int ExecModal(QDialog& dialog);

// Shows a prepared dialog modally as the driver does (speech stopped first), unloads it
// and returns gDialogResult; for the file dialogs' handler.
qint32 RunAccessibleDialog(std::unique_ptr<QDialog> form);

// The file dialogs plug in here (kinds 8 to 15); without them those kinds give -1. The
// handler receives the kind, the text and the window code worked out by the driver.
using FileDialogHandler = std::function<qint32(qint32 kind, const QString& text, qint32 windowCode)>;
void SetFileDialogHandler(FileDialogHandler handler);
