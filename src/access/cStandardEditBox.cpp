#include "cStandardEditBox.h"

#include "mKeys.h"
#include "mScreenReader.h"
#include "mStringTable.h"
#include "modCommon.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

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

// One character as the user perceives it, a base letter with its combining marks included.
bool IsOneCharacter(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    return finder.toNextBoundary() == text.size();
}

// What a deletion took from before to leave after. The caret stands where the removed
// text was; when that does not fit, the text between the common beginning and end.
QString RemovedText(const QString& before, const QString& after, int caret)
{
    const qsizetype removed = before.size() - after.size();
    if (removed <= 0)
        return {};
    const QStringView was(before);
    const QStringView now(after);
    if (caret >= 0 && caret <= now.size() && was.left(caret) == now.left(caret)
        && was.mid(caret + removed) == now.mid(caret))
        return before.mid(caret, removed);
    qsizetype prefix = 0;
    while (prefix < now.size() && was.at(prefix) == now.at(prefix))
        ++prefix;
    return before.mid(prefix, removed);
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

void cStandardEditBox::Echo(int mode, int param, const QString& text)
{
    if (!ScreenReaderReads())
        Raise(mode, param, text);
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

void cStandardEditBox::TextArriving()
{
    // Without a screen reader nothing else echoes typing: what the control puts into the
    // text for this key (and any quicker keys after it) is said once it is there.
    if (!m_control || Locked() || m_insertionPending)
        return;
    m_insertionPending = true;
    m_textBeforeInsertion = Text();
    QTimer::singleShot(0, this, &cStandardEditBox::AnnounceInsertion);
}

void cStandardEditBox::AnnounceInsertion()
{
    m_insertionPending = false;
    if (!m_control)
        return;
    const QString before = std::exchange(m_textBeforeInsertion, QString());
    const QString after = Text();
    if (after == before)
        return;
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
           && before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    const QString inserted = after.mid(prefix, after.size() - prefix - suffix);
    if (inserted.isEmpty() || (inserted.trimmed().isEmpty() && inserted.contains(u'\n')))
        return; // a deletion, or a new line, which the line keys read
    if (inserted.size() == 1 || (inserted.size() == 2 && inserted.front().isHighSurrogate()))
        Echo(2, 255, inserted);
    else
        Echo(2, 0, inserted);
}

void cStandardEditBox::KeyDown(int& keyCode, int shift)
{
    if (!m_control)
        return;
    // A deletion key still held (or repeating) has been handled by the control by now.
    AnnounceDeletion();
    if (CtrlAlone(keyCode, shift))
        return;
    if (!MultiLine() && (keyCode == Key::Up || keyCode == Key::Down)) {
        keyCode = 0;
        return;
    }
    m_keyDown = true;
    m_savedStart = SelStart();
    m_savedLength = SelLength();
    TextArriving();
    // What goes depends on the control's own bindings (Ctrl+Backspace a word, Shift+Delete
    // a cut), so it is told from the text once the control has handled the key.
    if (!Locked() && (keyCode == Key::Delete || keyCode == Key::Back)) {
        m_deletionPending = true;
        m_textBeforeDeletion = Text();
    }
}

void cStandardEditBox::AnnounceDeletion()
{
    if (!m_deletionPending)
        return;
    m_deletionPending = false;
    const QString removed = RemovedText(m_textBeforeDeletion, Text(), Caret());
    m_textBeforeDeletion.clear();
    if (removed.isEmpty())
        return;
    Echo(2, IsOneCharacter(removed) ? 255 : 0, removed);
    Echo(1, 0, LoadString(503));
}

void cStandardEditBox::KeyUp(int& keyCode, int shift)
{
    if (!m_control)
        return;
    BrailleRefresh();
    m_keyDown = false;
    AnnounceDeletion();
    // A deletion's selection change is no selection the user made.
    if (CtrlAlone(keyCode, shift) || !IsReadKey(keyCode) || keyCode == Key::Delete || keyCode == Key::Back)
        return;
    const bool multiLine = MultiLine();
    if (!multiLine && (keyCode == Key::Up || keyCode == Key::Down)) {
        // An empty box says so: an empty text would be no sound at all.
        const QString line = GetCurrentLine();
        Raise(2, 0, line.isEmpty() ? LoadString(504) : line);
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
            Echo(2, 0, difference);
        return;
    }
    if (keyCode == Key::Left || keyCode == Key::Right) {
        if (shift & ShiftMask::Ctrl) {
            const QString word = WordAt(text, Caret());
            if (!word.isEmpty())
                Echo(2, 0, word);
        } else if (const QString character = CharacterAt(text, Caret()); !character.isEmpty()) {
            Echo(2, 255, character);
        }
        return;
    }
    if (keyCode == Key::Home || keyCode == Key::End) {
        const QString line = GetCurrentLine();
        const QString character = keyCode == Key::Home ? CharacterAt(line, 0) : CharacterBefore(line, int(line.size()));
        if (!character.isEmpty())
            Echo(2, 255, character);
        else // nothing to spell is no reason for silence
            Raise(2, 0, LoadString(text.isEmpty() ? 504 : 505));
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
        Echo(2, 0, line.isEmpty() ? LoadString(505) : line);
    }
}
