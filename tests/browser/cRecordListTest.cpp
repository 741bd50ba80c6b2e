#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Recordset.h"
#include "TestSupport.h"
#include "cRecordList.h"
#include "mSampleData.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

// Positions 0 … 5; Null in the first column (position 2) and in others.
const char* const kScript = R"(
CREATE TABLE "T" ("Id" INTEGER PRIMARY KEY, "Jméno" VARCHAR(30) COLLATE "QUARNEL", "Skryté" VARCHAR(10),
                  "Částka" DOUBLE, "Město" VARCHAR(30) COLLATE "QUARNEL");
INSERT INTO "T" VALUES (1, 'Hora', 'x1', 1.5, 'Brno'), (2, 'Chata', 'x2', NULL, 'Cheb'),
                       (3, NULL, 'x3', 2, 'Aš'), (4, 'Cena', 'x4', 1234.5, NULL),
                       (5, 'Iva', 'x5', 0.25, 'Hlinsko'), (6, 'Hora', 'x6', 7, 'Cheb');
CREATE TABLE "V" ("Počet" INTEGER, "Den" DATETIME, "Kód" VARCHAR(10) COLLATE "QUARNEL");
INSERT INTO "V" VALUES (10, '2026-02-01 00:00:00', 'ch'), (2, '2025-03-01 00:00:00', '10'),
                       (NULL, NULL, '9'), (9, '2026-02-15 00:00:00', '2');
CREATE TABLE "U" ("Jméno" VARCHAR(30));
INSERT INTO "U" VALUES ('Zuzana'), ('Šárka'), ('Adam'), ('Čestmír'), ('Cyril');
)";

class RecordListTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        const QString path = m_dir.filePath(QStringLiteral("t.db"));
        CreateDatabaseFromScript(path, QString::fromUtf8(kScript));
        m_db = DBEngine::Instance().OpenDatabase(path);
        m_rs = m_db->OpenRecordset(QStringLiteral("SELECT * FROM T"));
        m_list = std::make_unique<cRecordList>();
        m_list->resize(600, 300);
        // Field 2 is hidden: the columns after it keep showing their own fields.
        m_list->AddColumn(QStringLiteral("Jméno"), cRecordList::MakeColumnTag({}, {}, {}), 1);
        m_list->AddColumn(QStringLiteral("Částka"), cRecordList::MakeColumnTag({}, {}, QStringLiteral(" 0.00 ")), 3);
        m_list->AddColumn(QStringLiteral("Město"), cRecordList::MakeColumnTag({}, {}, {}), 4);
        m_list->SetRecordset(m_rs);
    }
    void TearDown() override
    {
        m_list.reset();
        m_rs.reset();
        m_db.reset();
        VoiceLogTest::TearDown();
    }

    void Show()
    {
        m_list->show();
        QApplication::setActiveWindow(m_list.get());
        m_list->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_list.get()));
    }
    QStringList Column(int column) const
    {
        QStringList texts;
        for (qint64 row = 0; row < m_list->RowCount(); ++row)
            texts.append(m_list->CellText(row, column));
        return texts;
    }
    void ClickHeader(int column) const
    {
        QHeaderView* header = m_list->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }

    ScopedLocale m_locale{QStringLiteral("cs_CZ")};
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;
    std::unique_ptr<cRecordList> m_list;
};

TEST_F(RecordListTest, ShowsFieldsThroughFormatsWithNullAsEmpty)
{
    m_list->FillList();
    ASSERT_EQ(m_list->RowCount(), 6);
    EXPECT_EQ(m_list->ColumnField(1), 3);
    EXPECT_EQ(m_list->ColumnField(2), 4);
    EXPECT_EQ(m_list->ColumnField(3), -1);
    EXPECT_EQ(Column(0), QStringList({"Hora", "Chata", "", "Cena", "Iva", "Hora"}));
    EXPECT_EQ(Column(1), QStringList({"1,50", "", "2,00", "1234,50", "0,25", "7,00"}));
    EXPECT_EQ(Column(2), QStringList({"Brno", "Cheb", "Aš", "", "Hlinsko", "Cheb"}));
    EXPECT_EQ(m_list->RowText(2), QStringLiteral(", , 2,00, Aš"));
    EXPECT_EQ(m_list->RowKey(3), QStringLiteral("k3"));
    EXPECT_EQ(m_list->RowKey(6), QString());
    // An empty cell still has a name for a screen reader.
    const QAbstractItemModel* model = m_list->model();
    EXPECT_EQ(model->index(2, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("prázdné pole"));
    EXPECT_EQ(model->index(2, 2).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Aš"));

    // A refreshed row keeps Null empty and shows the record as it now is.
    m_rs->setAbsolutePosition(2);
    m_rs->Edit();
    m_rs->SetFieldValue(3, 9.5);
    m_rs->Update();
    m_rs->setAbsolutePosition(2);
    EXPECT_EQ(m_list->PutRecordRow(2, true), -1);
    EXPECT_EQ(m_list->RowText(2), QStringLiteral(", , 9,50, Aš"));
    EXPECT_EQ(m_list->SelectedRow(), 2);
    EXPECT_EQ(m_list->RowCount(), 6);
}

TEST_F(RecordListTest, ReadingForTheScreenLeavesTheRecordsetAlone)
{
    m_list->FillList();
    Show();
    m_rs->setAbsolutePosition(4);
    m_list->SelectOnlyRow(0);
    m_list->viewport()->grab(); // paints every visible row
    EXPECT_EQ(m_list->CellText(5, 2), QStringLiteral("Cheb"));
    EXPECT_EQ(m_rs->AbsolutePosition(), 4);
    m_list->SortByColumn(0);
    EXPECT_EQ(m_rs->AbsolutePosition(), 4);

    // An edit in progress is never dropped by a read.
    m_list->FillList();
    m_rs->Edit();
    m_rs->SetFieldValue(1, QStringLiteral("Nové"));
    m_list->viewport()->grab();
    m_list->CellText(0, 0);
    EXPECT_EQ(m_rs->EditMode(), Recordset::dbEditInProgress);
    EXPECT_EQ(m_rs->FieldValue(1).toString(), QStringLiteral("Nové"));
    m_rs->CancelUpdate();

    // At the end of a walk the recordset stays at EOF.
    m_rs->MoveLast();
    m_rs->MoveNext();
    m_list->FillList();
    m_list->CellText(1, 0);
    EXPECT_TRUE(m_rs->Eof());
}

TEST_F(RecordListTest, HeaderClicksSortAscendingThenDescendingInCzechOrder)
{
    m_list->FillList();
    Show();
    QSignalSpy sorted(m_list.get(), &cRecordList::SortChanged);
    ClickHeader(0);
    EXPECT_TRUE(m_list->IsSorted());
    EXPECT_EQ(m_list->SortKey(), 0);
    EXPECT_EQ(m_list->SortOrder(), Qt::AscendingOrder);
    // "ch" after "h"; equal texts keep recordset order.
    EXPECT_EQ(Column(0), QStringList({"", "Cena", "Hora", "Hora", "Chata", "Iva"}));
    EXPECT_EQ(m_list->RowPosition(2), 0);
    EXPECT_EQ(m_list->RowPosition(3), 5);

    ClickHeader(0);
    EXPECT_EQ(m_list->SortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Column(0), QStringList({"Iva", "Chata", "Hora", "Hora", "Cena", ""}));
    EXPECT_EQ(m_list->header()->sortIndicatorSection(), 0);

    ClickHeader(2);
    EXPECT_EQ(m_list->SortKey(), 2);
    EXPECT_EQ(m_list->SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Column(2), QStringList({"", "Aš", "Brno", "Hlinsko", "Cheb", "Cheb"}));
    EXPECT_EQ(sorted.count(), 3);

    m_list->Unsort();
    EXPECT_FALSE(m_list->IsSorted());
    EXPECT_EQ(Column(0), QStringList({"Hora", "Chata", "", "Cena", "Iva", "Hora"}));
}

TEST_F(RecordListTest, AccentedLettersSortByTheLanguage)
{
    m_list->ClearColumns();
    m_list->AddColumn(QStringLiteral("Jméno"), {}, 0);
    m_list->SetRecordset(m_db->OpenRecordset(QStringLiteral("SELECT * FROM U")));
    m_list->FillList();
    m_list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(0), QStringList({"Adam", "Cyril", "Čestmír", "Šárka", "Zuzana"}));
    // Without a language the letters still sort with their base letters, not after "z".
    ScopedLocale c(QStringLiteral("C"));
    m_list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(0), QStringList({"Adam", "Čestmír", "Cyril", "Šárka", "Zuzana"}));
}

TEST_F(RecordListTest, CtrlDigitsSortExistingColumnsOnly)
{
    m_list->ClearColumns();
    for (int i = 0; i < 5; ++i)
        m_list->AddColumn(QStringLiteral("F%1").arg(i), {}, i);
    m_list->FillList();
    Show();
    QSignalSpy sorted(m_list.get(), &cRecordList::SortChanged);
    Clear();
    QTest::keyClick(m_list.get(), Qt::Key_7, Qt::ControlModifier);
    EXPECT_FALSE(m_list->IsSorted());
    EXPECT_EQ(sorted.count(), 0);
    EXPECT_EQ(Spoken(), QStringList({"2 0 Sloupec 7 neexistuje."})) << "said instead of the row";
    QTest::keyClick(m_list.get(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_TRUE(m_list->IsSorted());
    EXPECT_EQ(m_list->SortKey(), 1);
    EXPECT_EQ(m_list->CellText(1, 1), QStringLiteral("Cena"));
    QTest::keyClick(m_list.get(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(m_list->SortOrder(), Qt::DescendingOrder);
    QTest::keyClick(m_list.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_FALSE(m_list->IsSorted());
    EXPECT_EQ(m_list->CellText(0, 1), QStringLiteral("Hora"));
    EXPECT_EQ(sorted.count(), 3);
}

TEST_F(RecordListTest, SelectedRowFollowsTheSortedOrder)
{
    m_list->FillList();
    Show();
    m_list->SelectOnlyRow(4); // Iva
    QSignalSpy clicked(m_list.get(), &cRecordList::ItemClicked);
    m_list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(m_list->SelectedRow(), 5);
    EXPECT_EQ(m_list->RowKey(5), QStringLiteral("k4"));
    EXPECT_EQ(m_list->RowOfPosition(4), 5);
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_EQ(clicked.last().value(0).toLongLong(), 5);
    EXPECT_EQ(m_list->CountSelected(), 1);

    clicked.clear();
    QTest::keyClick(m_list.get(), Qt::Key_Up);
    EXPECT_EQ(m_list->SelectedRow(), 4);
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_EQ(clicked.last().value(0).toLongLong(), 4);
    EXPECT_EQ(m_list->RowKey(4), QStringLiteral("k1")); // Chata

    QTest::keyClick(m_list.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(m_list->CountSelected(), 2);
    EXPECT_EQ(m_list->SelectedRows(), QList<qint64>({4, 5}));

    // Several selected rows stay the same records through another order.
    m_list->SortBy(0, Qt::DescendingOrder); // Iva Chata Hora Hora Cena ""
    EXPECT_EQ(m_list->SelectedRows(), QList<qint64>({0, 1}));
    m_list->Unsort();
    EXPECT_EQ(m_list->SelectedRows(), QList<qint64>({1, 4}));
    EXPECT_EQ(m_list->SelectedRow(), 4);
}

TEST_F(RecordListTest, SpeaksRowsAndTheEndsOfTheList)
{
    m_list->FillList();
    m_list->SelectOnlyRow(0);
    Show();
    EXPECT_EQ(Spoken(), QStringList({"1 0 , Hora, 1,50, Brno"})); // on focus, after what was said before
    Clear();

    QSignalSpy released(m_list.get(), &cRecordList::RowKeyReleased);
    QTest::keyClick(m_list.get(), Qt::Key_Up);
    QTest::keyClick(m_list.get(), Qt::Key_Down);
    EXPECT_EQ(Spoken(), QStringList({"5 8 ", "2 0 , Hora, 1,50, Brno", "2 0 , Chata, , Cheb"}));
    ASSERT_EQ(released.count(), 2);
    EXPECT_EQ(released.last().value(0).toLongLong(), 1);
    Clear();

    QTest::keyClick(m_list.get(), Qt::Key_End);
    QTest::keyClick(m_list.get(), Qt::Key_Down);
    EXPECT_EQ(Spoken(), QStringList({"2 0 , Hora, 7,00, Cheb", "5 8 ", "2 0 , Hora, 7,00, Cheb"}));
    Clear();

    // Shift alone says nothing; Enter and the other keys the grid has no use for say so.
    QTest::keyRelease(m_list.get(), Qt::Key_Shift);
    EXPECT_TRUE(Spoken().isEmpty());
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace}) {
        Clear();
        QTest::keyClick(m_list.get(), key);
        EXPECT_EQ(Spoken(), QStringList({"2 0 Tato klávesa v tabulce nic nedělá. Šipky vybírají záznam, Alt+Enter ho "
                                         "upraví, F12 zobrazí formulář."}))
            << key;
    }
}

TEST_F(RecordListTest, LettersFindRowsByTheirFirstColumn)
{
    m_list->FillList(); // Hora Chata "" Cena Iva Hora
    m_list->SelectOnlyRow(0);
    Show();
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(1000000);
    QTest::keyClick(m_list.get(), Qt::Key_H);
    EXPECT_EQ(m_list->SelectedRow(), 5) << "the next row, not the current one";
    QTest::keyClick(m_list.get(), Qt::Key_H);
    EXPECT_EQ(m_list->SelectedRow(), 0) << "the same letter again goes on, round the end";
    m_list->keyboardSearch(QString());
    QTest::keyClick(m_list.get(), Qt::Key_C);
    QTest::keyClick(m_list.get(), Qt::Key_H);
    EXPECT_EQ(m_list->SelectedRow(), 1);
    m_list->keyboardSearch(QString());
    QTest::keyClick(m_list.get(), Qt::Key_X);
    EXPECT_EQ(m_list->SelectedRow(), 1) << "no match moves nothing";
    m_list->keyboardSearch(QString());
    m_list->SortBy(0, Qt::DescendingOrder); // Iva Chata Hora Hora Cena ""
    QTest::keyClick(m_list.get(), Qt::Key_I);
    EXPECT_EQ(m_list->SelectedRow(), 0);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 , Iva, 0,25, Hlinsko")));
    QApplication::setKeyboardInputInterval(interval);
}

TEST_F(RecordListTest, WidthsFromTags)
{
    m_list->ClearColumns();
    m_list->AddColumn(QStringLiteral("A"), cRecordList::MakeColumnTag({}, QStringLiteral(" 25% "), {}), 1);
    m_list->AddColumn(QStringLiteral("B"), cRecordList::MakeColumnTag({}, QStringLiteral("1440"), {}), 4);
    m_list->AddColumn(QStringLiteral("Dlouhý nadpis sloupce"), cRecordList::MakeColumnTag({}, QStringLiteral("Auto"), {}), 1);
    m_list->AddColumn(QStringLiteral("C"), cRecordList::MakeColumnTag({}, QStringLiteral("12,5 %"), {}), 1);
    m_list->FillList();
    const int dpi = m_list->logicalDpiX();
    const int inner = 8000 * dpi / 1440;
    m_list->ApplyColumnWidths(inner);
    EXPECT_EQ(m_list->columnWidth(0), qRound(2000.0 * dpi / 1440));
    EXPECT_EQ(m_list->columnWidth(1), dpi);
    EXPECT_EQ(m_list->columnWidth(3), qRound(1000.0 * dpi / 1440));
    const int autoWidth = m_list->columnWidth(2);
    EXPECT_GE(autoWidth, m_list->fontMetrics().horizontalAdvance(QStringLiteral("Dlouhý nadpis sloupce")));
    m_list->FitColumnWidths(); // texts only: the short names need less than the header
    EXPECT_LT(m_list->columnWidth(2), autoWidth);
    EXPECT_GE(m_list->columnWidth(2), m_list->fontMetrics().horizontalAdvance(QStringLiteral("Chata")));

    EXPECT_EQ(cRecordList::ColumnTagPart(QStringLiteral("a|b"), 1), QStringLiteral("b"));
    EXPECT_EQ(cRecordList::ColumnTagPart(QStringLiteral("a|b"), 2), QString());
    EXPECT_EQ(cRecordList::ColumnTagPart(QString(), 0), QString());
}

TEST_F(RecordListTest, RowsAddedOneByOne)
{
    m_list->ClearRows();
    EXPECT_EQ(m_list->RowCount(), 0);
    EXPECT_EQ(m_list->SelectedRow(), -1);
    for (const qint64 position : {4, 0, 2}) {
        m_rs->setAbsolutePosition(qint32(position));
        m_list->PutRecordRow(position, true);
    }
    EXPECT_EQ(m_list->RowCount(), 3);
    EXPECT_EQ(Column(0), QStringList({"Iva", "Hora", ""}));
    EXPECT_EQ(m_list->RowKey(1), QStringLiteral("k0"));
    EXPECT_EQ(m_list->RowOfPosition(2), 2);
    EXPECT_EQ(m_list->RowOfPosition(3), -1);
    EXPECT_EQ(m_list->SelectedRow(), 2);

    // Sorted, a new row takes its sorted place.
    m_list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(0), QStringList({"", "Hora", "Iva"}));
    m_rs->setAbsolutePosition(1);
    EXPECT_EQ(m_list->PutRecordRow(1, true), 2);
    EXPECT_EQ(Column(0), QStringList({"", "Hora", "Chata", "Iva"}));
    EXPECT_EQ(m_list->SelectedRow(), 2);
    EXPECT_EQ(m_list->RowOfPosition(4), 3);
    m_list->Unsort();
    EXPECT_EQ(Column(0), QStringList({"Iva", "Hora", "", "Chata"}));

    // Rows added to an emptied sorted list take their places too.
    m_list->SortBy(0, Qt::DescendingOrder);
    m_list->ClearRows();
    for (const qint64 position : {0, 4, 1}) {
        m_rs->setAbsolutePosition(qint32(position));
        m_list->PutRecordRow(position, false);
    }
    EXPECT_EQ(Column(0), QStringList({"Iva", "Chata", "Hora"}));
    EXPECT_EQ(m_list->RowOfPosition(1), 1);

    // A full fill after single rows: every record in recordset order.
    m_list->Unsort();
    m_list->FillList();
    EXPECT_EQ(m_list->RowCount(), 6);
    EXPECT_EQ(m_list->RowKey(5), QStringLiteral("k5"));
}

TEST_F(RecordListTest, NewRecordJoinsTheFullList)
{
    m_list->FillList();
    m_rs->AddNew();
    m_rs->SetFieldValue(1, QStringLiteral("Adam"));
    m_rs->Update();
    m_rs->MoveLast();
    const qint64 position = m_rs->AbsolutePosition();
    ASSERT_EQ(position, 6);
    EXPECT_EQ(m_list->PutRecordRow(position, true), 6);
    EXPECT_EQ(m_list->RowText(6), QStringLiteral(", Adam, , "));
    EXPECT_EQ(m_list->SelectedRow(), 6);
}

TEST_F(RecordListTest, ARecordThatCannotBeReadIsSaidSoNeverShownEmpty)
{
    m_list->FillList(); // counts the records, reads none
    // Another recordset of the same database deletes Chata after the fill.
    auto other = m_db->OpenRecordset(QStringLiteral("SELECT * FROM T WHERE Id = 2"));
    other->Delete();
    m_list->SelectOnlyRow(0);
    Show(); // paints the row: the failure is told as it is first met
    QTest::keyClick(m_list.get(), Qt::Key_Down);
    QTest::keyClick(m_list.get(), Qt::Key_Down);
    QTest::keyClick(m_list.get(), Qt::Key_Up);
    QCoreApplication::processEvents();
    const QString unreadable = QStringLiteral("2 0 , (nečitelné), (nečitelné), (nečitelné)");
    EXPECT_EQ(Spoken().count(unreadable), 2) << Spoken().join(u'\n').toStdString();
    EXPECT_EQ(Spoken().count(QStringLiteral("1 0 Záznam nelze přečíst. Záznam je odstraněn.")), 1)
        << "told once";
    EXPECT_EQ(m_list->CellText(1, 2), QStringLiteral("(nečitelné)"));
    EXPECT_EQ(m_list->RowText(2), QStringLiteral(", , 2,00, Aš")) << "its neighbours read as ever";
}

TEST_F(RecordListTest, NumbersAndDatesSortByValueTextsByTheLanguage)
{
    auto rs = m_db->OpenRecordset(QStringLiteral("SELECT * FROM V"));
    m_list->ClearColumns();
    m_list->AddColumn(QStringLiteral("Počet"), {}, 0);
    m_list->AddColumn(QStringLiteral("Den"), cRecordList::MakeColumnTag({}, {}, QStringLiteral("d.m.yyyy")), 1);
    m_list->AddColumn(QStringLiteral("Kód"), {}, 2);
    m_list->SetRecordset(rs);
    m_list->FillList();
    m_list->SortBy(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(0), QStringList({"", "2", "9", "10"})) << "Null first, then by value";
    m_list->SortBy(1, Qt::AscendingOrder);
    EXPECT_EQ(Column(1), QStringList({"", "1.3.2025", "1.2.2026", "15.2.2026"}));
    m_list->SortBy(1, Qt::DescendingOrder);
    EXPECT_EQ(Column(1), QStringList({"15.2.2026", "1.2.2026", "1.3.2025", ""}));
    // A text column stays a text, digits and all.
    m_list->SortBy(2, Qt::AscendingOrder);
    EXPECT_EQ(Column(2), QStringList({"10", "2", "9", "ch"}));
}

TEST_F(RecordListTest, EscapeStopsASortAndLeavesTheRowsAsTheyWere)
{
    // 6^8 records: sorting them takes far longer than the moment quick work is given.
    auto many = m_db->OpenRecordset(QStringLiteral(
        "SELECT a.[Jméno] FROM T AS a, T AS b, T AS c, T AS d, T AS e, T AS f, T AS g, T AS h"));
    m_list->ClearColumns();
    m_list->AddColumn(QStringLiteral("Jméno"), {}, 0);
    m_list->SetRecordset(many);
    m_list->FillList();
    ASSERT_EQ(m_list->RowCount(), 1679616);
    m_list->SelectOnlyRow(3);
    const QStringList before = {m_list->CellText(0, 0), m_list->CellText(1, 0), m_list->CellText(3, 0)};
    Show();
    Clear();
    QCoreApplication::postEvent(m_list.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QTest::keyClick(m_list.get(), Qt::Key_1, Qt::ControlModifier); // no order and no row after it
    EXPECT_FALSE(m_list->IsSorted());
    EXPECT_EQ(QStringList({m_list->CellText(0, 0), m_list->CellText(1, 0), m_list->CellText(3, 0)}), before);
    EXPECT_EQ(m_list->SelectedRow(), 3);
    EXPECT_EQ(Spoken(), QStringList({"2 0 Přerušeno."}));
}

TEST_F(RecordListTest, EmptyAndMissingRecordsets)
{
    m_list->SetRecordset(nullptr);
    m_list->FillList();
    EXPECT_EQ(m_list->RowCount(), 0);
    m_list->SetRecordset(m_db->OpenRecordset(QStringLiteral("SELECT * FROM T WHERE Id > 100")));
    QSignalSpy clicked(m_list.get(), &cRecordList::ItemClicked);
    m_list->FillList();
    EXPECT_EQ(m_list->RowCount(), 0);
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_EQ(clicked.last().value(0).toLongLong(), -1);
    m_list->SortByColumn(0);
    EXPECT_EQ(m_list->RowText(0), QString());
    EXPECT_EQ(m_list->CellText(-1, 0), QString());
}

} // namespace
