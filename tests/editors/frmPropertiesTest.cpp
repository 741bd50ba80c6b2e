#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "QueryDef.h"
#include "TestSupport.h"
#include "cMessageBoxForm.h"
#include "cSetting.h"
#include "frmProperties.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

// Tab (forwards, round the form) until control has the focus, as a keyboard user does.
void TabTo(QDialog* form, QWidget* control)
{
    for (int i = 0; i < 20 && form->focusWidget() != control; ++i)
        PressInDialog(form, Qt::Key_Tab);
    ASSERT_EQ(form->focusWidget(), control);
}

void PressButton(QDialog* form, QWidget* button)
{
    TabTo(form, button);
    PressInDialog(form, Qt::Key_Space);
}

// The dialog on its own, over a database of the test's, driven with keys.
class PropertiesTest : public VoiceLogTest {
protected:
    // Opens the dialog on db and lets answer work it; returns exec's result.
    int Run(const std::shared_ptr<Database>& db, const std::function<void(frmProperties*)>& answer)
    {
        frmProperties form;
        form.PrepareSetting(&m_setting, db);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<frmProperties*>(dialog)); });
        return form.exec();
    }

    std::shared_ptr<Database> People()
    {
        const QString path = m_dir.filePath(QStringLiteral("lide.mdb"));
        CreateDatabaseFromScript(path, QStringLiteral("CREATE TABLE Lidé (Jméno TEXT, Obec TEXT);"));
        auto db = DBEngine::Instance().OpenDatabase(path);
        db->CreateQueryDef(QStringLiteral("Jména"), QStringLiteral("SELECT Jméno\r\nFROM Lidé\nORDER BY Jméno"));
        db->CreateQueryDef(QStringLiteral("Brno"), QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'Brno'"));
        return db;
    }

    static QStringList Stored(Database& db)
    {
        QStringList queries;
        for (const auto& query : *db.QueryDefs())
            queries << query->Name() + u'=' + query->SQL();
        return queries;
    }

    // Answers the next message box with Enter and keeps its text.
    void Answer(QStringList& messages)
    {
        WhenModal([&messages](QDialog* box) {
            messages << (qobject_cast<cMessageBoxForm*>(box) ? qobject_cast<cMessageBoxForm*>(box)->Message()
                                                             : box->windowTitle());
            PressInDialog(box, Qt::Key_Return);
        });
    }

    ScopedRegistry m_registry;
    cSetting m_setting;
};

} // namespace

TEST_F(PropertiesTest, OpensOnTheFirstQueryAndShowsEachOnOneLineAsTheListMoves)
{
    auto db = People();
    struct {
        int code = 0;
        QString focus, name, sql, nextSql;
        QStringList unnamed, spoken;
    } seen;
    const int exec = Run(db, [&](frmProperties* form) {
        seen.code = WindowCodeOf(form);
        seen.focus = form->focusWidget()->objectName();
        seen.name = form->txtName->text();
        seen.sql = form->txtQuery->text();
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
        }
        Clear();
        // The release of Ctrl+Q, which opened the form, says nothing more; Down does.
        QTest::sendKeyEvent(QTest::Release, form->lstQuery, Qt::Key_Q, QStringLiteral("q"), Qt::ControlModifier);
        PressInDialog(form, Qt::Key_Down);
        seen.nextSql = form->txtQuery->text();
        seen.spoken = Spoken();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(exec, frmProperties::ResultCancel);
    EXPECT_EQ(seen.code, 2616);
    EXPECT_EQ(seen.focus, QStringLiteral("lstQuery"));
    EXPECT_EQ(seen.name, QStringLiteral("Jména"));
    EXPECT_EQ(seen.sql, QStringLiteral("SELECT Jméno FROM Lidé ORDER BY Jméno"));
    EXPECT_EQ(seen.nextSql, QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'Brno'"));
    EXPECT_EQ(seen.spoken, QStringList{QStringLiteral("2 0 Brno")});
    EXPECT_TRUE(seen.unnamed.isEmpty()) << seen.unnamed.join(u' ').toStdString();
    EXPECT_TRUE(m_setting.Query().isEmpty()) << "Escape changes nothing";
}

TEST_F(PropertiesTest, AFailedSaveIsToldWithPipesAndKeepsTheQueriesAndTheTypedText)
{
    auto db = People();
    const QStringList before = Stored(*db);
    QStringList messages;
    QString typed;
    Run(db, [&](frmProperties* form) {
        // New with a name taken, then a text the engine cannot read (its description
        // quotes the text, "|" and all).
        PressButton(form, form->cmdAdd);
        TypeInDialog(form, QStringLiteral("brno"));
        Answer(messages);
        PressButton(form, form->cmdSave);
        TabTo(form, form->txtQuery);
        TypeInDialog(form, QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'a|b"));
        TabTo(form, form->txtName);
        TypeInDialog(form, QStringLiteral("Nový"));
        Answer(messages);
        PressButton(form, form->cmdSave);
        typed = form->txtName->text() + u'=' + form->txtQuery->text();
        PressInDialog(form, Qt::Key_Escape);
    });
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("Objekt 'brno' již existuje."));
    EXPECT_TRUE(messages[1].contains(QStringLiteral("'apipeb"))) << messages[1].toStdString();
    EXPECT_EQ(typed, QStringLiteral("Nový=SELECT * FROM Lidé WHERE Obec = 'a|b"));
    EXPECT_EQ(Stored(*db), before);
}

TEST_F(PropertiesTest, AGenuineAccessFileListsEveryKindAndRefusesChangesAsReadOnly)
{
    auto db = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/queryTestV2007.accdb"));
    QStringList names, messages;
    QString ddl;
    Run(db, [&](frmProperties* form) {
        for (int i = 0; i < form->lstQuery->count(); ++i)
            names << form->lstQuery->item(i)->text();
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Down);
        ddl = form->txtQuery->text();
        Answer(messages);
        PressButton(form, form->cmdSave);
        WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); }); // Yes
        Answer(messages);
        PressButton(form, form->cmdRemove);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(names, QStringList({"AppendQuery", "CrosstabQuery", "DataDefinitionQuery", "DeleteQuery", "MakeTableQuery",
                                  "PassthroughQuery", "SelectQuery", "UnionQuery", "UpdateQuery"}));
    EXPECT_EQ(ddl, QStringLiteral("CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"));
    const QString readOnly = QStringLiteral("Databázi nebo objekt nelze aktualizovat. Je jen pro čtení.");
    EXPECT_EQ(messages, QStringList({readOnly, readOnly}));
}
