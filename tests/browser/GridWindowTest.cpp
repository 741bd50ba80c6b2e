#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Recordset.h"
#include "TestSupport.h"
#include "cGridSelection.h"
#include "cRecordList.h"
#include "cRecordListModel.h"
#include "mSampleData.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

TEST(RowRanges, KeepRowsAsFewSpansThroughChanges)
{
    cRowRanges rows;
    rows.Add(5, 9);
    rows.Add(10, 12); // touching: one span
    rows.Add(20, 20);
    EXPECT_EQ(rows.Spans(), (std::vector<cRowRanges::Span>{{5, 12}, {20, 20}}));
    rows.Remove(7, 8);
    EXPECT_EQ(rows.Spans(), (std::vector<cRowRanges::Span>{{5, 6}, {9, 12}, {20, 20}}));
    EXPECT_EQ(rows.Count(), 7);
    rows.Toggle(6, 10); // 6, 9, 10 go; 7, 8 come
    EXPECT_EQ(rows.Spans(), (std::vector<cRowRanges::Span>{{5, 5}, {7, 8}, {11, 12}, {20, 20}}));
    EXPECT_TRUE(rows.Contains(7));
    EXPECT_FALSE(rows.Contains(6));
    EXPECT_FALSE(rows.Contains(21));

    rows.Inserted(8); // inside a span: it grows, as the toolkit's selection does
    EXPECT_EQ(rows.Spans(), (std::vector<cRowRanges::Span>{{5, 5}, {7, 9}, {12, 13}, {21, 21}}));
    rows.Removed(6); // the gap goes: 5 and 6 … 8 meet
    EXPECT_EQ(rows.Spans(), (std::vector<cRowRanges::Span>{{5, 8}, {11, 12}, {20, 20}}));
    rows.Removed(20);
    EXPECT_EQ(rows.First(), 5);
    EXPECT_EQ(rows.Count(), 6);
}

// A list ten times longer than the view's window.
class GridWindowTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        cRecordListModel::SetWindowRows(50);
        const QString path = m_dir.filePath(QStringLiteral("t.db"));
        CreateDatabaseFromScript(path, QStringLiteral(
            "CREATE TABLE T (Id INTEGER PRIMARY KEY, Jmeno VARCHAR(30), Mesto VARCHAR(30));"
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 500)"
            " INSERT INTO T SELECT n, printf('R%04d', n), 'M' || (n % 7) FROM c;"));
        m_db = DBEngine::Instance().OpenDatabase(path);
        m_rs = m_db->OpenRecordset(QStringLiteral("SELECT * FROM T"));
        m_list = std::make_unique<cRecordList>();
        m_list->resize(600, 300);
        m_list->AddColumn(QStringLiteral("Jméno"), cRecordList::MakeColumnTag({}, {}, {}), 1);
        m_list->AddColumn(QStringLiteral("Město"), cRecordList::MakeColumnTag({}, {}, {}), 2);
        m_list->SetRecordset(m_rs);
        m_list->FillList();
        m_list->SelectOnlyRow(0);
        m_list->show();
        QApplication::setActiveWindow(m_list.get());
        m_list->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_list.get()));
        Clear();
    }
    void TearDown() override
    {
        m_list.reset();
        m_rs.reset();
        m_db.reset();
        cRecordListModel::SetWindowRows(100000);
        VoiceLogTest::TearDown();
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(m_list.get(), key, modifiers);
    }
    // What the view itself shows for the current cell: the list's row, wherever the window is.
    QString Shown() const { return m_list->currentIndex().data().toString(); }
    qint64 TopRow() const { return m_list->RowOfIndex(m_list->indexAt(QPoint(0, 0))); }

    ScopedLocale m_locale{QStringLiteral("cs_CZ")};
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;
    std::unique_ptr<cRecordList> m_list;
};

TEST_F(GridWindowTest, KeysMoveAndSelectOverTheWholeList)
{
    ASSERT_EQ(m_list->RowCount(), 500);
    EXPECT_EQ(m_list->model()->rowCount(), 50);

    for (int i = 0; i < 120; ++i) {
        Press(Qt::Key_Down);
        ASSERT_EQ(m_list->SelectedRow(), i + 1);
    }
    EXPECT_EQ(m_list->SelectedRow(), 120);
    EXPECT_EQ(Shown(), QStringLiteral("R0121"));
    EXPECT_EQ(Spoken().constLast(), QStringLiteral("2 0 , R0121, M2"));
    EXPECT_EQ(m_list->CountSelected(), 1);
    Press(Qt::Key_PageDown, {}, 40);
    EXPECT_EQ(m_list->SelectedRow(), 499) << "pages go on past every window's end";
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Shown(), QStringLiteral("R0001"));
    Clear();
    Press(Qt::Key_End, Qt::ControlModifier);
    Press(Qt::Key_Down);
    EXPECT_EQ(Shown(), QStringLiteral("R0500"));
    EXPECT_EQ(Spoken(), QStringList({"2 0 , R0500, M3", "5 8 ", "2 0 , R0500, M3"}));
    EXPECT_EQ(m_list->model()->rowCount(), 50);

    // Shift extends from where the range began, however far that lies outside the window.
    m_list->SelectOnlyRow(250);
    Press(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(m_list->CountSelected(), 250);
    EXPECT_EQ(m_list->SelectedRows().constFirst(), 250);
    EXPECT_EQ(m_list->SelectedRow(), 499);
    Press(Qt::Key_Home, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(m_list->CountSelected(), 251);
    Press(Qt::Key_Down, Qt::ShiftModifier, 3);
    EXPECT_EQ(m_list->CountSelected(), 248);
    EXPECT_EQ(m_list->SelectedRows().constFirst(), 3);
    EXPECT_TRUE(m_list->IsRowSelected(250));
    EXPECT_TRUE(m_list->selectionModel()->isRowSelected(m_list->IndexOfRow(3, 0).row(), {}))
        << "the view shows the selection within its window";
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_list->CountSelected(), 500);
    Press(Qt::Key_Down);
    EXPECT_EQ(m_list->CountSelected(), 1);

    // Letters find a row beyond the window.
    m_list->SelectOnlyRow(0);
    m_list->keyboardSearch(QStringLiteral("R04"));
    EXPECT_EQ(m_list->SelectedRow(), 399);
    EXPECT_EQ(Shown(), QStringLiteral("R0400"));
}

TEST_F(GridWindowTest, RecordsAddedDeletedAndSortedKeepTheViewOnTheListsRows)
{
    m_list->SelectOnlyRow(300); // R0301
    m_rs->setAbsolutePosition(100);
    m_rs->Delete();
    m_rs->MoveFirst();
    m_list->RemoveRecordRows({100});
    EXPECT_EQ(m_list->RowCount(), 499);
    EXPECT_EQ(m_list->SelectedRow(), 299);
    EXPECT_EQ(Shown(), QStringLiteral("R0301"));
    EXPECT_EQ(m_list->model()->rowCount(), 50);
    for (int row = 0; row < m_list->model()->rowCount(); row += 7) {
        const QModelIndex index = m_list->model()->index(row, 0);
        EXPECT_EQ(index.data().toString(), m_list->CellText(m_list->RowOfIndex(index), 0));
    }
    EXPECT_EQ(m_list->CellText(299, 0), QStringLiteral("R0301"));

    // The current record deleted: the row above takes over, as in a short list.
    m_rs->setAbsolutePosition(299);
    m_rs->Delete();
    m_rs->MoveFirst();
    m_list->RemoveRecordRows({299});
    EXPECT_EQ(m_list->CurrentRow(), 298);
    EXPECT_EQ(Shown(), QStringLiteral("R0300"));

    m_rs->AddNew();
    m_rs->SetFieldValue(1, QStringLiteral("Nový"));
    m_rs->Update();
    m_rs->MoveLast();
    EXPECT_EQ(m_list->PutRecordRow(m_rs->AbsolutePosition(), true), 498);
    EXPECT_EQ(m_list->SelectedRow(), 498);
    EXPECT_EQ(Shown(), QStringLiteral("Nový"));

    // A sort keeps the selected records selected wherever they go.
    m_list->SelectOnlyRow(10); // R0011
    Press(Qt::Key_Down, Qt::ShiftModifier);
    m_list->SortBy(0, Qt::DescendingOrder);
    EXPECT_EQ(Shown(), QStringLiteral("R0012"));
    const QList<qint64> rows = m_list->SelectedRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(m_list->CellText(rows[0], 0), QStringLiteral("R0012"));
    EXPECT_EQ(m_list->CellText(rows[1], 0), QStringLiteral("R0011"));
    EXPECT_GT(rows[0], 400);

    // A record deleted and one added while sorted: every row keeps its record, in order.
    m_rs->setAbsolutePosition(5); // R0006
    m_rs->Delete();
    m_rs->MoveFirst();
    m_list->RemoveRecordRows({5});
    EXPECT_EQ(m_list->CellText(m_list->SelectedRows().constLast(), 0), QStringLiteral("R0011"));
    m_rs->AddNew();
    m_rs->SetFieldValue(1, QStringLiteral("R0250x"));
    m_rs->Update();
    m_rs->MoveLast();
    const qint64 added = m_list->PutRecordRow(m_rs->AbsolutePosition(), true);
    EXPECT_EQ(Shown(), QStringLiteral("R0250x"));
    EXPECT_EQ(m_list->CellText(added + 1, 0), QStringLiteral("R0250"));
    QStringList names;
    for (qint64 row = 0; row < m_list->RowCount(); ++row) {
        names << m_list->CellText(row, 0);
        ASSERT_EQ(m_list->RowOfPosition(m_list->RowPosition(row)), row);
    }
    EXPECT_TRUE(std::is_sorted(names.rbegin(), names.rend()));
    EXPECT_FALSE(names.contains(QStringLiteral("R0006")));
}

TEST_F(GridWindowTest, AScreenReaderAndTheScrollBarMeetTheWholeList)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(m_list.get());
    ASSERT_TRUE(table && table->tableInterface());
    EXPECT_EQ(table->tableInterface()->rowCount(), 500);
    QAccessibleInterface* far = table->tableInterface()->cellAt(450, 0);
    ASSERT_TRUE(far);
    EXPECT_EQ(far->text(QAccessible::Name), QStringLiteral("R0451"));
    EXPECT_TRUE(far->state().offscreen);
    Press(Qt::Key_End, Qt::ControlModifier);
    QAccessibleInterface* focused = table->focusChild();
    ASSERT_TRUE(focused && focused->tableCellInterface());
    EXPECT_EQ(focused->tableCellInterface()->rowIndex(), 499);
    EXPECT_EQ(focused->text(QAccessible::Name), QStringLiteral("R0500"));

    // The list's scroll bar spans every row; moved, the view shows the rows it points at.
    auto* bar = m_list->findChild<QScrollBar*>(QStringLiteral("listBar"));
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(m_list->verticalScrollBar()->isVisible());
    EXPECT_GT(bar->maximum(), 450);
    EXPECT_EQ(bar->value(), TopRow());
    bar->setValue(200);
    EXPECT_EQ(TopRow(), 200);
    EXPECT_EQ(m_list->SelectedRow(), 499) << "scrolling moves no record";
    // The wheel scrolls the view's own bar: at the window's end the window moves on.
    QScrollBar* own = m_list->verticalScrollBar();
    for (int turn = 0; turn < 40; ++turn)
        own->setValue(own->value() + 10);
    EXPECT_EQ(TopRow(), bar->maximum());
    EXPECT_EQ(bar->value(), TopRow());
    bar->setValue(0);
    EXPECT_EQ(TopRow(), 0);
    for (int turn = 0; turn < 30; ++turn) {
        const QPointF at(50, 50);
        QWheelEvent wheel(at, m_list->viewport()->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_list->viewport(), &wheel);
    }
    EXPECT_GT(TopRow(), 60) << "the wheel scrolls past the first window";
    EXPECT_EQ(bar->value(), TopRow());
    bar->setValue(0);
    Press(Qt::Key_Up);
    EXPECT_EQ(Shown(), QStringLiteral("R0499")) << "a key moves on from the current row out of sight";
    EXPECT_EQ(bar->value(), TopRow());

    // A filter leaving few rows: the view holds them all, and its own bar is the list's.
    m_list->KeepRecordRows({3, 1, 4});
    EXPECT_EQ(m_list->model()->rowCount(), 3);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(Shown(), QStringLiteral("R0004"));
}

} // namespace
