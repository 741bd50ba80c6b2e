// What saying the referred row costs while moving Down through a record source, as
// ratios against the same walk without it in the same run:
//   (a) 1,000,000 rows whose field refers to 14 regions: walk with a text per row / without;
//   (b) the same walk over a field referring to 100,000 distinct rows in random order,
//       so that nearly every value misses the cache;
//   (c) one lookup that misses the cache (cold): median and p99, and the first call,
//       which reads the relations and prepares the lookup.
// Usage: RelationBench [rows]   (default 1000000)
#include "BenchSupport.h"
#include "Field.h"
#include "Recordset.h"
#include "cRelationTexts.h"
#include "cSqliteDriver.h"
#include "mConvert.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using bench::Best;
using bench::Clock;
using bench::Percentile;
using bench::Seconds;

constexpr qint64 kPeople = 100000;

void Exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", message ? message : "?");
        std::exit(1);
    }
}

void Generate(const QString& path, qint64 rows)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    Exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;"
             "CREATE TABLE Kraje (Kód INTEGER PRIMARY KEY, Název VARCHAR(40));"
             "CREATE TABLE Osoby (Id INTEGER PRIMARY KEY, Jméno VARCHAR(40));"
             "CREATE TABLE Obce (Id INTEGER PRIMARY KEY, Jméno VARCHAR(40), Kraj INTEGER REFERENCES Kraje, "
             "Osoba INTEGER REFERENCES Osoby, Počet INTEGER)");
    const char* regions[] = {"Hlavní město Praha", "Středočeský", "Jihočeský", "Plzeňský", "Karlovarský",
                             "Ústecký", "Liberecký", "Královéhradecký", "Pardubický", "Vysočina",
                             "Jihomoravský", "Olomoucký", "Zlínský", "Moravskoslezský"};
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Kraje VALUES (?, ?)", -1, &insert, nullptr);
    for (int i = 0; i < 14; ++i) {
        sqlite3_bind_int(insert, 1, i + 1);
        sqlite3_bind_text(insert, 2, regions[i], -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_prepare_v2(db, "INSERT INTO Osoby VALUES (?, ?)", -1, &insert, nullptr);
    for (qint64 i = 1; i <= kPeople; ++i) {
        const QByteArray name = "Osoba " + QByteArray::number(i);
        sqlite3_bind_int64(insert, 1, i);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    std::mt19937_64 random(7);
    sqlite3_prepare_v2(db, "INSERT INTO Obce VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    for (qint64 i = 1; i <= rows; ++i) {
        const QByteArray name = "Obec " + QByteArray::number(i);
        sqlite3_bind_int64(insert, 1, i);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 3, i % 14 + 1);
        sqlite3_bind_int64(insert, 4, qint64(random() % kPeople) + 1);
        sqlite3_bind_int64(insert, 5, i * 7);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT");
    sqlite3_close(db);
}

// Moving Down through every record as the grid reads it, every field read; with texts,
// also the text of the referring field's value.
qint64 Walk(const QString& path, int referring, bool withTexts)
{
    auto driver = cSqliteDriver::Open(path, true);
    auto rs = Recordset::Open(driver, QStringLiteral("SELECT * FROM Obce"));
    auto fields = rs->Fields();
    const int count = fields->Count();
    const FieldSchema source = fields->Item(referring)->Schema();
    cRelationTexts texts(driver);
    qint64 sum = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        for (int i = 0; i < count; ++i)
            sum += fields->Item(i)->Value().isValid() ? 1 : 0;
        if (withTexts)
            sum += texts.TextOf(source.SourceTable, source.SourceField, fields->Item(referring)->Value()).size();
    }
    if (withTexts && texts.Lookups() == 0)
        std::printf("  no text was looked up\n");
    return sum;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("obce.db"));
    auto start = Clock::now();
    Generate(path, rows);
    std::printf("generated %lld rows, 14 regions and %lld people in %.1f s\n", static_cast<long long>(rows),
                static_cast<long long>(kPeople), Seconds(start));
    constexpr int kRegion = 2, kPerson = 3;
    Walk(path, kRegion, false); // the file in the page cache

    const double plain = Best(3, [&] { Walk(path, kRegion, false); });
    const double regions = Best(3, [&] { Walk(path, kRegion, true); });
    std::printf("(a) %lld rows referring to 14 regions: walk %.3f s, with a text per row %.3f s, ratio %.3f\n",
                static_cast<long long>(rows), plain, regions, regions / plain);

    const double people = Best(3, [&] { Walk(path, kPerson, true); });
    std::printf("(b) %lld rows referring to %lld people at random: with a text per row %.3f s, ratio %.3f\n",
                static_cast<long long>(rows), static_cast<long long>(kPeople), people, people / plain);

    // (c) each lookup the cache cannot answer, timed alone.
    auto driver = cSqliteDriver::Open(path, true);
    cRelationTexts texts(driver);
    auto first = Clock::now();
    texts.TextOf(QStringLiteral("Obce"), QStringLiteral("Osoba"), 1);
    const double firstMs = Seconds(first) * 1000.0;
    std::mt19937_64 random(11);
    std::vector<double> cold;
    for (int i = 0; i < 50000; ++i) {
        const qint64 before = texts.Lookups();
        const QVariant value = qint64(random() % kPeople) + 1;
        const auto at = Clock::now();
        texts.TextOf(QStringLiteral("Obce"), QStringLiteral("Osoba"), value);
        const double ms = Seconds(at) * 1000.0;
        if (texts.Lookups() != before)
            cold.push_back(ms);
    }
    std::printf("(c) a lookup the cache misses, %zu of them: median %.4f ms, p99 %.4f ms; the first call, reading "
                "the relations, %.3f ms\n",
                cold.size(), Percentile(cold, 0.5), Percentile(cold, 0.99), firstMs);
    return 0;
}
