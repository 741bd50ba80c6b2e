#pragma once
// Jet SQL rewritten for one ODBC source, and its quoted names; text only, nothing is sent from here.
#include <QString>
#include <QStringList>

#include <functional>

// What the Jet SQL of the callers becomes on one ODBC source.
struct OdbcDialect {
    QChar Quote = u'"';               // the source's identifier quote
    bool BooleanWords = false;        // TRUE/FALSE where the source has a boolean type, else 1/0
    bool CaseInsensitiveLike = false; // ILIKE, for sources whose LIKE heeds case
    // A backslash inside '…' may be an escape to the source (MySQL, any source not known
    // otherwise): texts holding one are refused, unless EscapeStrings.
    bool BackslashEscapes = true;
    // The source reads a backslash in E'…' as an escape whatever its session says
    // (PostgreSQL, where any query may switch standard_conforming_strings): texts holding
    // one are written so, the backslash doubled.
    bool EscapeStrings = false;
    // How a pattern with Jet's # or […] is written: a regular expression (~*), a GLOB, or
    // not at all (refused).
    enum class Classes { None, Regex, Glob } LikeClasses = Classes::None;
    QString Concat = QStringLiteral("||");
    bool Limit = true;                // TOP n as LIMIT n
    // The source runs statements written one after another without a ';' (SQL Server):
    // a word that would start one is refused wherever it stands. The source reserves
    // each of them, so a name that is one reaches it only quoted, never as such a word.
    bool UnseparatedStatements = false;
    bool TextDates = false;           // dates kept as "YYYY-MM-DD HH:MM:SS" texts (SQLite)
    bool CountsResults = false;       // the driver holds a query's whole result and tells its size
};

// One Jet statement for the source, read by the same tokenizer as on every backend (what
// Jet cannot read is refused before anything is sent): [names] in the source's quotes,
// "texts" as 'texts', #dates# as {ts '…'}, True/Yes and False/No as the source's values,
// a LIKE pattern with Jet's meaning (* ? # […] [!…] ignoring case, a literal % or _
// escaped; texts joined by & are one pattern, any other pattern is refused), & as the
// source's concatenation, DISTINCTROW dropped, TOP n as LIMIT n (an arm of a compound with
// TOP becomes a subquery of its own). Text after a ';' is
// refused (3142), and so is a text with a backslash where the source may read it as an
// escape and has no E'…'; blanks are put where the source would read two tokens as one
// (a comment, a longer operator). Words, numbers and operators pass as written.
// spell gives a [name] as the source spells it (Jet's names ignore case, most sources'
// quoted names do not), in parts where the source needs them (schema and table of a table
// outside the default schema), or nothing to keep it as written.
QString TranslateJetSqlForOdbc(const QString& jetSql, const OdbcDialect& dialect,
                               const std::function<QStringList(const QString&)>& spell = {});

// A name in the source's quotes ("[" closes with "]"), the closing quote doubled inside. A source without quotes takes
// only a plain word (ASCII letters, digits, "_"); any other name is refused (3125).
QString QuoteOdbcName(const QString& name, QChar quote);
