#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "TestSupport.h"
#include "cMessageBoxForm.h"
#include "cSetting.h"
#include "frmRecordModify.h"
#include "mDatabaseCopy.h"
#include "modCommon.h"

#include <QAccessible>
#include <QListWidget>

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

    ScopedRegistry m_registry;
    cSetting m_setting;
    QStringList m_tables;
};

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

TEST_F(StructureEditorTest, AnEmptyDatabaseGetsTheDefaultTableAndTheListsTakeTheKeysInOrder)
{
    const QString path = m_dir.filePath(QStringLiteral("prazdna.mdb"));
    DBEngine::Instance().CreateDatabase(path, kCzechLocale)->Close();
    QStringList tables, fields, unnamed, order;
    int code = 0;
    const int result = Run(path, [&](frmRecordModify* form) {
        code = WindowCodeOf(form);
        tables = Entries(form->lstTable);
        fields = Entries(form->lstField);
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                unnamed << control->objectName();
        }
        order << form->focusWidget()->objectName() + u'=' + form->lstTable->currentItem()->text();
        PressInDialog(form, Qt::Key_Tab);
        order << form->focusWidget()->objectName();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(result, frmRecordModify::ResultCancel);
    EXPECT_EQ(code, frmRecordModify::kWindowCode);
    EXPECT_EQ(tables, QStringList{QStringLiteral("tabulka1")});
    EXPECT_EQ(fields, QStringList{QStringLiteral("nové")});
    EXPECT_EQ(order, (QStringList{QStringLiteral("lstTable=tabulka1"), QStringLiteral("lstField")}));
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u' ').toStdString();
    // Made at once, not at OK: the file holds it after Escape.
    const auto field = DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("tabulka1"))->Fields()->Item(0);
    EXPECT_EQ(field->Name(), QStringLiteral("nové"));
    EXPECT_EQ(field->Type(), 10);
    EXPECT_EQ(field->Size(), 250);
    EXPECT_TRUE(field->AllowZeroLength());
    EXPECT_FALSE(field->Required());
}

TEST_F(StructureEditorTest, AnAccessFileIsListedAndEveryChangeIsRefusedBeforeAnyDialog)
{
    QStringList tables, messages;
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
        WhenModal(refused);
        PressInDialog(form, Qt::Key_Return, Qt::AltModifier);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_TRUE(tables.contains(QStringLiteral("Order Details")));
    EXPECT_TRUE(tables.contains(QStringLiteral("Umsätze")));
    EXPECT_FALSE(tables.join(u' ').contains(QStringLiteral("MSys")));
    ASSERT_EQ(messages.size(), 5);
    for (const QString& message : messages) {
        EXPECT_TRUE(message.contains(QStringLiteral("3027"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("Upravitelnou kopii vytvoří příkaz Uložit jako."))) << message.toStdString();
    }
}
