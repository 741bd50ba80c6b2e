#include "cKeyList.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace {

// Every change checked against a plain array doing the same.
TEST(KeyList, DeletionsAndAdditionsAnywhereKeepEveryPositionsKey)
{
    std::vector<qint64> model(5000);
    std::iota(model.begin(), model.end(), qint64(1));
    cKeyList keys(model);
    std::mt19937 random(7);
    for (int step = 0; step < 3000; ++step) {
        if (step % 5 == 0) {
            keys.push_back(100000 + step);
            model.push_back(100000 + step);
        } else {
            // The ends, and anywhere between.
            const size_t at = step % 7 == 0 ? 0 : step % 11 == 0 ? model.size() - 1 : random() % model.size();
            keys.erase(at);
            model.erase(model.begin() + std::ptrdiff_t(at));
        }
        ASSERT_EQ(keys.size(), model.size());
        if (step % 97 == 0) {
            ASSERT_EQ(keys.ToVector(), model) << step;
        }
    }
    for (size_t i = 0; i < model.size(); i += 13)
        ASSERT_EQ(keys[i], model[i]);
    EXPECT_EQ(keys.front(), model.front());
    EXPECT_EQ(keys.back(), model.back());
    // Ascending still: each key is found where it is, a missing one nowhere.
    EXPECT_EQ(keys.FindAscending(model[1234]), 1234);
    EXPECT_EQ(keys.FindAscending(model.back()), qint64(model.size()) - 1);
    EXPECT_EQ(keys.FindAscending(0), -1);
    EXPECT_EQ(keys.FindAscending(model.back() + 1), -1);

    while (!keys.empty())
        keys.erase(keys.size() / 2);
    keys.push_back(9);
    EXPECT_EQ(keys.ToVector(), std::vector<qint64>({9}));
    keys.clear();
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(keys.FindAscending(9), -1);
}

} // namespace
