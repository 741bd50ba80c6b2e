#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "cRuntimeError.h"
#include "frmRecordOrder.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <functional>

namespace {

class RecordOrderTest : public VoiceLogTest {
protected:
    struct Outcome {
        int exec = 0, result = 0;
        QString query;
    };

    // Opens the dialog on table of database, lets answer work it with keys, and reads it
    // as the main window does.
    static Outcome Run(Database& database, const QString& table, const std::function<void(frmRecordOrder*)>& answer)
    {
        frmRecordOrder form;
        form.Prepare(database, table);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<frmRecordOrder*>(dialog)); });
        Outcome outcome;
        outcome.exec = form.exec();
        outcome.result = form.Result();
        outcome.query = form.Query();
        return outcome;
    }

    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
};

TEST_F(RecordOrderTest, KeysCollectBracketedNamesThatTheEngineTakes)
{
    const QString path = m_dir.filePath(QStringLiteral("sklad.mdb"));
    CreateDatabaseFromScript(path, QStringLiteral(R"(
        CREATE TABLE "Sklad zboží" ("Id" INTEGER, "Název zboží" VARCHAR(30), "Sleva [%]" DOUBLE);
        INSERT INTO "Sklad zboží" VALUES (1, 'Mýdlo', 5);)"));
    auto database = DBEngine::Instance().OpenDatabase(path);
    struct {
        QString title, focus, current, afterEnterOnInsert;
        int code = 0;
        QStringList items, unnamed, spoken;
        QList<QStringList> focusVoice;
    } seen;
    const Outcome outcome = Run(*database, QStringLiteral("Sklad zboží"), [&](frmRecordOrder* form) {
        seen.title = form->windowTitle();
        seen.code = WindowCodeOf(form);
        seen.focus = form->focusWidget()->objectName();
        seen.current = form->lstField->currentItem()->text();
        seen.items = Items(form->lstField);
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
        }
        const qsizetype before = Spoken().size();
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Space);
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Insert);
        PressInDialog(form, Qt::Key_Home);
        PressInDialog(form, Qt::Key_Space);
        seen.spoken = Spoken().mid(before);
        // On the Insert button Enter inserts; the list is left as it is.
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Return);
        seen.afterEnterOnInsert = form->txtResult->text();
        // Clear, then the list is built again and Enter in the box confirms it.
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Space);
        seen.spoken << Spoken().last();
        PressInDialog(form, Qt::Key_Tab);
        seen.focusVoice = Calls(QStringLiteral("FocusVoice"));
        form->lstField->setFocus();
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Down, Qt::Key_Space, Qt::Key_Home, Qt::Key_Space})
            PressInDialog(form, key);
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(seen.title, QStringLiteral("Výběr polí"));
    EXPECT_EQ(seen.code, 2618);
    EXPECT_EQ(seen.focus, QStringLiteral("lstField"));
    EXPECT_EQ(seen.current, QStringLiteral("Id"));
    EXPECT_EQ(seen.items, (QStringList{QStringLiteral("Id"), QStringLiteral("Název zboží"), QStringLiteral("Sleva [%]")}));
    EXPECT_EQ(seen.unnamed, QStringList());
    EXPECT_EQ(seen.spoken, (QStringList{
                               QStringLiteral("2 0 Název zboží"),
                               QStringLiteral("2 0 [Název zboží]"),
                               QStringLiteral("2 0 Sleva [%]"),
                               QStringLiteral("2 0 [Název zboží],[Sleva [%]]]"),
                               QStringLiteral("2 0 Id"),
                               QStringLiteral("2 0 [Název zboží],[Sleva [%]]],[Id]"),
                               QStringLiteral("2 0 prázdné pole"),
                           }));
    EXPECT_EQ(seen.afterEnterOnInsert, QStringLiteral("[Název zboží],[Sleva [%]]],[Id],[Id]"));
    // Each control once, by its caption: the list with its entry, the buttons, the box.
    QStringList announced;
    for (const QStringList& call : std::as_const(seen.focusVoice))
        announced << call.mid(1, 2).join(u'=');
    EXPECT_EQ(announced, (QStringList{QStringLiteral("Pole tabulky=Id"), QStringLiteral("Vložit="),
                                      QStringLiteral("Vymazat="), QStringLiteral("Vybraná pole=")}));

    EXPECT_EQ(outcome.exec, 1);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.query, QStringLiteral("select [Název zboží],[Sleva [%]]],[Id] from [Sklad zboží]"));
    auto opened = database->OpenRecordset(outcome.query);
    QStringList fields;
    for (qint32 i = 0; i < opened->Fields()->Count(); ++i)
        fields << opened->Fields()->Item(i)->Name();
    EXPECT_EQ(fields, (QStringList{QStringLiteral("Název zboží"), QStringLiteral("Sleva [%]"), QStringLiteral("Id")}));
}

TEST_F(RecordOrderTest, AnAccessTableListsItsFieldsAndEscapeGivesThemAll)
{
    auto database = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    QStringList items;
    const Outcome outcome = Run(*database, QStringLiteral("order details"), [&](frmRecordOrder* form) {
        items = Items(form->lstField);
        PressInDialog(form, Qt::Key_Space);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(items, (QStringList{QStringLiteral("OrderID"), QStringLiteral("ProductID"), QStringLiteral("UnitPrice"),
                                  QStringLiteral("Quantity"), QStringLiteral("Discount")}));
    EXPECT_EQ(outcome.exec, 2);
    EXPECT_EQ(outcome.result, 2);
    // The name as the database spells it, whatever case the caller used.
    EXPECT_EQ(outcome.query, QStringLiteral("select * from [Order Details]"));

    frmRecordOrder form;
    try {
        form.Prepare(*database, QStringLiteral("Objednávky"));
        ADD_FAILURE() << "a table that is not there was listed";
    } catch (const cRuntimeError& error) {
        EXPECT_EQ(error.Number(), 3265);
    }
}

} // namespace
