// Filters and indexes on a table of 1,000,000 records, each figure against its baseline
// measured in this run (best of 3 of each):
//   (a) a filter on an indexed number (equality, range), date, text (equality, prefix),
//       opened as the program opens a record source (its first record and its count),
//       against opening the whole table the same way;
//   (b) a filter on a field without an index against the sqlite3 library's own
//       SELECT count(*) … WHERE of the same condition on a plain connection;
//   (c) making an index through the engine against the library's CREATE INDEX.
// Usage: IndexBench [rows]   (default 1,000,000)
#include "BenchSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "Field.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mFilter.h"
#include "mJetErrors.h"
#include "mSampleData.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

using bench::Best;

// The processor time of this process: on a machine shared with other work it moves less
// than the wall clock, which the figures also give.
double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Spent {
    double Wall = 1e300;
    double Cpu = 1e300;
};

// The best of three of each, taken in turns so that a busy moment weighs on both.
// before runs ahead of each, untimed.
std::pair<Spent, Spent> Compare(const std::function<void()>& ours, const std::function<void()>& theirs,
                                const std::function<void()>& before = {})
{
    Spent a, b;
    for (int i = 0; i < 3; ++i) {
        for (auto [work, spent] : {std::pair<const std::function<void()>*, Spent*>{&theirs, &b}, {&ours, &a}}) {
            if (before)
                before();
            const double cpu = CpuSeconds();
            const auto start = bench::Clock::now();
            (*work)();
            spent->Wall = std::min(spent->Wall, bench::Seconds(start));
            spent->Cpu = std::min(spent->Cpu, CpuSeconds() - cpu);
        }
    }
    return {a, b};
}

void PrintRatio(const char* name, const Spent& ours, const Spent& theirs, const QString& note)
{
    std::printf("  %-28s wall %8.1f / %8.1f ms = %.2fx, cpu %8.1f / %8.1f ms = %.2fx  %s\n", name, ours.Wall * 1e3,
                theirs.Wall * 1e3, ours.Wall / theirs.Wall, ours.Cpu * 1e3, theirs.Cpu * 1e3, ours.Cpu / theirs.Cpu,
                note.toUtf8().constData());
}

// As the program opens a record source: the first record, then the count.
qint64 OpenAsTheProgramDoes(Database& db, const QString& sql)
{
    auto rs = db.OpenRecordset(sql);
    if (!rs->Eof())
        rs->Fields()->Item(1)->Value();
    return rs->RecordCount();
}

qint64 RawCount(sqlite3* raw, const QString& where)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = (QStringLiteral("SELECT count(*) FROM Velka WHERE ") + where).toUtf8();
    sqlite3_prepare_v2(raw, sql.constData(), -1, &statement, nullptr);
    sqlite3_step(statement);
    const qint64 count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return count;
}

void RawExec(sqlite3* raw, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(raw, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
    }
}

// The column's value in the first record from id on where it has one.
QString TextAt(sqlite3* raw, const char* column, int id)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QByteArray("SELECT ") + column + " FROM Velka WHERE Id >= " + QByteArray::number(id)
                           + " AND " + column + " IS NOT NULL ORDER BY Id LIMIT 1";
    sqlite3_prepare_v2(raw, sql.constData(), -1, &statement, nullptr);
    sqlite3_step(statement);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velka.db"));
    GenerateLargeDatabase(path, rows);
    const int probe = int(std::min<qint64>(rows, 777));

    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    auto db = DBEngine::Instance().OpenDatabase(path);
    const QString whole = QStringLiteral("SELECT * FROM Velka");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("IndexBench, %lld rows\n", static_cast<long long>(rows));

    // (b) before any index exists.
    const QString note = TextAt(raw, "Poznamka", probe);
    const QString pocet = TextAt(raw, "Pocet", probe);
    struct Unindexed {
        const char* Name;
        QString Jet;
        QString Sqlite;
    };
    const QList<Unindexed> unindexed{
        {"text prefix, Poznamka LIKE", JetFilterTerm(QStringLiteral("Poznamka"), JetType::Memo, note.toUpper() + u'*'),
         QStringLiteral("Poznamka LIKE '%1%'").arg(note)},
        {"number, Pocet =", QStringLiteral("[Pocet]=") + pocet, QStringLiteral("Pocet = ") + pocet},
        {"text, Mesto LIKE", JetFilterTerm(QStringLiteral("Mesto"), JetType::Text, QStringLiteral("zlín")),
         QStringLiteral("Mesto LIKE 'Zlín'")},
    };
    std::printf("(b) filter on a field without an index / sqlite3 count(*) WHERE\n");
    for (const Unindexed& filter : unindexed) {
        const QString sql = FilteredQuery(whole, filter.Jet);
        qint64 found = 0, counted = 0;
        const auto [ours, engine] = Compare([&] { found = OpenAsTheProgramDoes(*db, sql); },
                                            [&] { counted = RawCount(raw, filter.Sqlite); });
        PrintRatio(filter.Name, ours, engine, QStringLiteral("(%1 rows, engine %2)").arg(found).arg(counted));
    }

    // (c) the index of a text field, made and dropped, against the library's own.
    std::printf("(c) making an index / sqlite3 CREATE INDEX\n");
    auto field = [&](const QString& name) {
        db->TableDefs()->Refresh();
        return db->TableDefs()->Item(QStringLiteral("Velka"))->Fields()->Item(name);
    };
    for (const char* column : {"Mesto", "Jmeno"}) {
        const QString name = QString::fromLatin1(column);
        // Each made on a table without it: the other's index is dropped before.
        std::shared_ptr<Field> made;
        const auto [ours, engine] = Compare(
            [&] {
                cWorkControl control;
                made->setIndexing(FieldIndexing::Duplicates, &control);
            },
            [&] { RawExec(raw, QStringLiteral("CREATE INDEX bench_idx ON Velka (%1)").arg(name).toUtf8().constData()); },
            [&] {
                RawExec(raw, "DROP INDEX IF EXISTS bench_idx");
                made = field(name);
                made->setIndexing(FieldIndexing::None);
            });
        PrintRatio(column, ours, engine, QString());
        // Where the difference lies: the library's statement on the engine's connection.
        sqlite3* own = std::dynamic_pointer_cast<cSqliteDriver>(db->SharedDriver())->Handle();
        const auto [onOwn, again] = Compare(
            [&] { RawExec(own, QStringLiteral("CREATE INDEX bench_idx ON Velka (%1)").arg(name).toUtf8().constData()); },
            [&] { RawExec(raw, QStringLiteral("CREATE INDEX bench_idx ON Velka (%1)").arg(name).toUtf8().constData()); },
            [&] {
                RawExec(raw, "DROP INDEX IF EXISTS bench_idx");
                field(name)->setIndexing(FieldIndexing::None);
            });
        RawExec(raw, "DROP INDEX IF EXISTS bench_idx");
        PrintRatio("  same, engine's connection", onOwn, again, QString());
        field(name)->setIndexing(FieldIndexing::Duplicates);
    }
    field(QStringLiteral("Pocet"))->setIndexing(FieldIndexing::Duplicates);
    field(QStringLiteral("Datum"))->setIndexing(FieldIndexing::Duplicates);

    // (a) with the indexes of Pocet, Datum, Jmeno (and Mesto) in place.
    const QString name = TextAt(raw, "Jmeno", probe);
    const QDateTime when = QDateTime::fromString(TextAt(raw, "Datum", probe), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    struct Indexed {
        const char* Name;
        QString Jet;
    };
    const QList<Indexed> indexed{
        {"number, Pocet =", QStringLiteral("[Pocet]=") + pocet},
        {"number range, Pocet", QStringLiteral("[Pocet]>=%1 AND [Pocet]<%2").arg(pocet).arg(pocet.toInt() + 2)},
        {"date, Datum =", QStringLiteral("[Datum]=") + JetLiteral(when, JetType::Date)},
        {"text, Jmeno LIKE", JetFilterTerm(QStringLiteral("Jmeno"), JetType::Text, name.toLower())},
        {"text prefix, Jmeno LIKE", JetFilterTerm(QStringLiteral("Jmeno"), JetType::Text, name.left(name.size() - 1).toUpper() + u'*')},
    };
    double opening = 1e300;
    qint64 all = 0;
    for (int i = 0; i < 3; ++i)
        opening = std::min(opening, Best(1, [&] { all = OpenAsTheProgramDoes(*db, whole); }));
    std::printf("(a) filter on an indexed field / opening the whole table (%.1f ms, %lld rows)\n", opening * 1e3,
                static_cast<long long>(all));
    for (const Indexed& filter : indexed) {
        const QString sql = FilteredQuery(whole, filter.Jet);
        qint64 found = 0;
        const double ours = Best(3, [&] { found = OpenAsTheProgramDoes(*db, sql); });
        std::printf("  %-28s %8.2f ms = %.4fx  (%lld rows)\n", filter.Name, ours * 1e3, ours / opening,
                    static_cast<long long>(found));
    }
    db->Close();
    sqlite3_close(raw);
    return 0;
}
