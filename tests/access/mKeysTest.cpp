#include "mKeys.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

// Qt names no key for these letters; its key() is the capital's code point.
constexpr int kEcaron = 0x11a;
constexpr int kCcaron = 0x10c;
constexpr int kUring = 0x16e;

// A key press as Qt's X11 platform delivers it with the Czech layout (setxkbmap cz):
// xkb keycode, keysym, key() and text taken from real presses.
struct Press {
    const char* what;
    quint32 scanCode;
    quint32 keysym;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
    int expected;
};

int CodeOf(const Press& press)
{
    const QKeyEvent event(QEvent::KeyPress, press.key, press.modifiers, press.scanCode, press.keysym, 0,
                          QString::fromUtf8(press.text));
    return KeyCodeOf(&event);
}

} // namespace

TEST(KeyCodes, CzechLayoutGivesThePhysicalKeys)
{
    const Press presses[] = {
        {"1 key: +", 10, 0x2b, Qt::Key_Plus, Qt::NoModifier, "+", '1'},
        {"2 key: ě", 11, 0x1ec, kEcaron, Qt::NoModifier, "ě", '2'},
        {"Shift+2 key", 11, 0x32, Qt::Key_2, Qt::ShiftModifier, "2", '2'},
        {"Ctrl+2 key", 11, 0x1ec, kEcaron, Qt::ControlModifier, "ě", '2'},
        {"AltGr+2 key: @", 11, 0x40, Qt::Key_At, Qt::GroupSwitchModifier, "@", '2'},
        {"4 key: č", 13, 0x1e8, kCcaron, Qt::NoModifier, "č", '4'},
        {"0 key: é", 19, 0xe9, Qt::Key_Eacute, Qt::NoModifier, "é", '0'},
        {"key labelled Z", 29, 0x7a, Qt::Key_Z, Qt::NoModifier, "z", 'Z'},
        {"Ctrl+key labelled Z", 29, 0x7a, Qt::Key_Z, Qt::ControlModifier, "\x1a", 'Z'},
        {"key labelled Y", 52, 0x79, Qt::Key_Y, Qt::NoModifier, "y", 'Y'},
        {"ů", 47, 0x1f9, kUring, Qt::NoModifier, "ů", Key::Oem1},
        {"ú", 34, 0xfa, Qt::Key_Uacute, Qt::NoModifier, "ú", Key::Oem4},
        {"Shift+ú: /", 34, 0x2f, Qt::Key_Slash, Qt::ShiftModifier, "/", Key::Oem4},
        {"AltGr+Q: backslash", 24, 0x5c, Qt::Key_Backslash, Qt::GroupSwitchModifier, "\\", 'Q'},
        {"dead acute", 21, 0xfe51, Qt::Key_Dead_Acute, Qt::NoModifier, "", Key::OemPlus},
        {"keypad 2", 88, 0xffb2, Qt::Key_2, Qt::KeypadModifier, "2", Key::Numpad0 + 2},
        {"keypad plus", 86, 0xffab, Qt::Key_Plus, Qt::KeypadModifier, "+", Key::Add},
        {"keypad comma", 91, 0xffac, Qt::Key_Comma, Qt::KeypadModifier, ",", Key::Decimal},
        {"Ctrl+Backspace", 22, 0xff08, Qt::Key_Backspace, Qt::ControlModifier, "\b", Key::Back},
        {"Num Lock", 77, 0xff7f, Qt::Key_NumLock, Qt::NoModifier, "", 0},
    };
    for (const Press& press : presses)
        EXPECT_EQ(CodeOf(press), press.expected) << press.what;
}

// Synthetic events (tests, the offscreen platform) carry no native codes.
TEST(KeyCodes, WithoutNativeCodesTheKeyAndTextDecide)
{
    const Press presses[] = {
        {"Ctrl+2", 0, 0, Qt::Key_2, Qt::ControlModifier, "", '2'},
        {"letter", 0, 0, Qt::Key_A, Qt::NoModifier, "a", 'A'},
        {"minus", 0, 0, Qt::Key_Minus, Qt::NoModifier, "-", Key::OemMinus},
        {"keypad minus", 0, 0, Qt::Key_Minus, Qt::KeypadModifier, "-", Key::Subtract},
        {"č", 0, 0, kCcaron, Qt::NoModifier, "č", Key::Packet},
        {"text only", 0, 0, 0, Qt::NoModifier, "ř", Key::Packet},
        {"Delete", 0, 0, Qt::Key_Delete, Qt::ShiftModifier, "", Key::Delete},
        {"F5", 0, 0, Qt::Key_F5, Qt::NoModifier, "", 116},
        {"nothing", 0, 0, 0, Qt::NoModifier, "", 0},
    };
    for (const Press& press : presses)
        EXPECT_EQ(CodeOf(press), press.expected) << press.what;
}
