#include "TestSupport.h"
#include "mOperations.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The cases of the operations campaign (scripts/campaign-operations) that once lost or
// changed data, made again from the campaign's seed with all their steps.
namespace {

constexpr quint64 kSeed = 1;
constexpr int kSteps = 20;

} // namespace

TEST(OperationsCampaign, TheCasesThatOnceLostDataNowChangeOnlyWhatWasAsked)
{
    ScopedRegistry registry;
    operations::PlantPreferences(registry.Path());
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    operations::Tally tally;
    for (const qint64 number : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})
        operations::cCase(kSeed, number, work.path(), tally).Run(kSteps);
    EXPECT_EQ(tally.Differences, 0) << tally.Findings.join(QLatin1Char('\n')).toStdString();
    // The cases must still reach what they were kept for.
    EXPECT_GT(tally.Applied, tally.Operations / 2);
    for (const char* kind : {"add", "edit", "delete", "add field", "move field", "save as", "preferences"})
        EXPECT_GT(tally.ByKind.value(QLatin1String(kind)), 0) << kind;
}
