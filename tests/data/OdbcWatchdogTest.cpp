#include "DataTestSupport.h"
#include "OdbcTestSupport.h"

#include "cOdbcStatement.h"
#include "mJetErrors.h"

#include <QThread>

#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Waits, within a generous bound, for the watchdog to give up on the call.
bool WaitForFiring(const cOdbcWatchdog& watchdog)
{
    for (int i = 0; i < 300 && !watchdog.Fired(); ++i)
        QThread::msleep(50);
    return watchdog.Fired();
}

bool Sends(int socket)
{
    const char ping = 'p';
    return ::send(socket, &ping, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1;
}

// A client socket connected to a listener at path; the listener is left open.
int ConnectedTo(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(qMin<qsizetype>(name.size(), sizeof address.sun_path - 1)));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0
        || ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return -1;
    return client;
}

} // namespace

// Speech may connect on its own thread while the database does: of the sockets that
// appeared meanwhile, only the one to the server's port is the connection's.
TEST(OdbcWatchdog, OfTheSocketsThatAppearedWhileConnectingOnlyTheServersIsWatched)
{
    QTemporaryDir dir;
    const int speech = ConnectedTo(dir.filePath(QStringLiteral("speechd.sock")));
    const int server = ConnectedTo(dir.filePath(QStringLiteral(".s.PGSQL.5432")));
    ASSERT_GE(speech, 0);
    ASSERT_GE(server, 0);
    const QString connect = QStringLiteral("ODBC;DRIVER=psqlodbcw.so;Servername=%1;Port=5432;Database=postgres").arg(dir.path());
    EXPECT_EQ(cOdbcWatchdog::ServerSockets({speech, server}, connect), QList<int>{server});
    EXPECT_EQ(cOdbcWatchdog::ServerSockets({speech, server}, QStringLiteral("ODBC;DSN=účetnictví")), (QList<int>{speech, server}))
        << "without a port nothing can be told apart";
}

// The speech and Braille workers open sockets of their own, and descriptor numbers are
// given out again: a number the connection once had may be the user's speech by the time
// a query hangs.
TEST(OdbcWatchdog, ANumberGivenToAnotherSocketIsLeftAloneAndTheConnectionsOwnIsCut)
{
    int connection[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, connection), 0);
    cOdbcWatchdog watchdog;
    watchdog.Guard({connection[0]}, 1);
    const int number = connection[0];
    ::close(number); // the driver lets its socket go…
    int speech[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, speech), 0);
    if (speech[0] != number) { // …and the number goes to another socket
        ASSERT_EQ(::dup2(speech[0], number), number);
        ::close(speech[0]);
        speech[0] = number;
    }
    watchdog.Begin(SQL_NULL_HSTMT);
    ASSERT_TRUE(WaitForFiring(watchdog));
    watchdog.End();

    EXPECT_TRUE(Sends(speech[0])) << "the other socket still sends";
    char byte = 0;
    EXPECT_EQ(::recv(speech[1], &byte, 1, MSG_DONTWAIT), 1) << "and what it sent arrives";
    EXPECT_EQ(::recv(connection[1], &byte, 1, MSG_DONTWAIT), 0) << "the connection's socket was shut down";
    watchdog.Stop();
    for (int socket : {speech[0], speech[1], connection[1]})
        ::close(socket);
}

// The server's own timeout stops a query that is merely long; the watchdog, a few seconds
// later, only one whose server stopped answering (OdbcServerFailure).
TEST(OdbcWatchdog, AHungQueryOnPostgresIsStillStoppedAndTheConnectionGoesOn)
{
    PrepareOdbc();
    cPostgresServer* server = SharedPostgres();
    ASSERT_NE(server, nullptr);
    cOdbcDriver::SetTimeouts(5, 1);
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, server->Connect());
    const int number = ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT pg_sleep(600) AS spánek"))->RecordCount(); });
    EXPECT_TRUE(number == JetError::Cancelled || number == JetError::OdbcFailed) << number;
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT 1 AS jedna"))->Fields()->Item(0)->Value().toInt(), 1);
    cOdbcDriver::SetTimeouts(5, 60);
    db->Close();
}
