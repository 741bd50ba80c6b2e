#pragma once
// The Braille line over BrlAPI; BrlAPI is called only on its worker, never on the window's thread.
#include <QString>

#include <memory>

// The Braille line through BrlAPI (BRLTTY). Like speech, all traffic runs on a worker
// thread; only the newest text waits to be written, older ones are already stale.
class cBrailleChannel {
public:
    cBrailleChannel();
    ~cBrailleChannel();
    cBrailleChannel(const cBrailleChannel&) = delete;
    cBrailleChannel& operator=(const cBrailleChannel&) = delete;

    // cursor: 0-based column in text, or -1 for no cursor; the display window follows it.
    void Write(const QString& text, int cursor);

    // Forgets an earlier failure and connects now; waits at most timeoutMs for the
    // outcome. True when a display is attached.
    bool Connect(int timeoutMs);
    // Cells of the display attached; 0 while none is.
    int Width() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// The part of text a display of width cells shows so that the cursor is visible, padded
// with blanks to the full width, and the cursor's cell (1-based; 0 for none).
struct BrailleWindow {
    QString Cells;
    int Cursor = 0;
};
BrailleWindow FitToDisplay(const QString& text, int cursor, int width);
