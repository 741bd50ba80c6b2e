#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "TestSupport.h"
#include "cMessageBoxForm.h"
#include "cSetting.h"
#include "Recordset.h"
#include "frmRecordModify.h"
#include "mJetErrors.h"
#include "mLongWork.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

namespace {

class StructureEditorTest : public VoiceLogTest {
protected:
    int Run(const QString& file, const std::function<void(frmRecordModify*)>& answer)
    {
        m_setting.setDatabaseFile(file);
        frmRecordModify form;
        form.PrepareSetting(&m_setting);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<frmRecordModify*>(dialog)); });
        const int result = form.exec();
        m_tables = form.TableNames();
        return result;
    }

    // A file whose table Lidé has a million rows: work on it outlasts the moment quick work
    // is given, so Escape can stop it.
    QString MillionRows(const QString& name) const
    {
        const QString path = m_dir.filePath(name);
        CreateDatabaseFromScript(path, QStringLiteral("CREATE TABLE Lidé (Jméno TEXT, Obec TEXT);"
                                                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                      "WHERE i < 1000000) INSERT INTO Lidé SELECT 'Jméno ' || i, 'Brno' FROM n;"));
        return path;
    }

    // In the field list, key (with modifiers) opens the field dialog, set fills it and Enter
    // closes it; Escape comes as soon as the work Enter starts runs. A box the work might
    // bring is answered and its message kept. Returns what was said from Enter on.
    QStringList EscapeTheWork(frmRecordModify* form, Qt::Key key, Qt::KeyboardModifiers modifiers,
                              const std::function<void(QDialog*)>& set)
    {
        PressInDialog(form, Qt::Key_Tab);
        WhenModal([&](QDialog* dialog) {
            set(dialog);
            Clear();
            auto* watch = new QTimer(form);
            QObject::connect(watch, &QTimer::timeout, form, [watch] {
                if (LongWorkRunning()) {
                    watch->stop();
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                }
            });
            watch->start(5);
            WhenModal(
                [this](QDialog* box) {
                    if (auto* message = qobject_cast<cMessageBoxForm*>(box)) {
                        m_messages << message->Message();
                        PressInDialog(box, Qt::Key_Return);
                    }
                },
                5000, true);
            PressInDialog(dialog, Qt::Key_Return);
        });
        PressInDialog(form, key, modifiers);
        return Spoken();
    }

    ScopedRegistry m_registry;
    cSetting m_setting;
    QStringList m_tables;
    QStringList m_messages;
};

void TabTo(QDialog* dialog, const char* name)
{
    while (dialog->focusWidget()->objectName() != QLatin1String(name))
        PressInDialog(dialog, Qt::Key_Tab);
}

// The indexes made by CREATE INDEX that the file holds.
int PlainCount(sqlite3* raw)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(raw, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL", -1, &statement, nullptr);
    const int count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return count;
}

QStringList Entries(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

TEST(StructureEditorEntries, LinkedTablesSayWhereTheyLiveAndSystemTablesAreNotListed)
{
    EXPECT_EQ(frmRecordModify::TableEntry(QStringLiteral("Lidé"), 0, QString()), QStringLiteral("Lidé"));
    EXPECT_EQ(frmRecordModify::TableEntry(QStringLiteral("Zákazníci"), 0x20000000, QStringLiteral("ODBC;DSN=x")),
              QStringLiteral("Zákazníci -> ODBC"));
    EXPECT_EQ(frmRecordModify::TableEntry(QStringLiteral("Sklad"), 0x40000000, QStringLiteral(";DATABASE=c:\\a.mdb")),
              QStringLiteral("Sklad -> Jet"));
    EXPECT_EQ(frmRecordModify::TableEntry(QStringLiteral("Staré"), 0x40000000, QStringLiteral("dBASE IV;DATABASE=c:\\")),
              QStringLiteral("Staré -> dBASE IV"));
    EXPECT_TRUE(frmRecordModify::IsSystemTable(qint32(0x80000000u)));
    EXPECT_TRUE(frmRecordModify::IsSystemTable(2));
    EXPECT_FALSE(frmRecordModify::IsSystemTable(0x40000000));
}

TEST_F(StructureEditorTest, TheListsTakeTheKeysInOrderSpeakTheirEntriesAndColumnSettingsApplyAtOnce)
{
    const QString path = m_dir.filePath(QStringLiteral("lide.mdb"));
    CreateDatabaseFromScript(path, QStringLiteral("CREATE TABLE Lidé (Jméno TEXT, Obec TEXT); CREATE TABLE Obce (Název TEXT);"));
    QStringList tables, unnamed, order, spoken;
    int code = 0;
    const int result = Run(path, [&](frmRecordModify* form) {
        code = WindowCodeOf(form);
        tables = Entries(form->lstTable);
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                unnamed << control->objectName();
        }
        order << form->focusWidget()->objectName() + u'=' + form->lstTable->currentItem()->text();
        Clear();
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Up);
        PressInDialog(form, Qt::Key_Tab);
        order << form->focusWidget()->objectName() + u'=' + form->lstField->currentItem()->text();
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Tab);
        order << form->focusWidget()->objectName();
        PressInDialog(form, Qt::Key_Space); // Obec hidden
        while (form->focusWidget() != form->txtOrder)
            PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Space);
        spoken = Spoken();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(result, frmRecordModify::ResultCancel);
    EXPECT_EQ(code, frmRecordModify::kWindowCode);
    EXPECT_EQ(tables, (QStringList{QStringLiteral("Lidé"), QStringLiteral("Obce")}));
    EXPECT_EQ(order, (QStringList{QStringLiteral("lstTable=Lidé"), QStringLiteral("lstField=Jméno"),
                                  QStringLiteral("chkVisible")}));
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u' ').toStdString();
    for (const char* said : {"2 0 Obce", "2 0 Lidé", "2 0 Obec", "2 0 nezaškrtnuto",
                             "2 0 Nastavení sloupců 1 a 2 jsou prohozena."})
        EXPECT_TRUE(spoken.contains(QString::fromUtf8(said))) << said << " in " << spoken.join(u'|').toStdString();
    // Hidden at once, not at OK, in the first free place; exchanged, neither place is left
    // empty, so the grid still finds both.
    EXPECT_EQ(m_setting.GetColumnDef(2, QString()).FieldName(), QStringLiteral("Obec"));
    EXPECT_EQ(m_setting.GetColumnDef(1, QString()).FieldName(), QStringLiteral("Jméno"));
    ASSERT_TRUE(m_setting.FindColumnDef(QStringLiteral("Obec")));
    EXPECT_EQ(m_setting.FindColumnDef(QStringLiteral("Obec"))->Visible(), QString());
    EXPECT_EQ(m_setting.FindColumnDef(QStringLiteral("Jméno"))->Visible(), QStringLiteral("Show"));
}

TEST_F(StructureEditorTest, AnAccessFileIsListedAndEveryChangeIsRefusedBeforeAnyDialog)
{
    QStringList tables, messages, heard;
    QString field, indexed;
    const auto refused = [&messages](QDialog* box) {
        messages << qobject_cast<cMessageBoxForm*>(box)->Message();
        PressInDialog(box, Qt::Key_Return);
    };
    Run(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"), [&](frmRecordModify* form) {
        tables = Entries(form->lstTable);
        for (Qt::Key key : {Qt::Key_Insert, Qt::Key_Delete}) {
            WhenModal(refused);
            PressInDialog(form, key); // in the table list
        }
        PressInDialog(form, Qt::Key_Tab);
        for (Qt::Key key : {Qt::Key_Insert, Qt::Key_Delete}) {
            WhenModal(refused);
            PressInDialog(form, key); // in the field list
        }
        // The field's dialog shows its index as the file has it, and keeps it.
        field = form->lstField->currentItem()->text();
        WhenModal([&](QDialog* dialog) {
            TabTo(dialog, "cmbIndexed");
            Clear();
            PressInDialog(dialog, Qt::Key_Up);
            PressInDialog(dialog, Qt::Key_Home);
            heard = Spoken();
            indexed = qobject_cast<QComboBox*>(dialog->focusWidget())->currentText();
            PressInDialog(dialog, Qt::Key_Escape);
        });
        PressInDialog(form, Qt::Key_Return, Qt::AltModifier);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(field, QStringLiteral("OrderID"));
    EXPECT_EQ(indexed, QStringLiteral("Ano (duplicity povoleny)")) << "its own index beside the key of two fields";
    const QString why = QStringLiteral("2 0 Databáze je jen pro čtení, index pole v ní nelze změnit. "
                                       "Upravitelnou kopii vytvoří příkaz Uložit jako.");
    EXPECT_EQ(heard, (QStringList{why, why}));
    EXPECT_TRUE(tables.contains(QStringLiteral("Order Details")));
    EXPECT_TRUE(tables.contains(QStringLiteral("Umsätze")));
    EXPECT_FALSE(tables.join(u' ').contains(QStringLiteral("MSys")));
    ASSERT_EQ(messages.size(), 4);
    for (const QString& message : messages) {
        EXPECT_TRUE(message.contains(QStringLiteral("3027"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("Upravitelnou kopii vytvoří příkaz Uložit jako."))) << message.toStdString();
    }
}

TEST_F(StructureEditorTest, EscapeStopsAFieldBeingPutFirstAndTheTableStaysAsItWas)
{
    // A field in front rebuilds the table.
    const QString path = MillionRows(QStringLiteral("velka.mdb"));
    QStringList fields, spoken;
    Run(path, [&](frmRecordModify* form) {
        spoken = EscapeTheWork(form, Qt::Key_Insert, Qt::NoModifier, [](QDialog* dialog) {
            TypeInDialog(dialog, QStringLiteral("Věk"));
            TabTo(dialog, "cmbOrder");
            PressInDialog(dialog, Qt::Key_Home);
        });
        fields = Entries(form->lstField);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 Přerušeno."))) << spoken.join(u'|').toStdString();
    EXPECT_TRUE(spoken.filter(QStringLiteral("Pole Věk")).isEmpty()) << "no field was added";
    EXPECT_EQ(m_messages, QStringList{});
    EXPECT_EQ(fields, (QStringList{QStringLiteral("Jméno"), QStringLiteral("Obec")}));
    const auto db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(db->TableDefs()->Item(QStringLiteral("Lidé"))->Fields()->Count(), 2);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT COUNT(*) FROM Lidé"))->FieldValue(0).toLongLong(), 1000000);
}

TEST_F(StructureEditorTest, ATableAnotherRefersToIsNotDeletedAndTheReasonIsHeard)
{
    // Made as another program makes it: relations checked, deleting cascades.
    const QString path = m_dir.filePath(QStringLiteral("kraje.sqlite"));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA foreign_keys = ON;"
                                "CREATE TABLE Kraje (Id INTEGER PRIMARY KEY, N TEXT);"
                                "CREATE TABLE Obce (Id INTEGER PRIMARY KEY, N TEXT,"
                                " Kraj INTEGER REFERENCES Kraje (Id) ON DELETE CASCADE);"
                                "INSERT INTO Kraje VALUES (1, 'Jihomoravský');"
                                "INSERT INTO Obce VALUES (1, 'Brno', 1), (2, 'Znojmo', 1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    QStringList messages, spoken, tables;
    QString heard;
    Run(path, [&](frmRecordModify* form) {
        ASSERT_EQ(form->lstTable->currentItem()->text(), QStringLiteral("Kraje"));
        WhenModal([&](QDialog* question) {
            messages << qobject_cast<cMessageBoxForm*>(question)->Message();
            WhenModal([&](QDialog* box) {
                messages << qobject_cast<cMessageBoxForm*>(box)->Message();
                PressInDialog(box, Qt::Key_Return);
            });
            PressInDialog(question, Qt::Key_Return); // Yes
        });
        Clear();
        PressInDialog(form, Qt::Key_Delete);
        spoken = Spoken();
        for (const QStringList& call : Calls())
            heard += call.join(u'\t') + u'\n';
        tables = Entries(form->lstTable);
        PressInDialog(form, Qt::Key_Escape);
    });
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Smazat Kraje?"))) << messages[0].toStdString();
    EXPECT_EQ(messages[1], JetErrorDescription(JetError::InRelation, {QStringLiteral("Kraje")}));
    EXPECT_TRUE(heard.contains(messages[1])) << heard.toStdString();
    EXPECT_TRUE(spoken.filter(QStringLiteral("smazána")).isEmpty()) << spoken.join(u'|').toStdString();
    EXPECT_EQ(tables, (QStringList{QStringLiteral("Kraje"), QStringLiteral("Obce")}));
    const auto db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT COUNT(*) FROM Obce WHERE Kraj = 1"))->FieldValue(0).toLongLong(), 2);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT COUNT(*) FROM Kraje"))->FieldValue(0).toLongLong(), 1);
}

TEST_F(StructureEditorTest, EscapeStopsAnIndexBeingMadeAndTheFileHasNone)
{
    const QString path = MillionRows(QStringLiteral("indexy.mdb"));
    QStringList spoken;
    Run(path, [&](frmRecordModify* form) {
        spoken = EscapeTheWork(form, Qt::Key_Return, Qt::AltModifier, [](QDialog* dialog) {
            TabTo(dialog, "cmbIndexed");
            PressInDialog(dialog, Qt::Key_Down);
        });
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 Přerušeno."))) << spoken.join(u'|').toStdString();
    EXPECT_TRUE(spoken.filter(QStringLiteral("Index pole")).isEmpty()) << spoken.join(u'|').toStdString();
    EXPECT_EQ(m_messages, QStringList{});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    EXPECT_EQ(PlainCount(raw), 0);
    sqlite3_close(raw);
}
