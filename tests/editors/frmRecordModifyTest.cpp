#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "TestSupport.h"
#include "cMessageBoxForm.h"
#include "cSetting.h"
#include "frmRecordModify.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QAccessible>
#include <QListWidget>
#include <QPushButton>

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
