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

// The dialog on its own over two stored queries, driven with keys.
class PropertiesTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        const QString path = m_dir.filePath(QStringLiteral("lide.mdb"));
        CreateDatabaseFromScript(path, QStringLiteral("CREATE TABLE Lidé (Jméno TEXT, Obec TEXT);"));
        m_db = DBEngine::Instance().OpenDatabase(path);
        m_db->CreateQueryDef(QStringLiteral("Jména"), QStringLiteral("SELECT Jméno\r\nFROM Lidé\nORDER BY Jméno"));
        m_db->CreateQueryDef(QStringLiteral("Brno"), QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'Brno'"));
    }

    int Run(const std::function<void(frmProperties*)>& answer)
    {
        frmProperties form;
        form.PrepareSetting(&m_setting, m_db);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<frmProperties*>(dialog)); });
        return form.exec();
    }

    QStringList Stored() const
    {
        QStringList queries;
        for (const auto& query : *m_db->QueryDefs())
            queries << query->Name() + u'=' + query->SQL();
        return queries;
    }

    ScopedRegistry m_registry;
    cSetting m_setting;
    std::shared_ptr<Database> m_db;
};

} // namespace

TEST_F(PropertiesTest, OpensOnTheFirstQueryAndShowsEachOnOneLineAsTheListMoves)
{
    struct {
        QString focus, first, next;
        QStringList unnamed, spoken;
    } seen;
    const int exec = Run([&](frmProperties* form) {
        seen.focus = form->focusWidget()->objectName();
        seen.first = form->txtName->text() + u'=' + form->txtQuery->text();
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
        }
        Clear();
        // The release of Ctrl+Q, which opened the form, says nothing more; Down does.
        QTest::sendKeyEvent(QTest::Release, form->lstQuery, Qt::Key_Q, QStringLiteral("q"), Qt::ControlModifier);
        PressInDialog(form, Qt::Key_Down);
        seen.next = form->txtName->text() + u'=' + form->txtQuery->text();
        seen.spoken = Spoken();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(exec, frmProperties::ResultCancel);
    EXPECT_EQ(seen.focus, QStringLiteral("lstQuery"));
    EXPECT_EQ(seen.first, QStringLiteral("Jména=SELECT Jméno FROM Lidé ORDER BY Jméno"));
    EXPECT_EQ(seen.next, QStringLiteral("Brno=SELECT * FROM Lidé WHERE Obec = 'Brno'"));
    EXPECT_EQ(seen.spoken, QStringList{QStringLiteral("2 0 Brno")});
    EXPECT_TRUE(seen.unnamed.isEmpty()) << seen.unnamed.join(u' ').toStdString();
    EXPECT_TRUE(m_setting.Query().isEmpty()) << "Escape changes nothing";
}

TEST_F(PropertiesTest, AFailedSaveIsToldWithPipesAndKeepsTheQueriesAndTheTypedText)
{
    const QStringList before = Stored();
    QStringList messages;
    QString typed;
    const auto save = [&messages](frmProperties* form) {
        WhenModal([&messages](QDialog* box) {
            messages << qobject_cast<cMessageBoxForm*>(box)->Message();
            PressInDialog(box, Qt::Key_Return);
        });
        form->cmdSave->setFocus();
        PressInDialog(form, Qt::Key_Space);
    };
    Run([&](frmProperties* form) {
        // New with a name taken, then a text the engine cannot read (its description
        // quotes the text, "|" and all).
        form->cmdAdd->setFocus();
        PressInDialog(form, Qt::Key_Space);
        TypeInDialog(form, QStringLiteral("brno"));
        save(form);
        form->txtName->setFocus();
        TypeInDialog(form, QStringLiteral("Nový"));
        form->txtQuery->setFocus();
        TypeInDialog(form, QStringLiteral("SELECT * FROM Lidé WHERE Obec = 'a|b"));
        save(form);
        typed = form->txtName->text() + u'=' + form->txtQuery->text();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(messages, QStringList({QStringLiteral("Objekt 'brno' již existuje."),
                                     QStringLiteral("Chybí ukončovací uvozovka řetězce 'apipeb.")}));
    EXPECT_EQ(typed, QStringLiteral("Nový=SELECT * FROM Lidé WHERE Obec = 'a|b"));
    EXPECT_EQ(Stored(), before);
}

TEST_F(PropertiesTest, AQueryLongerThanABoxsDefaultLimitIsShownAndSavedWhole)
{
    const QString sql = QStringLiteral("SELECT * FROM Lidé WHERE Obec <> '") + QString(40000, u'x') + u'\'';
    m_db->CreateQueryDef(QStringLiteral("Dlouhý"), sql);
    const QStringList before = Stored();
    qsizetype shown = 0;
    Run([&](frmProperties* form) {
        for (int i = 0; i < 3 && form->txtName->text() != QStringLiteral("Dlouhý"); ++i)
            PressInDialog(form, Qt::Key_Down);
        shown = form->txtQuery->text().size();
        form->cmdSave->setFocus();
        PressInDialog(form, Qt::Key_Return);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(shown, sql.size());
    EXPECT_EQ(Stored(), before);
}
