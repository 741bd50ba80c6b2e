#pragma once
// What an edit control's keys say, shared by the text and combo box wrappers; it knows no form.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>


// The logic shared by the text box and combo box wrappers: from the keys of one edit
// control it tells what the caret passed over or what a key removed, and keeps the
// Braille line on the caret's line. Works on QLineEdit, QPlainTextEdit, QTextEdit and
// editable QComboBox; knows nothing else of the control.
class cStandardEditBox : public QObject {
    Q_OBJECT
public:
    explicit cStandardEditBox(QObject* parent = nullptr);

    void Intialize(QWidget* control);
    QWidget* Control() const { return m_control; }

    // Virtual-key code and shift state (mKeys.h); setting keyCode to 0 swallows the key.
    void KeyDown(int& keyCode, int shift);
    void KeyUp(int& keyCode, int shift);
    // Text is about to arrive other than by a key press (a dead key's letter through the
    // input method): it is said once it is in.
    void TextArriving();

    QString GetCurrentLine() const;
    void AddRoleBraille(qint32 role) { m_pendingRole = role; }
    void BrailleRefresh();

    // The control's state, read as the classic properties.
    bool MultiLine() const;
    bool Locked() const;
    QString Text() const;
    int SelStart() const;
    int SelLength() const;
    int Caret() const;
    void SelectAll();

    // The text from position up to the start of the next word (breaks included).
    static QString WordAt(const QString& text, int position);
    // What entered or left the selection between two (start, length) states; empty when
    // the change is of no simple shape.
    static QString SelectionDifference(const QString& text, int oldStart, int oldLength, int newStart, int newLength);

signals:
    // mode 2 param 0: speak; mode 2 param 255: one character; mode 1: queued after the
    // previous output; mode 5 param 8 / 7: end / start signal.
    void ProduceOutput(int mode, int param, const QString& text);

private:
    struct Line {
        QString Text;
        int Start = 0;
        int Column = 0;
    };
    Line CurrentLine() const;
    void Raise(int mode, int param, const QString& text);
    // What a screen reader says itself from the text's events: the caret's character, a
    // selection, typing and deleting.
    void Echo(int mode, int param, const QString& text);
    // Speaks what the last Delete or Backspace removed, once.
    void AnnounceDeletion();
    // Speaks what the keys since the last look typed or pasted into the text.
    void AnnounceInsertion();

    QPointer<QWidget> m_control;
    int m_savedStart = 0;
    int m_savedLength = 0;
    bool m_keyDown = false;
    bool m_deletionPending = false;
    QString m_textBeforeDeletion;
    bool m_insertionPending = false;
    QString m_textBeforeInsertion;
    qint32 m_pendingRole = 0;
};
