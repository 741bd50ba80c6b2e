#pragma once
// The voice server of the run and the speaking calls every layer above uses; no dialogs here.
#include "VoiceServer.h"

#include <QString>

#include <memory>

class QObject;
class QWidget;

// Window codes the screen reader reads to tell which window of the program is in front;
// stored in each top-level widget's "windowCode" property.
namespace WindowCode {
enum : qint32 {
    MainWindow = 2610,
    GotoRecord = 2612,
    ActionsEditor = 2613,
    FontsAndColours = 2614,
    NewFieldName = 2615,
    Properties = 2616,
    Structure = 2617,
    FieldOrder = 2618,
    ChooseTable = 2620,
    ColumnSettings = 2621,
    RecordAdd = 2622,
    RecordFilter = 2623,
    RecordEdit = 2624,
    SpeechSettings = 2625,
    MessageBox12 = 2603,
    MessageBox3 = 2604,
    FileSave = 2604,
    FileOpen = 2601,
    FilePlain = 2605,
    SoundFile = 2602,
};
}

// Fixed control identifiers ("controlId" property) and Braille roles (MSAA constants).
constexpr qint32 kRecordListControlId = 40;
constexpr qint32 kFileListControlId = 49;
constexpr qint32 kRoleListItem = 34;
constexpr qint32 kRoleText = 42;
constexpr qint32 kRoleComboBox = 46;

// Type of a voice message that opens an accessible dialog (kinds in modDialogs.h).
constexpr qint32 kVoiceMessageDialog = 7;

// The voice server; null when it could not be created, and then every operation below
// does nothing.
extern std::unique_ptr<VoiceServer> gVoice;
// The server's IsBraille answer, read at each ConnectVoice.
extern bool gBrailleOn;
// The screen reader's process and message; no such window exists on Linux, so both stay 0.
extern qint32 gMonitorPid;
extern qint32 gVoiceMessage;

// Creates gVoice from the ProgID "VelorinVoice.Voice"; false (and gVoice null) when that
// fails. DestroyVoice drops it.
bool CreateVoice();
void DestroyVoice();

void ConnectVoice(bool registerWindow);
void DisconnectVoice();
void CheckVoiceSupport();
void ReadBrailleState();
qint32 GetMonitorWindow();

qint32 VoiceOutput(qint32 mode, qint32 param, const QString& text, bool noVoice = false, qint32 offset = 0,
                   bool noBraille = false);
// How many pieces the program has said so far: what waits to be said can tell whether
// something else was said meanwhile.
quint64 VoiceSerial();
// Speech that only repeats what has the focus (a list's entry, a box's value, the current
// record): said as VoiceOutput, unless a screen reader reads the focus itself.
qint32 VoiceEcho(qint32 mode, qint32 param, const QString& text, bool noVoice = false, qint32 offset = 0,
                 bool noBraille = false);
// What a control says as it gets the focus; a screen reader reading the focus says it instead.
void VoiceFocus(const QString& caption, const QString& value, qint32 controlWindow, qint32 formWindow, qint32 role,
                bool flagA, bool flagB, qint32 extra);
// A drop-down list's value as it gets the focus, said beside a screen reader (queued after
// the reader's name of it): the toolkit gives a reader no value of such a list. Without one,
// VoiceFocus has said it.
void VoiceFocusedListValue(const QString& value);
// Cells of our Braille line; 0 while it is not ours or its width is not known.
qint32 BrailleCells();
void BrailleOutput(qint16 cursorColumn, const QString& lineText);
void BrailleRole(qint32 role);
// Type (low half) and kind (high half) of number; type 7 opens the accessible dialog of
// that kind with text ("message|caption") and returns its result. -1 otherwise.
qint32 SendVoiceMessage(qint32 number, const QString& text);

// The number SendVoiceMessage takes apart: kind in the high half, type in the low half.
constexpr qint32 VoiceMessageNumber(qint32 type, qint32 kind)
{
    return qint32((quint32(kind) << 16) | quint16(type));
}

// A window's handle as the voice server sees it: non-zero, unique among living objects and
// stable for the object's life; 0 for null.
qint32 WindowHandle(const QObject* window);
// The handle of the main window given to LoadCommonPreferences; 0 before.
qint32 MainWindowHandle();

void SetWindowCode(QWidget* window, qint32 code);
qint32 WindowCodeOf(const QWidget* window);
void SetControlId(QWidget* control, qint32 id);
