// The main window over a very large table, each figure against a baseline measured in the
// same run, at a base size and at the large size:
//   open to the first row shown, Down keys at the start, the middle and the end (p99),
//   a sort by Ctrl+digit, a filter finding few rows on a field without an index, an
//   export of every row, and one record added, edited and deleted (added and deleted also
//   while sorted);
//   for each, the longest time the window's thread did not answer (a 10 ms timer's longest
//   gap), which must not grow with the table;
//   the memory the open window holds against the size of the data.
// With "odbc": a PostgreSQL table opened through ODBC to its first row, against psql's \copy
// of the same table.
// Usage: ScaleBench [rows [baseRows]]        (default 10000000 and 1000000)
//        ScaleBench odbc [rows]               (default 1000000)
#include "BenchSupport.h"
#include "QuietVoice.h"
#include "DBEngine.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "fApplication.h"
#include "mConvert.h"
#include "mExport.h"
#include "mFilter.h"
#include "mLongWork.h"
#include "mSampleData.h"
#include "modCommon.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <malloc.h>

#include <cstdio>

namespace {

using bench::Best;
using bench::Clock;
using bench::Percentile;
using bench::AnonymousMegabytes;
using bench::Seconds;

// Notes when a row's text arrives, as the speech server would hear it.
class cCountingVoice : public bench::cQuietVoice {
public:
    qint32 Voice(qint32, qint32, const QString&) override
    {
        ++Said;
        Arrived = Clock::now();
        return 0;
    }

    // Kept across voices: each window makes its own at start and drops it at its end.
    static inline qint64 Said = 0;
    static inline Clock::time_point Arrived;
};

// A timer on the window's thread every 10 ms: the longest gap between its ticks while an
// operation runs is the longest the window could not answer a key.
class cHeartbeat {
public:
    cHeartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(10);
    }
    void Begin()
    {
        m_last = Clock::now();
        m_longest = 0;
    }
    // Milliseconds.
    double End()
    {
        Tick();
        return m_longest * 1000;
    }

private:
    void Tick()
    {
        const auto now = Clock::now();
        m_longest = std::max(m_longest, std::chrono::duration<double>(now - m_last).count());
        m_last = now;
    }
    QTimer m_timer;
    Clock::time_point m_last = Clock::now();
    double m_longest = 0;
};

cHeartbeat* gHeart = nullptr;

// The last record deleted, its row removed, and the row then selected (−1: the last) said.
void DeleteLastAsTheWindowDoes(Recordset& rs, cRecordList* list, qint64 select)
{
    const qint32 last = rs.RecordCount() - 1;
    rs.setAbsolutePosition(last);
    rs.Delete();
    list->RemoveRecordRows({last});
    list->SelectOnlyRow(select < 0 ? list->RowCount() - 1 : select);
    list->SayCurrentRow(2);
}

struct Figure {
    QString Case;
    double Seconds = 0;
    double Baseline = 0;
    double BlockedMs = 0; // the window thread's longest gap
};

void Print(qint64 rows, const Figure& f)
{
    std::printf("  %-44s %10.4f s  baseline %10.4f s  ratio %7.3f  window blocked at most %8.1f ms  (%lld rows)\n",
                qPrintable(f.Case), f.Seconds, f.Baseline, f.Baseline > 0 ? f.Seconds / f.Baseline : 0.0, f.BlockedMs,
                static_cast<long long>(rows));
}

const char* const kNames[] = {"Jana", "Petr", "Marie", "Tomáš", "Lucie", "Jiří", "Eva", "Václav",
                              "Kateřina", "Ondřej", "Zuzana", "Martin", "Hana", "Lukáš", "Šárka", "Čestmír"};

// The table in one statement: an integer key, texts, a date, numbers, a long text with
// gaps. Made by the engine itself, so a file of ten million rows takes seconds, not minutes.
void MakeTable(const QString& path, qint64 rows)
{
    CreateDatabaseFromScript(path, QStringLiteral(
        "CREATE TABLE Velka (Id INTEGER PRIMARY KEY, Jmeno VARCHAR(50) COLLATE NOCASE, "
        "Mesto VARCHAR(30) COLLATE NOCASE, Datum DATETIME, Castka CURRENCY, Pocet INTEGER, Podil DOUBLE, "
        "Aktivni BOOLEAN, Poznamka LONGTEXT COLLATE NOCASE)"));
    QString names = QStringLiteral("CASE x % 16");
    for (int i = 0; i < 16; ++i)
        names += QStringLiteral(" WHEN %1 THEN '%2'").arg(i).arg(QString::fromUtf8(kNames[i]));
    names += QStringLiteral(" END");
    auto driver = cSqliteDriver::Open(path, false);
    ExecSql(driver->Handle(), QStringLiteral(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < @ROWS@), "
        "h(x, r) AS (SELECT x, (x * 2654435761) % 4294967296 FROM n) "
        "INSERT INTO Velka SELECT x, @NAMES@ || ' ' || x, "
        "CASE (r >> 8) % 5 WHEN 0 THEN 'Praha' WHEN 1 THEN 'Brno' WHEN 2 THEN 'Plzeň' WHEN 3 THEN 'Ústí nad Labem' "
        "ELSE 'České Budějovice' END, "
        "printf('%04d-%02d-%02d %02d:%02d:00', 1950 + (r >> 12) % 70, 1 + (r >> 20) % 12, 1 + (r >> 24) % 28, "
        "(r >> 4) % 24, (r >> 9) % 60), "
        "((r >> 3) % 10000000) / 100.0, r % 1000, (r % 100000) / 997.0, CASE r % 3 WHEN 0 THEN 0 ELSE -1 END, "
        "CASE WHEN r % 5 = 0 THEN NULL ELSE 'Poznámka k záznamu ' || x END FROM h")
                                        .replace(QLatin1String("@ROWS@"), QString::number(rows))
                                        .replace(QLatin1String("@NAMES@"), names));
}

// The bytes of every stored value, as the engine hands them out.
double ValueBytes(const QString& path)
{
    auto driver = cSqliteDriver::Open(path, true);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(driver->Handle(),
                       "SELECT sum(8 + length(Jmeno) + length(Mesto) + length(Datum) + 8 + 8 + 8 + 8 + "
                       "ifnull(length(Poznamka), 0)) FROM Velka",
                       -1, &statement, nullptr);
    sqlite3_step(statement);
    const double bytes = sqlite3_column_double(statement, 0);
    sqlite3_finalize(statement);
    return bytes;
}

// The sqlite3 library's walk of every row, each value as text, written as the export's
// format to file (nothing written without one).
double LibraryExport(const QString& path, const QString& file)
{
    auto driver = cSqliteDriver::Open(path, true);
    return Best(2, [&] {
        FILE* out = file.isEmpty() ? nullptr : std::fopen(QFile::encodeName(file).constData(), "wb");
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(driver->Handle(), "SELECT * FROM Velka", -1, &statement, nullptr);
        const int columns = sqlite3_column_count(statement);
        qint64 bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
                const int size = sqlite3_column_bytes(statement, i);
                bytes += size;
                if (out) {
                    if (text)
                        std::fwrite(text, 1, size_t(size), out);
                    std::fputc(';', out);
                }
            }
            if (out)
                std::fputs("\r\n", out);
        }
        sqlite3_finalize(statement);
        if (out)
            std::fclose(out);
        return bytes;
    });
}

double LibraryStatement(sqlite3* db, const QByteArray& sql)
{
    sqlite3_stmt* statement = nullptr;
    const auto start = Clock::now();
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return Seconds(start);
}

// A statement run to its end by the library alone (its own LIKE, not the engine's Jet
// one), timed.
double LibraryScalar(const QString& path, const QByteArray& sql, qint64* value = nullptr)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto closing = qScopeGuard([db] { sqlite3_close(db); });
    return Best(2, [&] {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
        qint64 got = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            got += sqlite3_column_int64(statement, 0) + sqlite3_column_bytes(statement, 1);
        sqlite3_finalize(statement);
        if (value)
            *value = got;
    });
}

// The window opening query on path, as start-up opens the file the user named.
struct Opened {
    std::unique_ptr<fApplication> Window;
    double Open = 0;      // to the window showing the first row selected
    double FirstRow = 0;  // to its text in the voice
    double Blocked = 0;
};

Opened OpenWindow(const QString& path, const QString& query)
{
    cSetting().setQuery(query);
    Opened opened;
    opened.Window = std::make_unique<fApplication>();
    gVoice = std::make_unique<cCountingVoice>(); // in place of the log the window started
    opened.Window->show();
    QApplication::processEvents();
    gHeart->Begin();
    const auto start = Clock::now();
    if (!opened.Window->ApplySetting(path, true))
        std::printf("  the window did not open %s\n", qPrintable(query));
    opened.Open = Seconds(start);
    const qint64 said = cCountingVoice::Said;
    opened.Window->list->SayCurrentRow(2);
    opened.FirstRow = cCountingVoice::Said > said ? std::chrono::duration<double>(cCountingVoice::Arrived - start).count() : -1;
    QApplication::processEvents();
    opened.Blocked = gHeart->End();
    return opened;
}

// Milliseconds from each key's press until the row's text was spoken: the 99th
// percentile, and the longest.
std::pair<double, double> Keys(QWidget* target, Qt::Key key, int presses)
{
    std::vector<double> times;
    for (int i = 0; i < presses; ++i) {
        const qint64 before = cCountingVoice::Said;
        const auto start = Clock::now();
        QTest::keyClick(target, key);
        if (cCountingVoice::Said == before)
            std::printf("  a key was not spoken\n");
        times.push_back(std::chrono::duration<double, std::milli>(cCountingVoice::Arrived - start).count());
        QApplication::processEvents();
    }
    return {Percentile(times, 0.99), *std::max_element(times.begin(), times.end())};
}

std::vector<Figure> Measure(const QString& folder, qint64 rows)
{
    std::vector<Figure> figures;
    const QString path = folder + QStringLiteral("/scale-%1.db").arg(rows);
    const QString small = folder + QStringLiteral("/scale-small.db");
    auto start = Clock::now();
    MakeTable(path, rows);
    MakeTable(small, 100);
    const double fileMb = double(QFileInfo(path).size()) / 1048576.0;
    const double valueMb = ValueBytes(path) / 1048576.0;
    std::printf("%lld rows: made in %.1f s, the file %.1f MB, its values %.1f MB\n", static_cast<long long>(rows),
                Seconds(start), fileMb, valueMb);
    const QString all = QStringLiteral("SELECT * FROM Velka");
    const double walk = LibraryExport(path, QString()); // also brings the file into the page cache

    // Memory: the window opened on a small file of the same table first, so that what
    // grows is the large source alone.
    double held = 0;
    double heldSorted = 0;
    {
        Opened warm = OpenWindow(small, all);
        malloc_trim(0);
        const double before = AnonymousMegabytes();
        warm.Window->ApplySetting(path, true);
        warm.Window->list->SayCurrentRow(2);
        QApplication::processEvents();
        held = AnonymousMegabytes() - before;
    }
    malloc_trim(0);

    // Open and first row: the best of three.
    Figure open{QStringLiteral("open to the first row shown"), 1e300, walk, 0};
    Figure first{QStringLiteral("first row spoken"), 1e300, walk, 0};
    for (int i = 0; i < 3; ++i) {
        Opened o = OpenWindow(path, all);
        open.Seconds = std::min(open.Seconds, o.Open);
        first.Seconds = std::min(first.Seconds, o.FirstRow);
        open.BlockedMs = first.BlockedMs = std::max(open.BlockedMs, o.Blocked);
    }
    figures.push_back(open);
    figures.push_back(first);

    Opened window = OpenWindow(path, all);
    cRecordList* list = window.Window->list;
    list->setFocus();

    // Down keys at the start, in the middle and at the end (Up there: Down has nowhere to go).
    constexpr int kPresses = 300;
    const auto keyFigure = [&](const QString& name, Qt::Key key) {
        gHeart->Begin();
        const auto [p99, longest] = Keys(list, key, kPresses);
        Figure f{name, p99 / 1000, 0, gHeart->End()};
        Q_UNUSED(longest);
        return f;
    };
    figures.push_back(keyFigure(QStringLiteral("Down p99 at the start"), Qt::Key_Down));
    list->SelectOnlyRow(rows / 2);
    figures.push_back(keyFigure(QStringLiteral("Down p99 in the middle"), Qt::Key_Down));
    gHeart->Begin();
    const auto endStart = Clock::now();
    QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
    figures.push_back({QStringLiteral("Ctrl+End"), Seconds(endStart), 0, gHeart->End()});
    if (list->SelectedRow() != list->RowCount() - 1)
        std::printf("  Ctrl+End did not reach the last row\n");
    figures.push_back(keyFigure(QStringLiteral("Up p99 at the end"), Qt::Key_Up));

    // Sort by Jmeno (every text distinct), Ctrl+2, against SQLite's ORDER BY by bytes.
    {
        const double orderBy = LibraryScalar(path, "SELECT Id, Jmeno FROM Velka ORDER BY Jmeno COLLATE BINARY");
        malloc_trim(0);
        const double unsorted = AnonymousMegabytes();
        gHeart->Begin();
        const auto began = Clock::now();
        QTest::keyClick(list, Qt::Key_2, Qt::ControlModifier);
        const double sorted = Seconds(began);
        figures.push_back({QStringLiteral("sort by a text, Ctrl+2"), sorted, orderBy, gHeart->End()});
        malloc_trim(0);
        heldSorted = held + AnonymousMegabytes() - unsorted;
        if (!list->IsSorted())
            std::printf("  the grid was not sorted\n");

        // One record added and deleted again while the sort is on: its row takes its place
        // in the order.
        auto rs = window.Window->CurrentRecordset();
        gHeart->Begin();
        auto changed = Clock::now();
        rs->AddNew();
        rs->SetFieldValue(0, rows + 50);
        rs->SetFieldValue(1, QStringLiteral("Nový záznam"));
        rs->Update();
        rs->MoveLast();
        list->PutRecordRow(rs->AbsolutePosition(), true);
        list->SayCurrentRow(2);
        figures.push_back({QStringLiteral("add one record, sorted"), Seconds(changed), 0, gHeart->End()});
        gHeart->Begin();
        changed = Clock::now();
        DeleteLastAsTheWindowDoes(*rs, list, 0);
        figures.push_back({QStringLiteral("delete one record, sorted"), Seconds(changed), 0, gHeart->End()});
        QTest::keyClick(list, Qt::Key_0, Qt::ControlModifier);
    }

    // Record changes as the window makes them after its dialogs, against the library's one
    // statement each on a connection of its own, as the program writes: no transaction.
    {
        auto rs = window.Window->CurrentRecordset();
        auto library = cSqliteDriver::Open(path, false);
        sqlite3* db = library->Handle();
        const qint64 newId = rows + 100;
        double add = 1e300, edit = 1e300, remove = 1e300, addBase = 1e300, editBase = 1e300, removeBase = 1e300;
        double blockedAdd = 0, blockedEdit = 0, blockedRemove = 0;
        for (int i = 0; i < 3; ++i) {
            addBase = std::min(addBase, LibraryStatement(db, QStringLiteral("INSERT INTO Velka (Id, Jmeno) VALUES (%1, 'Nový')")
                                                                 .arg(newId + 1000 + i).toUtf8()));
            editBase = std::min(editBase, LibraryStatement(db, QStringLiteral("UPDATE Velka SET Jmeno = 'Jiný' WHERE Id = %1")
                                                                   .arg(rows / 3 + 1).toUtf8()));
            removeBase = std::min(removeBase, LibraryStatement(db, QStringLiteral("DELETE FROM Velka WHERE Id = %1")
                                                                       .arg(newId + 1000 + i).toUtf8()));

            gHeart->Begin();
            auto began = Clock::now();
            rs->AddNew();
            rs->SetFieldValue(0, newId + i);
            rs->SetFieldValue(1, QStringLiteral("Nový záznam"));
            rs->Update();
            rs->MoveLast();
            list->PutRecordRow(rs->AbsolutePosition(), true);
            list->SayCurrentRow(2);
            add = std::min(add, Seconds(began));
            blockedAdd = std::max(blockedAdd, gHeart->End());

            gHeart->Begin();
            began = Clock::now();
            const qint32 position = qint32(rows / 3);
            rs->setAbsolutePosition(position);
            rs->Edit();
            rs->SetFieldValue(1, QStringLiteral("Změněný záznam %1").arg(i));
            rs->Update();
            rs->setAbsolutePosition(position);
            list->PutRecordRow(position, true);
            list->SayCurrentRow(2);
            edit = std::min(edit, Seconds(began));
            blockedEdit = std::max(blockedEdit, gHeart->End());

            gHeart->Begin();
            began = Clock::now();
            DeleteLastAsTheWindowDoes(*rs, list, -1);
            remove = std::min(remove, Seconds(began));
            blockedRemove = std::max(blockedRemove, gHeart->End());
            QApplication::processEvents();
        }
        figures.push_back({QStringLiteral("add one record"), add, addBase, blockedAdd});
        figures.push_back({QStringLiteral("edit one record"), edit, editBase, blockedEdit});
        figures.push_back({QStringLiteral("delete one record"), remove, removeBase, blockedRemove});
        // A record in the middle, which moves every later position.
        gHeart->Begin();
        const auto began = Clock::now();
        const qint32 middle = qint32(rows / 2);
        rs->setAbsolutePosition(middle);
        rs->Delete();
        list->RemoveRecordRows({middle});
        list->SelectOnlyRow(middle);
        list->SayCurrentRow(2);
        figures.push_back({QStringLiteral("delete one record in the middle"), Seconds(began), removeBase, gHeart->End()});
    }

    // Export of every row as the window's File > Export makes it after the file dialog
    // (the same steps: the dialog cannot be answered from here).
    {
        const QString theirs = folder + QStringLiteral("/library.txt");
        const QString ours = folder + QStringLiteral("/export.txt");
        const double library = LibraryExport(path, theirs);
        QFile::remove(theirs);
        auto records = window.Window->CurrentRecordset();
        gHeart->Begin();
        const auto began = Clock::now();
        ExportSource source = list->ExportColumns();
        bool written = false;
        RunLongWork(QStringLiteral("export"), QString(), [&](cWorkControl& control) {
            source.Positions = list->RowPositions();
            written = ExportRecords(ours, *records, source, control);
        });
        figures.push_back({QStringLiteral("export of every row"), Seconds(began), library, gHeart->End()});
        if (!written)
            std::printf("  the export was not written\n");
        QFile::remove(ours);
    }
    window.Window.reset();

    // A filter finding few rows on a field without an index, opened as the window opens a
    // source, against the engine's own count of the same condition.
    {
        const QString name = QString::fromUtf8(kNames[4242 % 16]);
        qint64 count = 0;
        const double scan = LibraryScalar(
            path, QStringLiteral("SELECT count(*) FROM Velka WHERE Jmeno LIKE '%1 4242%'").arg(name).toUtf8(), &count);
        const QString filtered =
            FilteredQuery(all, JetFilterTerm(QStringLiteral("Jmeno"), 10, name + QStringLiteral(" 4242*")));
        Figure filter{QStringLiteral("filter finding %1 rows").arg(count), 1e300, scan, 0};
        for (int i = 0; i < 2; ++i) {
            Opened o = OpenWindow(path, filtered);
            filter.Seconds = std::min(filter.Seconds, o.Open);
            filter.BlockedMs = std::max(filter.BlockedMs, o.Blocked);
            if (o.Window->list->RowCount() != count)
                std::printf("  the filter showed %lld rows\n", static_cast<long long>(o.Window->list->RowCount()));
        }
        figures.push_back(filter);
    }

    for (const Figure& f : figures)
        Print(rows, f);
    std::printf("  memory of the open window %.1f MB (growth of its own memory, mapped file pages left out): %.3f of the file (%.1f MB), %.3f of the values "
                "(%.1f MB)\n",
                held, held / fileMb, fileMb, held / valueMb, valueMb);
    std::printf("  memory of the window sorted by a text %.1f MB: %.3f of the file\n", heldSorted, heldSorted / fileMb);
    QFile::remove(path);
    QFile::remove(small);
    return figures;
}

bool RunFixture(const QString& action, const QString& folder)
{
    return bench::RunPostgresFixture(QStringLiteral(QUARNEL_SOURCE "/tests/data/postgres-fixture.cmake"), action, folder);
}

bool Psql(const QString& folder, const QStringList& arguments, int timeout = 600000)
{
    QProcess psql;
    psql.setStandardOutputFile(QProcess::nullDevice());
    psql.start(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), folder,
                                                   QStringLiteral("-U"), QStringLiteral("quarnel"), QStringLiteral("-d"),
                                                   QStringLiteral("postgres")}
                                           + arguments);
    if (!psql.waitForFinished(timeout) || psql.exitCode() != 0) {
        std::printf("psql failed: %s\n", psql.readAllStandardError().constData());
        return false;
    }
    return true;
}

// A PostgreSQL table through the program's ODBC backend, opened as the window opens a
// source (the recordset, its count) until its first row is read, against psql's \copy of
// the same table to a file.
int MeasureOdbc(const QString& folder, qint64 rows)
{
    QString driver;
    for (const char* candidate :
         {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so", "/usr/lib/aarch64-linux-gnu/odbc/psqlodbcw.so"})
        if (QFile::exists(QString::fromLatin1(candidate)))
            driver = QString::fromLatin1(candidate);
    const QString server = QStringLiteral("/tmp/quarnel-scale-pg");
    if (driver.isEmpty() || !RunFixture(QStringLiteral("start"), server)) {
        std::printf("PostgreSQL or its ODBC driver is missing\n");
        return 1;
    }
    const auto made = Clock::now();
    const bool ready = Psql(server, {QStringLiteral("-c"),
                                     QStringLiteral("CREATE TABLE velka AS SELECT g AS id, 'Jméno ' || g AS jmeno, "
                                                    "(ARRAY['Praha','Brno','Plzeň'])[1 + g % 3] AS mesto, "
                                                    "date '1950-01-01' + (g % 25000) AS datum, (g % 100000) / 100.0 AS castka, "
                                                    "g % 1000 AS pocet, CASE WHEN g % 5 = 0 THEN NULL ELSE 'Poznámka ' || g END "
                                                    "AS poznamka FROM generate_series(1, %1) AS g; "
                                                    "ALTER TABLE velka ADD PRIMARY KEY (id); ANALYZE velka;")
                                         .arg(rows)});
    if (ready) {
        std::printf("PostgreSQL table of %lld rows made in %.1f s\n", static_cast<long long>(rows), Seconds(made));
        const QString copyFile = folder + QStringLiteral("/copy.txt");
        const auto copy = [&] {
            Psql(server, {QStringLiteral("-c"), QStringLiteral("\\copy velka to '%1'").arg(copyFile)});
        };
        copy(); // the table in the server's cache
        const double copied = Best(3, copy);
        QFile::remove(copyFile);
        const QString connect = QStringLiteral("ODBC;DRIVER=%1;Servername=%2;Port=5432;Database=postgres;Username=quarnel")
                                    .arg(driver, server);
        QString firstText;
        qint64 count = 0;
        double parts[4] = {1e300, 1e300, 1e300, 1e300}; // connect, query, count, first row
        const auto open = [&] {
            auto step = Clock::now();
            const auto lap = [&](int part) {
                parts[part] = std::min(parts[part], Seconds(step));
                step = Clock::now();
            };
            auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
            lap(0);
            auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM velka"));
            lap(1);
            count = rs->RecordCount();
            lap(2);
            rs->MoveFirst();
            firstText = rs->FieldValue(1).toString();
            lap(3);
        };
        open();
        const double opened = Best(3, open);
        std::printf("  %-44s %10.4f s  baseline %10.4f s  ratio %7.3f  (%lld rows, first \"%s\")\n"
                    "    of which connecting %.4f s, the query %.4f s, the count %.4f s, the first row %.4f s\n",
                    "ODBC open, count and first row", opened, copied, opened / copied, static_cast<long long>(count),
                    qPrintable(firstText), parts[0], parts[1], parts[2], parts[3]);
        // The grid's count came with the opening; a walk to the last row and back shows the
        // rest of the table still reads.
        const double walked = Best(1, [&] {
            auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
            auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM velka"));
            rs->RecordCount();
            rs->MoveLast();
            rs->FieldValue(1);
        });
        std::printf("  %-44s %10.4f s  baseline %10.4f s  ratio %7.3f\n", "ODBC open and last row", walked, copied,
                    walked / copied);
    }
    RunFixture(QStringLiteral("stop"), server);
    return ready ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    bench::UseOwnPreferences(dir);
    QApplication app(argc, argv);
    bench::UseCzechLocale();
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("odbc"))
        return MeasureOdbc(dir.path(), arguments.size() > 1 ? arguments[1].toLongLong() : 1000000);

    cHeartbeat heart;
    gHeart = &heart;
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"), QStringLiteral(";"));
    const qint64 rows = arguments.size() > 0 ? arguments[0].toLongLong() : 10000000;
    const qint64 baseRows = arguments.size() > 1 ? arguments[1].toLongLong() : 1000000;
    const std::vector<Figure> base = Measure(dir.path(), baseRows);
    const std::vector<Figure> large = Measure(dir.path(), rows);
    std::printf("the window's longest wait, %lld rows against %lld (must not grow with the table):\n",
                static_cast<long long>(rows), static_cast<long long>(baseRows));
    for (size_t i = 0; i < base.size() && i < large.size(); ++i)
        std::printf("  %-44s %8.1f ms against %8.1f ms  ratio %6.2f  (time ratio %6.2f)\n", qPrintable(large[i].Case),
                    large[i].BlockedMs, base[i].BlockedMs, large[i].BlockedMs / std::max(base[i].BlockedMs, 0.001),
                    large[i].Seconds / std::max(base[i].Seconds, 1e-9));
    gHeart = nullptr;
    gVoice.reset();
    return 0;
}
