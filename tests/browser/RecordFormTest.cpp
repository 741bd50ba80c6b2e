#include "ApplicationHarness.h"

#include "DBEngine.h"
#include "TableDef.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "sStartup.h"
#include "fRecord.h"
#include "mConvert.h"
#include "modCommon.h"
#include "modRegistry.h"

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Adding, editing and deleting records as a keyboard user does, answering every dialog
// with keys, then reading the database back through the engine.
class RecordFormTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        m_path = m_dir.filePath(QStringLiteral("lide.mdb"));
        auto db = DBEngine::Instance().CreateDatabase(m_path, QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"));
        auto table = db->CreateTableDef(QStringLiteral("Lidé"));
        auto add = [&](const QString& name, int type, int size, bool required, bool zeroLength, const QString& byDefault) {
            auto field = table->CreateField(name, type, size);
            field->setRequired(required);
            field->setAllowZeroLength(zeroLength);
            if (!byDefault.isEmpty())
                field->setDefaultValue(byDefault);
            table->Fields()->Append(field);
        };
        add(QStringLiteral("Jméno"), JetType::Text, 10, true, false, {});
        add(QStringLiteral("Obec"), JetType::Text, 30, false, true, QStringLiteral("Brno"));
        add(QStringLiteral("Narozen"), JetType::Date, 0, false, false, {});
        add(QStringLiteral("Výška"), JetType::Double, 0, false, false, {});
        add(QStringLiteral("Aktivní"), JetType::Boolean, 0, false, false, {});
        db->TableDefs()->Append(table);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [Lidé]"));
        for (const auto& [name, town] : {std::pair{"Petr", "Hradec"}, {"Marie", "Chrudim"}, {"Adam", "Brno"}}) {
            rs->AddNew();
            rs->SetFieldValue(0, QString::fromUtf8(name));
            rs->SetFieldValue(1, QString::fromUtf8(town));
            rs->Update();
        }
        db->Close();
        ASSERT_TRUE(Open(m_path));
        m_window->list->setFocus();
    }

    // The records as the database now holds them, one "name|town|born|height|active" each.
    QStringList Stored() const
    {
        QStringList records;
        auto db = DBEngine::Instance().OpenDatabase(m_path);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [Lidé]"));
        for (; !rs->Eof(); rs->MoveNext()) {
            QStringList values;
            for (int i = 0; i < 5; ++i) {
                const QVariant value = rs->FieldValue(i);
                values << (value.typeId() == QMetaType::QDateTime ? value.toDateTime().date().toString(Qt::ISODate)
                                                                   : value.toString());
            }
            records << values.join(u'|');
        }
        return records;
    }

    static QLineEdit* Box(QDialog* form, int i) { return qobject_cast<fRecord*>(form)->Text[i]; }

    ScopedLocale m_czech{QStringLiteral("cs_CZ")};
    QString m_path;
};

TEST_F(RecordFormTest, ANewRecordTakesTypedCzechValuesAndJoinsTheGrid)
{
    struct {
        int code = 0;
        QString title, town;
        QStringList focus;
    } seen;
    WhenModal([&](QDialog* form) {
        seen.code = WindowCodeOf(form);
        seen.title = form->windowTitle();
        seen.town = Box(form, 2)->text();
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            seen.focus << call.mid(1, 2);
        TypeInDialog(form, QStringLiteral("Eva"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Praha")); // the default is selected: typing replaces it
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("6. 12. 2026"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("12,5"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Ano"));
        Clear();
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(seen.code, 2622);
    EXPECT_EQ(seen.title, QStringLiteral("lide.mdb - Databáze - Nový záznam"));
    EXPECT_EQ(seen.town, QStringLiteral("Brno")) << "a new record shows the defaults";
    EXPECT_EQ(seen.focus, QStringList({QStringLiteral("Jméno"), QString()})) << "the first box is said once";
    EXPECT_EQ(Stored().value(3), QStringLiteral("Eva|Praha|2026-12-06|12.5|true"));
    cRecordList* list = m_window->list;
    ASSERT_EQ(list->RowCount(), 4);
    EXPECT_EQ(list->SelectedRow(), 3);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 4 z 4"));
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 ") + list->RowText(3));
    EXPECT_EQ(list->RowText(3), QStringLiteral(", Eva, Praha, 06.12.2026, 12,5, Pravda"));
}

TEST_F(RecordFormTest, EachErrorIsToldAndTheFormStaysOpenUntilCorrected)
{
    QStringList messages;
    const auto answer = [&messages] {
        WhenModal([&messages](QDialog* box) {
            messages << MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    };
    bool stillOpen = false;
    WhenModal([&](QDialog* form) {
        // Nothing typed: the required name is missing (3314).
        answer();
        PressInDialog(form, Qt::Key_Return);
        // A name longer than its field of ten characters is refused, never cut.
        TypeInDialog(form, QStringLiteral("Jaroslav Novák"));
        answer();
        PressInDialog(form, Qt::Key_Return);
        stillOpen = form->isVisible() && form->focusWidget() == Box(form, 1);
        TypeInDialog(form, QStringLiteral("Jaroslav N")); // the refused text is selected
        // A date that is no date: 23421 with the type, the focus back in its box.
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("zítra"));
        answer();
        PressInDialog(form, Qt::Key_Return);
        stillOpen = stillOpen && form->isVisible() && form->focusWidget() == Box(form, 3);
        TypeInDialog(form, QStringLiteral("1. 1. 2000"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("3314 (0xCF2)\nPole 'Jméno' nemůže obsahovat hodnotu Null")))
        << messages[0].toStdString();
    EXPECT_EQ(messages[1], QStringLiteral("Text v poli 'Jméno' je delší, než pole pojme (nejvýše 10 znaků)."));
    EXPECT_EQ(messages[2], QStringLiteral("V poli 'Narozen' nelze provést konverzi na požadaovaný typ (Date - Datum)"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Stored().value(3), QStringLiteral("Jaroslav N|Brno|2000-01-01||")) << "the default applied by the database";

    // Emptying a name that allows no empty text: 23315 by the field's caption.
    messages.clear();
    WhenModal([&](QDialog* form) {
        PressInDialog(form, Qt::Key_Delete); // the whole name is selected
        answer();
        PressInDialog(form, Qt::Key_Return);
        answer(); // a change: the question, answered Yes
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_Home);
    Press(Qt::Key_Return, Qt::AltModifier);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("Pole 'Jméno' nemůže být nulové délky."));
    EXPECT_EQ(messages[1], QStringLiteral("Byly provedeny změny které budou ztraceny. Pokračovat?"));
    EXPECT_EQ(Stored().value(0), QStringLiteral("Petr|Hradec|||"));
}

// A query showing a computed column, on a table made by another program: a code, a price,
// and twice the price.
TEST_F(ApplicationTest, AQueryWithAComputedColumnStaysEditableFilteredAndNothingTypedIsLost)
{
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    const QString path = MakeDatabase(QStringLiteral("zbozi.mdb"), QStringLiteral(R"(
CREATE TABLE "Zboží" ("Id" INTEGER PRIMARY KEY, "Kód" VARCHAR(5) NOT NULL, "Cena" INTEGER);
INSERT INTO "Zboží" ("Kód", "Cena") VALUES ('A1', 10), ('B2', 25), ('C3', 40);
)"));
    ASSERT_TRUE(Open(path));
    m_window->Setting()->setQuery(QStringLiteral("SELECT [Kód], Cena, Cena * 2 AS [Dvakrát] FROM [Zboží]"));
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    m_window->list->setFocus();
    QStringList messages;
    const auto answer = [&messages] {
        WhenModal([&messages](QDialog* box) {
            messages << MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    };

    // A pattern longer than the code's five characters, and a value of the computed column.
    WhenModal([](QDialog* form) {
        auto* record = qobject_cast<fRecord*>(form);
        record->Text[1]->setFocus();
        TypeInDialog(form, QStringLiteral("[A-C]*"));
        record->Text[3]->setFocus();
        TypeInDialog(form, QStringLiteral("50"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(m_window->list->RowCount(), 1);
    EXPECT_EQ(m_window->list->CellText(0, 0), QStringLiteral("B2"));
    EXPECT_TRUE(m_window->CurrentRecordset()->Updatable());

    // Typed into the computed column: told by its caption, the form kept open in that box.
    bool stillOpen = false;
    WhenModal([&](QDialog* form) {
        auto* record = qobject_cast<fRecord*>(form);
        ASSERT_NE(record, nullptr) << MessageOf(form).toStdString();
        record->Text[3]->setFocus();
        TypeInDialog(form, QStringLiteral("60"));
        answer();
        PressInDialog(form, Qt::Key_Return);
        stillOpen = form->isVisible() && form->focusWidget() == record->Text[3];
        answer(); // the changes are lost: Yes
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("Pole 'Dvakrát' je počítané nebo jen ke čtení, hodnotu do něj nelze zapsat."));
    EXPECT_EQ(m_window->list->RowText(0), QStringLiteral(", B2, 25, 50")) << "nothing written";
}

TEST_F(RecordFormTest, CancelAsksOnlyAfterAChangeAndNoGoesBackToTheBoxes)
{
    int questions = 0;
    WhenModal([&](QDialog* form) { PressInDialog(form, Qt::Key_Escape); }); // no change: closes at once
    Press(Qt::Key_N, Qt::ControlModifier);
    bool backInTheForm = false;
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Ota"));
        WhenModal([&](QDialog* box) {
            ++questions;
            PressInDialog(box, Qt::Key_Escape); // No
        });
        PressInDialog(form, Qt::Key_Escape);
        backInTheForm = form->isVisible();
        WhenModal([&](QDialog* box) {
            ++questions;
            PressInDialog(box, Qt::Key_Return); // Yes: the changes are dropped
        });
        PressInDialog(form, Qt::Key_Escape);
    });
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(backInTheForm);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(Stored().size(), 3);
    EXPECT_EQ(m_window->list->RowCount(), 3);
}

TEST_F(RecordFormTest, EditingChangesOnlyWhatWasTypedInGridAndFormView)
{
    Press(Qt::Key_Down); // Marie
    QString title;
    WhenModal([&](QDialog* form) {
        title = form->windowTitle();
        EXPECT_EQ(WindowCodeOf(form), 2624);
        EXPECT_EQ(Box(form, 1)->text(), QStringLiteral("Marie"));
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Pardubice"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(title, QStringLiteral("lide.mdb - Databáze - Editace záznamu"));
    EXPECT_EQ(Stored(), QStringList({QStringLiteral("Petr|Hradec|||"), QStringLiteral("Marie|Pardubice|||"),
                                     QStringLiteral("Adam|Brno|||")}));
    EXPECT_EQ(m_window->list->RowText(1), QStringLiteral(", Marie, Pardubice, , , "));
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 , Marie, Pardubice, , , "));

    // In the form view the editor starts in the box that has the focus.
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab);
    ASSERT_EQ(Focus(), m_window->Text[3]);
    WhenModal([&](QDialog* form) {
        EXPECT_EQ(QApplication::focusWidget(), Box(form, 3));
        TypeInDialog(form, QStringLiteral("24.12.1990"));
        PressInDialog(form, Qt::Key_Return);
    });
    m_window->mnuRecordEdit->trigger();
    EXPECT_EQ(Stored().value(1), QStringLiteral("Marie|Pardubice|1990-12-24||"));
    EXPECT_EQ(m_window->Text[3]->text(), QStringLiteral("24.12.1990"));

    // Two rows selected: a manual selection, which editing does not take.
    Press(Qt::Key_F12);
    QString message;
    WhenModal([&](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(message, QStringLiteral("Je aktivní ruční výběr."));
}

TEST_F(RecordFormTest, DeletingAsksNamesTheRecordAndSelectsTheRowThatTakesItsPlace)
{
    {
        auto db = DBEngine::Instance().OpenDatabase(m_path);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [Lidé]"));
        for (const char* name : {"Ota", "Eva"}) {
            rs->AddNew();
            rs->SetFieldValue(0, QString::fromUtf8(name));
            rs->Update();
        }
    }
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    m_window->list->setFocus();
    QString question;
    const auto yes = [&question] {
        WhenModal([&question](QDialog* box) {
            question = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    };
    cRecordList* list = m_window->list;
    const auto names = [list] {
        QStringList shown;
        for (qint64 row = 0; row < list->RowCount(); ++row)
            shown << list->CellText(row, 0);
        return shown;
    };
    // The third of five: the row that now stands third is selected.
    Press(Qt::Key_Down);
    Press(Qt::Key_Down); // Adam
    WhenModal([](QDialog* box) { PressInDialog(box, Qt::Key_Escape); }); // No
    Press(Qt::Key_Delete);
    EXPECT_EQ(list->RowCount(), 5);
    yes();
    Press(Qt::Key_Delete);
    EXPECT_EQ(question, QStringLiteral("Opravdu odstranit záznam 'Adam'?"));
    EXPECT_EQ(names(), QStringList({"Petr", "Marie", "Ota", "Eva"}));
    EXPECT_EQ(list->SelectedRow(), 2);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 , Ota, Brno, , , "));

    // The last row: the new last one is selected.
    Press(Qt::Key_End);
    yes();
    Press(Qt::Key_Delete);
    EXPECT_EQ(names(), QStringList({"Petr", "Marie", "Ota"}));
    EXPECT_EQ(list->SelectedRow(), 2);

    // Several rows: one question for all of them.
    Press(Qt::Key_Home);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    yes();
    Press(Qt::Key_Delete);
    EXPECT_EQ(question, QStringLiteral("Opravdu odstranit 3 vybraných záznamů?"));
    EXPECT_TRUE(Stored().isEmpty());
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 0 z 0"));
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 Smazáno, nezbyl žádný záznam."));
}

TEST_F(ApplicationTest, DeletingTheOnlyRecordSaysNoneIsLeft)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("jeden.db"), QStringLiteral(R"(
PRAGMA journal_mode = WAL;
CREATE TABLE "Kniha" ("Název" TEXT NOT NULL, "Rok" INTEGER);
INSERT INTO "Kniha" VALUES ('Babička', 1855);
)"))));
    m_window->list->setFocus();
    WhenModal([](QDialog* box) { PressInDialog(box, Qt::Key_Return); });
    Press(Qt::Key_Delete);
    EXPECT_EQ(m_window->list->RowCount(), 0);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 Smazáno, nezbyl žádný záznam."));
}

namespace {

// Tab until the dialog's Storno has the focus.
void TabToCancel(QDialog* dialog)
{
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    for (int i = 0; i < 12 && dialog->focusWidget() != cancel; ++i)
        PressInDialog(dialog, Qt::Key_Tab);
    EXPECT_EQ(dialog->focusWidget(), cancel);
}

} // namespace

TEST_F(RecordFormTest, EnterOnAFocusedStornoCancelsTheEditorAndTheFilter)
{
    // The record editor: a change, then Storno by Enter asks; Yes drops the change.
    QStringList focus;
    int questions = 0;
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Pavel"));
        Clear();
        TabToCancel(form);
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            focus << call.value(1);
        WhenModal([&](QDialog* box) {
            ++questions;
            PressInDialog(box, Qt::Key_Return); // Yes: go on, losing the change
        });
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(Stored().value(0), QStringLiteral("Petr|Hradec|||"));
    EXPECT_EQ(focus.mid(focus.size() - 2), QStringList({QStringLiteral("OK"), QStringLiteral("Storno")}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Focus(), m_window->list);

    // The filter form: Storno by Enter makes no filter.
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Marie"));
        TabToCancel(form);
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(m_window->list->RowCount(), 3);
    EXPECT_FALSE(Spoken().join(u'|').contains(QStringLiteral("Nalezeno"))) << Spoken().join(u'|').toStdString();
}

TEST_F(RecordFormTest, GoToSaysItsButtonsAndEnterOnStornoLeavesTheSelection)
{
    Press(Qt::Key_Down);
    QStringList focus;
    WhenModal([&](QDialog* dialog) {
        TypeInDialog(dialog, QStringLiteral("3"));
        Clear();
        TabToCancel(dialog);
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            focus << call.value(1);
        PressInDialog(dialog, Qt::Key_Return);
    });
    Press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(m_window->list->SelectedRow(), 1);
    ASSERT_GE(focus.size(), 2);
    EXPECT_EQ(focus.mid(focus.size() - 2), QStringList({QStringLiteral("OK"), QStringLiteral("Storno")}));
}

TEST_F(RecordFormTest, GoToTakesTheNumberWithinTheRowsAndSaysTheRow)
{
    cRecordList* list = m_window->list;
    // The number typed, and the row then selected (1-based); what is no number keeps the
    // number shown, which is the selected row's.
    const QList<QPair<QString, qint64>> cases = {{QStringLiteral("3"), 3}, {QStringLiteral("0"), 1},
                                                 {QStringLiteral("-7"), 1}, {QStringLiteral("99"), 3},
                                                 {QStringLiteral("dva"), 3}, {QStringLiteral("1,6"), 2}};
    for (const auto& [typed, expected] : cases) {
        QString shown;
        WhenModal([&](QDialog* dialog) {
            shown = dialog->findChild<QLineEdit*>(QStringLiteral("Text2"))->text();
            TypeInDialog(dialog, typed);
            PressInDialog(dialog, Qt::Key_Return);
        });
        Press(Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(shown, QStringLiteral("3"));
        EXPECT_EQ(list->SelectedRow(), expected - 1) << typed.toStdString();
        // What is no number is said to be none before the row.
        const QStringList said = Spoken().mid(Spoken().size() - 2);
        if (typed == QStringLiteral("dva"))
            EXPECT_EQ(said, (QStringList{QStringLiteral("2 0 „dva“ není číslo záznamu, výběr se nezměnil."),
                                         QStringLiteral("1 0 ") + list->RowText(expected - 1)}));
        else
            EXPECT_EQ(said.last(), QStringLiteral("2 0 ") + list->RowText(expected - 1)) << typed.toStdString();
    }
    // Escape leaves the selection where it was.
    WhenModal([](QDialog* dialog) {
        TypeInDialog(dialog, QStringLiteral("1"));
        PressInDialog(dialog, Qt::Key_Escape);
    });
    Press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(list->SelectedRow(), 1);
}

TEST_F(RecordFormTest, TheSessionsEndClosesAnEditorHoldingAChangeWithoutAskingForEver)
{
    // As a termination signal does while the editor holds a change: its question ("go on,
    // losing the changes?") is answered No, which keeps the editor; the second time round
    // the editor closes unasked and the window after it, with nothing stored.
    const QStringList before = Stored();
    WhenModal([&](QDialog* form) {
        TypeInDialog(form, QStringLiteral("Eva"));
        CloseWhenDialogsAreDone(m_window);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    for (int i = 0; i < 100 && m_window->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(Stored(), before);
}

TEST_F(RecordFormTest, ARefusedDeletionIsToldAndTheGridStaysInStep)
{
    // An order refers to its customer: the customer cannot go while the order is there.
    const QString path = MakeDatabase(QStringLiteral("obchod.mdb"), QStringLiteral(R"(
CREATE TABLE "Zákazníci" ("Id" INTEGER PRIMARY KEY, "Jméno" VARCHAR(20));
INSERT INTO "Zákazníci" VALUES (1, 'Jana'), (2, 'Petr');
CREATE TABLE "Objednávky" ("Číslo" INTEGER PRIMARY KEY, "Zákazník" INTEGER REFERENCES "Zákazníci"("Id"));
INSERT INTO "Objednávky" VALUES (10, 2);
)"));
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Zákazníci")); });
    ASSERT_TRUE(m_window->ApplySetting(path, false));
    m_window->list->setFocus();
    Press(Qt::Key_Down); // Petr, who has an order
    QString message;
    WhenModal([&](QDialog* box) {
        PressInDialog(box, Qt::Key_Return); // Yes, delete
        WhenModal([&](QDialog* refusal) {
            message = MessageOf(refusal);
            PressInDialog(refusal, Qt::Key_Return);
        });
    });
    Press(Qt::Key_Delete);
    EXPECT_TRUE(message.startsWith(QStringLiteral("3200 (0xC80)\nZáznam nelze odstranit"))) << message.toStdString();
    cRecordList* list = m_window->list;
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->RowText(1), QStringLiteral(", 2, Petr"));
    EXPECT_EQ(list->SelectedRow(), 1);
    Press(Qt::Key_Up);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 , 1, Jana")) << "the grid reads and speaks on";
}

TEST_F(RecordFormTest, AnAccessFileRefusesChangesBeforeAnythingIsTyped)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Shippers")); }, 30000);
    ASSERT_TRUE(m_window->ApplySetting(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"), false));
    m_window->list->setFocus();
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_N, Qt::ControlModifier}, {Qt::Key_Return, Qt::AltModifier},
                                         {Qt::Key_Delete, Qt::NoModifier}}) {
        QString message;
        int code = 0;
        WhenModal([&](QDialog* box) {
            message = MessageOf(box);
            code = WindowCodeOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
        Press(key, modifiers);
        EXPECT_EQ(message, QStringLiteral("3027 (0xBD3)\nDatabázi nebo objekt nelze aktualizovat. Je jen pro čtení. "
                                          "Upravitelnou kopii vytvoří příkaz Uložit jako."))
            << "the box, not the record form, comes first";
        EXPECT_NE(code, fRecord::kWindowCodeNew);
    }
}

} // namespace
