#include "DataTestSupport.h"

#include "cMdbDriver.h"
#include "mDamage.h"
#include "mJetErrors.h"
#include "mReadEverything.h"

#include <QFile>

// The worst cases the damage campaigns found (scripts/campaign-access, campaign-sqlite),
// made again from the campaign's seed: each reads whole or fails with the engine's error.
namespace {

constexpr quint64 kSeed = 20261207;

struct Case {
    const char* File;
    damage::Kind Kind;
    qint64 Index;
    const char* Why;
};

const Case kCases[] = {
    {"nwind.mdb", damage::Kind::Access, 870, "the reader allocates until its memory limit ends it"},
    {"nwind.mdb", damage::Kind::Access, 627, "the reader allocates until its memory limit ends it"},
    {"sample", damage::Kind::Sqlite, 62, "a view's text damaged: 3061"},
    {"sample", damage::Kind::Sqlite, 573, "a view's text damaged: 3061"},
};

} // namespace

class DamagedCorpus : public DatabaseTest {
protected:
    void TearDown() override
    {
        cMdbDriver::SetHelperTimeout(10000);
        cMdbDriver::SetHelperDeadline(60000);
    }
};

TEST_F(DamagedCorpus, EachWorstCaseReadsOrFailsWithTheEnginesError)
{
    cMdbDriver::SetHelperTimeout(3000);
    cMdbDriver::SetHelperDeadline(8000);
    for (const Case& c : kCases) {
        SCOPED_TRACE(QStringLiteral("%1 case %2: %3").arg(QLatin1String(c.File)).arg(c.Index).arg(QLatin1String(c.Why)).toStdString());
        const QString source = qstrcmp(c.File, "sample") == 0 ? QStringLiteral(QUARNEL_SAMPLE)
                                                               : QStringLiteral(QUARNEL_TESTDATA "/") + QLatin1String(c.File);
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = damage::Damage(file.readAll(), c.Kind, kSeed, c.Index);
        const QString path = PathOf(c.Kind == damage::Kind::Access ? QStringLiteral("případ.mdb") : QStringLiteral("případ.db"));
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(copy.write(damaged), damaged.size());
        copy.close();
        const int number = ErrorOf([&] { ReadEverything(path); });
        if (c.Kind == damage::Kind::Access)
            EXPECT_TRUE(number == 0 || number == JetError::NotADatabase) << number;
        else
            EXPECT_GT(number, 0);
    }
}
