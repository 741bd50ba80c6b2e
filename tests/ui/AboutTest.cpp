#include "VoiceTestSupport.h"

#include "TestSupport.h"
#include "cSetting.h"
#include "fAbout.h"
#include "frmAbout.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

TEST(FormatTemplateTest, LineBreaksAndFirstOccurrencesOnly)
{
    EXPECT_EQ(FormatTemplate(QStringLiteral("%^Verze %1.%2"), QStringLiteral("1"), QStringLiteral("2")),
              QStringLiteral("\r\nVerze 1.2"));
    EXPECT_EQ(FormatTemplate(QStringLiteral("a%^b%^")), QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(FormatTemplate(QStringLiteral("%1 a %1, %2"), QStringLiteral("x"), QStringLiteral("y")),
              QStringLiteral("x a %1, y"));
    // A value holding a marker is not filled again.
    EXPECT_EQ(FormatTemplate(QStringLiteral("%1-%2-%3-%4"), QStringLiteral("%2"), QStringLiteral("b"),
                             QStringLiteral("c"), QStringLiteral("d")),
              QStringLiteral("%2-b-c-d"));
}

namespace {

class AboutTest : public VoiceLogTest {
protected:
    ScopedRegistry m_registry;
};

// The focusable controls a screen reader would meet without a name.
QStringList Unnamed(QWidget* form)
{
    QStringList unnamed;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (control->focusPolicy() != Qt::NoFocus && control->isVisible()
            && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
            unnamed << control->objectName();
    }
    return unnamed;
}

} // namespace

TEST_F(AboutTest, ProgramsAboutSaysTitleVersionAndLegalTextInOneMessage)
{
    QStringList spoken, unnamed;
    QString title;
    WhenModal([&](QDialog* dialog) {
        auto* form = qobject_cast<frmAbout*>(dialog);
        spoken = Spoken();
        unnamed = Unnamed(form);
        title = form->windowTitle();
        PressInDialog(form, Qt::Key_Return);
    });
    frmAbout form;
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    ASSERT_EQ(spoken.size(), 1) << spoken.join(u'|').toStdString();
    const cProgramInfo& info = ProgramInfo();
    EXPECT_TRUE(spoken[0].startsWith(QStringLiteral("1 0 ") + info.Title + QStringLiteral(", Verze ")
                                     + QString::number(info.Major) + u'.' + QString::number(info.Minor)));
    EXPECT_TRUE(spoken[0].contains(QStringLiteral("Copyright")));
    EXPECT_TRUE(spoken[0].endsWith(form.txtCopyright->toPlainText().replace(u'\n', QStringLiteral("\\n"))))
        << spoken[0].toStdString();
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u',').toStdString();
    EXPECT_FALSE(title.isEmpty());
}

TEST_F(AboutTest, ProgramsAboutMessageIsQueuedBehindTheFocusOfOkNotCutOffByIt)
{
    QStringList order;
    WhenModal([&](QDialog* dialog) {
        for (const QStringList& call : Calls()) {
            if (call.value(0) == QStringLiteral("FocusVoice"))
                order << QStringLiteral("focus ") + call.value(1);
            else if (call.value(0) == QStringLiteral("Voice"))
                order << QStringLiteral("voice ") + call.value(1);
        }
        PressInDialog(dialog, Qt::Key_Return);
    });
    frmAbout form;
    form.exec();
    EXPECT_EQ(order, QStringList({QStringLiteral("focus OK"), QStringLiteral("voice 1")}));
}

TEST_F(AboutTest, ApplicationsAboutWithAnEmptyDefinitionShowsFourEmptyBoxes)
{
    cSetting setting;
    QWidget main;
    main.setWindowTitle(QStringLiteral("adresar.mdb"));
    QString title;
    QStringList texts, labels, unnamed;
    WhenModal([&](QDialog* dialog) {
        auto* form = qobject_cast<fAbout*>(dialog);
        title = form->windowTitle();
        for (int row = 1; row <= 4; ++row) {
            texts << form->Text[row]->toPlainText();
            labels << form->Text[row]->accessibleName();
        }
        unnamed = Unnamed(form);
        PressInDialog(form, Qt::Key_Escape);
    });
    ShowAbout(&main, &setting);
    EXPECT_EQ(title, QStringLiteral("About - Aplikace 'adresar.mdb'"));
    EXPECT_EQ(texts, QStringList({QString(), QString(), QString(), QString()}));
    EXPECT_EQ(labels, QStringList({QStringLiteral("Název"), QStringLiteral("Komentář"), QStringLiteral("Verze"),
                                   QStringLiteral("Copyright")}));
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u',').toStdString();
    EXPECT_FALSE(HasAboutTexts(setting));
}

TEST_F(AboutTest, ApplicationsTextsAreReadSelectedOneBoxAfterAnother)
{
    SaveRegSetting(kProgramKey, QStringLiteral("About"), QStringLiteral("Name"), QStringLiteral("Adresář"));
    SaveRegSetting(kProgramKey, QStringLiteral("About"), QStringLiteral("Copyright"), QStringLiteral("© Spolek"));
    cSetting setting;
    ASSERT_TRUE(HasAboutTexts(setting));
    QList<QStringList> focus;
    QString selected;
    WhenModal([&](QDialog* dialog) {
        auto* form = qobject_cast<fAbout*>(dialog);
        form->activateWindow();
        Clear();
        for (int i = 0; i < 3; ++i)
            PressInDialog(form, Qt::Key_Tab);
        selected = form->Text[4]->textCursor().selectedText();
        focus = Calls(QStringLiteral("FocusVoice"));
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Space); // OK
    });
    ShowAbout(nullptr, &setting);
    EXPECT_EQ(selected, QStringLiteral("© Spolek"));
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().value(1), QStringLiteral("Copyright"));
    EXPECT_EQ(focus.last().value(2), QStringLiteral("© Spolek"));
}
