#include "mJetSql.h"

#include "cRuntimeError.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

// Translating, then printing every row as "a|b" lines, Null as "<null>".
class JetDatabase {
public:
    JetDatabase()
    {
        sqlite3_open(":memory:", &m_db);
        EXPECT_EQ(RegisterJetFunctions(m_db), SQLITE_OK);
        Exec("CREATE TABLE Osoby (Id INTEGER PRIMARY KEY, Jméno TEXT, Příjmení TEXT, Narozen TEXT,"
             " Aktivní INTEGER, Plat REAL);"
             "INSERT INTO Osoby VALUES (1, 'Novák', 'Jan', '1980-05-17 00:00:00', -1, 31500.5),"
             " (2, 'Čermák', 'Petr', '1975-12-01 00:00:00', 0, 28000),"
             " (3, 'nováková', NULL, '2001-02-28 13:45:10', -1, NULL),"
             " (4, 'Šťastný', 'Řehoř', NULL, 0, 41000),"
             " (5, 'Dvořák', 'Antonín', '1990-07-04 00:00:00', -1, 35250.25);"
             "CREATE TABLE \"Order Details\" (OrderID INTEGER, Datum TEXT, Množství INTEGER);"
             "INSERT INTO \"Order Details\" VALUES (1, '2024-01-30 23:59:59', 5), (2, '2024-01-31 00:00:00', 7),"
             " (3, '2024-02-01 08:00:00', 1);");
    }
    ~JetDatabase() { sqlite3_close(m_db); }
    JetDatabase(const JetDatabase&) = delete;
    JetDatabase& operator=(const JetDatabase&) = delete;

    void Exec(const char* sql)
    {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(m_db, sql, nullptr, nullptr, &error), SQLITE_OK) << error;
    }

    // The rows of a Jet query; an SQLite error comes back as "error: …".
    QStringList Rows(const QString& jet, const JetSqliteTarget& target = {})
    {
        const QString sql = TranslateJetSql(jet, target);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare16_v2(m_db, sql.utf16(), -1, &stmt, nullptr) != SQLITE_OK)
            return {QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db)) + QStringLiteral(" in ") + sql};
        QStringList rows;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL)
                    row << QStringLiteral("<null>");
                else
                    row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
            }
            rows << row.join(u'|');
        }
        if (rc != SQLITE_DONE)
            rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        return rows;
    }

    QString Value(const QString& jetExpression)
    {
        const QStringList rows = Rows(QStringLiteral("SELECT ") + jetExpression);
        return rows.size() == 1 ? rows.front() : rows.join(u'\n');
    }

private:
    sqlite3* m_db = nullptr;
};

std::string Translated(const char* jet)
{
    return TranslateJetSql(QString::fromUtf8(jet)).toStdString();
}

qint32 ErrorNumber(const QString& jet)
{
    try {
        TranslateJetSql(jet);
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Source(), QStringLiteral("Quarnel.Jet"));
        EXPECT_FALSE(e.Description().isEmpty());
        return e.Number();
    }
    return 0;
}

} // namespace

// Every case expected literally: SQLite would often accept a wrong translation and
// answer something else.
TEST(JetSqlTranslate, WritesTheSqliteFormKeepingJetsMeaning)
{
    const struct {
        const char* jet;
        const char* sqlite;
    } cases[] = {
        {"Select * From Osoby WHERE Jméno LIKE 'N*'", "Select * From Osoby WHERE Jméno LIKE 'N*'"},
        {"select Jméno,Příjmení from Osoby", "select Jméno,Příjmení from Osoby"},
        {"SELECT [Order Details].* FROM [Order Details] WHERE Datum >= #1/31/2024#",
         "SELECT \"Order Details\".* FROM \"Order Details\" WHERE Datum >= '2024-01-31 00:00:00'"},
        {"SELECT * FROM [a\"b]", "SELECT * FROM \"a\"\"b\""},
        {"WHERE d = #12/5/2023 3:07:09 PM#", "WHERE d = '2023-12-05 15:07:09'"},
        {"WHERE d = #12/5/2023 12:00 AM#", "WHERE d = '2023-12-05 00:00:00'"},
        {"WHERE d = #2024-02-29#", "WHERE d = '2024-02-29 00:00:00'"},
        {"WHERE d = #2024-02-29T10:11:12#", "WHERE d = '2024-02-29 10:11:12'"},
        {"WHERE d = #1/2/99#", "WHERE d = '1999-01-02 00:00:00'"},
        {"WHERE d = #1/2/29#", "WHERE d = '2029-01-02 00:00:00'"},
        {"WHERE d = #10:30#", "WHERE d = '1899-12-30 10:30:00'"},
        {"WHERE Aktivní = True OR x = Yes", "WHERE Aktivní = -1 OR x = -1"},
        {"WHERE Aktivní = false AND x <> NO", "WHERE Aktivní = 0 AND x <> 0"},
        {"SELECT t.Yes, 'True', [No], Nota FROM t AS No", "SELECT t.Yes, 'True' AS Expr1000, \"No\", Nota FROM t AS No"},
        {"SELECT \"it's\", 'say \"\"hi\"\"', \"a\"\"b\"", "SELECT 'it''s' AS Expr1000, 'say \"\"hi\"\"' AS Expr1001, 'a\"b' AS Expr1002"},
        {"SELECT a Mod 3 FROM t", "SELECT a % 3 AS Expr1000 FROM t"},
        {"SELECT DISTINCTROW Jméno FROM Osoby", "SELECT Jméno FROM Osoby"},
        {"SELECT DISTINCT Jméno FROM Osoby", "SELECT DISTINCT Jméno FROM Osoby"},
        {"SELECT Osoby!Jméno FROM Osoby", "SELECT Osoby.Jméno FROM Osoby"},
        {"SELECT Left$(a, 2) AS L, Right(a,1) AS R, IsNull(a) AS N, Mid(a, 2) AS M FROM t",
         "SELECT jet_left(a, 2) AS L, jet_right(a,1) AS R, jet_isnull(a) AS N, Mid(a, 2) AS M FROM t"},
        {"SELECT * FROM t LEFT JOIN u ON t.a = u.a", "SELECT * FROM t LEFT JOIN u ON t.a = u.a"},
        {"SELECT a FROM t;", "SELECT a FROM t"},
        {"  SELECT a FROM t ; \r\n\t ", "SELECT a FROM t"},
        {"SELECT a FROM t WHERE b = 'a;b'", "SELECT a FROM t WHERE b = 'a;b'"},
        {"SELECT a FROM t WHERE a != b OR a <> b OR a<=b", "SELECT a FROM t WHERE a != b OR a <> b OR a<=b"},
        // Jet has no comments: -- is two minus signs, and must stay so.
        {"WHERE a = 5--3", "WHERE a = 5- -3"}, {"WHERE a = 5-True", "WHERE a = 5- -1"},
        {"WHERE a = 6/ *x", "WHERE a = 6/ *x"},
        {"INSERT INTO t (a, b) VALUES (True, #1/1/2000#)", "INSERT INTO t (a, b) VALUES (-1, '2000-01-01 00:00:00')"},
        {"UPDATE t SET a = No WHERE [b c] = 1", "UPDATE t SET a = 0 WHERE \"b c\" = 1"},
        {"DELETE * FROM t WHERE a", "DELETE FROM t WHERE a"},
        {"DELETE t.* FROM t", "DELETE FROM t"},
        {"PARAMETERS [Beginning Date] DateTime, Kód Text ( 255 );\r\nSELECT * FROM t", "SELECT * FROM t"},
        {"parameters x Long; SELECT x FROM t;", "SELECT x FROM t"},
        // & binds more loosely than arithmetic and comparison take it whole.
        {"SELECT Jméno & ' ' & Příjmení FROM Osoby", "SELECT jet_concat(Jméno , ' ' , Příjmení) AS Expr1000 FROM Osoby"},
        {"SELECT 'Cena: ' & Cena * 2 FROM t", "SELECT jet_concat('Cena: ' , Cena * 2) AS Expr1000 FROM t"},
        {"WHERE a & b = 'xy' AND c", "WHERE jet_concat(a , b) = 'xy' AND c"},
        {"SELECT Left(a, 1) & [b c] & (d + 1) & t.e AS x", "SELECT jet_concat(jet_left(a, 1) , \"b c\" , (d + 1) , t.e) AS x"},
        {"WHERE f(a&b, c)", "WHERE f(jet_concat(a,b), c)"}, {"WHERE -a & -b", "WHERE jet_concat(-a , -b)"},
        {"SELECT x = 2 * -a.b & Mid(c, 1) + 1 & d Mod 2 FROM t",
         "SELECT x = jet_concat(2 * -a.b , Mid(c, 1) + 1 , d % 2) AS Expr1000 FROM t"},
        {"SELECT a & b AS c, d FROM t", "SELECT jet_concat(a , b) AS c, d FROM t"},
        {"SELECT a & b c FROM t", "SELECT jet_concat(a , b) c FROM t"},
        // Computed columns of the result get Jet's names.
        {"SELECT Jméno, [Order Details].Datum, t.*, *, Count(*), Plat * 2 AS Dvojnásobek, Year(Datum) FROM t",
         "SELECT Jméno, \"Order Details\".Datum, t.*, *, Count(*) AS Expr1000, Plat * 2 AS Dvojnásobek, "
         "Year(Datum) AS Expr1001 FROM t"},
        {"SELECT DISTINCT TOP 3 a & b, 'x' FROM t", "SELECT DISTINCT jet_concat(a , b) AS Expr1000, 'x' AS Expr1001 FROM t LIMIT 3"},
        {"SELECT TOP 1 1 + 1", "SELECT 1 + 1 AS Expr1000 LIMIT 1"}, {"SELECT a + 1 b FROM t", "SELECT a + 1 b FROM t"},
        // Only the result's own columns: not those of subqueries or later arms.
        {"SELECT a FROM t WHERE a IN (SELECT b + 1 FROM u) UNION SELECT c * 2 FROM v",
         "SELECT a FROM t WHERE a IN (SELECT b + 1 FROM u) UNION SELECT c * 2 FROM v"},
        {"INSERT INTO t SELECT a + 1 FROM u", "INSERT INTO t SELECT a + 1 FROM u"},
        // TOP becomes the LIMIT of its own SELECT.
        {"SELECT TOP 2 * FROM Osoby ORDER BY Jméno", "SELECT * FROM Osoby ORDER BY Jméno LIMIT 2"},
        {"SELECT DISTINCT TOP 3 a FROM t", "SELECT DISTINCT a FROM t LIMIT 3"},
        {"SELECT a FROM t WHERE a IN (SELECT TOP 1 b FROM u ORDER BY b) ORDER BY a",
         "SELECT a FROM t WHERE a IN (SELECT b FROM u ORDER BY b LIMIT 1) ORDER BY a"},
        {"SELECT TOP 1 a FROM t UNION SELECT b FROM u ORDER BY 1", "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION SELECT b FROM u ORDER BY 1"},
        {"SELECT a FROM t UNION ALL SELECT TOP 2 b FROM u ORDER BY 1",
         "SELECT a FROM t UNION ALL SELECT * FROM (SELECT b FROM u LIMIT 2) ORDER BY 1"},
        {"SELECT TOP 2 a & b FROM t;", "SELECT jet_concat(a , b) AS Expr1000 FROM t LIMIT 2"},
        {"SELECT TOP 5 Left(a, 1), (b) FROM t WHERE (c) ORDER BY f(a)",
         "SELECT jet_left(a, 1) AS Expr1000, (b) AS Expr1001 FROM t WHERE (c) ORDER BY f(a) LIMIT 5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Translated(c.jet), c.sqlite) << c.jet;
}

// Wherever text is compared or ordered the target's collation decides, and nowhere else:
// a column's own would be one another program must also have.
TEST(JetSqlTranslate, NamesTheTargetsCollationWhereTextIsComparedOrOrdered)
{
    JetSqliteTarget target;
    target.Collation = QStringLiteral("c");
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT a FROM t ORDER BY a, b DESC", "SELECT a FROM t ORDER BY a COLLATE c, b COLLATE c DESC"},
        {"SELECT TOP 2 a FROM t WHERE a = 'x' ORDER BY a & b",
         "SELECT a FROM t WHERE a = 'x' COLLATE c ORDER BY jet_concat(a , b) COLLATE c LIMIT 2"},
        {"SELECT a, Count(*) FROM t GROUP BY a HAVING 'm' < a ORDER BY 1",
         "SELECT a, Count(*) AS Expr1000 FROM t GROUP BY a COLLATE c HAVING 'm' COLLATE c < a ORDER BY 1 COLLATE c"},
        // Dates stay as they are; a literal that is only part of an operand is not compared itself.
        {"SELECT * FROM t WHERE a BETWEEN 'a' AND 'c' AND d = #1/2/2020# AND 'x' & a = a AND a NOT IN ('p', 'q')",
         "SELECT * FROM t WHERE a BETWEEN 'a' COLLATE c AND 'c' COLLATE c AND d = '2020-01-02 00:00:00' AND "
         "jet_concat('x' , a) = a AND a COLLATE c NOT IN ('p', 'q')"},
        {"SELECT * FROM (SELECT a FROM t ORDER BY a) AS s WHERE s.a IN (SELECT b FROM u) ORDER BY Left(a, 2) ASC",
         "SELECT * FROM (SELECT a FROM t ORDER BY a COLLATE c) AS s WHERE s.a COLLATE c IN (SELECT b FROM u) "
         "ORDER BY jet_left(a, 2) COLLATE c ASC"},
    };
    for (const auto& [jet, sqlite] : cases) {
        EXPECT_EQ(TranslateJetSql(QString::fromUtf8(jet), target).toStdString(), sqlite) << jet;
        EXPECT_EQ(TranslateJetSql(QString::fromUtf8(jet)).contains(QLatin1String("COLLATE")), false) << jet;
    }

    // SQLite still reads ordinals, aliases and compounds through the collation.
    JetDatabase db;
    target.Collation = QStringLiteral("NOCASE");
    const std::pair<const char*, const char*> runs[] = {
        {"SELECT TOP 1 Id FROM Osoby UNION SELECT TOP 1 OrderID FROM [Order Details] ORDER BY 1 DESC", "1"},
        {"SELECT Příjmení AS P FROM Osoby WHERE Příjmení > 'J' ORDER BY P DESC", "Řehoř\nPetr\nJan"},
        {"SELECT Id FROM Osoby WHERE Jméno IN ('NOVÁK', 'dvořák') OR Příjmení = 'PETR' ORDER BY 1", "2\n5"},
        {"SELECT Aktivní, Count(*) FROM Osoby GROUP BY Aktivní ORDER BY Count(*)", "0|2\n-1|3"},
    };
    for (const auto& [jet, rows] : runs)
        EXPECT_EQ(db.Rows(QString::fromUtf8(jet), target).join(u'\n'), QString::fromUtf8(rows)) << jet;
}

// A stored query a FROM names is read from its text where the caller has one; a column,
// a qualifier or a name the caller does not know stays as written.
TEST(JetSqlTranslate, ReadsAStoredQueryFromItsTextWhereAFromNamesIt)
{
    JetSqliteTarget target;
    target.StoredQuery = [](const QString& name) {
        return name.compare(QLatin1String("q"), Qt::CaseInsensitive) == 0 ? QStringLiteral("SELECT a FROM t") : QString();
    };
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT * FROM q", "SELECT * FROM (SELECT a FROM t) AS \"q\""},
        {"SELECT q.a, x.a FROM [Q] INNER JOIN q AS x ON q.a = x.a WHERE q.a IN (SELECT a FROM q)",
         "SELECT q.a, x.a FROM (SELECT a FROM t) AS \"Q\" INNER JOIN (SELECT a FROM t) AS x ON q.a = x.a "
         "WHERE q.a IN (SELECT a FROM (SELECT a FROM t) AS \"q\")"},
        {"SELECT q FROM t, q y WHERE q = 1", "SELECT q FROM t, (SELECT a FROM t) y WHERE q = 1"},
        {"SELECT * FROM (q LEFT JOIN t ON q.a = t.a) WHERE q.a = q(1)",
         "SELECT * FROM ((SELECT a FROM t) AS \"q\" LEFT JOIN t ON q.a = t.a) WHERE q.a = q(1)"},
        {"SELECT * FROM r, s.q", "SELECT * FROM r, s.q"},
    };
    for (const auto& [jet, sqlite] : cases)
        EXPECT_EQ(TranslateJetSql(QString::fromUtf8(jet), target).toStdString(), sqlite) << jet;
}

TEST(JetSqlTranslate, RefusesWhatIsNotOneJetStatement)
{
    const struct {
        const char* jet;
        qint32 number;
    } cases[] = {
        {"SELECT * FROM t; DELETE FROM t", 3142}, {"SELECT * FROM t;;", 3142}, {"SELECT * FROM t; --", 3142},
        {"SELECT 'abc FROM t", 3075},
        {"SELECT \"abc FROM t", 3075}, {"SELECT 'it''s FROM t", 3075}, {"SELECT [abc FROM t", 3126},
        {"SELECT [] FROM t", 3126},
        {"WHERE d = #1/31/2024", 3075}, {"WHERE d = #13/31/2024#", 3075}, {"WHERE d = #2/30/2024#", 3075},
        {"WHERE d = #25:00#", 3075},
        {"WHERE d = #1/1/2024 10:00 PMX#", 3075}, {"WHERE d = #hello#", 3075}, {"SELECT a FROM t WHERE (a = 1", 3075},
        {"SELECT a) FROM t", 3075}, {"SELECT a ^ 2 FROM t", 3075}, {"SELECT a \\ 2 FROM t", 3075},
        {"SELECT `a` FROM t", 3075},
        {"SELECT a FROM t WHERE b = ?", 3075}, {"SELECT a FROM t WHERE b = :x", 3075},
        {"SELECT a FROM t WHERE b = @x", 3075},
        {"SELECT a & FROM t", 3075}, {"SELECT & a FROM t", 3075}, {"", 3129}, {" ; ", 3129},
        {"Select * From Order Details", 3131},
        {"Select * From Moje Velká Tabulka", 3131}, {"SELECT * FROM", 3131}, {"SELECT * FROM WHERE a = 1", 3131},
        {"SELECT TOP x * FROM t", 3141}, {"SELECT TOP 2.5 * FROM t", 3141}, {"SELECT TOP 0 * FROM t", 3141},
        {"SELECT TOP 120 PERCENT * FROM t", 3141}, {"SELECT TOP", 3141},
        {"SELECT TOP 5 PERCENT a FROM t WHERE a IN (SELECT TOP 1 PERCENT b FROM u)", 3141},
        {"PARAMETERS x Long SELECT * FROM t", 3075},
        {"PARAMETERS x Long; SELECT * FROM t; DELETE FROM t", 3142}, {"PARAMETERS x Long;", 3129},
        {"SELECT * FROM t; PARAMETERS x Long", 3142}, // only as the first word,
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorNumber(QString::fromUtf8(c.jet)), c.number) << c.jet;
    EXPECT_EQ(ErrorNumber(QStringLiteral("SELECT 'a") + QChar(0) + QStringLiteral("b'")), 3075);
    EXPECT_EQ(ErrorNumber(QStringLiteral("SELECT a") + QChar(0)), 3075);
    EXPECT_EQ(ErrorNumber(QStringLiteral("SELECT '%1'").arg(QString(64000, u'x'))), 3360);
    // SQLite would pair a lone surrogate with the quote after it and read on past the string.
    EXPECT_EQ(ErrorNumber(QStringLiteral("SELECT '") + QChar(0xD800) + QStringLiteral("', ' ; DELETE FROM t'")), 3075);
    EXPECT_EQ(ErrorNumber(QStringLiteral("SELECT [") + QChar(0xDC00) + QStringLiteral("] FROM t")), 3075);
    EXPECT_EQ(TranslateJetSql(QStringLiteral("WHERE a = '\U0001F600'")), QStringLiteral("WHERE a = '\U0001F600'"));
    // At the start of a UTF-16 text SQLite takes U+FFFE as a byte-order mark and reads the
    // rest byte-swapped; U+FEFF (a byte-order mark pasted with the text) is a blank.
    EXPECT_EQ(ErrorNumber(QChar(0xFFFE) + QStringLiteral("SELECT 1")), 3075);
    EXPECT_EQ(TranslateJetSql(QChar(0xFEFF) + QStringLiteral("SELECT\uFEFFa")), QStringLiteral("SELECT a"));
}

// The shape decides whether a grid may write its rows back, and the offsets where the
// row id is put into the query.
TEST(JetSqlAnalyse, FindsTheSingleTableTheClausesAndTheirOffsets)
{
    const struct {
        const char* sql;
        bool single;
        bool updatable;
        const char* table;
        const char* alias;
    } cases[] = {
        {"SELECT * FROM Osoby", true, true, "Osoby", ""},
        {"select Jméno, Příjmení from Osoby where Jméno LIKE 'N*' order by 1 limit 3", true, true, "Osoby", ""},
        {"SELECT \"Order Details\".* FROM \"Order Details\" WHERE Datum >= '2024-01-31 00:00:00'", true, true, "Order Details", ""},
        {"SELECT o.Jméno FROM Osoby AS o", true, true, "Osoby", "o"},
        {"SELECT o.Jméno FROM Osoby o WHERE o.Id > 1", true, true, "Osoby", "o"},
        {"SELECT x.a FROM \"a b\" \"x\"", true, true, "a b", "x"},
        {"SELECT (SELECT count(*) FROM u), a FROM t", true, true, "t", ""},
        {"SELECT a FROM t WHERE a IN (SELECT max(b) FROM u GROUP BY c)", true, true, "t", ""},
        {"SELECT 'count(' , a FROM t", true, true, "t", ""}, {"SELECT DISTINCT a FROM t", true, false, "t", ""},
        {"SELECT count(*) FROM t", true, false, "t", ""}, {"SELECT a, Sum(b) FROM t GROUP BY a", true, false, "t", ""},
        {"SELECT first(a) FROM t", true, false, "t", ""},
        {"SELECT a FROM t UNION SELECT a FROM u", true, false, "t", ""},
        {"SELECT a, row_number() OVER (ORDER BY a) FROM t", true, false, "t", ""},
        {"SELECT a FROM t, u", false, false, "", ""},
        {"SELECT a FROM t JOIN u ON t.x = u.x", false, false, "", ""},
        {"SELECT a FROM t LEFT JOIN u ON t.x = u.x", false, false, "", ""},
        {"SELECT a FROM (SELECT a FROM t)", false, false, "", ""}, {"SELECT a FROM main.t", false, false, "", ""},
        {"SELECT 1", false, false, "", ""}, {"WITH x AS (SELECT 1) SELECT * FROM x", false, false, "", ""},
    };
    for (const auto& c : cases) {
        const JetSelectShape shape = AnalyseSelect(QString::fromUtf8(c.sql));
        EXPECT_TRUE(shape.IsSelect) << c.sql;
        EXPECT_EQ(shape.SingleTable, c.single) << c.sql;
        EXPECT_EQ(shape.Updatable, c.updatable) << c.sql;
        EXPECT_EQ(shape.Table, QString::fromUtf8(c.table)) << c.sql;
        EXPECT_EQ(shape.Alias, QString::fromUtf8(c.alias)) << c.sql;
    }
    for (const char* other : {"DELETE FROM t", "UPDATE t SET a = 1", ""})
        EXPECT_FALSE(AnalyseSelect(QString::fromUtf8(other)).IsSelect) << other;

    JetDatabase db;
    const QString sql = TranslateJetSql(QStringLiteral("SELECT DISTINCTROW Jméno, Left(Příjmení, 1) AS P FROM Osoby WHERE Aktivní = True ORDER BY Jméno"));
    const JetSelectShape shape = AnalyseSelect(sql);
    ASSERT_TRUE(shape.SingleTable && shape.Updatable);
    EXPECT_EQ(sql.mid(shape.FromStart, 4), QStringLiteral("FROM"));
    const QString keyed = QStringLiteral("SELECT \"%1\".rowid,").arg(shape.Table) + sql.mid(shape.SelectListStart);
    EXPECT_EQ(db.Rows(keyed).join(u' '), QStringLiteral("5|Dvořák|A 1|Novák|J 3|nováková|<null>"));
    EXPECT_EQ(db.Rows(QStringLiteral("SELECT rowid ") + sql.mid(shape.FromStart)).join(u' '), QStringLiteral("5 1 3"));
    const QString distinct = QStringLiteral("SELECT DISTINCT Jméno FROM Osoby");
    EXPECT_EQ(distinct.mid(AnalyseSelect(distinct).SelectListStart), QStringLiteral(" Jméno FROM Osoby"));
    EXPECT_EQ(AnalyseSelect(QStringLiteral("SELECT 1")).FromStart, -1);
}

// What the translation gives must also run, views included, as files from elsewhere are
// opened with trusted_schema off: views may then call only innocuous functions.
TEST(JetSqlRun, TranslatedFormsRunOnSqlite)
{
    JetDatabase db;
    db.Exec("PRAGMA trusted_schema = OFF;"
            "CREATE TABLE Město (Název TEXT); INSERT INTO Město VALUES ('Brno'), ('Brno'), ('Praha'), ('Praha'),"
            " ('Ostrava'), ('Plzeň'), ('Zlín'), ('Zlín')");
    const QString view = TranslateJetSql(QStringLiteral(
        "SELECT Jméno & ' ' & Nz(Příjmení, '?') AS Celé, Year(Narozen) AS Rok, Now() AS Teď FROM Osoby "
        "WHERE Jméno LIKE '*á*' OR Příjmení LIKE 'P*'"));
    db.Exec(QStringLiteral("CREATE VIEW Výběr AS %1").arg(view).toUtf8().constData());
    const struct {
        const char* jet;
        const char* rows;
    } cases[] = {
        {"SELECT [Order Details].OrderID FROM [Order Details] WHERE Datum >= #1/31/2024#", "2\n3"},
        {"SELECT TOP 1 Id FROM Osoby UNION SELECT TOP 1 OrderID FROM [Order Details] ORDER BY 1 DESC", "1"},
        {"SELECT First(Jméno), Last(Jméno) FROM Osoby", "Novák|Dvořák"},
        {"SELECT Id FROM Osoby WHERE Narozen BETWEEN #1/1/1980# AND #12/31/1999#", "1\n5"},
        {"SELECT Celé, Rok FROM Výběr", "Novák Jan|1980\nČermák Petr|1975\nnováková ?|2001\nDvořák Antonín|1990"},
        // TOP PERCENT counts the rows the select gives: of five names 40 % is two, 41 % three.
        {"SELECT DISTINCT TOP 40 PERCENT Název FROM Město ORDER BY Název", "Brno\nOstrava"},
        {"SELECT TOP 41 PERCENT Název, Count(*) FROM Město GROUP BY Název ORDER BY Název", "Brno|2\nOstrava|1\nPlzeň|1"},
        {"SELECT TOP 100 PERCENT Název FROM Město WHERE Název = 'Praha'", "Praha\nPraha"},
        {"SELECT TOP 50 PERCENT Název FROM Město WHERE Název = 'Olomouc'", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db.Rows(QString::fromUtf8(c.jet)).join(u'\n'), QString::fromUtf8(c.rows)) << c.jet;
}

TEST(JetSqlLike, MatchesJetWildcardsIgnoringCaseWithoutSqlitesIndexShortcut)
{
    JetDatabase db;
    const struct {
        const char* value;
        const char* pattern;
        bool match;
    } cases[] = {
        {"Novák", "N*", true}, {"novák", "N*", true}, {"Čermák", "č*", true}, {"ČERMÁK", "*ák", true},
        {"Šťastný", "ŠŤ*Ý", true},
        {"Novák", "?ovák", true}, {"Novák", "??vák", true}, {"Novák", "?vák", false}, {"Novák", "Novák?", false},
        {"A1", "A#", true},
        {"AB", "A#", false}, {"b", "[a-c]", true}, {"B", "[a-c]", true}, {"d", "[a-c]", false}, {"d", "[!a-c]", true},
        {"b", "[!a-c]", false}, {"x", "[xyz]", true}, {"*", "[*]", true}, {"a", "[*]", false}, {"a?b", "a[?]b", true},
        {"axb", "a[?]b", false}, {"50%", "50%", true}, {"50x", "50%", false}, {"a_b", "a_b", true}, {"", "*", true},
        {"", "", true},
        {"a", "", false}, {"aaa", "*a*a*a*", true}, {"aab", "*a*a*a*", false}, {"ab", "a[]b", true}, {"ř", "[ř]", true},
        {"Ř", "[ř]", true},
        {"ß", "SS", false}, {"12", "#*", true}, {"abc", "a*c*", true}, {"abcd", "a*c", false},
    };
    for (const auto& c : cases) {
        const QString sql = QStringLiteral("SELECT '%1' LIKE '%2'").arg(QString::fromUtf8(c.value), QString::fromUtf8(c.pattern));
        EXPECT_EQ(db.Rows(sql), QStringList(c.match ? QStringLiteral("1") : QStringLiteral("0"))) << c.value << " " << c.pattern;
    }
    const std::pair<const char*, const char*> more[] = {
        {"Null LIKE 'a'", "<null>"}, {"'a' LIKE Null", "<null>"}, {"123 LIKE '1#3'", "1"},
        {"'a*b' LIKE 'a!*b' ESCAPE '!'", "1"},
        {"'axb' LIKE 'a!*b' ESCAPE '!'", "0"}, {"'Novák' GLOB 'N*'", "1"}, {"'novák' GLOB 'N*'", "0"}, // GLOB keeps its own case
        // Adversarial patterns stay linear in the text.
        {"Replace(Hex(ZeroBlob(100000)), '0', 'a') LIKE '*a*a*a*a*a*a*a*a*b'", "0"},
    };
    for (const auto& [expression, result] : more)
        EXPECT_EQ(db.Value(QString::fromUtf8(expression)), QString::fromUtf8(result)) << expression;
    EXPECT_TRUE(db.Value(QStringLiteral("'a' LIKE '[a'")).contains(QStringLiteral("Jet#93")));
    // A pattern from a column changes per row and is compiled for each.
    EXPECT_EQ(db.Rows(QStringLiteral("SELECT Id FROM Osoby WHERE Jméno LIKE Left(Jméno, 1) & '*ák'")).join(u' '), QStringLiteral("1 2 5"));
    // An overridden like() switches off SQLite's LIKE-by-index; a search still scans.
    db.Exec("CREATE INDEX OsobyJméno ON Osoby (Jméno)");
    const QString plan = db.Rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM Osoby WHERE Jméno LIKE 'N*'")).value(0);
    EXPECT_TRUE(plan.section(u'|', 3).startsWith(QStringLiteral("SCAN"))) << plan.toStdString();
    EXPECT_EQ(db.Rows(QStringLiteral("SELECT Id FROM Osoby WHERE Jméno LIKE 'n*' ORDER BY Id")).join(u' '), QStringLiteral("1 3"));
}

TEST(JetSqlFunctions, GiveJetResultsAndPassNullOn)
{
    JetDatabase db;
    const struct {
        const char* expression;
        const char* result;
    } cases[] = {
        {"Left('Šťastný', 2)", "Šť"}, {"Right('Šťastný', 3)", "tný"}, {"Left('ab', 5)", "ab"}, {"Right('ab', 0)", ""},
        {"Mid('Příjmení', 3)", "íjmení"}, {"Mid('Příjmení', 2, 3)", "říj"}, {"Mid('ab', 5)", ""}, {"Len('Řehoř')", "5"},
        {"Len('')", "0"},
        {"UCase('žluťoučký')", "ŽLUŤOUČKÝ"}, {"LCase('ABC d')", "abc d"}, {"Trim('  a b  ')", "a b"},
        {"LTrim('  a ')", "a "},
        {"RTrim(' a  ')", " a"}, {"InStr('Novák', 'VÁ')", "3"}, {"InStr(4, 'abcabc', 'a')", "4"},
        {"InStr(1, 'abc', 'B', 0)", "0"},
        {"InStr('abc', '')", "1"}, {"InStr('', 'a')", "0"}, {"InStr(9, 'abc', 'a')", "0"},
        {"Replace('aXbxc', 'x', '-')", "a-b-c"},
        {"Replace('aaa', 'a', 'b', 1, 2)", "bba"}, {"Replace('abc', '', 'x')", "abc"}, {"Space(3) & '|'", "   |"},
        {"String(3, 'ab')", "aaa"}, {"String(2, 269)", "čč"}, {"Year('2024-01-31 10:20:30')", "2024"},
        {"Month('2024-01-31')", "1"},
        {"Day('2024-01-31T10:20:30')", "31"}, {"Hour('2024-01-31 10:20:30')", "10"},
        {"Minute('2024-01-31 10:20:30')", "20"},
        {"Second('2024-01-31 10:20:30')", "30"}, {"Hour('08:15')", "8"}, {"Year(45322)", "2024"},
        {"Day('31.1.2024')", "31"},
        {"Weekday(#1/7/2024#)", "1"}, {"Weekday(#1/8/2024#)", "2"}, {"Weekday(#1/8/2024#, 2)", "1"},
        {"DateSerial(2024, 2, 30)", "2024-03-01 00:00:00"}, {"DateSerial(2024, 13, 1)", "2025-01-01 00:00:00"},
        {"DateSerial(24, 1, 0)", "2023-12-31 00:00:00"}, {"DateSerial(2024, 0, 1)", "2023-12-01 00:00:00"},
        {"CDate(45322.5)", "2024-01-31 12:00:00"}, {"IIf(1 > 2, 'a', 'b')", "b"}, {"IIf(Null, 'a', 'b')", "b"},
        {"IIf('True', 1, 2)", "1"},
        {"Nz(Null, 5)", "5"}, {"Nz(Null)", ""}, {"Nz(3, 5)", "3"}, {"IsNull(Null)", "-1"}, {"IsNull('')", "0"},
        {"Val(' 1 2 3abc')", "123.0"}, {"Val('-1.5e2x')", "-150.0"}, {"Val('&HFF')", "255.0"}, {"Val('abc')", "0.0"},
        {"Val(7)", "7"},
        {"Str(5)", " 5"}, {"Str(-5)", "-5"}, {"Str(0.5)", " .5"}, {"CStr(12)", "12"}, {"CInt(2.5)", "2"},
        {"CInt(3.5)", "4"},
        {"CInt('-7')", "-7"}, {"CLng(100000.5)", "100000"}, {"CDbl('1.25')", "1.25"}, {"CBool(5)", "-1"},
        {"CBool(0)", "0"},
        {"Abs(-3)", "3"}, {"Int(-2.5)", "-3.0"}, {"Fix(-2.5)", "-2.0"}, {"Int(7)", "7"}, {"Round(2.5)", "2.0"},
        {"Round(3.5)", "4.0"},
        {"Round(-2.5)", "-2.0"}, {"Round(1.005, 2)", "1.0"}, {"Round(2.345, 2)", "2.34"}, {"Round(7)", "7"},
        {"Sgn(-4)", "-1"},
        {"Sgn(0)", "0"}, {"Sqr(16)", "4.0"}, {"5 Mod 3", "2"}, {"'a' & Null & 1", "a1"}, {"Null & Null", "<null>"},
        // Weeks start on Sunday unless told otherwise.
        {"DatePart('yyyy', #2/29/2024 13:45:10#)", "2024"}, {"DatePart('q', #2/29/2024#)", "1"},
        {"DatePart('q', #10/1/2024#)", "4"},
        {"DatePart('m', #2/29/2024#)", "2"}, {"DatePart('y', #2/29/2024#)", "60"}, {"DatePart('d', #2/29/2024#)", "29"},
        {"DatePart('w', #2/29/2024#)", "5"}, {"DatePart('W', #2/29/2024#, 2)", "4"},
        {"DatePart('h', #2/29/2024 13:45:10#)", "13"},
        {"DatePart('n', #2/29/2024 13:45:10#)", "45"}, {"DatePart('s', #2/29/2024 13:45:10#)", "10"},
        {"DatePart('ww', #1/6/2024#)", "1"},
        {"DatePart('ww', #1/7/2024#)", "2"}, {"DatePart('ww', #12/31/2024#)", "53"},
        {"DatePart('ww', #1/7/2024#, 2)", "1"},
        {"DatePart('ww', #1/3/2021#, 2, 2)", "53"}, {"DatePart('ww', #1/4/2021#, 2, 2)", "1"},
        {"DatePart('ww', #1/6/2024#, 1, 3)", "53"},
        {"DatePart('yyyy', '2024-05-06 07:08:09')", "2024"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db.Value(QString::fromUtf8(c.expression)), QString::fromUtf8(c.result)) << c.expression;
    const char* const nulls[] = {
        "Left(Null, 1)", "Left('a', Null)", "Right(Null, 1)", "Mid(Null, 1)", "Len(Null)", "UCase(Null)", "LCase(Null)",
        "Trim(Null)", "InStr(Null, 'a')", "InStr('a', Null)", "InStr(Null, 'a', 'b')", "Replace(Null, 'a', 'b')",
        "Space(Null)", "String(Null, 'a')", "Year(Null)", "Month(Null)", "Day(Null)", "Hour(Null)", "Minute(Null)",
        "Second(Null)", "Weekday(Null)", "DateSerial(Null, 1, 1)", "Val(Null)", "Str(Null)", "CStr(Null)", "CInt(Null)",
        "CLng(Null)", "CDbl(Null)", "CBool(Null)", "Abs(Null)", "Int(Null)", "Fix(Null)", "Round(Null)", "Sgn(Null)",
        "Sqr(Null)", "Nz(Null, Null)", "CDate(Null)", "DatePart('d', Null)",
    };
    for (const char* e : nulls)
        EXPECT_EQ(db.Value(QString::fromUtf8(e)), QStringLiteral("<null>")) << e;
}

TEST(JetSqlFunctions, InvalidArgumentsRaiseJetErrors)
{
    JetDatabase db;
    const struct {
        const char* expression;
        qint32 number;
    } cases[] = {
        {"Mid('abc', 0)", 5}, {"Mid('abc', 1, -1)", 5}, {"Left('abc', -1)", 5}, {"Space(-1)", 5}, {"Sqr(-1)", 5},
        {"CInt(32768)", 6},
        {"CInt(-32768.6)", 6}, {"CLng(3000000000)", 6}, {"CInt('abc')", 13}, {"Year('hello')", 13},
        {"Month('2024-02-30')", 13},
        {"CBool('maybe')", 13}, {"IIf('x', 1, 2)", 13}, {"DateSerial(10000, 1, 1)", 5},
        {"DatePart('x', #1/1/2024#)", 5},
        {"DatePart('d', #1/1/2024#, 8)", 5}, {"DatePart(Null, #1/1/2024#)", 5},
    };
    for (const auto& c : cases) {
        const QString result = db.Value(QString::fromUtf8(c.expression));
        qint32 number = 0;
        QString description;
        ASSERT_TRUE(result.startsWith(QStringLiteral("error: "))) << c.expression;
        EXPECT_TRUE(JetFunctionError(result.mid(7), number, description)) << c.expression;
        EXPECT_EQ(number, c.number) << c.expression;
        EXPECT_FALSE(description.isEmpty());
    }
    qint32 number = 0;
    QString description;
    EXPECT_FALSE(JetFunctionError(QStringLiteral("no such table: x"), number, description));
}

TEST(JetSqlFunctions, ClockFunctionsGiveLocalTimeInStoredForm)
{
    JetDatabase db;
    // Bracketed by the local clock read before and after, to the stored form's whole seconds.
    QDateTime before = QDateTime::currentDateTime();
    before.setTime(QTime(before.time().hour(), before.time().minute(), before.time().second()));
    const QString now = db.Value(QStringLiteral("Now()"));
    const QString today = db.Value(QStringLiteral("Date()"));
    const QString time = db.Value(QStringLiteral("Time()"));
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime parsed = QDateTime::fromString(now, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(parsed.isValid()) << now.toStdString();
    EXPECT_TRUE(before <= parsed && parsed <= after) << now.toStdString();
    const QString dayForm = QStringLiteral("yyyy-MM-dd 00:00:00");
    EXPECT_TRUE(today == before.toString(dayForm) || today == after.toString(dayForm)) << today.toStdString();
    EXPECT_TRUE(time.startsWith(QStringLiteral("1899-12-30 "))) << time.toStdString();
    // The other forms of SQLite's date() stay as they are.
    EXPECT_EQ(db.Value(QStringLiteral("date('2024-01-31 10:00:00', '+1 day')")), QStringLiteral("2024-02-01"));
}
