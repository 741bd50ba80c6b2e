#include "modCommon.h"

#include "mScreenReader.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QHash>
#include <QMessageBox>
#include <QWidget>

std::unique_ptr<VoiceServer> gVoice;
bool gBrailleOn = false;
qint32 gMonitorPid = 0;
qint32 gVoiceMessage = 0;

namespace {

quint64 gVoiceSerial = 0;

// Calls to the assistive software never interrupt the program.
template <typename Call>
void Ignoring(Call&& call)
{
    try {
        call();
    } catch (...) {
    }
}

// Beside a screen reader the Braille line is its own: two writers would fight over it.
bool BrailleOurs()
{
    return gBrailleOn && !ScreenReaderReads();
}

QWidget* MainWidget()
{
    return qobject_cast<QWidget*>(gMainWindow);
}

void ShowVoiceError(const QString& text)
{
    // The platform's own box: the accessible one needs the speech that just failed.
    QMessageBox::critical(MainWidget(), QStringLiteral("Velorin"), text);
}

} // namespace

bool CreateVoice()
{
    gVoice.reset();
    Ignoring([] { gVoice = CreateVoiceServer(QStringLiteral("VelorinVoice.Voice")); });
    return gVoice != nullptr;
}

void DestroyVoice()
{
    gVoice.reset();
    gBrailleOn = false;
}

void ConnectVoice(bool registerWindow)
{
    if (!gVoice)
        return;
    if (registerWindow)
        Ignoring([] { gVoice->AddRef(MainWindowHandle()); });
    CheckVoiceSupport();
    ReadBrailleState();
}

void DisconnectVoice()
{
    if (gVoice)
        Ignoring([] { gVoice->Release(MainWindowHandle()); });
}

void CheckVoiceSupport()
{
    if (!gVoice) {
        ShowVoiceError(QStringLiteral("Nezdařilo se spustit podporu Velorina."));
        return;
    }
    qint32 supported = 0;
    Ignoring([&] { supported = gVoice->SupportOK(); });
    if (supported == 0) {
        ShowVoiceError(QStringLiteral("Chyba hlasové podpory Velorina."));
        return;
    }
    qint32 major = 0;
    qint32 minor = 0;
    Ignoring([&] { gVoice->GetVer(major, minor); });
    if (major != 2 || minor != 0)
        ShowVoiceError(QStringLiteral("Chyba verze hlasové podpory Velorina."));
}

void ReadBrailleState()
{
    if (!gVoice)
        return;
    Ignoring([] { gBrailleOn = gVoice->IsBraille(); });
}

qint32 GetMonitorWindow()
{
    // Linux has no screen reader window to send to; looked up again on every use
    // should one ever appear.
    static qint32 monitor = 0;
    return monitor;
}

quint64 VoiceSerial()
{
    return gVoiceSerial;
}

qint32 VoiceOutput(qint32 mode, qint32 param, const QString& text, bool noVoice, qint32 offset, bool noBraille)
{
    if (!gVoice)
        return 0;
    qint32 result = 0;
    if (!noVoice) {
        ++gVoiceSerial;
        Ignoring([&] { result = gVoice->Voice(mode, param, text); });
    }
    if (!noBraille && BrailleOurs() && (mode == 1 || mode == 2))
        Ignoring([&] { gVoice->BrailleWithOffset(text, offset); });
    return result;
}

qint32 VoiceEcho(qint32 mode, qint32 param, const QString& text, bool noVoice, qint32 offset, bool noBraille)
{
    if (ScreenReaderReads())
        return 0;
    return VoiceOutput(mode, param, text, noVoice, offset, noBraille);
}

void VoiceFocus(const QString& caption, const QString& value, qint32 controlWindow, qint32 formWindow, qint32 role,
                bool flagA, bool flagB, qint32 extra)
{
    if (gVoice && !ScreenReaderReads()) {
        ++gVoiceSerial;
        Ignoring([&] { gVoice->FocusVoice(caption, value, controlWindow, formWindow, role, flagA, flagB, extra); });
    }
}

void VoiceFocusedListValue(const QString& value)
{
    if (ScreenReaderReads())
        VoiceOutput(1, 0, value);
}

qint32 BrailleCells()
{
    qint32 cells = 0;
    if (gVoice && BrailleOurs())
        Ignoring([&] { cells = gVoice->BrailleCells(); });
    return cells;
}

void BrailleOutput(qint16 cursorColumn, const QString& lineText)
{
    if (gVoice && BrailleOurs())
        Ignoring([&] { gVoice->BrailleText(cursorColumn, lineText); });
}

void BrailleRole(qint32 role)
{
    if (gVoice && BrailleOurs())
        Ignoring([&] { gVoice->AddBrailleRole(role); });
}

qint32 SendVoiceMessage(qint32 number, const QString& text)
{
    // Arithmetic, not masking: the remainder keeps the sign of the number.
    const qint32 type = number % 65536;
    const qint32 kind = number / 65536;
    if (type == kVoiceMessageDialog)
        return ShowAccessibleDialog(kind, text, false, 0);
    // Other types go to the screen reader's registered message, which Linux does not
    // have: gVoiceMessage stays 0.
    return -1;
}

qint32 WindowHandle(const QObject* window)
{
    // Never destroyed: objects outliving static destruction still report their end here.
    static auto* handles = new QHash<const QObject*, qint32>;
    static qint32 next = 0x00010000;
    if (!window)
        return 0;
    const auto found = handles->constFind(window);
    if (found != handles->constEnd())
        return *found;
    const qint32 handle = next;
    next += 4;
    if (next <= 0) // after two billion windows, start again above the reserved range
        next = 0x00010000;
    handles->insert(window, handle);
    QObject::connect(window, &QObject::destroyed, [window] { handles->remove(window); });
    return handle;
}

qint32 MainWindowHandle()
{
    return WindowHandle(gMainWindow);
}

void SetWindowCode(QWidget* window, qint32 code)
{
    if (window)
        window->setProperty("windowCode", code);
}

qint32 WindowCodeOf(const QWidget* window)
{
    return window ? window->property("windowCode").toInt() : 0;
}

void SetControlId(QWidget* control, qint32 id)
{
    if (control)
        control->setProperty("controlId", id);
}
