#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Field.h"
#include "TestSupport.h"
#include "cActions.h"
#include "cSetting.h"
#include "fSettingColumn.h"
#include "frmNewField.h"
#include "mConvert.h"
#include "modCommon.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

class FieldDialogTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        for (int k = 1; k <= 3; ++k) {
            cAction action;
            action.setCaption(k == 3 ? QStringLiteral("Mapa") : QStringLiteral("Mapa%1").arg(k));
            action.setAction(QStringLiteral("prog|%1").arg(k));
            cActions::Save(k, action);
        }
    }

    static Field MakeField(int type, bool allowZero = false, bool required = false)
    {
        FieldSchema schema;
        schema.Name = QStringLiteral("Obec");
        schema.Type = type;
        schema.Size = 40;
        schema.AllowZeroLength = allowZero;
        schema.Required = required;
        return Field(schema);
    }

    ScopedRegistry m_registry;
    cSetting m_setting;
};

} // namespace

TEST_F(FieldDialogTest, AnExistingFieldShowsItsTypeFlagsActionAndWidth)
{
    cColumnDefinition column;
    column.setAction(QStringLiteral("Mapa"));
    column.setWidth(QStringLiteral("20%"));
    {
        fSettingColumn form;
        form.PrepareEdit(&m_setting, MakeField(JetType::Date, false, true), column);
        EXPECT_EQ(form.lstDataType->currentItem()->text(), QStringLiteral("Date - Datum"));
        EXPECT_EQ(form.txtLen->text(), QStringLiteral("8"));
        EXPECT_FALSE(form.Check1[0]->isChecked());
        EXPECT_TRUE(form.Check1[1]->isChecked());
        EXPECT_EQ(form.cmbAction->currentText(), QStringLiteral("Mapa"));
        EXPECT_FALSE(form.chkWidthAuto->isChecked());
        EXPECT_TRUE(form.txtWidth->isEnabled());
        EXPECT_EQ(form.GetColumnSetting().Width(), QStringLiteral("20%"));
    }
    // A Byte or Memo field shows Text; an action that does not exist leaves none chosen.
    column.setAction(QStringLiteral("Nikde"));
    column.setWidth(QStringLiteral("Auto"));
    for (int type : {int(JetType::Byte), 12}) {
        fSettingColumn form;
        form.PrepareEdit(&m_setting, MakeField(type, true), column);
        EXPECT_EQ(form.lstDataType->currentRow(), 0);
        EXPECT_TRUE(form.Check1[0]->isChecked());
        EXPECT_EQ(form.GetColumnSetting().Action(), QString());
        EXPECT_TRUE(form.chkWidthAuto->isChecked());
        EXPECT_FALSE(form.txtWidth->isEnabled());
    }
}

TEST_F(FieldDialogTest, KeysSetTheNameWidthAndActionAndEachControlIsNamedAndSpoken)
{
    cColumnDefinition column;
    column.setFieldName(QStringLiteral("Obec"));
    column.setVisible(QStringLiteral("Show"));
    column.setAction(QStringLiteral("Mapa2"));
    fSettingColumn form;
    form.PrepareEdit(&m_setting, MakeField(JetType::Text), column);
    QStringList unnamed, spoken;
    QString focus;
    WhenModal([&](QDialog* dialog) {
        focus = dialog->focusWidget()->objectName();
        for (QWidget* control : dialog->findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus && control->isVisibleTo(dialog)
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                unnamed << control->objectName();
        }
        TypeInDialog(dialog, QStringLiteral("Město"));
        while (dialog->focusWidget() != form.cmbAction)
            PressInDialog(dialog, Qt::Key_Tab);
        Clear();
        PressInDialog(dialog, Qt::Key_Up); // Mapa2 -> Mapa1
        PressInDialog(dialog, Qt::Key_Tab); // the index list, left as it is
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Space); // Auto off: the box opens
        PressInDialog(dialog, Qt::Key_Tab);
        TypeInDialog(dialog, QStringLiteral("abc"));
        PressInDialog(dialog, Qt::Key_Return); // refused: the box stays for a correction
        spoken = Spoken();
        TypeInDialog(dialog, QStringLiteral("1500"));
        PressInDialog(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), fSettingColumn::ResultOk);
    EXPECT_EQ(focus, QStringLiteral("txtName"));
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u' ').toStdString();
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 Mapa1")));
    EXPECT_TRUE(spoken.contains(QStringLiteral("2 0 nezaškrtnuto")));
    EXPECT_TRUE(spoken.last().contains(QStringLiteral("Šířka sloupce musí být číslo")));
    const cColumnDefinition chosen = form.GetColumnSetting();
    EXPECT_EQ(chosen.Caption(), QStringLiteral("Město"));
    EXPECT_EQ(chosen.Action(), QStringLiteral("Mapa1"));
    EXPECT_EQ(chosen.Width(), QStringLiteral("1500"));
    EXPECT_EQ(chosen.Visible(), QStringLiteral("Show")) << "the rest of the definition is kept";
    EXPECT_EQ(WindowCodeOf(&form), fSettingColumn::kWindowCode);
}

TEST_F(FieldDialogTest, BesideAScreenReaderTheListsStillSayTheirValues)
{
    // The reader names each control and reads boxes and check boxes, but the toolkit gives
    // it no value of a drop-down list.
    const ScopedScreenReader reader;
    cColumnDefinition column;
    column.setAction(QStringLiteral("Mapa2"));
    fSettingColumn form;
    form.PrepareEdit(&m_setting, MakeField(JetType::Text), column);
    form.ShowIndexing(FieldIndexing::None);
    form.cmbOrder->addItems({QStringLiteral("1"), QStringLiteral("2")});
    QStringList spoken;
    qsizetype focused = -1;
    WhenModal([&](QDialog* dialog) {
        Clear();
        while (dialog->focusWidget() != form.cmbIndexed)
            PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Down);
        spoken = Spoken();
        focused = Calls(QStringLiteral("FocusVoice")).size();
        PressInDialog(dialog, Qt::Key_Escape);
    });
    form.exec();
    EXPECT_EQ(spoken, (QStringList{QStringLiteral("1 0 1"), QStringLiteral("1 0 Mapa2"), QStringLiteral("1 0 Ne"),
                                   QStringLiteral("2 0 Ano (duplicity povoleny)")}));
    EXPECT_EQ(focused, 0) << "the names are the reader's";
}

// The type of an existing field and a primary key's index are heard but not changed: every
// key that would move their lists says why, at the lists' ends too.
TEST_F(FieldDialogTest, ALockedListSaysWhyAtEveryKeyThatWouldMoveItEvenAtAnEnd)
{
    const QString why = QStringLiteral("Primární klíč je indexován vždy bez duplicit, zde ho nelze změnit.");
    const QString type = QStringLiteral("2 0 Datový typ existujícího pole zde nelze změnit.");
    fSettingColumn form;
    form.PrepareEdit(&m_setting, MakeField(JetType::Long), cColumnDefinition());
    form.ShowIndexing(FieldIndexing::PrimaryKey, why);
    QStringList onType, typeKeys, spoken;
    WhenModal([&](QDialog* dialog) {
        Clear();
        for (int tab = 0; tab < 12 && dialog->focusWidget() != form.lstDataType; ++tab)
            PressInDialog(dialog, Qt::Key_Tab);
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            onType << call.mid(1).join(u'|');
        Clear();
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Home})
            PressInDialog(dialog, key);
        TypeInDialog(dialog, QStringLiteral("t")); // the first letter of Text
        typeKeys = Spoken();
        while (dialog->focusWidget() != form.cmbIndexed)
            PressInDialog(dialog, Qt::Key_Tab);
        Clear();
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Up, Qt::Key_Home})
            PressInDialog(dialog, key);
        spoken = Spoken();
        PressInDialog(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), fSettingColumn::ResultOk);
    ASSERT_FALSE(onType.isEmpty());
    EXPECT_TRUE(onType.last().contains(QStringLiteral("Datový typ")) && onType.last().contains(QStringLiteral("Long")))
        << onType.join(u'|').toStdString();
    EXPECT_EQ(typeKeys, QStringList(4, type)) << typeKeys.join(u'|').toStdString();
    EXPECT_EQ(spoken, QStringList(4, QStringLiteral("2 0 ") + why));
    EXPECT_EQ(form.GetDataType(), int(JetType::Long));
    EXPECT_EQ(form.cmbIndexed->currentText(), QStringLiteral("Ano (bez duplicit)"));
    EXPECT_EQ(form.Indexing(), FieldIndexing::PrimaryKey);
}

TEST_F(FieldDialogTest, TheNameDialogTakesOnlyANameAndSaysWhyEnterWaits)
{
    frmNewField form;
    QStringList spoken;
    QString typed;
    WhenModal([&](QDialog* dialog) {
        Clear();
        PressInDialog(dialog, Qt::Key_Return);
        spoken = Spoken();
        TypeInDialog(dialog, QStringLiteral("Zvířata"));
        typed = form.txtFieldName->text();
        PressInDialog(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), frmNewField::ResultOk);
    EXPECT_EQ(spoken, QStringList{QStringLiteral("2 0 Zadejte název.")});
    EXPECT_EQ(typed, QStringLiteral("Zvířata"));
    EXPECT_EQ(WindowCodeOf(&form), frmNewField::kWindowCode);

    WhenModal([](QDialog* dialog) {
        TypeInDialog(dialog, QStringLiteral("x"));
        PressInDialog(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(form.exec(), frmNewField::ResultCancel);
}
