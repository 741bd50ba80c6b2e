#include "DataTestSupport.h"

#include "mJetErrors.h"
#include "mJetSql.h"
#include "mOdbcSql.h"

namespace {

QString Postgres(const QString& jet)
{
    OdbcDialect dialect;
    dialect.EscapeStrings = true;
    dialect.BooleanWords = true;
    dialect.CaseInsensitiveLike = true;
    dialect.LikeClasses = OdbcDialect::Classes::Regex;
    return TranslateJetSqlForOdbc(jet, dialect);
}

QString Glob(const QString& jet)
{
    OdbcDialect dialect;
    dialect.BackslashEscapes = false;
    dialect.LikeClasses = OdbcDialect::Classes::Glob;
    return TranslateJetSqlForOdbc(jet, dialect);
}

QString Backticks(const QString& jet)
{
    OdbcDialect dialect;
    dialect.Quote = u'`';
    return TranslateJetSqlForOdbc(jet, dialect);
}

std::string Text(const QString& text)
{
    return text.toStdString();
}

} // namespace

TEST(OdbcSql, NamesTextsAndDatesTakeTheSourcesForm)
{
    EXPECT_EQ(Backticks(QStringLiteral("SELECT [Order Details].[Unit Price] FROM [Order Details]")),
              QStringLiteral("SELECT `Order Details`.`Unit Price` FROM `Order Details`"));
    EXPECT_EQ(Backticks(QStringLiteral("SELECT [a`b] FROM t")), QStringLiteral("SELECT `a``b` FROM t"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT * FROM t WHERE a = \"it's\"")),
              QStringLiteral("SELECT * FROM t WHERE a = 'it''s'"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT * FROM t WHERE d >= #3/14/1985# AND d < #1985-03-15 14:05#")),
              QStringLiteral("SELECT * FROM t WHERE d >= {ts '1985-03-14 00:00:00'} AND d < {ts '1985-03-15 14:05:00'}"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT * FROM t WHERE d = #2:30 PM#")),
              QStringLiteral("SELECT * FROM t WHERE d = {ts '1899-12-30 14:30:00'}"));
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT * FROM t WHERE d = #2/30/2020#")); }), JetError::SyntaxError);
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT [a FROM t")); }), 3126);
}

TEST(OdbcSql, JetWordsAndOperatorsBecomeTheSources)
{
    EXPECT_EQ(Postgres(QStringLiteral("SELECT * FROM t WHERE a = True OR b = No")),
              QStringLiteral("SELECT * FROM t WHERE a = TRUE OR b = FALSE"));
    EXPECT_EQ(TranslateJetSqlForOdbc(QStringLiteral("SELECT * FROM t WHERE a = Yes"), OdbcDialect()),
              QStringLiteral("SELECT * FROM t WHERE a = 1"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT * FROM t WHERE n LIKE '*a?b*' AND m NOT LIKE \"x*\"")),
              QStringLiteral("SELECT * FROM t WHERE n ILIKE '%a_b%' ESCAPE '!' AND m NOT ILIKE 'x%' ESCAPE '!'"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT a & ' ' & b FROM t")), QStringLiteral("SELECT a || ' ' || b FROM t"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT DISTINCTROW TOP 5 a FROM t ORDER BY a")).simplified(),
              QStringLiteral("SELECT a FROM t ORDER BY a LIMIT 5"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT x FROM t WHERE y IN (SELECT TOP FROM u)")),
              QStringLiteral("SELECT x FROM t WHERE y IN (SELECT TOP FROM u)"))
        << "a column named top inside a subquery stays";
}

TEST(OdbcSql, LikePatternsKeepJetsMeaning)
{
    // The source's own wildcards are plain characters; Jet's bracketed ones too. The escape
    // is no backslash, which some sources read inside the text itself.
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT * FROM t WHERE n LIKE '50%_!\\*[*][?][[]'"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n ILIKE E'50!%!_!!\\\\%*?![' ESCAPE '!'")));
    // Case is ignored for every letter, not only as far as the server's locale folds it.
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT * FROM t WHERE n LIKE 'čap*' AND m NOT LIKE '[č-ž]*'"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n ~* '^[Čč]ap.*$' AND m !~* '^[č-žČ-Ž].*$'")));
    EXPECT_EQ(Text(Glob(QStringLiteral("SELECT * FROM t WHERE n LIKE 'Že*'"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n GLOB '[Žž][Ee]*'")));
    // A pattern joined of texts is one pattern; one the source alone knows would take its wildcards.
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT * FROM t WHERE n LIKE 'a' & \"*\" AND m LIKE 'b' ORDER BY n"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n ILIKE 'a%' ESCAPE '!' AND m ILIKE 'b' ESCAPE '!' ORDER BY n")));
    for (const char* sql : {"SELECT * FROM t WHERE n LIKE [m]", "SELECT * FROM t WHERE n LIKE 'a' & m",
                            "SELECT * FROM t WHERE n LIKE 'a' + 'b'", "SELECT * FROM t WHERE n NOT LIKE"})
        EXPECT_EQ(ErrorOf([&] { Postgres(QString::fromUtf8(sql)); }), JetError::SyntaxError) << sql;
    // Digits and classes: a regular expression where the source has one, a GLOB on SQLite.
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT * FROM t WHERE n LIKE 'A#[a-c]*[!x^]?.' AND m NOT LIKE '[^-]'"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n ~* E'^A[0-9][a-c].*[^x^].\\\\.$' AND m !~* '^[-^]$'")));
    EXPECT_EQ(Text(Glob(QStringLiteral("SELECT * FROM t WHERE n LIKE 'Nový#[!a-c]*' OR n NOT LIKE '[*]#'"))),
              Text(QStringLiteral("SELECT * FROM t WHERE n GLOB '[Nn][Oo][Vv][Ýý][0-9][^a-cA-C]*' OR n NOT GLOB '[*][0-9]'")));
    EXPECT_EQ(ErrorOf([] { TranslateJetSqlForOdbc(QStringLiteral("SELECT * FROM t WHERE n LIKE '#'"), OdbcDialect()); }),
              JetError::SyntaxError)
        << "a source that cannot say it refuses rather than finding something else";
}

TEST(OdbcSql, OneStatementOnly)
{
    EXPECT_EQ(Postgres(QStringLiteral("SELECT 1;  ")), QStringLiteral("SELECT 1"));
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT 1; DROP TABLE t")); }), JetError::TextAfterStatement);
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT 1; -- nothing\n")); }), JetError::TextAfterStatement)
        << "Jet has no comments";
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT 1;;")); }), JetError::TextAfterStatement);
    EXPECT_EQ(Postgres(QStringLiteral("SELECT 'a;b', [c;d] FROM t")), QStringLiteral("SELECT 'a;b', \"c;d\" FROM t"));
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("  ")); }), JetError::InvalidOperation);
}

// A name the program puts into SQL reads back as exactly that name in both dialects,
// whatever it holds: a blank, a keyword, a digit first, a bracket.
TEST(JetNames, BracketedNamesReadBackWhole)
{
    const QStringList names = {QStringLiteral("Zboží archiv"), QStringLiteral("Select"), QStringLiteral("2024-výdaje"),
                               QStringLiteral("a]b"), QStringLiteral("]]")};
    for (const QString& name : names) {
        const QString sql = QStringLiteral("Select * From ") + JetBracketName(name);
        QString sqliteName = name;
        sqliteName.replace(u'"', QLatin1String("\"\""));
        EXPECT_EQ(TranslateJetSql(sql), QStringLiteral("Select * From \"%1\"").arg(sqliteName)) << name.toStdString();
        EXPECT_EQ(Postgres(sql), QStringLiteral("Select * From \"%1\"").arg(name)) << name.toStdString();
    }
    EXPECT_EQ(JetBracketName(QStringLiteral("a]b")), QStringLiteral("[a]]b]"));
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT * FROM [a]]")); }), 3126);
}

// Every backend reads a text with the one tokenizer: what one refuses the others refuse,
// and what one reads as a single statement is a single statement to all of them.
TEST(JetSqlBackends, EveryBackendReadsTheSameStatement)
{
    const char* const texts[] = {
        "SELECT a --b FROM t",                     // Jet has no comments: a minus minus b
        "SELECT a FROM t WHERE b = 1 --; DELETE FROM t",
        "SELECT a /* b */ FROM t",
        "SELECT a \\ 2 FROM t",
        "SELECT `a` FROM t",
        "SELECT $$'$$; DELETE FROM t; --'",
        "SELECT E'\\'' ; DELETE FROM t; --'",
        "SELECT a FROM t WHERE b = N'x'",
        "SELECT a FROM t WHERE b = ?",
        "SELECT a FROM t WHERE b LIKE'x*'",
        "SELECT [a FROM t",
    };
    for (const char* text : texts) {
        const QString jet = QString::fromUtf8(text);
        const int sqlite = ErrorOf([&] { TranslateJetSql(jet); });
        EXPECT_EQ(ErrorOf([&] { Postgres(jet); }), sqlite) << text;
        EXPECT_EQ(ErrorOf([&] { NamesInJetSql(jet); }), sqlite == 3142 ? 0 : sqlite) << text;
        if (sqlite == 0) {
            EXPECT_FALSE(InspectJetStatement(jet).MoreStatements) << text;
        }
    }
    EXPECT_TRUE(InspectJetStatement(QStringLiteral("SELECT a FROM t WHERE b = 1 --; DELETE FROM t")).MoreStatements);
    EXPECT_EQ(Postgres(QStringLiteral("SELECT a --b, c/-d, e&-f FROM t")), QStringLiteral("SELECT a - -b, c/-d, e|| -f FROM t"));
    const QString sqlite = TranslateJetSql(QStringLiteral("SELECT a --b, e/*f FROM t"));
    EXPECT_TRUE(sqlite.contains(QLatin1String("a - -b")) && sqlite.contains(QLatin1String("e/ *f"))) << sqlite.toStdString();
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT $$'$$; DELETE FROM t; --'")); }), JetError::SyntaxError);
    EXPECT_EQ(ErrorOf([] { Postgres(QStringLiteral("SELECT E'\\'' ; DELETE FROM t; --'")); }), JetError::SyntaxError);
}

TEST(OdbcSql, RefusesWhatTheSourceWouldReadOtherwise)
{
    // A source that takes a backslash for an escape would end this text at the second quote.
    OdbcDialect escaping;
    const QString smuggled = QStringLiteral("SELECT * FROM t WHERE a = '\\'' ; DELETE FROM t; --'");
    EXPECT_EQ(ErrorOf([&] { TranslateJetSqlForOdbc(smuggled, escaping); }), JetError::SyntaxError);
    EXPECT_EQ(Postgres(smuggled), QStringLiteral("SELECT * FROM t WHERE a = E'\\\\'' ; DELETE FROM t; --'"))
        << "one text, read alike whatever the session says of backslashes";
    EXPECT_EQ(TranslateJetSqlForOdbc(QStringLiteral("SELECT * FROM t WHERE a LIKE '1%*'"), escaping),
              QStringLiteral("SELECT * FROM t WHERE a LIKE '1!%%' ESCAPE '!'"));

    // Without quotes for names only a plain word can be a name.
    OdbcDialect unquoted;
    unquoted.Quote = u' ';
    EXPECT_EQ(TranslateJetSqlForOdbc(QStringLiteral("SELECT [a_1] FROM [t]"), unquoted), QStringLiteral("SELECT a_1 FROM t"));
    for (const char* name : {"[t; DROP TABLE u]", "[a b]", "[1a]", "[čas]", "[a\"b]"})
        EXPECT_EQ(ErrorOf([&] { TranslateJetSqlForOdbc(QStringLiteral("SELECT * FROM ") + QString::fromUtf8(name), unquoted); }),
                  JetError::InvalidName)
            << name;
    EXPECT_EQ(ErrorOf([] { QuoteOdbcName(QStringLiteral("t; DROP TABLE u"), QChar()); }), JetError::InvalidName);
    EXPECT_EQ(QuoteOdbcName(QStringLiteral("a]b`c"), u'['), QStringLiteral("[a]]b`c]"));
    EXPECT_EQ(QuoteOdbcName(QStringLiteral("a]b`c"), u'`'), QStringLiteral("`a]b``c`"));

    // A source that runs statements one after another without a ';' between them.
    OdbcDialect batches;
    batches.BackslashEscapes = false;
    batches.UnseparatedStatements = true;
    for (const char* sql : {"SELECT * FROM t DROP TABLE t", "SELECT a FROM t WHERE b = 1 exec xp_cmdshell 'x'",
                            "SELECT (SELECT 1 TRUNCATE TABLE t) FROM t", "SELECT * FROM t Shutdown"})
        EXPECT_EQ(ErrorOf([&] { TranslateJetSqlForOdbc(QString::fromUtf8(sql), batches); }), JetError::TextAfterStatement) << sql;
    EXPECT_EQ(TranslateJetSqlForOdbc(QStringLiteral("SELECT [Drop], 'exec' FROM [Set] WHERE Right(a, 1) = 'x'"), batches),
              QStringLiteral("SELECT \"Drop\", 'exec' FROM \"Set\" WHERE Right(a, 1) = 'x'"))
        << "quoted names and texts are no statements";
}

// TOP belongs to its own SELECT: in a compound it limits that arm, never the whole, as the
// rows a SQL engine returns for the translation show.
TEST(OdbcSql, TopLimitsItsOwnArmOfACompound)
{
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT TOP 2 a FROM t UNION SELECT a FROM u")).simplified()),
              "SELECT * FROM (SELECT a FROM t LIMIT 2) AS jet_top1 UNION SELECT a FROM u");
    EXPECT_EQ(Text(Postgres(QStringLiteral("SELECT a FROM t UNION ALL SELECT TOP 3 a FROM u ORDER BY a;")).simplified()),
              "SELECT a FROM t UNION ALL SELECT * FROM (SELECT a FROM u LIMIT 3) AS jet_top1 ORDER BY a");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE t (a INTEGER); CREATE TABLE u (a INTEGER);"
                           "INSERT INTO t VALUES (1), (2), (3), (4), (5);"
                           "INSERT INTO u VALUES (11), (12), (13), (14), (15);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const auto count = [db](const char* jet) {
        const QByteArray sql = Glob(QString::fromUtf8(jet)).toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            return -1;
        int rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            ++rows;
        sqlite3_finalize(statement);
        return rows;
    };
    EXPECT_EQ(count("SELECT TOP 2 a FROM t UNION ALL SELECT a FROM u"), 7);
    EXPECT_EQ(count("SELECT a FROM t UNION ALL SELECT TOP 1 a FROM u ORDER BY a"), 6);
    EXPECT_EQ(count("SELECT TOP 1 a FROM t UNION SELECT TOP 1 a FROM u UNION SELECT TOP 3 a FROM t"), 4);
    EXPECT_EQ(count("SELECT TOP 2 a FROM t ORDER BY a DESC"), 2);
    sqlite3_close(db);
}

// A table outside the default schema reaches the source as schema and table, each quoted.
TEST(OdbcSql, ANameGivenInPartsIsQuotedPartByPart)
{
    const auto spell = [](const QString& name) {
        return name == QStringLiteral("sklad.zboží") ? QStringList{QStringLiteral("sklad"), QStringLiteral("zboží")}
                                                    : QStringList();
    };
    OdbcDialect dialect;
    EXPECT_EQ(Text(TranslateJetSqlForOdbc(QStringLiteral("SELECT [Název] FROM [sklad.zboží] WHERE [a.b] = 1"), dialect, spell)),
              "SELECT \"Název\" FROM \"sklad\".\"zboží\" WHERE \"a.b\" = 1");
}
