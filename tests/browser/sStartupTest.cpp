#include "TestSupport.h"
#include "sStartup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstring>

namespace {
// True once the process has its own handler for the signal (Linux: SigCgt in /proc).
bool Catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

// Starts the program on the given hive and ends it with the signal.
void RunAndSignal(const ScopedRegistry& registry, int signal, const QString& voice = QString())
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUARNEL_REGISTRY"), registry.Path());
    // Heard through a log, so no box about a missing voice server waits for an answer.
    environment.insert(QStringLiteral("QUARNEL_VOICE"),
                       voice.isEmpty() ? QStringLiteral("log:") + registry.Folder() + QStringLiteral("/voice.log") : voice);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUARNEL_BINARY), {});
    ASSERT_TRUE(program.waitForStarted());
    for (int i = 0; i < 500 && !Catches(program.processId(), signal); ++i)
        QThread::msleep(20);
    ::kill(pid_t(program.processId()), signal);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
} // namespace

TEST(Program, ReadsValuesWrittenByHandAndSavesThemWhenATerminationSignalEndsIt)
{
    for (int signal : {SIGTERM, SIGINT}) {
        ScopedRegistry registry;
        registry.WriteFile("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                           "\"FontSize\"=dword:00000010\n\"FontName\"=\"Tahoma\"\n\"FontBold\"=\"-1\"\n");
        RunAndSignal(registry, signal);
        const QString hive = registry.ReadFile();
        EXPECT_TRUE(hive.contains(QStringLiteral("\"FontSize\"=\"16\"\n\"FontName\"=\"Tahoma\"\n\"FontBold\"=\"-1\"")))
            << signal << hive.toStdString();
        EXPECT_TRUE(hive.contains(QStringLiteral("\"ForeColor\"=\"65535\"\n\"BackColor\"=\"0\""))) << signal;
    }
}

TEST(Program, ATerminationSignalWhileABoxWaitsDismissesItAndStillSavesThePreferences)
{
    ScopedRegistry registry;
    // Without a voice server a box about it waits for an answer at start-up.
    RunAndSignal(registry, SIGTERM, QStringLiteral("none"));
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"FontName\"=\"Arial CE\""))) << registry.ReadFile().toStdString();
}

TEST(Program, AnswersHelpAndVersionWithoutADisplayAndTakesAnyOtherArgumentAsTheDatabase)
{
    for (const char* question : {"--help", "--version"}) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUARNEL_BINARY), {QString::fromLatin1(question)});
        ASSERT_TRUE(program.waitForFinished(10000)) << question;
        EXPECT_EQ(program.exitCode(), 0) << question;
        const QByteArray answer = program.readAllStandardOutput();
        EXPECT_TRUE(answer.contains("quarnel")) << question;
        if (std::strcmp(question, "--help") == 0) {
            EXPECT_TRUE(answer.contains("Ctrl+I") && answer.contains("Ctrl+L") && answer.contains("Ctrl+R")) << "the keys";
        }
    }
    // A file of that name is the database when it is reached by a path.
    EXPECT_EQ(FindStartupDatabase(QStringLiteral("./--help")), QStringLiteral("./--help"));
}

namespace {
// Starts PROGRAM on the database at PATH and returns its voice log once it has spoken.
QString FirstWords(const ScopedRegistry& registry, const QString& program, const QString& path)
{
    const QString log = registry.Folder() + QStringLiteral("/voice.log");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUARNEL_REGISTRY"), registry.Path());
    environment.insert(QStringLiteral("QUARNEL_VOICE"), QStringLiteral("log:") + log);
    environment.remove(QStringLiteral("QUARNEL_MDB_READER"));
    process.setProcessEnvironment(environment);
    process.start(program, {path});
    if (!process.waitForStarted())
        return QStringLiteral("(not started)");
    QString spoken;
    QElapsedTimer waited;
    waited.start();
    while (!spoken.contains(QStringLiteral("Voice\t")) && waited.elapsed() < 20000) {
        QThread::msleep(50);
        QFile file(log);
        if (file.open(QIODevice::ReadOnly))
            spoken = QString::fromUtf8(file.readAll());
    }
    process.terminate();
    if (!process.waitForFinished(30000))
        return QStringLiteral("(did not end)");
    return spoken;
}
} // namespace

// The database a path names is opened while the program starts, its only table shown in the
// order of its records' identities (not of an index another program gave it), and the first
// of them spoken.
TEST(Program, SpeaksTheFirstRecordOfTheTableItsPathNames)
{
    ScopedRegistry registry;
    const QString path = registry.Folder() + QStringLiteral("/Adresář s mezerou.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Lidé (Id INTEGER PRIMARY KEY, Jméno TEXT);"
                           "CREATE INDEX podle_jména ON Lidé (Jméno);"
                           "INSERT INTO Lidé VALUES (900000, 'Adam'), (7, 'Žofie'), (450000, 'Eva');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const QString spoken = FirstWords(registry, QStringLiteral(QUARNEL_BINARY), path);
    EXPECT_TRUE(spoken.contains(QStringLiteral("Voice\t1\t0\t, 7, Žofie"))) << spoken.toStdString();
}

// Installed, the program finds the Access reader beside itself (not where it was built)
// also when the file is opened before the toolkit has started.
TEST(Program, AnInstalledProgramOpensTheAccessFileItsPathNames)
{
    ScopedRegistry registry;
    const QString folder = registry.Folder() + QStringLiteral("/bin");
    const QString program = folder + QStringLiteral("/quarnel");
    const QString marker = registry.Folder() + QStringLiteral("/reader-started");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUARNEL_BINARY), program));
    QFile reader(folder + QStringLiteral("/quarnel-mdb-reader"));
    ASSERT_TRUE(reader.open(QIODevice::WriteOnly));
    reader.write("#!/bin/sh\n: > '" + marker.toUtf8() + "'\nexec '" +
                 (QFileInfo(QStringLiteral(QUARNEL_BINARY)).path() + QStringLiteral("/quarnel-mdb-reader")).toUtf8() +
                 "' \"$@\"\n");
    reader.close();
    reader.setPermissions(reader.permissions() | QFileDevice::ExeOwner);
    const QString path = registry.Folder() + QStringLiteral("/Unicode á.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUARNEL_TESTDATA "/testUnicodeCompV2003.mdb"), path));
    const QString spoken = FirstWords(registry, program, path);
    EXPECT_TRUE(QFile::exists(marker)) << "the reader beside the program was not used";
    EXPECT_TRUE(spoken.contains(QStringLiteral("Voice\t1\t0\t, 1, only ascii chars"))) << spoken.toStdString();
}
