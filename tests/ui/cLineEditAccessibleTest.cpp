#include "cLineEditAccessible.h"

#include <QAccessible>
#include <QIntValidator>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

class LineEditAccessibleTest : public ::testing::Test {
protected:
    void SetUp() override { cLineEditAccessible::Install(); }

    // The box's text interface as a screen reader gets it.
    QAccessibleTextInterface* Text()
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&m_box);
        EXPECT_NE(dynamic_cast<cLineEditAccessible*>(iface), nullptr);
        return iface ? iface->textInterface() : nullptr;
    }
    QAccessibleEditableTextInterface* Editable()
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&m_box);
        return iface ? iface->editableTextInterface() : nullptr;
    }
    QAccessible::State State() { return QAccessible::queryAccessibleInterface(&m_box)->state(); }

    // Where the run of attributes at offset begins and ends.
    std::pair<int, int> Run(int offset)
    {
        int start = -2, end = -2;
        Text()->attributes(offset, &start, &end);
        return {start, end};
    }

    QLineEdit m_box;
};

} // namespace

// A reader splits the line by the runs: any run short of the end cuts off the last character.
TEST_F(LineEditAccessibleTest, TheWholeValueIsOneRunSoNoCharacterIsLost)
{
    m_box.setText(QStringLiteral("3"));
    ASSERT_NE(Text(), nullptr);
    EXPECT_EQ(Run(0), std::pair(0, 1));
    EXPECT_EQ(Run(1), std::pair(0, 1)) << "at the end of the line, where the caret stands after typing";
    EXPECT_EQ(Run(2), std::pair(-1, -1));
    EXPECT_EQ(Run(-1), std::pair(-1, -1));
    m_box.setText(QStringLiteral("Příliš"));
    for (int offset = 0; offset <= 6; ++offset)
        EXPECT_EQ(Run(offset), std::pair(0, 6)) << offset;
    EXPECT_EQ(Text()->text(0, Text()->characterCount()), QStringLiteral("Příliš"));
    m_box.clear();
    EXPECT_EQ(Run(0), std::pair(0, 0));
    EXPECT_EQ(Run(1), std::pair(-1, -1));
}

TEST_F(LineEditAccessibleTest, APasswordIsReadAsItsDotsNeverItself)
{
    m_box.setText(QStringLiteral("tajné"));
    m_box.setEchoMode(QLineEdit::Password);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&m_box);
    const QString value = iface->text(QAccessible::Value);
    EXPECT_EQ(value, m_box.displayText());
    EXPECT_FALSE(value.contains(QStringLiteral("taj")));
    EXPECT_EQ(Text()->text(0, Text()->characterCount()), value);
    EXPECT_TRUE(State().passwordEdit);
    m_box.setEchoMode(QLineEdit::Normal);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("tajné"));
    EXPECT_FALSE(State().passwordEdit);
}

// Changes from a reader are typing: refused where typing is, limited as typing is.
TEST_F(LineEditAccessibleTest, ChangesGoThroughTheBoxsOwnRules)
{
    m_box.setText(QStringLiteral("Petr"));
    m_box.setReadOnly(true);
    EXPECT_TRUE(State().readOnly);
    EXPECT_FALSE(State().editable);
    Editable()->replaceText(0, 4, QStringLiteral("Pavel"));
    Editable()->deleteText(0, 1);
    EXPECT_EQ(m_box.text(), QStringLiteral("Petr"));

    m_box.setReadOnly(false);
    EXPECT_TRUE(State().editable);
    EXPECT_FALSE(State().readOnly);
    Editable()->replaceText(1, 3, QStringLiteral("ava"));
    EXPECT_EQ(m_box.text(), QStringLiteral("Pavar"));
    Editable()->replaceText(2, 9, QStringLiteral("x"));
    Editable()->replaceText(3, 1, QStringLiteral("x"));
    EXPECT_EQ(m_box.text(), QStringLiteral("Pavar")) << "offsets outside the text change nothing";

    m_box.setMaxLength(6);
    Editable()->insertText(5, QStringLiteral("línek"));
    EXPECT_EQ(m_box.text(), QStringLiteral("Pavarl"));

    QIntValidator age(0, 150);
    m_box.setMaxLength(32767);
    m_box.setValidator(&age);
    m_box.setText(QStringLiteral("40"));
    Editable()->replaceText(0, 2, QStringLiteral("čtyřicet"));
    EXPECT_EQ(m_box.text(), QStringLiteral("40"));
    Editable()->replaceText(1, 2, QStringLiteral("5"));
    EXPECT_EQ(m_box.text(), QStringLiteral("45"));
    m_box.setValidator(nullptr);

    m_box.setEnabled(false);
    Editable()->insertText(0, QStringLiteral("1"));
    EXPECT_EQ(m_box.text(), QStringLiteral("45"));
}
