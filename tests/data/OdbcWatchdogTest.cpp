#include "DataTestSupport.h"
#include "OdbcTestSupport.h"

#include "cOdbcStatement.h"
#include "mJetErrors.h"

#include <QThread>

#include <sys/socket.h>
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

} // namespace

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
