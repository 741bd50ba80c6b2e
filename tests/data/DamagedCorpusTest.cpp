#include "DataTestSupport.h"

#include "cMdbDriver.h"
#include "mDamage.h"
#include "mReadEverything.h"

#include <QFile>

// The worst cases the damage campaigns found (scripts/campaign-access, campaign-sqlite),
// made again from the campaign's seed: each reads whole or fails with the engine's error.
namespace {

constexpr quint64 kSeed = 20261207;

struct Case {
    const char* File;
    damage::Kind Kind;
    qint64 Index; // the campaign's case; -1 for a copy kept in tests/data/corpus
    int Expected; // the engine's error, 0 when the copy reads whole
    const char* Why;
};

const Case kCases[] = {
    {"nwind.mdb", damage::Kind::Access, 870, 3343, "the reader allocates until its memory limit ends it"},
    {"nwind.mdb", damage::Kind::Access, 627, 3343, "the reader allocates until its memory limit ends it"},
    {"testUnicodeCompV2003.mdb", damage::Kind::Access, 2855, 3343, "libmdb loops silently until the stall ends it"},
    {"testV2000.mdb", damage::Kind::Access, 73, 3075, "a damaged table name that SQL cannot take"},
    // Damaged copies of the sample database as it was (cases 62 and 573): kept as files,
    // since the sample may change.
    {"sqlite-62.db", damage::Kind::Sqlite, -1, 3061, "a view's text damaged"},
    {"sqlite-573.db", damage::Kind::Sqlite, -1, 3061, "a view's text damaged"},
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
        const QString source = c.Index < 0 ? QStringLiteral(QUARNEL_CORPUS "/") + QLatin1String(c.File)
                                           : QStringLiteral(QUARNEL_TESTDATA "/") + QLatin1String(c.File);
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = c.Index < 0 ? file.readAll() : damage::Damage(file.readAll(), c.Kind, kSeed, c.Index);
        const QString path = PathOf(c.Kind == damage::Kind::Access ? QStringLiteral("případ.mdb") : QStringLiteral("případ.db"));
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(copy.write(damaged), damaged.size());
        copy.close();
        EXPECT_EQ(ErrorOf([&] { ReadEverything(path); }), c.Expected);
    }
}
