#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"
#include "fRunAction.h"
#include "frmEditActions.h"
#include "mActionRun.h"
#include "mShell.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace {

// Actions run from the main window, set up and chosen by keys.
class ActionsTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        m_written = m_dir.filePath(QStringLiteral("args.bin"));
        qputenv("QUARNEL_ARGS_FILE", QFile::encodeName(m_written));
    }
    void TearDown() override
    {
        qunsetenv("QUARNEL_ARGS_FILE");
        ApplicationTest::TearDown();
    }
    static void Store(int n, const QString& caption, const QString& command, const QString& field)
    {
        cAction action;
        action.setCaption(caption);
        action.setAction(command);
        action.setField(field);
        cActions::Save(n, action);
    }
    // The arguments the test program was started with (its folder left out).
    QStringList Written() const
    {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_written), 20000); }();
        QFile file(m_written);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList items;
        for (const QByteArray& item : file.readAll().split('\0'))
            items << QString::fromUtf8(item);
        file.remove();
        return items.mid(1, items.size() - 2);
    }

    QString m_written;
};

} // namespace

TEST_F(ActionsTest, EnterInAFormBoxRunsTheActionsOfItsColumnOnTheRecord)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    Store(1, QStringLiteral("Zápis"), QStringLiteral(ARGS_WRITER "|-n %1 %2"), QStringLiteral("Obec"));
    ASSERT_TRUE(Open(path));
    Press(Qt::Key_Down);
    Press(Qt::Key_F12);
    ASSERT_EQ(Focus(), m_window->Text[1]);
    // No action on Jméno: said so.
    Clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("2 0 K poli Jméno není přiřazena žádná akce.")});
    Press(Qt::Key_Tab);
    ASSERT_EQ(Focus(), m_window->Text[2]);
    Clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(Written(), (QStringList{QStringLiteral("-n"), QStringLiteral("Marie"), QStringLiteral("Chrudim")}));
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 Spuštěno: Zápis."));
}

TEST_F(ActionsTest, AnActionDeletedInTheEditorNoLongerRunsHoweverTheEditorIsLeft)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    Store(1, QStringLiteral("Zápis"), QStringLiteral(ARGS_WRITER "|-n %1 %2"), QStringLiteral("Obec"));
    ASSERT_TRUE(Open(path));
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    ASSERT_EQ(Focus(), m_window->Text[2]);
    WhenModal([](QDialog* form) {
        WhenModal([](QDialog* box) { PressInDialog(box, Qt::Key_Return); }); // Yes, delete it
        PressInDialog(form, Qt::Key_Delete);
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_K, Qt::ControlModifier);
    ASSERT_EQ(Focus(), m_window->Text[2]);
    Clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("2 0 K poli Obec není přiřazena žádná akce.")});
    EXPECT_FALSE(QFile::exists(m_written));
}

TEST_F(ActionsTest, ActionsMadeInTheEditorRunFromTheRecordMenu)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    ASSERT_TRUE(Open(path));
    // Nothing defined yet.
    Clear();
    Press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList{QStringLiteral("2 0 Žádná akce nepatří k polím, která jsou zobrazena.")});

    // Ctrl+K: the editor starts in a new action; Enter stores it and the window takes it.
    WhenModal([](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Věk zapsat"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral(ARGS_WRITER));
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("%3 \"%1 x\""));
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Down); // Jméno, Obec, Věk
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(m_registry->ReadFile().contains(QStringLiteral("\"Field\"=\"Věk\"")));

    // Ctrl+E lists it with its field; Enter runs it on the selected record.
    QStringList offered;
    WhenModal([&](QDialog* chooser) {
        auto* list = chooser->findChild<QListWidget*>(QStringLiteral("lstActions"));
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        PressInDialog(chooser, Qt::Key_Return);
    });
    Press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(offered, QStringList{QStringLiteral("Věk zapsat, Věk")});
    EXPECT_EQ(Written(), (QStringList{QStringLiteral("40"), QStringLiteral("Petr x")}));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Spuštěno: Věk zapsat.")));

    // Escape in the list runs nothing.
    WhenModal([](QDialog* chooser) { PressInDialog(chooser, Qt::Key_Escape); });
    Press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_FALSE(QFile::exists(m_written));
}

TEST_F(ActionsTest, ADocumentActionOpensTheValueWithTheDesktopsHandler)
{
    const QString path = MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript));
    QFile document(m_dir.filePath(QStringLiteral("Hradec.txt")));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.close();
    Store(1, QStringLiteral("Otevřít"), QStringLiteral("|%2.txt"), QStringLiteral("Obec"));
    ASSERT_TRUE(Open(path));
    gWorkDir = m_dir.path() + u'/';
    UrlCatcher desktop(QStringLiteral("file"));
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Return);
    EXPECT_EQ(desktop.Opened, QList<QUrl>{QUrl::fromLocalFile(document.fileName())});
}
