#pragma once

class QKeyEvent;

// Key codes and shift states as the forms' key handlers compare them: the classic
// virtual-key numbers (37 Left, 46 Delete, 107 numeric plus, ...) and Shift 1, Ctrl 2,
// Alt 4. 0 for a key without a code.
int KeyCodeOf(const QKeyEvent* event);
int ShiftOf(const QKeyEvent* event);

namespace Key {
enum : int {
    Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Escape = 27, Space = 32,
    PageUp = 33, PageDown = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
    Insert = 45, Delete = 46, Add = 107, Subtract = 109,
};
}

namespace ShiftMask {
enum : int { Shift = 1, Ctrl = 2, Alt = 4 };
}
