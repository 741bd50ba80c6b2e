#include "mKeys.h"

#include <QKeyEvent>

namespace {

// xkb keycodes (evdev code + 8), which X11 and Wayland give as the native scan code.
constexpr quint32 kFirstDigitRow = 10; // "1" ... "9", "0" up to 19
constexpr quint32 kLastDigitRow = 19;

// The classic code of each character key by its place on the keyboard, as the US
// layout names the places: one code per key, whatever the layout and the modifiers type.
int PositionCode(quint32 scanCode)
{
    static const char* const rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const quint32 rowStarts[] = {24, 38, 52};
    for (int row = 0; row < 3; ++row) {
        const quint32 length = quint32(qstrlen(rows[row]));
        if (scanCode >= rowStarts[row] && scanCode < rowStarts[row] + length)
            return rows[row][scanCode - rowStarts[row]];
    }
    switch (scanCode) {
    case 20: return Key::OemMinus;
    case 21: return Key::OemPlus;
    case 34: return Key::Oem4;
    case 35: return Key::Oem6;
    case 47: return Key::Oem1;
    case 48: return Key::Oem7;
    case 49: return Key::Oem3;
    case 51: return Key::Oem5;
    case 59: return Key::OemComma;
    case 60: return Key::OemPeriod;
    case 61: return Key::Oem2;
    case 94: return Key::Oem102;
    default: return 0;
    }
}

// Without a scan code: the key that types the character on the US layout.
int CharacterCode(char32_t c)
{
    switch (c) {
    case '-': case '_': return Key::OemMinus;
    case '=': case '+': return Key::OemPlus;
    case '[': case '{': return Key::Oem4;
    case ']': case '}': return Key::Oem6;
    case ';': case ':': return Key::Oem1;
    case '\'': case '"': return Key::Oem7;
    case '`': case '~': return Key::Oem3;
    case '\\': case '|': return Key::Oem5;
    case ',': case '<': return Key::OemComma;
    case '.': case '>': return Key::OemPeriod;
    case '/': case '?': return Key::Oem2;
    default: return Key::Packet; // a character whose key is unknown
    }
}

bool IsLatinLetterKeysym(quint32 keysym)
{
    return (keysym >= 'A' && keysym <= 'Z') || (keysym >= 'a' && keysym <= 'z');
}

// The character the key stands for: Qt's key for it, else the first one typed.
char32_t CharacterOf(const QKeyEvent* event)
{
    const int key = event->key();
    if (key > Qt::Key_Space && key < Qt::Key_Escape) // Qt's character keys are their code points
        return char32_t(key);
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() && text.at(0) != u' ')
        return text.toUcs4().value(0);
    return 0;
}

} // namespace

int KeyCodeOf(const QKeyEvent* event)
{
    const int key = event->key();
    if (event->modifiers().testFlag(Qt::KeypadModifier)) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return Key::Numpad0 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk: return Key::Multiply;
        case Qt::Key_Plus: return Key::Add;
        case Qt::Key_Minus: return Key::Subtract;
        case Qt::Key_Slash: return Key::Divide;
        case Qt::Key_Period:
        case Qt::Key_Comma: return Key::Decimal;
        default: break; // with Num Lock off: the keys the keypad stands for
        }
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return Key::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Return;
    case Qt::Key_Shift: return Key::Shift;
    case Qt::Key_Control: return Key::Control;
    case Qt::Key_Alt: return Key::Menu;
    case Qt::Key_Escape: return Key::Escape;
    case Qt::Key_Space: return Key::Space;
    case Qt::Key_PageUp: return Key::PageUp;
    case Qt::Key_PageDown: return Key::PageDown;
    case Qt::Key_End: return Key::End;
    case Qt::Key_Home: return Key::Home;
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_Insert: return Key::Insert;
    case Qt::Key_Delete: return Key::Delete;
    default: break;
    }

    // The number row is its digits on every layout, though Czech types "ě š č" there.
    const quint32 scanCode = event->nativeScanCode();
    if (scanCode >= kFirstDigitRow && scanCode <= kLastDigitRow)
        return scanCode == kLastDigitRow ? '0' : int('1' + (scanCode - kFirstDigitRow));
    // Letters come from the layout: the key labelled Z on QWERTZ is 'Z'.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;
    if (const quint32 keysym = event->nativeVirtualKey(); IsLatinLetterKeysym(keysym))
        return QChar::toUpper(char32_t(keysym));
    if (scanCode != 0)
        if (const int code = PositionCode(scanCode))
            return code;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    if (const char32_t c = CharacterOf(event))
        return CharacterCode(c);
    return 0;
}

int ShiftOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    int shift = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        shift |= ShiftMask::Shift;
    if (modifiers.testFlag(Qt::ControlModifier))
        shift |= ShiftMask::Ctrl;
    if (modifiers.testFlag(Qt::AltModifier))
        shift |= ShiftMask::Alt;
    return shift;
}
