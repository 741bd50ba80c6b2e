#include "VoiceTestSupport.h"

#include "cStandardEditBox.h"
#include "mStandardComboBox.h"
#include "mStandardTextBox.h"
#include "modCommon.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class TextBoxTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        auto* layout = new QVBoxLayout(&m_form);
        m_line = new QLineEdit(&m_form);
        m_lines = new QPlainTextEdit(&m_form);
        layout->addWidget(m_line);
        layout->addWidget(m_lines);
        m_form.resize(600, 400);
        m_form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    }

    // A single-line box holding text with the caret at position.
    void Line(const QString& text, int position, qint32 flags = 2)
    {
        m_line->setText(text);
        m_line->setCursorPosition(position);
        m_wrapper = CreateStandardTextBox(m_line, flags);
        Clear();
    }

    void Lines(const QString& text, int position)
    {
        m_lines->setPlainText(text);
        QTextCursor cursor = m_lines->textCursor();
        cursor.setPosition(position);
        m_lines->setTextCursor(cursor);
        m_wrapper = CreateStandardTextBox(m_lines, 2);
        Clear();
    }

    void Press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(widget, key, modifiers);
    }

    QWidget m_form;
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_lines = nullptr;
    std::unique_ptr<cStandardTextBox> m_wrapper;
};

} // namespace

TEST_F(TextBoxTest, BoundariesGiveOnlyTheirSignal)
{
    Line(QStringLiteral("abc"), 3);
    Press(m_line, Qt::Key_Right);
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("5 8 ")});

    Line(QStringLiteral("abc"), 0);
    Press(m_line, Qt::Key_Left);
    // At the start the signal comes first, then the character the caret stands on.
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("5 7 "), QStringLiteral("2 255 a")}));
}

TEST_F(TextBoxTest, ArrowsSpeakTheCharacterAtTheCaret)
{
    Line(QStringLiteral("ažc"), 0);
    Press(m_line, Qt::Key_Right);
    Press(m_line, Qt::Key_Right);
    Press(m_line, Qt::Key_Left);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 ž"), QStringLiteral("2 255 c"), QStringLiteral("2 255 ž")}));
}

TEST_F(TextBoxTest, CtrlArrowsSpeakTheWordTheCaretLandsOn)
{
    Line(QStringLiteral("ab cd ef"), 0);
    Press(m_line, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(m_line->cursorPosition(), 3);
    Press(m_line, Qt::Key_Right, Qt::ControlModifier);
    Press(m_line, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 0 cd "), QStringLiteral("2 0 ef"), QStringLiteral("2 0 cd ")}));
}

TEST_F(TextBoxTest, WordScanPassesTheWordAndItsBreaks)
{
    const QString text = QStringLiteral("ab, cd\tef");
    EXPECT_EQ(cStandardEditBox::WordAt(text, 0), QStringLiteral("ab, "));
    EXPECT_EQ(cStandardEditBox::WordAt(text, 4), QStringLiteral("cd\t"));
    EXPECT_EQ(cStandardEditBox::WordAt(text, 7), QStringLiteral("ef"));
    EXPECT_EQ(cStandardEditBox::WordAt(text, 2), QStringLiteral(", "));
    EXPECT_EQ(cStandardEditBox::WordAt(text, 9), QString());
}

TEST_F(TextBoxTest, ShiftArrowsSpeakWhatEntersAndLeavesTheSelection)
{
    Line(QStringLiteral("abcdefg"), 2);
    for (int i = 0; i < 3; ++i)
        Press(m_line, Qt::Key_Right, Qt::ShiftModifier);
    for (int i = 0; i < 3; ++i)
        Press(m_line, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 0 c"), QStringLiteral("2 0 d"), QStringLiteral("2 0 e"),
                                     QStringLiteral("2 0 e"), QStringLiteral("2 0 d"), QStringLiteral("2 0 c")}));
}

TEST_F(TextBoxTest, SelectionDifferenceInItsFourShapes)
{
    const QString text = QStringLiteral("0123456789");
    struct Case {
        int oldStart, oldLength, newStart, newLength;
        const char* expected;
    } cases[] = {
        {2, 1, 2, 3, "34"},     // grown at the end
        {2, 3, 2, 1, "34"},     // shrunk at the end
        {4, 2, 2, 4, "23"},     // grown at the front
        {2, 4, 4, 2, "23"},     // shrunk at the front
        {5, 2, 3, 2, "3456"},   // flipped over its anchor to the left
        {3, 2, 5, 2, "3456"},   // and to the right
        {1, 2, 5, 3, ""},       // no simple shape
        {4, 0, 4, 0, ""},       // nothing changed
    };
    for (const Case& c : cases)
        EXPECT_EQ(cStandardEditBox::SelectionDifference(text, c.oldStart, c.oldLength, c.newStart, c.newLength),
                  QString::fromUtf8(c.expected))
            << c.oldStart << "," << c.oldLength << " -> " << c.newStart << "," << c.newLength;
}

TEST_F(TextBoxTest, HomeAndEndSpeakTheLinesEnds)
{
    Line(QStringLiteral("hello"), 2);
    Press(m_line, Qt::Key_Home);
    Press(m_line, Qt::Key_End);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 h"), QStringLiteral("2 255 o")}));
}

TEST_F(TextBoxTest, DeleteAndBackspaceAnnounceWhatGoes)
{
    Line(QStringLiteral("abc"), 1);
    Press(m_line, Qt::Key_Delete);
    EXPECT_EQ(m_line->text(), QStringLiteral("ac"));
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 b"), QStringLiteral("1 0 smazáno")}));

    Line(QStringLiteral("abc"), 2);
    Press(m_line, Qt::Key_Backspace);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 b"), QStringLiteral("1 0 smazáno")}));

    Line(QStringLiteral("abcdef"), 0);
    m_line->setSelection(1, 3);
    Press(m_line, Qt::Key_Backspace);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 0 bcd"), QStringLiteral("1 0 smazáno")}));
}

TEST_F(TextBoxTest, NothingToRemoveSpeaksNothing)
{
    Line(QStringLiteral("abc"), 3);
    Press(m_line, Qt::Key_Delete);
    Line(QStringLiteral("abc"), 0);
    Press(m_line, Qt::Key_Backspace);
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(u'|').toStdString();

    Line(QStringLiteral("abc"), 1);
    m_line->setReadOnly(true);
    Press(m_line, Qt::Key_Delete);
    EXPECT_EQ(m_line->text(), QStringLiteral("abc"));
    EXPECT_TRUE(Spoken().filter(QStringLiteral("smazáno")).isEmpty());
    m_line->setReadOnly(false);
}

TEST_F(TextBoxTest, DeletionsSpeakWhatTheControlRemoved)
{
    const QString deleted = QStringLiteral("1 0 smazáno");
    struct Case {
        bool multiLine;
        const char* text;
        int caret, selectionEnd; // a selection from caret to selectionEnd when the two differ
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* left;
        const char* removed; // nullptr: nothing is spoken
    } cases[] = {
        {false, "ab cd", 5, 5, Qt::Key_Backspace, Qt::ControlModifier, "ab ", "2 0 cd"},
        {true, "one two\nx", 7, 7, Qt::Key_Backspace, Qt::ControlModifier, "one \nx", "2 0 two"},
        {false, "ab cd", 0, 0, Qt::Key_Delete, Qt::ControlModifier, "cd", "2 0 ab "},
        {false, "abc", 1, 1, Qt::Key_Delete, Qt::ShiftModifier, "abc", nullptr},
        {true, "abc", 1, 1, Qt::Key_Delete, Qt::ShiftModifier, "abc", nullptr},
        {false, "abcdef", 1, 4, Qt::Key_Delete, Qt::ShiftModifier, "aef", "2 0 bcd"}, // a cut
        {true, "abcdef", 4, 1, Qt::Key_Delete, Qt::NoModifier, "aef", "2 0 bcd"},
        {true, "ab", 0, 0, Qt::Key_Backspace, Qt::NoModifier, "ab", nullptr},
        {true, "aňb", 2, 2, Qt::Key_Backspace, Qt::NoModifier, "ab", "2 255 ň"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* control = nullptr;
        if (c.multiLine) {
            Lines(text, c.selectionEnd);
            QTextCursor cursor = m_lines->textCursor();
            cursor.setPosition(c.caret, QTextCursor::KeepAnchor);
            m_lines->setTextCursor(cursor);
            control = m_lines;
        } else {
            Line(text, c.caret);
            if (c.selectionEnd != c.caret)
                m_line->setSelection(c.caret, c.selectionEnd - c.caret);
            control = m_line;
        }
        Press(control, c.key, c.modifiers);
        const QString left = c.multiLine ? m_lines->toPlainText() : m_line->text();
        EXPECT_EQ(left, QString::fromUtf8(c.left)) << c.text;
        EXPECT_EQ(Spoken(), (c.removed ? QStringList{QString::fromUtf8(c.removed), deleted} : QStringList())) << c.text;
    }
}

TEST_F(TextBoxTest, ADeletionIsToldBeforeTheNextKeyChangesTheText)
{
    // Typing on before Backspace is released: what went is told once, and not the new letter.
    Line(QStringLiteral("abc"), 3);
    QTest::keyPress(m_line, Qt::Key_Backspace);
    QTest::keyPress(m_line, Qt::Key_X);
    QTest::keyRelease(m_line, Qt::Key_Backspace);
    QTest::keyRelease(m_line, Qt::Key_X);
    EXPECT_EQ(m_line->text(), QStringLiteral("abx"));
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 c"), QStringLiteral("1 0 smazáno")}));

    // A held key repeats: each removal is told as it happens.
    Line(QStringLiteral("abc"), 3);
    QTest::keyPress(m_line, Qt::Key_Backspace);
    QTest::keyPress(m_line, Qt::Key_Backspace); // the repeat
    QTest::keyRelease(m_line, Qt::Key_Backspace);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 255 c"), QStringLiteral("1 0 smazáno"),
                                     QStringLiteral("2 255 b"), QStringLiteral("1 0 smazáno")}));
}

TEST_F(TextBoxTest, UpInASingleLineBoxReadsItAndKeepsTheCaret)
{
    Line(QStringLiteral("celý text"), 3);
    Press(m_line, Qt::Key_Up);
    Press(m_line, Qt::Key_Down);
    EXPECT_EQ(m_line->cursorPosition(), 3);
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("2 0 celý text"), QStringLiteral("2 0 celý text")}));
    Line(QString(), 0);
    Clear();
    Press(m_line, Qt::Key_Up);
    Press(m_line, Qt::Key_End);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 prázdné pole"), QStringLiteral("2 0 prázdné pole")}))
        << "an empty box is not silence";
}

TEST_F(TextBoxTest, TypedAndPastedTextIsSaidOnceItIsInTheBox)
{
    Line(QStringLiteral("Nov"), 3);
    QTest::sendKeyEvent(QTest::Click, m_line, Qt::Key_Aacute, QStringLiteral("á"), Qt::NoModifier);
    QApplication::processEvents();
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 255 á")));
    Clear();
    // Quicker than the box is looked at: said together.
    QTest::sendKeyEvent(QTest::Click, m_line, Qt::Key(0x010C), QStringLiteral("č"), Qt::NoModifier);
    QTest::keyClicks(m_line, QStringLiteral("ek"));
    QApplication::processEvents();
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 ček")));
    EXPECT_EQ(m_line->text(), QStringLiteral("Nováček"));
    Clear();
    QInputMethodEvent composed; // a dead key's letter comes through the input method
    composed.setCommitString(QStringLiteral("Ů"));
    QApplication::sendEvent(m_line, &composed);
    QApplication::processEvents();
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 255 Ů")));

    QApplication::clipboard()->setText(QStringLiteral("O'Brien"));
    m_line->selectAll();
    Clear();
    Press(m_line, Qt::Key_V, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("2 0 O'Brien"))) << "the paste, not what it replaced";
    Clear();
    Press(m_line, Qt::Key_Backspace);
    QApplication::processEvents();
    EXPECT_FALSE(Spoken().join(u'|').contains(QStringLiteral("O'Brie"))) << "a deletion is no insertion";

    // A box that only shows its text echoes nothing.
    m_line->setReadOnly(true);
    Clear();
    QTest::keyClicks(m_line, QStringLiteral("x"));
    QApplication::processEvents();
    EXPECT_TRUE(Spoken().isEmpty());
}

TEST_F(TextBoxTest, MultiLineMovesReadLinesAndSignalEdges)
{
    Lines(QStringLiteral("one\n\nthree"), 1);
    Press(m_lines, Qt::Key_Up);   // already on the first line
    Press(m_lines, Qt::Key_Down); // the empty line
    Press(m_lines, Qt::Key_Down);
    Press(m_lines, Qt::Key_Down); // already on the last line
    EXPECT_EQ(Spoken(), (QStringList{QStringLiteral("5 7 "), QStringLiteral("2 0 prázdný řádek"),
                                     QStringLiteral("2 0 three"), QStringLiteral("5 8 ")}));
}

TEST_F(TextBoxTest, BrailleFollowsTheCaretLine)
{
    Lines(QStringLiteral("one\nthree"), 0);
    Press(m_lines, Qt::Key_Down);
    Press(m_lines, Qt::Key_Right);
    const auto braille = Calls(QStringLiteral("BrailleText"));
    ASSERT_EQ(braille.size(), 2);
    EXPECT_EQ(braille.last(), (QStringList{QStringLiteral("BrailleText"), QStringLiteral("1"), QStringLiteral("three")}));
    // The wrapper itself only speaks: no Braille of the spoken text.
    EXPECT_TRUE(Calls(QStringLiteral("BrailleWithOffset")).isEmpty());

    Clear();
    gBrailleOn = false;
    Press(m_lines, Qt::Key_Left);
    EXPECT_TRUE(Calls(QStringLiteral("BrailleText")).isEmpty());
}

TEST_F(TextBoxTest, PendingRoleGoesWithTheNextBrailleOnly)
{
    Line(QStringLiteral("abc"), 0);
    m_wrapper->AddRoleBraille(42);
    Press(m_line, Qt::Key_Right);
    Press(m_line, Qt::Key_Right);
    const QList<QStringList> expected{{QStringLiteral("AddBrailleRole"), QStringLiteral("42")}};
    EXPECT_EQ(Calls(QStringLiteral("AddBrailleRole")), expected);
}

TEST_F(TextBoxTest, CtrlNumericKeysZoomOnlyWithTheFlag)
{
    struct Case {
        qint32 flags;
        double size;
        Qt::Key key;
        double expected;
        const char* spoken;
    } cases[] = {
        {1, 12, Qt::Key_Plus, 22, "2 0 Větší písmo"},
        {1, 12, Qt::Key_Minus, 2, "2 0 Menší písmo"},
        {1, 10, Qt::Key_Minus, 10, nullptr},
        {0, 12, Qt::Key_Plus, 12, nullptr},
        {2, 12, Qt::Key_Minus, 12, nullptr},
    };
    for (const Case& c : cases) {
        Line(QStringLiteral("abc"), 0, c.flags);
        QFont font = m_line->font();
        font.setPointSizeF(c.size);
        m_line->setFont(font);
        Press(m_line, c.key, Qt::ControlModifier | Qt::KeypadModifier);
        EXPECT_EQ(m_line->font().pointSizeF(), c.expected) << c.flags << " " << c.size;
        EXPECT_EQ(Spoken(), c.spoken ? QStringList{QString::fromUtf8(c.spoken)} : QStringList()) << c.flags;
    }
}

TEST_F(TextBoxTest, FocusSelectsAllOnlyWithoutFlags)
{
    for (const qint32 flags : {0, 1, 2}) {
        m_lines->setFocus();
        Line(QStringLiteral("abc"), 1, flags);
        m_line->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(m_line->selectedText(), flags == 0 ? QStringLiteral("abc") : QString()) << flags;
    }
}

TEST_F(TextBoxTest, ReinitialisingMovesToTheNewControl)
{
    Line(QStringLiteral("abc"), 0);
    m_lines->setPlainText(QStringLiteral("xyz"));
    m_wrapper->Initialize(m_lines, 2);
    Press(m_line, Qt::Key_Right);
    EXPECT_TRUE(Spoken().isEmpty());
    Press(m_lines, Qt::Key_Right);
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("2 255 y")});
}

TEST_F(TextBoxTest, EditableComboSpeaksDropDownListStaysSilent)
{
    QComboBox combo(&m_form);
    combo.addItems({QStringLiteral("první"), QStringLiteral("druhý")});
    combo.setEditable(true);
    combo.show();
    combo.lineEdit()->setCursorPosition(0);
    auto wrapper = CreateStandardComboBox(&combo, 0);
    Clear();
    QTest::keyClick(&combo, Qt::Key_Right);
    QTest::keyClick(&combo, Qt::Key_Down); // moves through the list: the form speaks it
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("2 255 r")});
    EXPECT_EQ(combo.currentIndex(), 1);

    combo.setEditable(false);
    combo.setCurrentIndex(0);
    wrapper = CreateStandardComboBox(&combo, 0);
    Clear();
    QTest::keyClick(&combo, Qt::Key_Right);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_TRUE(Spoken().isEmpty()) << Spoken().join(u'|').toStdString();
}
