#include "DBEngine.h"
#include "Recordset.h"
#include "TestSupport.h"
#include "cCurrency.h"
#include "cWorkControl.h"
#include "mRowOrder.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Made by plain SQLite as another program would (WAL, no metadata of Quarnel's): positions
// 0 … 5 of "SELECT * FROM t".
class RowOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString path = m_dir.filePath(QStringLiteral("order.db"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        const char* const script = "PRAGMA journal_mode = WAL;"
                                   "CREATE TABLE t (n INTEGER, word TEXT, mixed);"
                                   "INSERT INTO t VALUES (5, 'hrad', 1), (3, 'chata', 'b'), (5, 'Hora', 2),"
                                   "  (NULL, NULL, NULL), (3, 'cesta', 'a'), (40, 'hrad', 3);";
        EXPECT_EQ(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        m_db = DBEngine::Instance().OpenDatabase(path);
        m_rs = m_db->OpenRecordset(QStringLiteral("SELECT * FROM t"));
    }

    // The positions in the order of the field, for the records at positions.
    std::vector<qint64> Order(int field, Qt::SortOrder order, const std::vector<qint64>& positions,
                              SortKind* kind = nullptr, bool stopped = false)
    {
        cWorkControl control;
        if (stopped)
            control.RequestStop();
        std::vector<qint32> rowToBase;
        SortKind found = SortKind::Text;
        const bool done = ComputeRowOrder(
            m_rs.get(), field, QString(), order, qint64(positions.size()),
            [&](qint64 base) { return positions[size_t(base)]; }, rowToBase, &found, control);
        if (kind)
            *kind = found;
        if (!done)
            return {-1};
        std::vector<qint64> result;
        for (const qint32 base : rowToBase)
            result.push_back(positions[size_t(base)]);
        return result;
    }

    ScopedLocale m_locale{QStringLiteral("cs_CZ")};
    QTemporaryDir m_dir;
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;
};

} // namespace

TEST_F(RowOrderTest, EqualValuesKeepTheirOrderEitherWayAndNullLeadsAscending)
{
    const std::vector<qint64> all = {0, 1, 2, 3, 4, 5};
    SortKind kind = SortKind::Text;
    EXPECT_EQ(Order(0, Qt::AscendingOrder, all, &kind), (std::vector<qint64>{3, 1, 4, 0, 2, 5}));
    EXPECT_EQ(kind, SortKind::Number) << "40 after 5, as numbers";
    EXPECT_EQ(Order(0, Qt::DescendingOrder, all), (std::vector<qint64>{5, 0, 2, 1, 4, 3}))
        << "equal values in recordset order also when descending";
    // Texts by the language: "ch" after "h", letter case no rank of its own before the text.
    EXPECT_EQ(Order(1, Qt::AscendingOrder, all, &kind), (std::vector<qint64>{3, 4, 2, 0, 5, 1}));
    EXPECT_EQ(kind, SortKind::Text);
}

TEST_F(RowOrderTest, OnlyTheGivenRecordsInTheirOwnOrder)
{
    // Rows that are a filtered or rearranged part of the recordset.
    EXPECT_EQ(Order(0, Qt::AscendingOrder, {5, 2, 4}), (std::vector<qint64>{4, 2, 5}));
    EXPECT_EQ(Order(0, Qt::AscendingOrder, {2, 0}), (std::vector<qint64>{2, 0})) << "equal: as given";
    EXPECT_EQ(Order(0, Qt::AscendingOrder, {}), (std::vector<qint64>{}));
    // A column of numbers and texts is ranked by its texts.
    SortKind kind = SortKind::Number;
    EXPECT_EQ(Order(2, Qt::AscendingOrder, {0, 1, 2, 3, 4, 5}, &kind), (std::vector<qint64>{3, 0, 2, 5, 4, 1}));
    EXPECT_EQ(kind, SortKind::Text);
}

TEST_F(RowOrderTest, AStopLeavesNoOrderAndNoRecordsetNothingToOrder)
{
    EXPECT_EQ(Order(0, Qt::AscendingOrder, {0, 1, 2}, nullptr, true), (std::vector<qint64>{-1}));
    cWorkControl control;
    std::vector<qint32> rowToBase = {7};
    SortKind kind = SortKind::Date;
    EXPECT_TRUE(ComputeRowOrder(nullptr, 0, QString(), Qt::AscendingOrder, 3, [](qint64 b) { return b; }, rowToBase,
                                &kind, control));
    EXPECT_TRUE(rowToBase.empty());
}

TEST(RowOrderValues, DatesCurrencyAndNullHaveTheirPlace)
{
    const QVariant day = QDate(2026, 2, 1);
    const QVariant later = QDateTime(QDate(2026, 2, 1), QTime(0, 0, 1), Qt::UTC);
    EXPECT_EQ(SortKindOf({day, later, QVariant()}), SortKind::Date);
    EXPECT_LT(SortValue(day, SortKind::Date), SortValue(later, SortKind::Date));
    EXPECT_EQ(SortKindOf({QVariant::fromValue(cCurrency::FromUnits(15000)), 2, 0.5}), SortKind::Number);
    EXPECT_EQ(SortValue(QVariant::fromValue(cCurrency::FromUnits(15000)), SortKind::Number), 1.5);
    EXPECT_LT(SortValue(QVariant(), SortKind::Number), SortValue(-1e300, SortKind::Number));
    EXPECT_EQ(SortKindOf({1, day}), SortKind::Text);
}
