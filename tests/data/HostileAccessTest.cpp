#include "DataTestSupport.h"

#include "cMdbDriver.h"
#include "mJetErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

// Access files come from other people: a helper that trickles or floods is cut off within
// stated bounds, and what it sent is not kept.
class HostileAccess : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        m_reader = qgetenv("QUARNEL_MDB_READER");
        qputenv("QUARNEL_MDB_READER", FAKE_MDB_READER);
        QFile file(PathOf(QStringLiteral("cizí.mdb")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(4096, '\0');
        bytes.replace(4, 15, "Standard Jet DB");
        file.write(bytes);
    }
    void TearDown() override
    {
        if (m_reader.isEmpty())
            qunsetenv("QUARNEL_MDB_READER");
        else
            qputenv("QUARNEL_MDB_READER", m_reader);
        for (const char* name : {"FAKE_MDB_MODE", "FAKE_MDB_ROWS", "FAKE_MDB_MARKER"})
            qunsetenv(name);
        cMdbDriver::SetHelperTimeout(10000);
        cMdbDriver::SetHelperDeadline(60000);
        cMdbDriver::SetByteBudgetFloor(qint64(64) << 20);
    }
    std::shared_ptr<Database> Open() { return std::make_shared<Database>(cMdbDriver::Open(PathOf(QStringLiteral("cizí.mdb")))); }

    // Temporary files SQLite holds open for this process (it names them etilqs_…).
    static int ScratchFiles()
    {
        int count = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString& entry : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            count += QFile::symLinkTarget(fds.filePath(entry)).contains(QLatin1String("etilqs_"));
        return count;
    }

    QByteArray m_reader;
};

TEST_F(HostileAccess, AHelperThatTricklesRowsIsStoppedByTheWholeReadsDeadline)
{
    // Each row comes well within the stall timeout; the table as a whole never would.
    const QString marker = PathOf(QStringLiteral("dočteno"));
    qputenv("FAKE_MDB_MODE", "trickle");
    qputenv("FAKE_MDB_ROWS", "100");
    qputenv("FAKE_MDB_MARKER", QFile::encodeName(marker));
    cMdbDriver::SetHelperTimeout(2000);
    cMdbDriver::SetHelperDeadline(1000);
    auto db = Open();
    try {
        db->OpenRecordset(QStringLiteral("SELECT * FROM Big"));
        ADD_FAILURE() << "a read that never ends must fail";
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Number(), JetError::NotADatabase);
        EXPECT_TRUE(e.Description().contains(QStringLiteral("příliš dlouho"))) << e.Description().toStdString();
    }
    EXPECT_FALSE(QFile::exists(marker)) << "the helper was ended, not waited for";
}

TEST_F(HostileAccess, AFloodBeyondTheBudgetIsRefusedAndNothingOfTheTableIsKept)
{
    qputenv("FAKE_MDB_MODE", "flood");
    qputenv("FAKE_MDB_ROWS", "100"); // 100 MiB from a 4 KiB file
    cMdbDriver::SetByteBudgetFloor(qint64(8) << 20);
    auto db = Open();
    try {
        db->OpenRecordset(QStringLiteral("SELECT * FROM Big"));
        ADD_FAILURE() << "the flood must be refused";
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Number(), JetError::NotADatabase);
        EXPECT_TRUE(e.Description().contains(QStringLiteral("víc dat"))) << e.Description().toStdString();
    }
    // Not a table cut short: the next query fails too rather than count what came.
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT Count(*) FROM Big")); }), JetError::NotADatabase);
}

TEST_F(HostileAccess, ALargeTableIsCopiedIntoATemporaryFileRemovedOnClose)
{
    qputenv("FAKE_MDB_MODE", "flood");
    qputenv("FAKE_MDB_ROWS", "40"); // more than the copy's 16 MiB page cache
    const int before = ScratchFiles();
    auto db = Open();
    auto rs = db->OpenRecordset(QStringLiteral("SELECT Len(Memo) AS Délka FROM Big"));
    EXPECT_EQ(rs->RecordCount(), 40);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), 1 << 20);
    EXPECT_GT(ScratchFiles(), before) << "the rows went to a file, not to memory";
    rs.reset();
    db->Close();
    EXPECT_EQ(ScratchFiles(), before);
}

// The reader limits itself before libmdb sees a byte of the file: a file that sends it round
// in circles or allocating without end is stopped by these, whatever the engine waits for.
TEST_F(HostileAccess, TheRealReaderRunsUnderItsOwnLimits)
{
    if (m_reader.isEmpty())
        qunsetenv("QUARNEL_MDB_READER");
    else
        qputenv("QUARNEL_MDB_READER", m_reader);
    const QString genuine = QStringLiteral(QUARNEL_TESTDATA "/testV2000.mdb");
    auto driver = cMdbDriver::Open(genuine); // the reader stays, waiting for the next table
    QStringList readers;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& pid : children.readAll().simplified().split(' ')) {
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(QLatin1String(pid)));
            if (!pid.isEmpty() && command.open(QIODevice::ReadOnly) && command.readAll().contains("quarnel-mdb-reader"))
                readers << QString::fromLatin1(pid);
        }
    }
    ASSERT_EQ(readers.size(), 1);
    QFile limitsFile(QStringLiteral("/proc/%1/limits").arg(readers[0]));
    QFile statusFile(QStringLiteral("/proc/%1/status").arg(readers[0]));
    ASSERT_TRUE(limitsFile.open(QIODevice::ReadOnly) && statusFile.open(QIODevice::ReadOnly));
    const QString limits = QString::fromLatin1(limitsFile.readAll());
    // "Max address space   <soft>   <hard>   bytes": the soft limit, a number, not unlimited.
    auto soft = [&](const QString& name) {
        const QRegularExpression line(QRegularExpression::escape(name) + QStringLiteral("\\s+(\\S+)"));
        return line.match(limits).captured(1);
    };
    const qint64 size = QFileInfo(genuine).size();
    EXPECT_GT(soft(QStringLiteral("Max address space")).toLongLong(), 0);
    EXPECT_LE(soft(QStringLiteral("Max address space")).toLongLong(), (qint64(256) << 20) + 4 * size);
    EXPECT_GT(soft(QStringLiteral("Max cpu time")).toLongLong(), 0);
    EXPECT_EQ(soft(QStringLiteral("Max core file size")), QStringLiteral("0"));
    EXPECT_TRUE(statusFile.readAll().contains("NoNewPrivs:\t1"));
    driver->Close();
}
