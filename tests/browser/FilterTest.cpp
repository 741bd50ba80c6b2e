#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "fRecord.h"
#include "mLongWork.h"
#include "modCommon.h"
#include "mWhereAmI.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QApplication>
#include <QTimer>
#include <QTest>

#include <sqlite3.h>

namespace {

const char* const kFilterScript = R"(
CREATE TABLE "Lidé" ("Jméno" VARCHAR(30) COLLATE "QUARNEL", "Příjmení" VARCHAR(30) COLLATE "QUARNEL",
                     "Narozen" DATETIME, "Výška" DOUBLE, "Aktivní" BOOLEAN);
INSERT INTO "Lidé" VALUES
  ('Šárka', 'Nováková', '1990-05-01 00:00:00', 165.5, -1),
  ('Šimon', 'Novák', '1985-12-06 00:00:00', 180, 0),
  ('Petr', 'O''Brien', '1985-12-06 00:00:00', 172.5, 0),
  ('Žofie', 'Dvořáková', '2001-01-31 00:00:00', 165.5, -1),
  ('Adam', 'Nováček', '1970-07-07 00:00:00', 190, -1);
)";

// Narrowing what is shown, with keys, as a user does: the filter form, All records and a
// manual selection of rows.
class FilterTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kFilterScript))));
        m_window->list->setFocus();
    }

    // Fills the filter form's boxes (empty: left as it is, "-": emptied) and presses Enter.
    void Filter(const QStringList& boxes, QStringList* offered = nullptr)
    {
        WhenModal([=](QDialog* form) {
            auto* record = qobject_cast<fRecord*>(form);
            if (offered)
                *offered = record->Filter();
            for (int i = 0; i < boxes.size(); ++i) {
                if (boxes[i].isEmpty())
                    continue;
                record->Text[i + 1]->setFocus();
                PressInDialog(form, Qt::Key_Delete); // the whole text is selected on arrival
                if (boxes[i] != QStringLiteral("-"))
                    TypeInDialog(form, boxes[i]);
            }
            PressInDialog(form, Qt::Key_Return);
        });
        Press(Qt::Key_F, Qt::ControlModifier);
    }

    QStringList Names() const
    {
        QStringList names;
        for (qint64 row = 0; row < m_window->list->RowCount(); ++row)
            names << m_window->list->CellText(row, 0);
        return names;
    }

    ScopedLocale m_czech{QStringLiteral("cs_CZ")};
};

TEST_F(FilterTest, TypedCzechValuesNarrowTheRowsAndAreOfferedAgain)
{
    struct {
        int code = 0;
        QString title, focus;
    } form;
    WhenModal([&](QDialog* dialog) {
        form.code = WindowCodeOf(dialog);
        form.title = dialog->windowTitle();
        form.focus = dialog->focusWidget() ? dialog->focusWidget()->accessibleName() : QString();
        dialog->focusWidget()->setFocus();
        PressInDialog(dialog, Qt::Key_Tab);
        TypeInDialog(dialog, QStringLiteral("nov*"));
        PressInDialog(dialog, Qt::Key_Return);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(form.code, 2623);
    EXPECT_EQ(form.title, QStringLiteral("lide.mdb - Databáze - Filter"));
    EXPECT_EQ(form.focus, QStringLiteral("Jméno")) << "the focus starts in the first box";
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Šárka"), QStringLiteral("Šimon"), QStringLiteral("Adam")}));
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Nalezeno záznamů: 3.")));
    EXPECT_EQ(Spoken().last(), QStringLiteral("1 0 ") + m_window->list->RowText(0));
    EXPECT_TRUE(m_window->findChild<QLabel*>(QStringLiteral("keyFilter"))->isEnabled());
    EXPECT_TRUE(m_window->mnuViewFilter->isChecked());
    EXPECT_FALSE(m_window->mnuViewAllRecords->isChecked());

    // Two fields at once, the first one offered again; a decimal comma.
    QStringList offered;
    Filter({QString(), QString(), QString(), QStringLiteral("165,5")}, &offered);
    EXPECT_EQ(offered.value(1), QStringLiteral("nov*"));
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Šárka")}));

    // A date the Czech way; a name with an apostrophe; a yes/no word.
    Filter({QString(), QStringLiteral("-"), QStringLiteral("6. 12. 1985"), QStringLiteral("-")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Šimon"), QStringLiteral("Petr")}));
    Filter({QString(), QStringLiteral("O'Brien"), QStringLiteral("-")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Petr")}));
    Filter({QStringLiteral("?????"), QStringLiteral("-"), QString(), QString(), QStringLiteral("Ano")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Šárka"), QStringLiteral("Žofie")}));

    // Cancel leaves the rows as they are; a value that is no number is told by its caption
    // and the form stays open.
    QString message;
    bool stillOpen = false;
    WhenModal([&](QDialog* dialog) {
        TypeInDialog(dialog, QStringLiteral("Petr"));
        PressInDialog(dialog, Qt::Key_Escape);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Šárka"), QStringLiteral("Žofie")}));
    WhenModal([&](QDialog* dialog) {
        qobject_cast<fRecord*>(dialog)->Text[4]->setFocus();
        TypeInDialog(dialog, QStringLiteral("vysoký"));
        WhenModal([&](QDialog* box) {
            message = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
        PressInDialog(dialog, Qt::Key_Return);
        stillOpen = dialog->isVisible();
        PressInDialog(dialog, Qt::Key_Escape);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(message, QStringLiteral("V poli 'Výška' nelze provést konverzi na požadaovaný typ (Double - Číslo, dvojitá přesnost)"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Names().size(), 2);

    // All records, once; a second time says so.
    Clear();
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Names().size(), 5);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Všechny záznamy, celkem 5.")));
    EXPECT_FALSE(m_window->findChild<QLabel*>(QStringLiteral("keyFilter"))->isEnabled());
    Clear();
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Spoken(), QStringList({QStringLiteral("2 0 Všechny záznamy už jsou zobrazeny.")}));
}

TEST_F(FilterTest, AllRecordsThatCannotOpenLeaveTheFilteredRowsMarkedAsSuch)
{
    Filter({QString(), QStringLiteral("nov*")});
    ASSERT_EQ(Names().size(), 3);
    // Another program renames the table under the window, and back.
    const auto rename = [this](const char* from, const char* to) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_dir.filePath(QStringLiteral("lide.mdb")).toUtf8().constData(), &db), SQLITE_OK);
        const QByteArray sql = QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\";")
                                   .arg(QString::fromUtf8(from), QString::fromUtf8(to))
                                   .toUtf8();
        EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    rename("Lidé", "Osoby");
    QString message;
    WhenModal([&message](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(message.contains(QStringLiteral("Lidé"))) << message.toStdString();
    EXPECT_EQ(Names().size(), 3);
    EXPECT_FALSE(m_window->mnuViewAllRecords->isChecked());
    EXPECT_TRUE(m_window->mnuViewFilter->isChecked());

    rename("Osoby", "Lidé");
    Clear();
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Names().size(), 5);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Všechny záznamy, celkem 5."))) << Spoken().join(u'\n').toStdString();
    EXPECT_TRUE(m_window->mnuViewAllRecords->isChecked());
}

TEST_F(FilterTest, AFilterOnAQueryFindsOnlyRowsOfTheQuery)
{
    m_window->Setting()->setQuery(QStringLiteral(
        "select * from [Lidé] where [Jméno] = 'Petr' or [Jméno] = 'Adam' or [Jméno] = 'Žofie' order by [Jméno] desc"));
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    Filter({QString(), QString(), QString(), QString(), QStringLiteral("ne")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Petr")}));
    Filter({QString(), QString(), QString(), QString(), QStringLiteral("Ano")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Žofie"), QStringLiteral("Adam")})) << "the query's order kept";
}

// Two fields of one name (the same field of two tables of a join): a condition would name
// the first, so the second is refused rather than narrowed by the first one's values.
TEST_F(FilterTest, AFieldNamedAsAnEarlierOneIsRefusedNotFilteredByTheOther)
{
    m_window->Setting()->setQuery(QStringLiteral(
        "SELECT a.[Jméno], b.[Jméno] FROM [Lidé] AS a, [Lidé] AS b "
        "WHERE a.[Narozen] = b.[Narozen] AND a.[Jméno] <> b.[Jméno] ORDER BY a.[Jméno]"));
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    ASSERT_EQ(Names(), QStringList({QStringLiteral("Petr"), QStringLiteral("Šimon")}));

    QString message;
    bool stillOpen = false;
    WhenModal([&](QDialog* dialog) {
        qobject_cast<fRecord*>(dialog)->Text[2]->setFocus();
        TypeInDialog(dialog, QStringLiteral("Petr"));
        WhenModal([&](QDialog* box) {
            message = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
        PressInDialog(dialog, Qt::Key_Return);
        stillOpen = dialog->isVisible();
        PressInDialog(dialog, Qt::Key_Escape);
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(message, QStringLiteral("Podle pole Jméno nelze filtrovat: stejný název má i jiné pole záznamu, "
                                      "podmínka by platila pro ně."));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Petr"), QStringLiteral("Šimon")}));

    Filter({QStringLiteral("Petr")});
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Petr")}));
}

TEST_F(FilterTest, EscapeStopsALongFilterAndTheRowsStay)
{
    // Every row of a large join is read before a count can be filtered.
    m_window->Setting()->setQuery(QStringLiteral("SELECT a.[Jméno], Count(*) AS N FROM [Lidé] AS a, [Lidé] AS b, [Lidé] AS c, "
                                                 "[Lidé] AS d, [Lidé] AS e, [Lidé] AS f, [Lidé] AS g, [Lidé] AS h "
                                                 "GROUP BY a.[Jméno]"));
    ASSERT_TRUE(m_window->ApplySetting(QString(), true));
    ASSERT_EQ(m_window->list->RowCount(), 5);
    const auto shown = m_window->CurrentRecordset();
    Clear();
    WhenModal([this](QDialog* dialog) {
        PressInDialog(dialog, Qt::Key_Tab);
        TypeInDialog(dialog, QStringLiteral("1"));
        PressInDialog(dialog, Qt::Key_Return);
        // Pressed once the form has closed, while the window waits for the filter.
        QTimer::singleShot(100, m_window, [this] { QTest::keyClick(m_window->list, Qt::Key_Escape); });
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 Přerušeno.")));
    EXPECT_EQ(m_window->CurrentRecordset(), shown);
    EXPECT_EQ(m_window->list->RowCount(), 5);
}

TEST_F(FilterTest, SelectedRowsStayAloneInTheirOrder)
{
    Press(Qt::Key_1, Qt::ControlModifier); // by name: Adam, Petr, Šárka, Šimon, Žofie
    Press(Qt::Key_Home);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Clear();
    Press(Qt::Key_F, Qt::ControlModifier); // no form: the selection is the filter
    EXPECT_EQ(Names(), QStringList({QStringLiteral("Petr"), QStringLiteral("Šárka"), QStringLiteral("Šimon")}));
    EXPECT_EQ(m_window->list->CountSelected(), 1);
    EXPECT_EQ(m_window->list->SelectedRow(), 0);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z 3"));
    EXPECT_EQ(Spoken().value(0), QStringLiteral("2 0 Ručně vybráno záznamů: 3."));
    Press(Qt::Key_Down);
    EXPECT_EQ(m_window->list->CellText(m_window->list->SelectedRow(), 1), QStringLiteral("Nováková"));
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Names().size(), 5);
}

// Ctrl+I: where the user is, with what narrows and orders the rows, in words; the form
// view adds the field. What is no longer in force is not said.
TEST_F(FilterTest, CtrlISaysThePositionSourceFilterAndOrderInWords)
{
    const auto whereAmI = [this] {
        Clear();
        Press(Qt::Key_I, Qt::ControlModifier);
        return Spoken().join(u'|');
    };
    EXPECT_EQ(whereAmI(), QStringLiteral("2 0 Záznam 1 z 5. Tabulka Lidé. Všechny záznamy, bez filtru. "
                                         "Neseřazeno, záznamy jsou v pořadí svého zdroje."));
    Filter({QStringLiteral("Š*"), QString(), QStringLiteral("6. 12. 1985")});
    Press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(whereAmI(), QStringLiteral("2 0 Záznam 1 z 1. Tabulka Lidé. Filtr: Jméno začíná na Š a Narozen je "
                                         "6. 12. 1985. Seřazeno podle Příjmení, vzestupně."));
    Press(Qt::Key_F12);
    Press(Qt::Key_Tab);
    EXPECT_TRUE(whereAmI().endsWith(
        QStringLiteral("vzestupně. Pole Příjmení: text, nejvýše 30 znaků, nepovinné, prázdný text povolen, bez akcí.")));
    Press(Qt::Key_F12);

    Press(Qt::Key_A, Qt::ControlModifier);
    Press(Qt::Key_Home);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(whereAmI().contains(QStringLiteral("Tabulka Lidé. Ručně vybráno záznamů: 2. Seřazeno")));
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(whereAmI().contains(QStringLiteral("Všechny záznamy, bez filtru.")));
}

// The patterns a user types, said as what they ask for; anything else as typed.
TEST(FilterWordsTest, PatternsAreSaidByWhatTheyAskFor)
{
    const QStringList captions{QStringLiteral("Jméno"), QStringLiteral("Obec"), QStringLiteral("Věk")};
    const QList<int> types{10, 10, 4};
    EXPECT_EQ(FilterWords(captions, types, {QStringLiteral("*a*"), QStringLiteral("*no"), QStringLiteral("40")}),
              QStringLiteral("Jméno obsahuje a a Obec končí na no a Věk je 40"));
    EXPECT_EQ(FilterWords(captions, types, {QStringLiteral("P?tr"), QStringLiteral("*"), QString()}),
              QStringLiteral("Jméno odpovídá vzoru P?tr a Obec odpovídá vzoru *"));
    EXPECT_EQ(FilterWords(captions, types, {QStringLiteral("Brno"), QStringLiteral("[BC]*"), QStringLiteral("4*")}),
              QStringLiteral("Jméno je Brno a Obec odpovídá vzoru [BC]* a Věk je 4*"));
    EXPECT_EQ(FilterWords(captions, types, {}), QString());
}

} // namespace
