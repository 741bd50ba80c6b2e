#include "cStandardEditBox.h"

#include "mKeys.h"
#include "mStringTable.h"
#include "modCommon.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>

namespace {

QLineEdit* LineEditOf(QWidget* control)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->lineEdit();
    return nullptr;
}

QTextCursor TextCursorOf(QWidget* control, bool* found)
{
    *found = true;
    if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        return plain->textCursor();
    if (auto* rich = qobject_cast<QTextEdit*>(control))
        return rich->textCursor();
    *found = false;
    return {};
}

// One character at position, both halves of a surrogate pair together.
QString CharacterAt(const QString& text, int position)
{
    if (position < 0 || position >= text.size())
        return {};
    const int length = text.at(position).isHighSurrogate() && position + 1 < text.size() ? 2 : 1;
    return text.mid(position, length);
}

QString CharacterBefore(const QString& text, int position)
{
    if (position <= 0 || position > text.size())
        return {};
    const int length = position >= 2 && text.at(position - 1).isLowSurrogate() ? 2 : 1;
    return text.mid(position - length, length);
}

bool IsWordBreak(QChar c)
{
    static const QString breaks = QStringLiteral(" .,:!?\\/\r\n\t");
    return breaks.contains(c);
}

bool CtrlAlone(int keyCode, int shift)
{
    return keyCode == Key::Control && (shift & ~ShiftMask::Ctrl) == 0;
}

bool IsReadKey(int keyCode)
{
    return (keyCode >= Key::PageUp && keyCode <= Key::Down) || keyCode == Key::Delete || keyCode == Key::Back;
}

} // namespace

cStandardEditBox::cStandardEditBox(QObject* parent)
    : QObject(parent)
{
}

void cStandardEditBox::Intialize(QWidget* control)
{
    m_control = control;
    m_keyDown = false;
}

bool cStandardEditBox::MultiLine() const
{
    return qobject_cast<QPlainTextEdit*>(m_control) || qobject_cast<QTextEdit*>(m_control);
}

bool cStandardEditBox::Locked() const
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(m_control))
        return plain->isReadOnly();
    if (auto* rich = qobject_cast<QTextEdit*>(m_control))
        return rich->isReadOnly();
    if (auto* edit = LineEditOf(m_control))
        return edit->isReadOnly();
    return true;
}

QString cStandardEditBox::Text() const
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(m_control))
        return plain->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(m_control))
        return rich->toPlainText();
    if (auto* edit = LineEditOf(m_control))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(m_control))
        return combo->currentText();
    return {};
}

int cStandardEditBox::SelStart() const
{
    bool found = false;
    const QTextCursor cursor = TextCursorOf(m_control, &found);
    if (found)
        return cursor.selectionStart();
    if (auto* edit = LineEditOf(m_control))
        return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    return 0;
}

int cStandardEditBox::SelLength() const
{
    bool found = false;
    const QTextCursor cursor = TextCursorOf(m_control, &found);
    if (found)
        return cursor.selectionEnd() - cursor.selectionStart();
    if (auto* edit = LineEditOf(m_control))
        return edit->hasSelectedText() ? int(edit->selectedText().size()) : 0;
    return 0;
}

int cStandardEditBox::Caret() const
{
    bool found = false;
    const QTextCursor cursor = TextCursorOf(m_control, &found);
    if (found)
        return cursor.position();
    if (auto* edit = LineEditOf(m_control))
        return edit->cursorPosition();
    return 0;
}

void cStandardEditBox::SelectAll()
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(m_control))
        plain->selectAll();
    else if (auto* rich = qobject_cast<QTextEdit*>(m_control))
        rich->selectAll();
    else if (auto* edit = LineEditOf(m_control))
        edit->selectAll();
}

cStandardEditBox::Line cStandardEditBox::CurrentLine() const
{
    Line line;
    bool found = false;
    const QTextCursor cursor = TextCursorOf(m_control, &found);
    if (!found) {
        line.Text = Text();
        line.Column = Caret();
        return line;
    }
    // The line as shown: a wrapped paragraph is several lines, as on the Braille line.
    const QTextBlock block = cursor.block();
    const int inBlock = cursor.positionInBlock();
    int start = 0;
    int length = int(block.text().size());
    if (QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine visual = layout->lineForTextPosition(inBlock);
        if (visual.isValid()) {
            start = visual.textStart();
            length = visual.textLength();
        }
    }
    line.Text = block.text().mid(start, length);
    line.Start = block.position() + start;
    line.Column = cursor.position() - line.Start;
    return line;
}

QString cStandardEditBox::GetCurrentLine() const
{
    return CurrentLine().Text;
}

void cStandardEditBox::BrailleRefresh()
{
    if (!m_control)
        return;
    const Line line = CurrentLine();
    BrailleOutput(qint16(qBound(0, line.Column, 0x7FFF)), line.Text);
    if (m_pendingRole > 0) {
        if (gVoice)
            gVoice->AddBrailleRole(m_pendingRole);
        m_pendingRole = 0;
    }
}

void cStandardEditBox::Raise(int mode, int param, const QString& text)
{
    emit ProduceOutput(mode, param, text);
}

QString cStandardEditBox::WordAt(const QString& text, int position)
{
    if (position < 0 || position >= text.size())
        return {};
    int end = position;
    while (end < text.size() && !IsWordBreak(text.at(end)))
        ++end;
    while (end < text.size() && IsWordBreak(text.at(end)))
        ++end;
    return text.mid(position, end - position);
}

QString cStandardEditBox::SelectionDifference(const QString& text, int oldStart, int oldLength, int newStart,
                                              int newLength)
{
    const int oldEnd = oldStart + oldLength;
    const int newEnd = newStart + newLength;
    if (oldStart == newStart)
        return text.mid(qMin(oldEnd, newEnd), qAbs(newEnd - oldEnd));
    if (oldEnd == newEnd)
        return text.mid(qMin(oldStart, newStart), qAbs(newStart - oldStart));
    if (oldStart == newEnd || newStart == oldEnd) // flipped over its anchor
        return text.mid(qMin(oldStart, newStart), oldLength + newLength);
    return {};
}

void cStandardEditBox::KeyDown(int& keyCode, int shift)
{
    if (!m_control || CtrlAlone(keyCode, shift))
        return;
    if (!MultiLine() && (keyCode == Key::Up || keyCode == Key::Down)) {
        keyCode = 0;
        return;
    }
    m_keyDown = true;
    m_savedStart = SelStart();
    m_savedLength = SelLength();
    if (Locked() || (keyCode != Key::Delete && keyCode != Key::Back))
        return;
    const QString text = Text();
    const QString deleted = LoadString(503);
    if (m_savedLength > 0) {
        Raise(2, 0, text.mid(m_savedStart, m_savedLength));
        Raise(1, 0, deleted);
        return;
    }
    const QString character =
        keyCode == Key::Delete ? CharacterAt(text, m_savedStart) : CharacterBefore(text, m_savedStart);
    if (character.isEmpty())
        return; // nothing to remove at this end of the text
    Raise(2, 255, character);
    Raise(1, 0, deleted);
}

void cStandardEditBox::KeyUp(int& keyCode, int shift)
{
    if (!m_control)
        return;
    BrailleRefresh();
    m_keyDown = false;
    if (CtrlAlone(keyCode, shift) || !IsReadKey(keyCode))
        return;
    const bool multiLine = MultiLine();
    if (!multiLine && (keyCode == Key::Up || keyCode == Key::Down)) {
        Raise(2, 0, GetCurrentLine());
        keyCode = 0;
        return;
    }
    const QString text = Text();
    const int start = SelStart();
    const int length = SelLength();
    if (keyCode == Key::Right && start + length >= text.size())
        Raise(5, 8, QString());
    if (keyCode == Key::Left && start == 0)
        Raise(5, 7, QString());
    if (shift & ShiftMask::Shift) {
        // Only what entered or left the selection; the caret's character would repeat it.
        const QString difference = SelectionDifference(text, m_savedStart, m_savedLength, start, length);
        if (!difference.isEmpty())
            Raise(2, 0, difference);
        return;
    }
    if (keyCode == Key::Left || keyCode == Key::Right) {
        if (shift & ShiftMask::Ctrl) {
            const QString word = WordAt(text, Caret());
            if (!word.isEmpty())
                Raise(2, 0, word);
        } else if (const QString character = CharacterAt(text, Caret()); !character.isEmpty()) {
            Raise(2, 255, character);
        }
        return;
    }
    if (keyCode == Key::Home || keyCode == Key::End) {
        const QString line = GetCurrentLine();
        const QString character = keyCode == Key::Home ? CharacterAt(line, 0) : CharacterBefore(line, int(line.size()));
        if (!character.isEmpty())
            Raise(2, 255, character);
        return;
    }
    if (multiLine && keyCode >= Key::PageUp && keyCode <= Key::Down) {
        if (start == m_savedStart) {
            // Nowhere to go: the signal of the edge the key points to.
            const bool forward = keyCode == Key::Down || keyCode == Key::PageDown;
            Raise(5, forward ? 8 : 7, QString());
            return;
        }
        const QString line = GetCurrentLine();
        Raise(2, 0, line.isEmpty() ? LoadString(505) : line);
    }
}
