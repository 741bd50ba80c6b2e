#include "VoiceTestSupport.h"

#include "TestSupport.h"
#include "fRecordGoto.h"
#include "modCommon.h"
#include "sMain.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

namespace {

class RecordGotoTest : public VoiceLogTest {
protected:
    struct Outcome {
        int exec = 0, result = 0;
        qint32 position = 0;
    };

    // Opens the dialog on record 3 of 20, lets answer work it with keys, and reads it as
    // the main window does.
    static Outcome Run(const std::function<void(fRecordGoto*)>& answer)
    {
        fRecordGoto form;
        form.SetPostiton(3);
        form.SetMaxPostiton(20);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<fRecordGoto*>(dialog)); });
        Outcome outcome;
        outcome.exec = form.exec();
        outcome.result = form.Result();
        outcome.position = form.Postiton();
        return outcome;
    }

    ScopedLocale m_locale{QStringLiteral("cs_CZ")};
};

} // namespace

TEST_F(RecordGotoTest, OpensOnTheNumberSelectedAndEnterTakesWhatIsTyped)
{
    const cStdFont savedFont = gFont;
    gFont.Size = 40;
    struct {
        QString title, focus, selected, total, texts;
        int code = 0;
        QStringList unnamed, clipped;
    } seen;
    const Outcome typed = Run([&](fRecordGoto* form) {
        seen.title = form->windowTitle();
        seen.code = WindowCodeOf(form);
        seen.focus = form->focusWidget()->objectName();
        seen.selected = form->Text1->selectedText();
        seen.total = form->Text2->text();
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
            // At a large font every text is shown whole.
            if ((qobject_cast<QLabel*>(control) || qobject_cast<QPushButton*>(control))
                && control->width() < control->sizeHint().width())
                seen.clipped << control->objectName();
        }
        seen.texts = QStringList{form->Label1->text(), form->Label2->text(), form->cmdOK->text(),
                                 form->cmdCancel->text(), form->Text1->accessibleName()}
                         .join(u'|');
        // Typing replaces the selected number; Enter in the box presses OK.
        TypeInDialog(form, QStringLiteral("7"));
        PressInDialog(form, Qt::Key_Return);
    });
    gFont = savedFont;
    EXPECT_EQ(typed.exec, 1);
    EXPECT_EQ(typed.result, 1);
    EXPECT_EQ(typed.position, 7);
    EXPECT_EQ(seen.title, QStringLiteral("Jdi na"));
    EXPECT_EQ(seen.code, 2612);
    EXPECT_EQ(seen.focus, QStringLiteral("Text1"));
    EXPECT_EQ(seen.selected, QStringLiteral("3"));
    EXPECT_EQ(seen.total, QStringLiteral("20"));
    EXPECT_EQ(seen.texts, QStringLiteral("&Záznam číslo:|&Celkem záznamů:|OK|Storno|Záznam číslo:"));
    EXPECT_EQ(seen.unnamed, QStringList());
    EXPECT_EQ(seen.clipped, QStringList());

    // The box is announced once, with its caption, its number and its role.
    const auto focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus[0].mid(1, 2), (QStringList{QStringLiteral("Záznam číslo:"), QStringLiteral("3")}));
    EXPECT_NE(focus[0].value(3), QStringLiteral("0"));
    EXPECT_NE(focus[0].value(4), QStringLiteral("0"));
    EXPECT_EQ(focus[0].mid(5), (QStringList{QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("-1"), QStringLiteral("0")}));
    EXPECT_TRUE(Calls().contains(QStringList{QStringLiteral("AddBrailleRole"), QStringLiteral("42")}));

    // What is typed, read by the user's locale; the caller keeps the number in range.
    const struct {
        const char* text;
        qint32 position;
    } cases[] = {
        {"abc", 3},          // not a number: the one set before
        {"", 3},
        {"3,6", 4},          // the Czech decimal comma, rounded
        {" 3.6 ", 4},        // a point too, blanks around ignored
        {"2,5", 3},          // half away from zero
        {"-5", -5},
        {"2147483647", 2147483647},
        {"2147483648", 3},   // beyond 32 bits
        {"1 2", 3},
    };
    for (const auto& item : cases) {
        const Outcome outcome = Run([&](fRecordGoto* form) {
            TypeInDialog(form, QString::fromUtf8(item.text));
            if (!*item.text)
                PressInDialog(form, Qt::Key_Delete);
            PressInDialog(form, Qt::Key_Return);
        });
        EXPECT_EQ(outcome.result, 1) << item.text;
        EXPECT_EQ(outcome.position, item.position) << item.text;
    }
}

TEST_F(RecordGotoTest, TheTotalIsReadOnlyAndEscapeCancels)
{
    struct {
        QString focus, total;
    } seen;
    const Outcome cancelled = Run([&](fRecordGoto* form) {
        PressInDialog(form, Qt::Key_Tab);
        seen.focus = form->focusWidget()->objectName();
        TypeInDialog(form, QStringLiteral("9"));
        seen.total = form->Text2->text();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(cancelled.exec, 2);
    EXPECT_EQ(cancelled.result, 2);
    EXPECT_EQ(cancelled.position, 3);
    EXPECT_EQ(seen.focus, QStringLiteral("Text2"));
    EXPECT_EQ(seen.total, QStringLiteral("20"));
    const auto focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_EQ(focus.size(), 2);
    EXPECT_EQ(focus[1].mid(1, 2), (QStringList{QStringLiteral("Celkem záznamů:"), QStringLiteral("20")}));

    // Enter in the total confirms too; on the Cancel button it presses that button.
    const auto tabsThenEnter = [](int tabs) {
        return Run([tabs](fRecordGoto* form) {
            for (int i = 0; i < tabs; ++i)
                PressInDialog(form, Qt::Key_Tab);
            PressInDialog(form, Qt::Key_Return);
        });
    };
    EXPECT_EQ(tabsThenEnter(1).result, 1);
    EXPECT_EQ(tabsThenEnter(3).result, 2);
}
