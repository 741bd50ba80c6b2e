#include "VoiceTestSupport.h"

#include "TestSupport.h"
#include "cFileDialogModel.h"
#include "cMessageBoxForm.h"
#include "cSetting.h"
#include "frmEditActions.h"
#include "mShell.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

class cRecordingStarter final : public cActionStarter {
public:
    qint32 StartProgram(const QString& program, const QStringList& arguments, const QString&) override
    {
        Started << (QStringList{program} + arguments).join(u' ');
        return ShellResult::Started;
    }
    qint32 OpenDocument(const QString& path) override
    {
        Started << path;
        return ShellResult::Started;
    }
    QStringList Started;
};

// The editor on a private hive holding three actions, driven by keys.
class EditActionsTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        m_registry = std::make_unique<ScopedRegistry>();
        Store(1, QStringLiteral("Web"), QStringLiteral("|%3"), QStringLiteral("Web"));
        Store(2, QStringLiteral("Mapa"), QStringLiteral("maps"), QStringLiteral("Obec"));
        Store(3, QStringLiteral("Pošta"), QStringLiteral("mail|-s %1"), QStringLiteral("Email"));
        SetActionStarter(&m_starter);
    }
    void TearDown() override
    {
        SetActionStarter(nullptr);
        SetFileDialogHandler(nullptr);
        m_registry.reset();
        VoiceLogTest::TearDown();
    }

    static void Store(int n, const QString& caption, const QString& command, const QString& field)
    {
        cAction action;
        action.setCaption(caption);
        action.setAction(command);
        action.setField(field);
        cActions::Save(n, action);
    }
    // "caption|command|field" of every stored action, as the main window would load them.
    static QStringList Stored()
    {
        QStringList stored;
        if (auto actions = cSetting().Actions()) {
            for (const cAction& action : *actions)
                stored << action.Caption() + u'|' + action.Action() + u'|' + action.Field();
        }
        return stored;
    }
    // Opens the editor, runs keys on it, and returns its result.
    int Edit(const std::function<void(frmEditActions&)>& keys)
    {
        cSetting setting;
        frmEditActions form;
        form.PrepareEdit(setting, {QStringLiteral("Jméno"), QStringLiteral("Obec"), QStringLiteral("Web")}, m_row);
        WhenModal([&](QDialog*) { keys(form); });
        form.exec();
        return form.Result();
    }
    static void Type(frmEditActions& form, const QString& text) { TypeInDialog(&form, text); }
    static void Press(frmEditActions& form, Qt::Key key) { PressInDialog(&form, key); }

    std::unique_ptr<ScopedRegistry> m_registry;
    cRecordingStarter m_starter;
    cActionRow m_row{{QStringLiteral("Jméno"), QStringLiteral("Obec"), QStringLiteral("Web")},
                     {QStringLiteral("Petr"), QStringLiteral("Hradec"), QStringLiteral("https://example.cz")}};
};

} // namespace

TEST_F(EditActionsTest, KeysCreateAndChangeActionsEachSpokenOnTheWay)
{
    struct {
        int code = 0;
        QString focus, fieldOfMapa;
        QStringList unnamed, announced, spoken;
    } seen;
    // A new action: Insert in the list, the boxes in Tab order, the field by arrows, Enter.
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        seen.code = WindowCodeOf(&form);
        seen.focus = form.focusWidget()->objectName();
        for (QWidget* control : form.findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
        }
        const qsizetype before = Spoken().size();
        Press(form, Qt::Key_Down);
        seen.fieldOfMapa = form.lstField->currentItem()->text();
        seen.spoken = Spoken().mid(before);
        Press(form, Qt::Key_Insert);
        Type(form, QStringLiteral("Trasa"));
        Press(form, Qt::Key_Tab);
        Type(form, QStringLiteral("/usr/bin/trasa"));
        Press(form, Qt::Key_Tab); // Procházet
        Press(form, Qt::Key_Tab);
        Type(form, QStringLiteral("--z \"%2\"|/tmp"));
        Press(form, Qt::Key_Tab);
        Press(form, Qt::Key_Down);
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            seen.announced << call.mid(1, 2).join(u'=');
        Press(form, Qt::Key_Return);
    }), frmEditActions::ResultOk);
    EXPECT_EQ(seen.code, 2613);
    EXPECT_EQ(seen.focus, QStringLiteral("lstActions"));
    EXPECT_EQ(seen.unnamed, QStringList());
    EXPECT_EQ(seen.fieldOfMapa, QStringLiteral("Obec"));
    EXPECT_EQ(seen.spoken, QStringList{QStringLiteral("2 0 Mapa")});
    EXPECT_EQ(seen.announced,
              (QStringList{QStringLiteral("Seznam akcí=Web"), QStringLiteral("Název="), QStringLiteral("Program="),
                           QStringLiteral("Procházet="), QStringLiteral("Parametry="), QStringLiteral("Pole=Jméno")}));
    EXPECT_EQ(Stored().value(3), QStringLiteral("Trasa|/usr/bin/trasa|--z \"%2\"|/tmp|Obec"));

    // OK on an action unchanged writes it back, its command ending with "|"; a field the
    // record source lacks is "Nepřístupné" and stays so.
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_Down);
        Press(form, Qt::Key_Down);
        seen.fieldOfMapa = form.lstField->currentItem()->text();
        Press(form, Qt::Key_Tab); // Nová
        form.txtCaption->setFocus();
        Type(form, QStringLiteral("E-mail"));
        Press(form, Qt::Key_Return);
    }), frmEditActions::ResultOk);
    EXPECT_EQ(seen.fieldOfMapa, QStringLiteral("Nepřístupné"));
    EXPECT_EQ(Stored().value(2), QStringLiteral("E-mail|mail|-s %1|Nepřístupné"));
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_Down);
        Press(form, Qt::Key_Return); // in the list: the test run; so OK from the caption box
    }), frmEditActions::ResultNone);
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_Down);
        form.txtCaption->setFocus();
        Press(form, Qt::Key_Return);
    }), frmEditActions::ResultOk);
    EXPECT_EQ(Stored().value(1), QStringLiteral("Mapa|maps||Obec"));

    // A caption left empty would end the stored list there: refused, the box told.
    QString refused;
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        form.txtCaption->setFocus();
        Press(form, Qt::Key_Delete); // the whole caption is selected on arrival
        WhenModal([&](QDialog* box) {
            refused = qobject_cast<cMessageBoxForm*>(box)->Message();
            PressInDialog(box, Qt::Key_Return);
        });
        Press(form, Qt::Key_Return);
        Press(form, Qt::Key_Escape);
    }), frmEditActions::ResultNone);
    EXPECT_EQ(refused, QStringLiteral("Zadejte název akce."));
    EXPECT_EQ(Stored().size(), 4);
}

TEST_F(EditActionsTest, DeletingTheMiddleActionRenumbersTheRest)
{
    QString question;
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_Down);
        // No: nothing changes.
        WhenModal([&](QDialog* box) { PressInDialog(box, Qt::Key_Escape); });
        Press(form, Qt::Key_Delete);
        WhenModal([&](QDialog* box) {
            question = qobject_cast<cMessageBoxForm*>(box)->Message();
            PressInDialog(box, Qt::Key_Return);
        });
        Press(form, Qt::Key_Delete);
        Press(form, Qt::Key_Escape);
    }), frmEditActions::ResultNone);
    EXPECT_EQ(question, QStringLiteral("Smazat Mapa?"));
    EXPECT_EQ(Stored(), (QStringList{QStringLiteral("Web||%3|Web"), QStringLiteral("Pošta|mail|-s %1|Email")}));
    const QString hive = m_registry->ReadFile();
    EXPECT_FALSE(hive.contains(QStringLiteral("Action3]"))) << hive.toStdString();
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Pošta")));
}

TEST_F(EditActionsTest, BrowseOffersEveryFileAndTheTestRunUsesWhatIsStored)
{
    QString request;
    SetFileDialogHandler([&](qint32 kind, const QString& text, qint32) {
        request = QString::number(kind) + u' ' + text;
        SaveRegSetting(kCommonKey, QString(), QStringLiteral("SelectedFile"), QStringLiteral("/opt/prohlížeč"));
        return qint32(1);
    });
    QString program;
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        form.cmdBrowse->setFocus();
        Press(form, Qt::Key_Space);
        program = form.txtAction->text();
        Press(form, Qt::Key_Escape);
    }), frmEditActions::ResultNone);
    EXPECT_EQ(request, QStringLiteral("9 *.exe|%1|Otevřít").arg(gWorkDir));
    EXPECT_EQ(program, QStringLiteral("/opt/prohlížeč"));
    // Programs have no ".exe" here: asked for one, the dialog shows every file.
    EXPECT_TRUE(cFileDialogModel::MaskPatterns(QStringLiteral("*.exe")).isEmpty());
    EXPECT_EQ(Stored().value(0), QStringLiteral("Web||%3|Web"));

    // Storno writes nothing either.
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        form.txtCaption->setFocus();
        Type(form, QStringLiteral("Jiný"));
        form.cmdCancel->setFocus();
        Press(form, Qt::Key_Space);
    }), frmEditActions::ResultCancel);
    EXPECT_EQ(Stored().value(0), QStringLiteral("Web||%3|Web"));

    // Enter in the list tries the stored action on the row, not the texts being typed.
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_Down);
        form.txtAction->setText(QStringLiteral("changed"));
        Press(form, Qt::Key_Return);
    }), frmEditActions::ResultNone);
    EXPECT_EQ(m_starter.Started, QStringList{QStringLiteral("maps ") + gWorkDir + QStringLiteral("Hradec")});
    // One whose field the row lacks is the engine's not-found error, and nothing starts.
    QString missing;
    EXPECT_EQ(Edit([&](frmEditActions& form) {
        Press(form, Qt::Key_End);
        WhenModal([&](QDialog* box) {
            missing = qobject_cast<cMessageBoxForm*>(box)->Message();
            PressInDialog(box, Qt::Key_Return);
        });
        Press(form, Qt::Key_Return);
    }), frmEditActions::ResultNone);
    EXPECT_EQ(missing, QStringLiteral("Položka 'Email' nebyla v této kolekci nalezena."));
    EXPECT_EQ(m_starter.Started.size(), 1);
}
