#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "modCommon.h"
#include "sMain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <functional>

namespace {

// View > Výběr polí as a keyboard user works it, through the real main window.
class FieldSelectionTest : public ApplicationTest {
protected:
    // Runs the command and lets answer work its dialog with keys.
    void SelectFields(const std::function<void(QDialog*)>& answer)
    {
        WhenModal(answer);
        m_window->mnuRecOrder->trigger();
    }

    // Appends each field by moving to it in the list and pressing Space.
    static void Pick(QDialog* form, const QStringList& names)
    {
        auto* fields = form->findChild<QListWidget*>(QStringLiteral("lstField"));
        ASSERT_NE(fields, nullptr) << "not the field order builder";
        for (const QString& name : names) {
            PressInDialog(form, Qt::Key_Home);
            for (int i = 0; i < fields->count() && fields->currentItem()->text() != name; ++i)
                PressInDialog(form, Qt::Key_Down);
            ASSERT_EQ(fields->currentItem()->text(), name);
            PressInDialog(form, Qt::Key_Space);
        }
    }

    QStringList Headers() const
    {
        QStringList headers;
        for (int i = 0; i < m_window->list->ColumnCount(); ++i)
            headers << m_window->list->HeaderText(i);
        return headers;
    }

    // The query as the definition holds it, and as the registry does for the next start.
    QString Query() const { return m_window->Setting()->Query(); }
    static QString StoredQuery() { return cSetting().Query(); }
};

TEST_F(FieldSelectionTest, ChosenFieldsInTheirOrderCancelGivesAllAndAnEmptyListIsRefused)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Osoby")); });
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_SAMPLE)));
    m_window->list->setFocus();
    const QStringList all = Headers();
    const qint64 rows = m_window->list->RowCount();
    ASSERT_GT(all.size(), 2);
    ASSERT_GT(rows, 0);

    QString result;
    SelectFields([&](QDialog* form) {
        Pick(form, {QStringLiteral("Příjmení"), QStringLiteral("Id")});
        result = form->findChild<QLineEdit*>(QStringLiteral("txtResult"))->text();
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(result, QStringLiteral("[Příjmení],[Id]"));
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Příjmení"), QStringLiteral("Id")}));
    EXPECT_EQ(Query(), QStringLiteral("select [Příjmení],[Id] from [Osoby]"));
    EXPECT_EQ(StoredQuery(), Query());
    EXPECT_EQ(m_window->list->RowCount(), rows);
    EXPECT_FALSE(m_window->IsFormView());
    EXPECT_EQ(Focus(), m_window->list);
    EXPECT_EQ(Panel("keyPosition"), QStringLiteral("Pozice 1 z %1").arg(rows));
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 ") + m_window->list->RowText(0));

    // Nothing chosen: the engine refuses the query, the user hears why, and the grid and
    // the query stay as they were.
    QString message;
    SelectFields([&](QDialog* form) {
        WhenModal([&](QDialog* box) {
            message = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_TRUE(message.endsWith(QStringLiteral("Nelze získat data z databáze."))) << message.toStdString();
    // The box speaks it; the log writes its line breaks as \r and \n.
    const QString logged = QString(message).replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
    bool heard = false;
    for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
        heard = heard || call.value(2) == logged;
    EXPECT_TRUE(heard);
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Příjmení"), QStringLiteral("Id")}));
    EXPECT_EQ(Query(), QStringLiteral("select [Příjmení],[Id] from [Osoby]"));
    EXPECT_EQ(StoredQuery(), Query());
    EXPECT_EQ(m_window->list->RowCount(), rows);
    EXPECT_EQ(Focus(), m_window->list);

    // Cancel, even after picking, shows every field of the table again.
    SelectFields([](QDialog* form) {
        Pick(form, {QStringLiteral("Jméno")});
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(Headers(), all);
    EXPECT_EQ(Query(), QStringLiteral("select * from [Osoby]"));
    EXPECT_EQ(StoredQuery(), Query());
}

TEST_F(FieldSelectionTest, TheFormViewStaysAndNamesWithBlanksAndBracketsWork)
{
    const QString path = MakeDatabase(QStringLiteral("sklad.mdb"), QStringLiteral(R"(
        CREATE TABLE "Sklad zboží" ("Id" INTEGER, "Název zboží" VARCHAR(30), "Sleva [%]" INTEGER);
        INSERT INTO "Sklad zboží" VALUES (1, 'Mýdlo', 5), (2, 'Kartáč', 10);)"));
    ASSERT_TRUE(Open(path));
    m_window->list->setFocus();
    Press(Qt::Key_M, Qt::ControlModifier);
    ASSERT_TRUE(m_window->IsFormView());

    SelectFields([](QDialog* form) {
        Pick(form, {QStringLiteral("Sleva [%]"), QStringLiteral("Název zboží")});
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(Query(), QStringLiteral("select [Sleva [%]]],[Název zboží] from [Sklad zboží]"));
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Sleva [%]"), QStringLiteral("Název zboží")}));
    EXPECT_TRUE(m_window->IsFormView());
    EXPECT_EQ(gViewStyle, 1);
    ASSERT_EQ(m_window->Text.size(), 3);
    EXPECT_EQ(Focus(), m_window->Text[1]);
    EXPECT_EQ(m_window->Text[1]->text(), QStringLiteral("5"));
    EXPECT_EQ(m_window->Text[2]->text(), QStringLiteral("Mýdlo"));
    const QList<QStringList> focus = Calls(QStringLiteral("FocusVoice"));
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().mid(1, 2), (QStringList{QStringLiteral("Sleva [%]"), QStringLiteral("5")}));
}

TEST_F(FieldSelectionTest, AnAccessTableWithABlankInItsName)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Order Details")); }, 30000);
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb")));
    m_window->list->setFocus();
    SelectFields([](QDialog* form) {
        Pick(form, {QStringLiteral("Quantity"), QStringLiteral("ProductID")});
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(Query(), QStringLiteral("select [Quantity],[ProductID] from [Order Details]"));
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Quantity"), QStringLiteral("ProductID")}));
    EXPECT_EQ(m_window->list->RowCount(), 2155);
}

} // namespace
