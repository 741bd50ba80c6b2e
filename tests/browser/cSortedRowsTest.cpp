#include "cSortedRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

// Every change checked against the two plain arrays the grid kept before.
TEST(SortedRows, RowsAddedAndRemovedAnywhereKeepEveryBaseAndRow)
{
    std::mt19937 random(11);
    std::vector<qint32> rowToBase(9000);
    std::iota(rowToBase.begin(), rowToBase.end(), 0);
    std::shuffle(rowToBase.begin(), rowToBase.end(), random);
    cSortedRows rows;
    rows.Assign(rowToBase);
    const auto check = [&](int step) {
        ASSERT_EQ(rows.Size(), qint64(rowToBase.size())) << step;
        ASSERT_EQ(rows.RowToBase(), rowToBase) << step;
        // A walk from within a block stops where it is told to.
        const qint64 first = qint64(rowToBase.size() / 3);
        std::vector<qint32> walked;
        rows.Walk(first, first + 5000, [&](qint64 row, qint64 base) {
            EXPECT_EQ(row, first + qint64(walked.size()));
            walked.push_back(qint32(base));
            return walked.size() < 3000;
        });
        ASSERT_EQ(walked, std::vector<qint32>(rowToBase.begin() + first, rowToBase.begin() + first + 3000)) << step;
        for (size_t row = 0; row < rowToBase.size(); row += 7) {
            ASSERT_EQ(rows.BaseOfRow(qint64(row)), rowToBase[row]) << step;
            ASSERT_EQ(rows.RowOfBase(rowToBase[row]), qint64(row)) << step;
        }
    };
    check(-1);
    for (int step = 0; step < 6000; ++step) {
        if (step % 3 != 0) {
            // A new base, the next, at a row anywhere (the ends too); blocks fill and split.
            const size_t at = step % 10 == 1 ? 0 : step % 10 == 2 ? rowToBase.size() : random() % (rowToBase.size() + 1);
            rows.Insert(qint64(at));
            rowToBase.insert(rowToBase.begin() + std::ptrdiff_t(at), qint32(rowToBase.size()));
        } else {
            const size_t at = random() % rowToBase.size();
            const qint32 gone = rowToBase[at];
            rows.RemoveRow(qint64(at));
            rowToBase.erase(rowToBase.begin() + std::ptrdiff_t(at));
            for (qint32& base : rowToBase)
                base -= qint32(base > gone);
        }
        if (step % 250 == 0)
            check(step);
    }
    check(6000);
    EXPECT_EQ(rows.BaseOfRow(-1), -1);
    EXPECT_EQ(rows.RowOfBase(rows.Size()), -1);

    // Emptied row by row, then grown from nothing.
    while (!rows.Empty())
        rows.RemoveRow(rows.Size() / 2);
    rows.Insert(0);
    rows.Insert(0);
    rows.Insert(1);
    EXPECT_EQ(rows.RowToBase(), std::vector<qint32>({1, 2, 0}));
    EXPECT_EQ(rows.RowOfBase(0), 2);
    rows.Clear();
    rows.Insert(0);
    EXPECT_EQ(rows.RowToBase(), std::vector<qint32>({0}));
}

} // namespace
