#include "DataTestSupport.h"
#include "OdbcTestSupport.h"

#include "mJetErrors.h"

#include <QDir>
#include <QElapsedTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A server that is not there, one that never answers, and one that dies in the middle of
// a session: each gives a clear error within the timeouts, never a hang.
class OdbcServerFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareOdbc();
        ASSERT_FALSE(OdbcDriverPath(QStringLiteral("psqlodbcw.so")).isEmpty()) << "odbc-postgresql is missing";
        cOdbcDriver::SetTimeouts(2, 5);
    }
    void TearDown() override { cOdbcDriver::SetTimeouts(5, 60); }

    QString ConnectTo(const QString& folder) const
    {
        return QStringLiteral("ODBC;DRIVER=%1;Servername=%2;Port=5432;Database=postgres;Username=quarnel")
            .arg(OdbcDriverPath(QStringLiteral("psqlodbcw.so")), folder);
    }
    // The error number of opening, and how long it took.
    int OpenFails(const QString& connect, qint64& elapsedMs, QString* description = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        int number = 0;
        try {
            DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
        } catch (const cRuntimeError& e) {
            number = e.Number();
            if (description)
                *description = e.Description();
        }
        elapsedMs = timer.elapsed();
        return number;
    }

    QTemporaryDir m_dir;
};

TEST_F(OdbcServerFailure, NothingListeningFailsAtOnce)
{
    qint64 elapsed = 0;
    QString description;
    EXPECT_EQ(OpenFails(ConnectTo(m_dir.path()), elapsed, &description), 3151);
    EXPECT_LT(elapsed, 5000);
    EXPECT_TRUE(description.startsWith(QStringLiteral("Připojení ODBC ke zdroji"))) << description.toStdString();
}

TEST_F(OdbcServerFailure, ASilentServerFailsWithinTheLoginTimeout)
{
    // Accepts connections (the kernel's backlog) and never says a word.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral(".s.PGSQL.5432")));
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    qint64 elapsed = 0;
    EXPECT_EQ(OpenFails(ConnectTo(m_dir.path()), elapsed), 3151);
    EXPECT_LT(elapsed, 8000) << "the login timeout is 2 s";
    ::close(listener);
}

TEST_F(OdbcServerFailure, AServerStoppedInTheMiddleGivesAnErrorNotAHang)
{
    cPostgresServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    RunOdbcSql(server.Connect(), {QStringLiteral("CREATE TABLE čísla (id integer PRIMARY KEY, slovo text)"),
                                  QStringLiteral("INSERT INTO čísla SELECT n, 'číslo ' || n FROM generate_series(1, 50) n")});
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, server.Connect());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM čísla ORDER BY id"));
    EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("číslo 1"));
    server.Kill();

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ErrorOf([&] { rs->Requery(); }), JetError::OdbcFailed);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM čísla")); }), JetError::OdbcFailed);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Refresh(); }), JetError::OdbcFailed);
    EXPECT_LT(timer.elapsed(), 10000);
    db->Close();
}

TEST_F(OdbcServerFailure, AServerThatStopsAnsweringIsCutOffAfterTheQueryTimeout)
{
    cOdbcDriver::SetTimeouts(2, 2);
    cPostgresServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, server.Connect());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT 1 AS jedna"));
    server.Freeze(true);
    QElapsedTimer timer;
    timer.start();
    cRuntimeError failure(0, QString());
    try {
        rs->Requery();
    } catch (const cRuntimeError& e) {
        failure = e;
    }
    const qint64 elapsed = timer.elapsed();
    server.Freeze(false);
    EXPECT_EQ(failure.Number(), JetError::OdbcFailed);
    EXPECT_TRUE(failure.Description().contains(QStringLiteral("neodpověděl"))) << failure.Description().toStdString();
    EXPECT_LT(elapsed, 12000) << "2 s of query timeout and 3 s of grace";
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT 1")); }), JetError::OdbcFailed)
        << "the cut connection stays failed";
}
