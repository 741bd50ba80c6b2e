#pragma once
// Key codes and shift states as the key handlers compare them; it reads key events, it sends none.
class QKeyEvent;

// Key codes and shift states as the forms' key handlers compare them: the classic
// virtual-key numbers (37 Left, 46 Delete, 107 numeric plus, ...) and Shift 1, Ctrl 2,
// Alt 4. 0 for a key without a code.
// A code names the physical key, whatever the layout and the modifiers make it type:
// the number row is '0'..'9' (Czech types "+ ě š č ..." there), a letter key is its
// letter as the layout labels it, any other character key has the OEM code of its place
// on the keyboard (on Czech "ů" is Oem1, "ú" Oem4). Events without a native scan code
// (synthetic ones) are read from their key and text; a character whose key cannot be
// told is Packet.
int KeyCodeOf(const QKeyEvent* event);
int ShiftOf(const QKeyEvent* event);

namespace Key {
enum : int {
    Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Escape = 27, Space = 32,
    PageUp = 33, PageDown = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
    Insert = 45, Delete = 46, Numpad0 = 96, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110,
    Divide = 111, Oem1 = 186, OemPlus = 187, OemComma = 188, OemMinus = 189, OemPeriod = 190, Oem2 = 191,
    Oem3 = 192, Oem4 = 219, Oem5 = 220, Oem6 = 221, Oem7 = 222, Oem102 = 226, Packet = 231,
};
}

namespace ShiftMask {
enum : int { Shift = 1, Ctrl = 2, Alt = 4 };
}
