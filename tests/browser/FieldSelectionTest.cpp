#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "sStartup.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>

#include <functional>

namespace {

// View > Výběr polí worked by keys through the real main window.
class FieldSelectionTest : public ApplicationTest {
protected:
    // Runs the command; in its dialog each name is picked with the arrows and Space, then
    // last is pressed.
    void SelectFields(const QStringList& names, Qt::Key last, const std::function<void(QDialog*)>& before = {})
    {
        WhenModal([=](QDialog* form) {
            auto* fields = form->findChild<QListWidget*>(QStringLiteral("lstField"));
            ASSERT_NE(fields, nullptr) << "not the field order builder";
            for (const QString& name : names) {
                PressInDialog(form, Qt::Key_Home);
                for (int i = 0; i < fields->count() && fields->currentItem()->text() != name; ++i)
                    PressInDialog(form, Qt::Key_Down);
                PressInDialog(form, Qt::Key_Space);
            }
            if (before)
                before(form);
            PressInDialog(form, last);
        });
        m_window->mnuRecOrder->trigger();
    }

    QStringList Headers() const
    {
        QStringList headers;
        for (int i = 0; i < m_window->list->ColumnCount(); ++i)
            headers << m_window->list->HeaderText(i);
        return headers;
    }

    // As the definition holds it; the registry, read afresh, must hold the same.
    QString Query() const
    {
        EXPECT_EQ(cSetting().Query(), m_window->Setting()->Query());
        return m_window->Setting()->Query();
    }
};

TEST_F(FieldSelectionTest, PickedFieldsInTheirOrderAnEmptyPickRefusedAndCancelGivesAll)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Osoby")); });
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_SAMPLE)));
    m_window->list->setFocus();
    const QStringList all = Headers();
    const QStringList picked = {QStringLiteral("Příjmení"), QStringLiteral("Id")};

    QString result;
    SelectFields(picked, Qt::Key_Return, [&](QDialog* form) {
        result = form->findChild<QLineEdit*>(QStringLiteral("txtResult"))->text();
    });
    EXPECT_EQ(result, QStringLiteral("[Příjmení],[Id]"));
    EXPECT_EQ(Headers(), picked);
    EXPECT_EQ(Query(), QStringLiteral("select [Příjmení],[Id] from [Osoby]"));
    EXPECT_EQ(Focus(), m_window->list);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 ") + m_window->list->RowText(0));

    // The engine refuses "select  from": the box says so, and the grid and query stay.
    QString message;
    SelectFields({}, Qt::Key_Return, [&](QDialog*) {
        WhenModal([&](QDialog* box) {
            message = MessageOf(box);
            PressInDialog(box, Qt::Key_Return);
        });
    });
    EXPECT_TRUE(message.startsWith(QStringLiteral("3075 (0xC03)\n"))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("Nelze získat data z databáze."))) << message.toStdString();
    // The box speaks it; the log writes its line breaks as \r and \n.
    const QString logged = QString(message).replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
    bool heard = false;
    for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
        heard = heard || call.value(2) == logged;
    EXPECT_TRUE(heard);
    EXPECT_EQ(Headers(), picked);
    EXPECT_EQ(Query(), QStringLiteral("select [Příjmení],[Id] from [Osoby]"));
    EXPECT_EQ(Focus(), m_window->list);

    // The ends of the list are signalled, not silent; Cancel, even after picking, shows
    // every field again.
    QStringList atEnds;
    SelectFields({QStringLiteral("Jméno")}, Qt::Key_Escape, [&](QDialog* form) {
        PressInDialog(form, Qt::Key_Home);
        Clear();
        PressInDialog(form, Qt::Key_Up);
        PressInDialog(form, Qt::Key_End);
        PressInDialog(form, Qt::Key_Down);
        atEnds = Spoken();
    });
    EXPECT_EQ(atEnds.filter(QRegularExpression(QStringLiteral("^5 "))), (QStringList{"5 7 ", "5 8 "}))
        << atEnds.join(u'|').toStdString();
    EXPECT_EQ(Headers(), all);
    EXPECT_EQ(Query(), QStringLiteral("select * from [Osoby]"));
}

TEST_F(FieldSelectionTest, TheSessionsEndWaitsForTheCommandBehindTheDialog)
{
    // Asked to close (as a termination signal does) while the dialog is open: the dialog is
    // cancelled, and the window closes only once the command has reopened the records,
    // not in the middle of it.
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Osoby")); });
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_SAMPLE)));
    m_window->list->setFocus();
    bool busyInDialog = false;
    WhenModal([&](QDialog*) {
        busyInDialog = m_window->Busy();
        CloseWhenDialogsAreDone(m_window);
    });
    m_window->mnuRecOrder->trigger();
    EXPECT_TRUE(busyInDialog);
    EXPECT_TRUE(m_window->isVisible()) << "closed under the running command";
    EXPECT_EQ(Query(), QStringLiteral("select * from [Osoby]"));
    for (int i = 0; i < 100 && m_window->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(m_window->isVisible());
}

TEST_F(FieldSelectionTest, TheFormViewStaysWithTheKeyboardInItsFirstBox)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("sklad.mdb"), QStringLiteral(R"(
        CREATE TABLE "Sklad zboží" ("Id" INTEGER, "Název zboží" VARCHAR(30), "Sleva [%]" INTEGER);
        INSERT INTO "Sklad zboží" VALUES (1, 'Mýdlo', 5);)"))));
    m_window->list->setFocus();
    Press(Qt::Key_M, Qt::ControlModifier);
    SelectFields({QStringLiteral("Sleva [%]"), QStringLiteral("Název zboží")}, Qt::Key_Return);
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Sleva [%]"), QStringLiteral("Název zboží")}));
    EXPECT_TRUE(m_window->IsFormView());
    ASSERT_EQ(m_window->Text.size(), 3);
    EXPECT_EQ(Focus(), m_window->Text[1]);
    EXPECT_EQ(Calls(QStringLiteral("FocusVoice")).last().mid(1, 2),
              (QStringList{QStringLiteral("Sleva [%]"), QStringLiteral("5")}));
}

TEST_F(FieldSelectionTest, AnAccessTableWithABlankInItsName)
{
    WhenModal([](QDialog* chooser) { ChooseTable(chooser, QStringLiteral("Order Details")); }, 30000);
    ASSERT_TRUE(Open(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb")));
    m_window->list->setFocus();
    SelectFields({QStringLiteral("Quantity"), QStringLiteral("ProductID")}, Qt::Key_Return);
    EXPECT_EQ(Query(), QStringLiteral("select [Quantity],[ProductID] from [Order Details]"));
    EXPECT_EQ(Headers(), (QStringList{QStringLiteral("Quantity"), QStringLiteral("ProductID")}));
    EXPECT_EQ(m_window->list->RowCount(), 2155);
}

} // namespace
