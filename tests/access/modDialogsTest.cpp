#include "VoiceTestSupport.h"

#include "frmMsg12.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using DialogTest = VoiceLogTest;

struct Seen {
    QString title;
    QString message;
    int windowCode = 0;
    QStringList visibleButtons;
    QWidget* focus = nullptr;
    QString focusName;
    bool yesCentred = false;
};

Seen Look(QDialog* dialog)
{
    Seen seen;
    seen.title = dialog->windowTitle();
    seen.message = dialog->findChild<QPlainTextEdit*>(QStringLiteral("txtMessage"))->toPlainText();
    seen.windowCode = WindowCodeOf(dialog);
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->isVisible())
            seen.visibleButtons.append(button->text());
    seen.focus = dialog->focusWidget();
    seen.focusName = seen.focus ? seen.focus->objectName() : QString();
    auto* yes = dialog->findChild<QPushButton*>(QStringLiteral("cmdYes"));
    seen.yesCentred = qAbs(yes->geometry().center().x() - dialog->width() / 2) <= 2;
    return seen;
}

// Shows a box of kind, presses keys in it and returns its result.
qint32 Answer(qint32 kind, const QString& text, const QList<Qt::Key>& keys, Seen* seen = nullptr,
              const QString& typed = QString(), qint32 callersCode = 0)
{
    WhenModal([=](QDialog* dialog) {
        if (seen)
            *seen = Look(dialog);
        if (!typed.isEmpty())
            TypeInDialog(dialog, typed);
        for (const Qt::Key key : keys)
            PressInDialog(dialog, key);
    });
    return ShowAccessibleDialog(kind, text, false, callersCode);
}

} // namespace

TEST_F(DialogTest, OkBoxShowsMessageCaptionAndOneCentredButton)
{
    Seen seen;
    EXPECT_EQ(Answer(DialogKind::Ok, QStringLiteral("Soubor nenalezen.|Chyba"), {Qt::Key_Return}, &seen), 1);
    EXPECT_EQ(seen.title, QStringLiteral("Chyba"));
    EXPECT_EQ(seen.message, QStringLiteral("Soubor nenalezen."));
    EXPECT_EQ(seen.visibleButtons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(seen.yesCentred);
    EXPECT_EQ(seen.windowCode, 806);
    EXPECT_EQ(seen.focusName, QStringLiteral("txtMessage"));

    // Speech stops before the box, then the box speaks its caption and message.
    const auto calls = Calls();
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls.at(0), (QStringList{QStringLiteral("Voice"), QStringLiteral("4"), QStringLiteral("0"), QString()}));
    const auto focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus[0].mid(1, 2), (QStringList{QStringLiteral("Chyba"), QStringLiteral("Soubor nenalezen.")}));
    EXPECT_NE(focus[0].at(3).toInt(), 0);
    EXPECT_NE(focus[0].at(4).toInt(), 0);
    EXPECT_EQ(focus[0].mid(5), (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("0")}));

    // A text without a separator has no caption.
    Answer(DialogKind::Ok, QStringLiteral("Jen zpráva"), {Qt::Key_Return}, &seen);
    EXPECT_EQ(seen.title, QString());
    EXPECT_EQ(seen.message, QStringLiteral("Jen zpráva"));
}

TEST_F(DialogTest, ResultsByKey)
{
    struct Case {
        qint32 kind;
        QList<Qt::Key> keys;
        qint32 expected;
        int windowCode;
        qint32 callersCode = 0;
    } cases[] = {
        {DialogKind::Ok, {Qt::Key_Escape}, 0, 806},
        {0, {Qt::Key_Enter}, 1, 806},
        {DialogKind::YesNo, {Qt::Key_Return}, 1, 807},
        {DialogKind::YesNo, {Qt::Key_Escape}, 0, 807},
        {2, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space}, 0, 807},    // "Ne"
        {DialogKind::YesNo, {Qt::Key_Tab, Qt::Key_Space}, 1, 807}, // "Ano"
        {DialogKind::YesNoCancel, {Qt::Key_Return}, 1, 808},
        {DialogKind::YesNoCancel, {Qt::Key_Escape}, -1, 808},
        {4, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space}, -1, 808},
        // Enter on a focused button presses that button.
        {DialogKind::YesNoCancel, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, 0, 808},
        // The caller's window code replaces the box's own.
        {DialogKind::Ok, {Qt::Key_Return}, 1, 2612, 12},
    };
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(Answer(c.kind, QStringLiteral("Otázka?|Dotaz"), c.keys, &seen, QString(), c.callersCode), c.expected)
            << c.kind;
        EXPECT_EQ(seen.windowCode, c.windowCode);
    }
}

TEST_F(DialogTest, ThreeButtonBoxAnswersLowerCaseLetters)
{
    Seen seen;
    EXPECT_EQ(Answer(DialogKind::YesNoCancel, QStringLiteral("Uložit?|Konec"), {}, &seen, QStringLiteral("a")), 1);
    EXPECT_EQ(seen.visibleButtons, (QStringList{QStringLiteral("Ano"), QStringLiteral("Ne"), QStringLiteral("Storno")}));
    EXPECT_EQ(Answer(DialogKind::YesNoCancel, QStringLiteral("Uložit?|Konec"), {}, nullptr, QStringLiteral("n")), 0);
    // Upper case and other letters are swallowed; the box stays until Escape.
    EXPECT_EQ(Answer(DialogKind::YesNoCancel, QStringLiteral("Uložit?|Konec"), {Qt::Key_Escape}, &seen,
                     QStringLiteral("AN x")),
              -1);
}

TEST_F(DialogTest, SpaceRereadsAndTypingChangesNothing)
{
    QString message;
    WhenModal([&](QDialog* dialog) {
        TypeInDialog(dialog, QStringLiteral("xyz"));
        PressInDialog(dialog, Qt::Key_Backspace);
        PressInDialog(dialog, Qt::Key_Delete);
        PressInDialog(dialog, Qt::Key_Space);
        message = dialog->findChild<QPlainTextEdit*>()->toPlainText();
        PressInDialog(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::YesNo, QStringLiteral("Pozor|Titulek")), 1);
    EXPECT_EQ(message, QStringLiteral("Pozor"));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Pozor")));

    Clear();
    WhenModal([&](QDialog* dialog) {
        PressInDialog(dialog, Qt::Key_Space);
        PressInDialog(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::YesNoCancel, QStringLiteral("Uložit?|Konec")), -1);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Uložit?...Ano,Ne,Storno"))) << Spoken().join(u'|').toStdString();
}

TEST_F(DialogTest, KindsWithoutDialogReturnAtOnce)
{
    for (const qint32 kind : {6, 7, 16, 100, -1, 9, 10, 12, 14}) {
        EXPECT_EQ(ShowAccessibleDialog(kind, QStringLiteral("x|y")), -1) << kind;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_TRUE(Calls().isEmpty());
}

TEST_F(DialogTest, FileKindsGoToTheirHandlerWithTheirCode)
{
    QList<QPair<qint32, qint32>> seen;
    SetFileDialogHandler([&](qint32 kind, const QString&, qint32 code) {
        seen.append({kind, code});
        return 1;
    });
    for (const qint32 kind : {8, 9, 10, 11, 12, 13, 14, 15})
        EXPECT_EQ(ShowAccessibleDialog(kind, QStringLiteral("x")), 1);
    SetFileDialogHandler(nullptr);
    const QList<QPair<qint32, qint32>> expected{{8, 2601},  {9, 2601},  {10, 2604}, {11, 2604},
                                                {12, 2605}, {13, 2605}, {14, 2602}, {15, 2602}};
    EXPECT_EQ(seen, expected);
}

TEST_F(DialogTest, NumericKeysResizeTheMessage)
{
    struct Case {
        double size;
        Qt::Key key;
        double expected;
    } cases[] = {{24, Qt::Key_Plus, 34}, {34, Qt::Key_Minus, 24}, {20, Qt::Key_Minus, 20}, {12, Qt::Key_Minus, 12}};
    for (const qint32 kind : {DialogKind::Ok, DialogKind::YesNoCancel}) {
        for (const Case& c : cases) {
            double size = 0;
            QString message;
            WhenModal([&](QDialog* dialog) {
                auto* text = dialog->findChild<QPlainTextEdit*>();
                QFont font = text->font();
                font.setPointSizeF(c.size);
                text->setFont(font);
                PressInDialog(dialog, c.key, Qt::KeypadModifier);
                size = text->font().pointSizeF();
                message = text->toPlainText();
                PressInDialog(dialog, Qt::Key_Escape);
            });
            ShowAccessibleDialog(kind, QStringLiteral("Text|T"));
            EXPECT_EQ(size, c.expected) << kind << " " << c.size;
            EXPECT_EQ(message, QStringLiteral("Text"));
        }
    }
}

TEST_F(DialogTest, WaitingBoxClosesWhenSpeechHasEnded)
{
    // The log server is never speaking, so the first poll closes the box.
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::Ok, QStringLiteral("Hotovo|Info"), true), 0);
    const QStringList spoken = Spoken();
    ASSERT_GE(spoken.size(), 4);
    EXPECT_EQ(spoken.first(), QStringLiteral("4 0 "));
    EXPECT_EQ(spoken.at(1), QStringLiteral("12 1 "));
    EXPECT_EQ(spoken.at(2), QStringLiteral("3 0 "));
    EXPECT_EQ(spoken.last(), QStringLiteral("4 0 "));
}

TEST_F(DialogTest, ArrowKeyEndsWaitingAndTheBoxStays)
{
    gVoice = std::make_unique<ScriptedVoiceServer>(1, 2, 0, true); // still speaking: a waiting box stays up
    bool waitingAfterArrow = true;
    bool stillOpen = false;
    WhenModal([&](QDialog* dialog) {
        auto* box = qobject_cast<frmMsg12*>(dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->IsWaiting());
        EXPECT_TRUE(box->Timer1->isActive());
        PressInDialog(dialog, Qt::Key_Right);
        // No poll is left that could close the box once speech ends.
        waitingAfterArrow = box->IsWaiting() || box->Timer1->isActive();
        stillOpen = dialog->isVisible();
        PressInDialog(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::YesNo, QStringLiteral("Čtu dál|Info"), true), 1);
    EXPECT_FALSE(waitingAfterArrow);
    EXPECT_TRUE(stillOpen);
}

TEST_F(DialogTest, WithoutVoiceServerBoxesWorkSilently)
{
    DestroyVoice();
    EXPECT_EQ(Answer(DialogKind::YesNo, QStringLiteral("Tiše?|T"), {Qt::Key_Return}), 1);
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::Ok, QStringLiteral("Tiše|T"), true), 0);
}

TEST_F(DialogTest, EveryControlIsNamedWithItsRole)
{
    for (const qint32 kind : {DialogKind::Ok, DialogKind::YesNo, DialogKind::YesNoCancel}) {
        WhenModal([kind](QDialog* dialog) {
            QAccessibleInterface* window = QAccessible::queryAccessibleInterface(dialog);
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->role(), QAccessible::Dialog);
            EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Titulek"));
            for (QWidget* child : dialog->findChildren<QWidget*>()) {
                if (!child->isVisible() || child->focusPolicy() == Qt::NoFocus)
                    continue;
                QAccessibleInterface* control = QAccessible::queryAccessibleInterface(child);
                ASSERT_NE(control, nullptr);
                EXPECT_FALSE(control->text(QAccessible::Name).trimmed().isEmpty())
                    << kind << " " << child->objectName().toStdString();
                const QAccessible::Role role = control->role();
                EXPECT_TRUE(role == QAccessible::EditableText || role == QAccessible::PushButton)
                    << child->objectName().toStdString() << " role " << role;
                if (role == QAccessible::EditableText) {
                    EXPECT_TRUE(control->state().readOnly);
                }
            }
            PressInDialog(dialog, Qt::Key_Escape);
        });
        ShowAccessibleDialog(kind, QStringLiteral("Zpráva|Titulek"));
    }
}
