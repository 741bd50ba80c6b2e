#include "DataTestSupport.h"

#include "cRuntimeError.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mSqliteSchema.h"

// Where Jet SQL and SQLite's own text differ, the one reader must read each as its own
// engine does; where they agree, alike.

namespace {

using SqlText::Dialect;

// Every piece but blanks as "kind:content" ("W" word, "N" number, "T" text, "Q" name,
// "C" comment, "O" other); a piece the end broke off is marked "!".
std::string Pieces(const char* sql, Dialect dialect)
{
    const QString text = QString::fromUtf8(sql);
    QStringList out;
    for (qsizetype i = 0; i < text.size();) {
        const SqlText::Piece piece = SqlText::Read(text, i, dialect);
        i = piece.end;
        const QString raw = text.mid(piece.begin, piece.end - piece.begin);
        switch (piece.kind) {
        case SqlText::Kind::Blank: continue;
        case SqlText::Kind::Comment: out << QStringLiteral("C"); break;
        case SqlText::Kind::Word: out << QStringLiteral("W:") + raw; break;
        case SqlText::Kind::Number: out << QStringLiteral("N:") + raw; break;
        case SqlText::Kind::Text: out << QStringLiteral("T:") + piece.content; break;
        case SqlText::Kind::Name: out << QStringLiteral("Q:") + piece.content; break;
        case SqlText::Kind::Other: out << QStringLiteral("O:") + raw; break;
        }
        if (!piece.closed)
            out.last() += u'!';
    }
    return out.join(u' ').toStdString();
}

} // namespace

TEST(SqlText, EachDialectQuotesNamesAndTextsItsOwnWay)
{
    // "]]" is a "]" inside a Jet name; SQLite's [name] ends at the first "]".
    EXPECT_EQ(Pieces("[a]]b]", Dialect::Jet), "Q:a]b");
    EXPECT_EQ(Pieces("[a]]b]", Dialect::Sqlite), "Q:a O:] W:b O:]");
    // Double quotes hold a text in Jet and a name in SQLite; a doubled one stays inside.
    EXPECT_EQ(Pieces("\"x\"\"y\" 'it''s'", Dialect::Jet), "T:x\"y T:it's");
    EXPECT_EQ(Pieces("\"x\"\"y\" 'it''s' `a``b`", Dialect::Sqlite), "Q:x\"y T:it's Q:a`b");
    EXPECT_EQ(Pieces("`a`", Dialect::Jet), "O:` W:a O:`");
    EXPECT_EQ(Pieces("'open", Dialect::Sqlite), "T:open!");

    // Jet reads the same text as Jet would, whatever SQLite makes of it.
    EXPECT_EQ(NamesInJetSql(QStringLiteral("SELECT [a]]b] FROM t")), (QStringList{"SELECT", "a]b", "FROM", "t"}));
    for (const char* bad : {"SELECT `a` FROM t", "SELECT [a FROM t", "SELECT 'a FROM t", "SELECT [ ] FROM t"})
        EXPECT_THROW(TranslateJetSql(QString::fromUtf8(bad)), cRuntimeError) << bad;
}

TEST(SqlText, CommentsAreSqlitesAloneAndJetReadsTheirSignsAsOperators)
{
    EXPECT_EQ(Pieces("5--3 /* x */", Dialect::Jet), "N:5 O:- O:- N:3 O:/ O:* W:x O:* O:/");
    EXPECT_EQ(Pieces("a -- b, c\nd /* e, f */ g /* open", Dialect::Sqlite), "W:a C W:d C W:g C!");

    // Jet's 5--3 is 5 minus −3, not 5 and a comment, once it is SQLite's.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    RegisterJetFunctions(db);
    EXPECT_EQ(PlainRows(db, TranslateJetSql(QStringLiteral("SELECT 5--3 AS x"))), QStringLiteral("8"));
    sqlite3_close(db);

    // A comment between the table and what follows hides no alias and no comma.
    const JetSelectShape shape = AnalyseSelect(QStringLiteral("SELECT * FROM t -- x, u\n/* y */ WHERE a = 1"));
    EXPECT_TRUE(shape.SingleTable && shape.Updatable);
    EXPECT_EQ(shape.Table, QStringLiteral("t"));
    EXPECT_TRUE(shape.Alias.isEmpty());
    const auto table = SplitCreateTable(QStringLiteral("CREATE TABLE t (a INT, -- b INT,\n c /* , d */ TEXT)"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Columns, (QStringList{"a INT", "c /* , d */ TEXT"}));
}

TEST(SqlText, WordsReachAsFarAsSqliteReadsThem)
{
    // Letters with diacritics, and any character outside ASCII, belong to a word in both.
    EXPECT_EQ(Pieces("Příjmení\u00A0x", Dialect::Jet), "W:Příjmení\u00A0x");
    EXPECT_EQ(Pieces("Příjmení\u00A0x", Dialect::Sqlite), "W:Příjmení\u00A0x");
    // "$" and a byte-order mark are part of a SQLite word; Jet takes the mark for a blank
    // and "$" only after a function's name.
    EXPECT_EQ(Pieces("a$b c\uFEFFd", Dialect::Sqlite), "W:a$b W:c\uFEFFd");
    EXPECT_EQ(Pieces("a$b c\uFEFFd", Dialect::Jet), "W:a O:$ W:b W:c W:d");
    EXPECT_EQ(NamesInJetSql(QStringLiteral("SELECT Left$(a, 1)")), (QStringList{"SELECT", "Left", "a"}));
    EXPECT_THROW(TranslateJetSql(QStringLiteral("SELECT a$b FROM t")), cRuntimeError);
    // Numbers keep letters glued to them, in both.
    EXPECT_EQ(Pieces("1.5e-3 .5 5True", Dialect::Jet), "N:1.5e-3 N:.5 N:5True");

    // A blank SQLite does not know begins a name rather than ending one: the alias, and
    // the declared type, are what SQLite reads.
    EXPECT_EQ(Pieces("a \u00A0b", Dialect::Sqlite), "W:a W:\u00A0b");
    const JetSelectShape shape = AnalyseSelect(QStringLiteral("SELECT * FROM Osoby\u00A0x \u00A0o"));
    EXPECT_TRUE(shape.SingleTable);
    EXPECT_EQ(shape.Table, QStringLiteral("Osoby\u00A0x"));
    EXPECT_EQ(shape.Alias, QStringLiteral("\u00A0o"));
    const auto table = SplitCreateTable(QStringLiteral("CREATE TABLE t (Cena\u00A0bez \u00A0INTEGER, Příjmení TEXT)"));
    ASSERT_TRUE(table);
    const auto column = SplitColumnDefinition(table->Columns[0]);
    ASSERT_TRUE(column);
    EXPECT_EQ(column->Name, QStringLiteral("Cena\u00A0bez"));
    EXPECT_EQ(column->Type, QStringLiteral("\u00A0INTEGER"));
}
