#include "mSampleData.h"

#include "cSqliteDriver.h"
#include "mJetErrors.h"

namespace {
const QString kCzech = QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0");
}

void CreateDatabaseFromScript(const QString& path, const QString& script)
{
    auto driver = cSqliteDriver::Create(path, kCzech);
    char* message = nullptr;
    const int rc = sqlite3_exec(driver->Handle(), script.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        RaiseJetError(JetError::OdbcFailed, {text});
}

void GenerateLargeDatabase(const QString& path, qint64 rows)
{
    static const char* const names[] = {"Jana", "Petr", "Marie", "Tomáš", "Lucie", "Jiří", "Eva", "Václav",
                                        "Kateřina", "Ondřej", "Zuzana", "Martin", "Hana", "Lukáš", "Šárka", "Čestmír"};
    static const char* const towns[] = {"Praha", "Brno", "Ostrava", "Plzeň", "Olomouc", "České Budějovice",
                                        "Hradec Králové", "Ústí nad Labem", "Liberec", "Zlín"};
    CreateDatabaseFromScript(path, QStringLiteral(
        "CREATE TABLE Velka (Id INTEGER PRIMARY KEY, Jmeno VARCHAR(50) COLLATE NOCASE, "
        "Mesto VARCHAR(30) COLLATE NOCASE, Datum DATETIME, Castka CURRENCY, Pocet INTEGER, Podil DOUBLE, "
        "Aktivni BOOLEAN, Poznamka LONGTEXT COLLATE NOCASE)"));
    auto driver = cSqliteDriver::Open(path, false);
    sqlite3* db = driver->Handle();
    ExecSql(db, QStringLiteral("BEGIN"));
    cSqliteStatement insert(db, QStringLiteral("INSERT INTO Velka VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    quint64 seed = 12345;
    auto next = [&seed] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return seed >> 33;
    };
    for (qint64 id = 1; id <= rows; ++id) {
        const quint64 r = next();
        insert.Bind(1, id);
        insert.Bind(2, QStringLiteral("%1 %2").arg(QString::fromUtf8(names[r % 16])).arg(id));
        insert.Bind(3, QString::fromUtf8(towns[(r >> 8) % 10]));
        insert.Bind(4, QStringLiteral("%1-%2-%3 %4:%5:00")
                           .arg(1950 + (r >> 12) % 70)
                           .arg(1 + (r >> 20) % 12, 2, 10, QLatin1Char('0'))
                           .arg(1 + (r >> 24) % 28, 2, 10, QLatin1Char('0'))
                           .arg((r >> 4) % 24, 2, 10, QLatin1Char('0'))
                           .arg((r >> 9) % 60, 2, 10, QLatin1Char('0')));
        insert.Bind(5, QVariant(double((r >> 3) % 10000000) / 100.0));
        insert.Bind(6, qint64(r % 1000));
        insert.Bind(7, QVariant(double(r % 100000) / 997.0));
        insert.Bind(8, qint64(r % 3 == 0 ? 0 : -1));
        if (r % 5 == 0)
            insert.Bind(9, QVariant());
        else
            insert.Bind(9, QStringLiteral("Poznámka k záznamu %1").arg(id));
        insert.Run();
        insert.Reset();
    }
    ExecSql(db, QStringLiteral("COMMIT"));
}
