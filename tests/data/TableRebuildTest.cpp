#include "DataTestSupport.h"
#include "EngineBackends.h"

#include "cSqliteDriver.h"
#include "cWorkControl.h"
#include "mJetErrors.h"
#include "mSampleData.h"
#include "mSqliteSchema.h"

#include <cstring>

namespace {

int CompareBytes(void*, int length1, const void* text1, int length2, const void* text2)
{
    const int common = std::memcmp(text1, text2, size_t(std::min(length1, length2)));
    return common != 0 ? common : length1 - length2;
}

// The file through SQLite itself, as another program opens it; the engine's collation
// compares exactly.
sqlite3* OpenRaw(const QString& path)
{
    sqlite3* raw = nullptr;
    sqlite3_open(path.toUtf8().constData(), &raw);
    sqlite3_exec(raw, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    sqlite3_create_collation(raw, "QUARNEL", SQLITE_UTF8, nullptr, CompareBytes);
    return raw;
}

// The rows of a query on the file, each row's values joined by "|", the rows by new
// lines; an error as "error: …".
std::string Raw(const QString& path, const QString& sql)
{
    sqlite3* raw = OpenRaw(path);
    const QString rows = PlainRows(raw, sql);
    sqlite3_close(raw);
    return rows.toStdString();
}

std::string FieldNames(Database& db, const char* table)
{
    db.TableDefs()->Refresh();
    QStringList names;
    for (const auto& field : *db.TableDefs()->Item(QString::fromUtf8(table))->Fields())
        names << field->Name();
    return names.join(u',').toStdString();
}

class TableRebuild : public DatabaseTest {
protected:
    std::shared_ptr<Field> FieldOf(const char* table, const char* field)
    {
        db->TableDefs()->Refresh();
        return db->TableDefs()->Item(QString::fromUtf8(table))->Fields()->Item(QString::fromUtf8(field));
    }
    std::string Sql(const char* sql) const { return Raw(path, QString::fromUtf8(sql)); }
    std::string Definition(const char* table) const
    {
        return Raw(path, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(QString::fromUtf8(table)));
    }
    std::string Master() const { return Sql("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name"); }

    QString path;
    std::shared_ptr<Database> db;
};

} // namespace

TEST(SqliteSchema, TakesApartNastyDefinitionsPieceByPiece)
{
    const QString sql = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"a\"\"b\" ( -- the key, (comma\n"
        "  [x,y] INTEGER PRIMARY KEY DESC ON CONFLICT REPLACE,\n"
        "  `c``d` TEXT DEFAULT 'x, (y' CHECK (length(`c``d`) < 5 /* ) , */),\n"
        "  e VARYING CHARACTER(10, 2) CONSTRAINT e_col COLLATE NOCASE NOT NULL,\n"
        "  f AS (\"a\"\"b\".[x,y] + 1) STORED,\n"
        "  g REFERENCES p(id) ON DELETE SET NULL ON UPDATE SET DEFAULT MATCH FULL NOT DEFERRABLE,\n"
        "  h DEFAULT NULL NULL, i DEFAULT -1.5e3 GENERATED ALWAYS AS (e || ',') VIRTUAL,\n"
        "  CONSTRAINT k UNIQUE (e, \"f\"), CHECK (e <> ')'),\n"
        "  FOREIGN KEY (g) REFERENCES p DEFERRABLE INITIALLY DEFERRED\n"
        ") WITHOUT ROWID, STRICT");
    const auto table = SplitCreateTable(sql);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->Columns.size(), 7) << table->Columns.join(QLatin1String(" ¦ ")).toStdString();
    EXPECT_EQ(table->Constraints.join(u'\n').toStdString(),
              "CONSTRAINT k UNIQUE (e, \"f\")\nCHECK (e <> ')')\nFOREIGN KEY (g) REFERENCES p DEFERRABLE INITIALLY DEFERRED");
    EXPECT_TRUE(table->WithoutRowid);
    EXPECT_EQ(table->Options, QStringLiteral(" WITHOUT ROWID, STRICT"));
    EXPECT_EQ(table->Columns[1], QStringLiteral("`c``d` TEXT DEFAULT 'x, (y' CHECK (length(`c``d`) < 5 /* ) , */)"));

    using Kind = SqliteColumnText::Kind;
    QList<SqliteColumnText> c;
    QList<QList<Kind>> kinds;
    for (const QString& column : table->Columns) {
        const auto split = SplitColumnDefinition(column);
        ASSERT_TRUE(split) << column.toStdString();
        EXPECT_EQ(split->Definition(), column) << "every piece is kept verbatim";
        c << *split;
        kinds << QList<Kind>();
        for (const auto& constraint : split->Constraints)
            kinds.last() << constraint.What;
    }
    EXPECT_EQ(c[0].Name, QStringLiteral("x,y"));
    EXPECT_EQ(kinds[0], QList<Kind>{Kind::PrimaryKey});
    EXPECT_EQ(c[1].Name, QStringLiteral("c`d"));
    EXPECT_EQ(c[1].Constraints[0].Text, QStringLiteral("DEFAULT 'x, (y'"));
    EXPECT_EQ(c[2].Type, QStringLiteral("VARYING CHARACTER(10, 2)"));
    EXPECT_EQ(kinds[2], (QList<Kind>{Kind::Collate, Kind::NotNull}));
    EXPECT_EQ(c[2].Constraints[0].Text, QStringLiteral("CONSTRAINT e_col COLLATE NOCASE"));
    EXPECT_TRUE(c[3].Type.isEmpty());
    EXPECT_EQ(kinds[3], QList<Kind>{Kind::Generated});
    EXPECT_EQ(kinds[4], QList<Kind>{Kind::References}) << "SET NULL, SET DEFAULT, NOT DEFERRABLE are its own";
    EXPECT_EQ(kinds[5], (QList<Kind>{Kind::Default, Kind::Null}));
    EXPECT_EQ(c[6].Constraints[0].Text, QStringLiteral("DEFAULT -1.5e3"));
    EXPECT_EQ(kinds[6], (QList<Kind>{Kind::Default, Kind::Generated}));
    const auto typeNamedLikeAClause = SplitColumnDefinition(QStringLiteral("b generated NOT NULL"));
    ASSERT_TRUE(typeNamedLikeAClause);
    EXPECT_EQ(typeNamedLikeAClause->Type, QStringLiteral("generated")) << "as SQLite reads it: a type, copied";
    EXPECT_EQ(typeNamedLikeAClause->Constraints.size(), 1);

    // What it cannot take apart safely it does not take apart at all.
    for (const char* bad : {"CREATE TABLE t (a TEXT DEFAULT 'open)", "CREATE TABLE t (a /* open)",
                            "CREATE TABLE t (a CHECK (a > 0)", "CREATE TABLE t AS SELECT 1 AS a",
                            "CREATE VIRTUAL TABLE t USING fts5(a)", "CREATE TABLE t (a, UNIQUE (a), b)",
                            "CREATE TABLE t (a,, b)", "CREATE TABLE t (a \"open)", "CREATE TABLE t (a) x (y)",
                            "CREATE TABLE t ([a)"})
        EXPECT_FALSE(SplitCreateTable(QString::fromUtf8(bad))) << bad;
    for (const char* bad : {"a INTEGER NOT", "a CONSTRAINT", "a DEFAULT", "a TEXT + 1", "a INT ) (", "(a) INT"})
        EXPECT_FALSE(SplitColumnDefinition(QString::fromUtf8(bad))) << bad;
}

// A table made by another program keeps its rules, defaults, generated column, relation,
// counter, collation, indexes and trigger through moves, an added field and a rename.
TEST_F(TableRebuild, ForeignTableKeepsEverythingItHad)
{
    path = PathOf(QStringLiteral("cizi.sqlite"));
    RawExec(path, R"(
        CREATE TABLE parent (id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE);
        CREATE TABLE log (msg TEXT);
        CREATE TABLE child (
          id INTEGER PRIMARY KEY AUTOINCREMENT,
          parent_id INTEGER REFERENCES parent(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
          qty INTEGER CHECK (qty >= 0),
          price REAL DEFAULT 0,
          created TEXT DEFAULT CURRENT_TIMESTAMP,
          total REAL GENERATED ALWAYS AS (qty * price) STORED,
          note TEXT COLLATE NOCASE,
          CHECK (price >= 0 OR qty = 0)
        );
        CREATE INDEX child_big ON child (qty) WHERE qty > 100;
        CREATE INDEX child_lower ON child (lower(note));
        CREATE TRIGGER child_log AFTER INSERT ON child BEGIN INSERT INTO log VALUES ('added ' || NEW.id); END;
        INSERT INTO parent VALUES (1, 'a'), (2, 'b');
        INSERT INTO child (parent_id, qty, price, note) VALUES (1, 2, 3.5, 'abc'), (2, 200, 1, 'x'), (1, 1, 1, NULL);
        DELETE FROM child WHERE id = 3;
        DELETE FROM log;)");
    const char* const dependents = "SELECT sql FROM sqlite_master WHERE type IN ('index', 'trigger') AND sql NOT NULL ORDER BY name";
    const std::string before = Sql(dependents);
    db = DBEngine::Instance().OpenDatabase(path);

    FieldOf("child", "note")->setOrdinalPosition(1);
    auto table = db->TableDefs()->Item(QStringLiteral("child"));
    auto extra = table->CreateField(QStringLiteral("extra"), JetType::Long);
    extra->setOrdinalPosition(2);
    table->Fields()->Append(extra);
    FieldOf("child", "price")->setName(QStringLiteral("cena"));
    FieldOf("child", "qty")->setOrdinalPosition(0);

    EXPECT_EQ(FieldNames(*db, "child"), "qty,id,note,extra,parent_id,cena,created,total");
    const std::string created = Definition("child");
    for (const char* kept : {"qty INTEGER CHECK (qty >= 0)", "id INTEGER PRIMARY KEY AUTOINCREMENT",
                             "note TEXT COLLATE NOCASE",
                             "parent_id INTEGER REFERENCES parent(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED",
                             "\"cena\" REAL DEFAULT 0", "created TEXT DEFAULT CURRENT_TIMESTAMP",
                             "total REAL GENERATED ALWAYS AS (qty * \"cena\") STORED", "CHECK (\"cena\" >= 0 OR qty = 0)"})
        EXPECT_NE(created.find(kept), std::string::npos) << kept << " in " << created;
    EXPECT_EQ(Sql(dependents), before);
    EXPECT_EQ(Sql("SELECT id, parent_id, qty, cena, total, note FROM child ORDER BY id"), "1|1|2|3.5|7.0|abc\n2|2|200|1.0|200.0|x");

    // Behaviour, not only text: each rule still acts.
    EXPECT_EQ(Sql("INSERT INTO child (parent_id, qty) VALUES (1, -1)").substr(0, 30), "error: CHECK constraint failed");
    EXPECT_EQ(Sql("INSERT INTO child (parent_id, qty, cena) VALUES (1, 1, -1)").substr(0, 30), "error: CHECK constraint failed");
    Sql("INSERT INTO child (parent_id, qty, cena, note) VALUES (2, 4, 2, 'ABC')");
    EXPECT_EQ(Sql("SELECT id, total, created <> 'CURRENT_TIMESTAMP' AND created LIKE '2%' FROM child WHERE qty = 4"), "4|8.0|1")
        << "the counter goes on after the deleted row; the default stays an expression";
    EXPECT_EQ(Sql("SELECT msg FROM log"), "added 4");
    EXPECT_EQ(Sql("SELECT count(*) FROM child WHERE note = 'abc'"), "2");
    Sql("DELETE FROM parent WHERE id = 2");
    EXPECT_EQ(Sql("SELECT id FROM child ORDER BY id"), "1");
    EXPECT_EQ(Sql("INSERT INTO child (parent_id, qty) VALUES (9, 1)"), "error: FOREIGN KEY constraint failed");
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");
}

TEST_F(TableRebuild, TablesWithoutRowidAndStrictTablesStayWhatTheyAre)
{
    path = PathOf(QStringLiteral("typy.sqlite"));
    RawExec(path, R"(
        CREATE TABLE w (k TEXT PRIMARY KEY, v INTEGER, n TEXT) WITHOUT ROWID;
        CREATE TABLE s (a INTEGER, b TEXT, c ANY) STRICT;
        INSERT INTO w VALUES ('x', 1, 'jedna'), ('y', 2, NULL);
        INSERT INTO s VALUES (1, 'b', x'00ff'), (NULL, NULL, 2.5);
        CREATE TABLE qsysrebuild (mine TEXT); INSERT INTO qsysrebuild VALUES ('kept');)");
    db = DBEngine::Instance().OpenDatabase(path);
    FieldOf("w", "n")->setOrdinalPosition(0);
    EXPECT_EQ(Sql("SELECT mine FROM qsysrebuild"), "kept") << "a user's table named like the copy's is not the copy";
    FieldOf("s", "c")->setOrdinalPosition(0);
    EXPECT_EQ(Sql("SELECT n, k, v FROM w ORDER BY k"), "jedna|x|1\n|y|2");
    EXPECT_EQ(Sql("SELECT typeof(c), hex(c), a, b FROM s ORDER BY rowid"), "blob|00FF|1|b\nreal|322E35||");
    EXPECT_TRUE(Definition("w").ends_with("WITHOUT ROWID")) << Definition("w");
    EXPECT_EQ(Sql("INSERT INTO s (a) VALUES ('text')").substr(0, 32), "error: cannot store TEXT value i") << "still STRICT";
}

TEST_F(TableRebuild, RulesThatExistingRowsBreakAreRefusedNamingTheField)
{
    path = PathOf(QStringLiteral("pravidla.db"));
    db = CreateOsobyFile(path);
    AddPerson(*db, {1, QStringLiteral("Eva"), QString(), QVariant(), QVariant(), QVariant(), QStringLiteral("x")});
    AddPerson(*db, {2, QStringLiteral("Jan"), QStringLiteral("Novák-Dlouhé-Příjmení"), QVariant(), QVariant(),
                    QVariant(), QStringLiteral("12a")});
    AddPerson(*db, {3, QStringLiteral("Ota"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    const char* const all = "SELECT * FROM Osoby ORDER BY Id";
    const std::string rows = Sql(all), master = Master();
    auto refusal = [&](const char* field, auto change) {
        try {
            change(*FieldOf("Osoby", field));
        } catch (const cRuntimeError& e) {
            EXPECT_TRUE(e.Description().contains(QString::fromUtf8(field)) || e.Number() == JetError::Conversion)
                << e.Description().toStdString();
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(refusal("Příjmení", [](Field& f) { f.setAllowZeroLength(false); }), JetError::ZeroLength);
    EXPECT_EQ(refusal("Příjmení", [](Field& f) { f.setRequired(true); }), JetError::Required) << "Ota has no surname";
    EXPECT_EQ(refusal("Příjmení", [](Field& f) { f.setSize(10); }), JetError::FieldTooSmall);
    EXPECT_EQ(refusal("Poznámka", [](Field& f) { f.setType(JetType::Long); }), JetError::Conversion);
    EXPECT_EQ(Sql(all), rows);
    EXPECT_EQ(Master(), master);
    EXPECT_TRUE(DBEngine::Instance().OpenDatabase(path)->TableDefs()->Item(QStringLiteral("Osoby"))->Fields()->Item(QStringLiteral("Příjmení"))->AllowZeroLength());

    EXPECT_EQ(refusal("Id", [](Field& f) { f.setType(JetType::Byte); }), 0) << "1, 2 and 3 fit a byte";

    // Several properties at once rewrite the table once, and a stop changes nothing.
    const std::string before = Master();
    FieldSchema changed = FieldOf("Osoby", "Příjmení")->Schema();
    changed.Size = 100;
    cWorkControl stopped;
    stopped.RequestStop();
    EXPECT_EQ(ErrorOf([&] { FieldOf("Osoby", "Příjmení")->Alter(changed, 0, &stopped); }), JetError::Cancelled);
    EXPECT_EQ(Sql(all), rows);
    EXPECT_EQ(Master(), before);
    cWorkControl control;
    FieldOf("Osoby", "Příjmení")->Alter(changed, 0, &control);
    EXPECT_EQ(control.Percent(), 100);
    EXPECT_EQ(FieldNames(*db, "Osoby").find("Příjmení,"), 0u) << "moved first";
    EXPECT_EQ(FieldOf("Osoby", "Příjmení")->Size(), 100);
}

// A field that a relation, an index or a query uses is not deleted, and a change that
// would break a relation is undone.
TEST_F(TableRebuild, FieldsThatRelationsIndexesOrQueriesUseAreKept)
{
    path = PathOf(QStringLiteral("vazby.sqlite"));
    RawExec(path, R"(
        CREATE TABLE druh (id INTEGER PRIMARY KEY, kod TEXT UNIQUE, nazev TEXT, popis TEXT, volne TEXT);
        CREATE TABLE zbozi (id INTEGER PRIMARY KEY, druh INTEGER REFERENCES druh, kod TEXT,
                            FOREIGN KEY (kod) REFERENCES druh (kod));
        CREATE INDEX druh_popis ON druh (popis);
        CREATE VIEW nazvy AS SELECT nazev FROM druh;
        CREATE TABLE kody (kod TEXT PRIMARY KEY);
        CREATE TABLE pouziti (id INTEGER PRIMARY KEY, kod TEXT REFERENCES kody (kod));
        INSERT INTO druh VALUES (1, 'A', 'Ovoce', 'sladké', 'x');
        INSERT INTO zbozi VALUES (1, 1, 'A');
        INSERT INTO kody VALUES ('01');
        INSERT INTO pouziti VALUES (1, '01');)");
    db = DBEngine::Instance().OpenDatabase(path);
    const std::string master = Master();
    auto drop = [&](const char* table, const char* field) {
        return ErrorOf([&] { db->TableDefs()->Item(QString::fromUtf8(table))->Fields()->Delete(QString::fromUtf8(field)); });
    };
    EXPECT_EQ(drop("druh", "kod"), JetError::FieldInIndex) << "another table's relation points at it";
    EXPECT_EQ(drop("zbozi", "druh"), JetError::FieldInIndex) << "its own relation";
    EXPECT_EQ(drop("zbozi", "kod"), JetError::FieldInIndex) << "the table's relation";
    EXPECT_EQ(drop("druh", "popis"), JetError::FieldInIndex) << "an index";
    EXPECT_EQ(drop("druh", "nazev"), JetError::FieldInIndex) << "a stored query";
    EXPECT_EQ(drop("druh", "id"), JetError::FieldInIndex) << "the key";
    // '01' becomes the number 1, which no longer finds the text '01' it referred to.
    EXPECT_EQ(ErrorOf([&] { FieldOf("pouziti", "kod")->setType(JetType::Long); }), JetError::RelatedRecords);
    EXPECT_EQ(Master(), master);
    EXPECT_EQ(Sql("SELECT typeof(kod), kod FROM pouziti"), "text|01");
    EXPECT_EQ(drop("druh", "volne"), 0);
    EXPECT_EQ(FieldNames(*db, "druh"), "id,kod,nazev,popis");
    EXPECT_EQ(Sql("SELECT * FROM druh"), "1|A|Ovoce|sladké");
}

// Deleting a table first deletes its rows, which would cascade to, blank or strand the
// rows of the tables that refer to it.
TEST_F(TableRebuild, ATableAnotherRefersToStaysWithEveryRowOfBoth)
{
    path = PathOf(QStringLiteral("kraje.sqlite"));
    RawExec(path, R"(
        CREATE TABLE Kraje (Id INTEGER PRIMARY KEY, N TEXT);
        CREATE TABLE Obce (Id INTEGER PRIMARY KEY, N TEXT, Kraj INTEGER REFERENCES Kraje (Id) ON DELETE CASCADE);
        CREATE TABLE Okresy (Id INTEGER PRIMARY KEY, Kraj INTEGER REFERENCES Kraje ON DELETE SET NULL);
        CREATE TABLE Ulice (Id INTEGER PRIMARY KEY, Obec INTEGER REFERENCES Obce);
        CREATE TABLE Osoby (Id INTEGER PRIMARY KEY, Vedouci INTEGER REFERENCES Osoby);
        INSERT INTO Kraje VALUES (1, 'Jihomoravský');
        INSERT INTO Obce VALUES (1, 'Brno', 1), (2, 'Znojmo', 1);
        INSERT INTO Okresy VALUES (1, 1);
        INSERT INTO Osoby VALUES (1, NULL), (2, 1);)");
    db = DBEngine::Instance().OpenDatabase(path);
    const std::string master = Master();
    auto drop = [&](const char* table) { return ErrorOf([&] { db->TableDefs()->Delete(QString::fromUtf8(table)); }); };
    EXPECT_EQ(drop("kraje"), JetError::InRelation) << "cascade and set null";
    EXPECT_EQ(drop("Obce"), JetError::InRelation) << "a plain reference, from no row yet";
    EXPECT_EQ(Master(), master);
    EXPECT_EQ(Sql("SELECT (SELECT group_concat(Kraj) FROM Obce), (SELECT Kraj FROM Okresy)"), "1,1|1");
    EXPECT_NE(db->TableDefs()->IndexOf(QStringLiteral("Kraje")), -1);

    // Tables nothing else refers to go: one referring only to itself, then one only
    // referring to others, which frees the table it referred to.
    EXPECT_EQ(drop("Osoby"), 0);
    EXPECT_EQ(drop("Ulice"), 0);
    EXPECT_EQ(drop("Obce"), 0);
    EXPECT_EQ(Sql("SELECT name FROM sqlite_master ORDER BY name"), "Kraje\nOkresy");
    EXPECT_EQ(Sql("SELECT Kraj FROM Okresy"), "1");
}

// Escape a moment too late, once the change has committed: the stop lands on switching
// relations back on, or on reading the catalogue back. Neither may fail the change, and
// relations are checked afterwards as before.
TEST_F(TableRebuild, AStopAfterTheChangeCommittedComesTooLate)
{
    path = PathOf(QStringLiteral("pozde.sqlite"));
    RawExec(path, R"(
        CREATE TABLE Kraje (Id INTEGER PRIMARY KEY);
        CREATE TABLE Obce (Id INTEGER PRIMARY KEY, Kraj INTEGER REFERENCES Kraje);
        INSERT INTO Kraje VALUES (1);
        INSERT INTO Obce VALUES (1, 1);)");
    const auto driver = cSqliteDriver::Open(path, false);
    db = std::make_shared<Database>(driver);
    sqlite3* handle = driver->Handle();
    // Asks for the stop as the first statement naming `at` after the commit begins.
    struct Late {
        cWorkControl* Control = nullptr;
        const char* At = nullptr;
        bool Committed = false;
    } late;
    sqlite3_trace_v2(
        handle, SQLITE_TRACE_STMT,
        [](unsigned, void* context, void*, void* text) {
            auto* self = static_cast<Late*>(context);
            const char* sql = static_cast<const char*>(text);
            if (std::strstr(sql, "RELEASE"))
                self->Committed = true;
            else if (self->Committed && self->Control && std::strstr(sql, self->At)) {
                self->Control->RequestStop();
                self->Control = nullptr;
            }
            return 0;
        },
        &late);
    for (const char* at : {"foreign_keys", "sqlite_master"}) {
        SCOPED_TRACE(at);
        cWorkControl control([&] { db->Interrupt(); });
        late = {&control, at};
        const auto fields = db->TableDefs()->Item(QStringLiteral("Obce"))->Fields();
        const QString name = QStringLiteral("Pole_") + QLatin1String(at);
        const auto field = db->TableDefs()->Item(QStringLiteral("Obce"))->CreateField(name, JetType::Text, 10);
        EXPECT_EQ(ErrorOf([&] { fields->Append(field, &control); }), 0);
        EXPECT_EQ(late.Control, nullptr) << "the stop was asked for";
        EXPECT_TRUE(control.Committed());
        EXPECT_NE(fields->IndexOf(name), -1) << "the fields were read back";
        EXPECT_EQ(sqlite3_exec(handle, "INSERT INTO Obce (Id, Kraj) VALUES (2, 99)", nullptr, nullptr, nullptr),
                  SQLITE_CONSTRAINT_FOREIGNKEY) << "relations are checked";
    }
    sqlite3_trace_v2(handle, 0, nullptr, nullptr);
}

// A stored query keeps the words it was written in: a renamed field is renamed in them
// where SQLite renamed it in the view, and nowhere else.
TEST_F(TableRebuild, ARenamedFieldIsRenamedInTheStoredQueriesWords)
{
    path = PathOf(QStringLiteral("dotazy.sqlite"));
    CreateDatabaseFromScript(path, QStringLiteral("CREATE TABLE Osoby (Jméno TEXT, Obec TEXT);"
                                                  "CREATE TABLE Obce (Jméno TEXT, Kraj TEXT);"
                                                  "INSERT INTO Osoby VALUES ('Eva', 'Brno');"
                                                  "INSERT INTO Obce VALUES ('Brno', 'JM');"));
    db = DBEngine::Instance().OpenDatabase(path);
    const QList<std::pair<QString, QString>> written{
        {QStringLiteral("Brňané"),
         QStringLiteral("SELECT Jméno FROM Osoby WHERE Obec = 'Brno' AND [jméno] <> 'Jméno' ORDER BY Jméno")},
        {QStringLiteral("Bydliště"),
         QStringLiteral("SELECT Osoby.Jméno, Obce.Jméno AS Kde FROM Osoby INNER JOIN Obce ON Osoby.Obec = Obce.Jméno")},
        {QStringLiteral("Kraje"), QStringLiteral("SELECT Jméno, Kraj FROM Obce")},
    };
    for (const auto& [name, sql] : written)
        db->CreateQueryDef(name, sql);
    FieldOf("Osoby", "Jméno")->setName(QStringLiteral("Příjmení"));
    db->QueryDefs()->Refresh();
    auto stored = [&](const QString& name) { return db->QueryDefs()->Item(name)->SQL().toStdString(); };
    EXPECT_EQ(stored(QStringLiteral("Brňané")),
              "SELECT [Příjmení] FROM Osoby WHERE Obec = 'Brno' AND [Příjmení] <> 'Jméno' ORDER BY [Příjmení]");
    EXPECT_EQ(stored(QStringLiteral("Bydliště")),
              "SELECT Osoby.[Příjmení], Obce.Jméno AS Kde FROM Osoby INNER JOIN Obce ON Osoby.Obec = Obce.Jméno");
    EXPECT_EQ(stored(QStringLiteral("Kraje")), "SELECT Jméno, Kraj FROM Obce");
    // Stored again as they read now, they make the same views.
    const std::string master = Master();
    for (const auto& [name, sql] : written) {
        auto query = db->QueryDefs()->Item(name);
        query->setSQL(query->SQL());
    }
    EXPECT_EQ(Master(), master);
    EXPECT_EQ(Sql("SELECT * FROM Bydliště"), "Eva|Brno");
}

// Every kind of change, each on many rows, checked value by value against a copy made
// before the first.
TEST_F(TableRebuild, EveryChangeKeepsEveryRowAndValue)
{
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kRows = 20000; // the sanitizers make each copy several times slower
#else
    constexpr int kRows = 100000;
#endif
    path = PathOf(QStringLiteral("mnoho.db"));
    db = CreateOsobyFile(path);
    RawExec(path, QStringLiteral(R"(
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
        INSERT INTO Osoby SELECT i, 'Jméno ' || i, CASE i % 5 WHEN 0 THEN NULL WHEN 1 THEN '' ELSE 'Příjmení ' || (i * 7) END,
          CASE WHEN i % 3 = 0 THEN NULL ELSE date('2000-01-01', '+' || i || ' days') END,
          CASE WHEN i % 4 = 0 THEN NULL ELSE i * 12.3456 END, -(i % 2),
          CASE WHEN i % 7 = 0 THEN NULL ELSE printf('%.*c', i % 200, 'ž') END FROM n;)").arg(kRows).toUtf8().constData());
    // The copy lives beside the table, where no change of the table reaches it.
    ASSERT_EQ(Sql("CREATE TABLE kopie AS SELECT rowid AS r, * FROM Osoby"), "");
    ASSERT_EQ(Sql("CREATE UNIQUE INDEX kopie_r ON kopie (r)"), "");
    // Rows that differ from the copy either way, by value and storage class, and all rows;
    // names are those of now, in the copy's order.
    auto differences = [&](const QStringList& now, const QStringList& then) {
        QStringList differ;
        for (qsizetype i = 0; i < now.size(); ++i)
            differ << QStringLiteral("NOT (m.\"%1\" IS k.\"%2\" AND typeof(m.\"%1\") = typeof(k.\"%2\"))").arg(now[i], then[i]);
        return Raw(path, QStringLiteral("SELECT (SELECT count(*) FROM Osoby m LEFT JOIN kopie k ON k.r = m.rowid WHERE k.r IS NULL OR %1), "
                                        "(SELECT count(*) FROM Osoby)").arg(differ.join(QLatin1String(" OR "))));
    };
    const std::string same = "0|" + std::to_string(kRows);
    QStringList then{QStringLiteral("Id"), QStringLiteral("Jméno"), QStringLiteral("Příjmení"), QStringLiteral("Narozen"),
                     QStringLiteral("Plat"), QStringLiteral("Aktivní"), QStringLiteral("Poznámka")};
    QStringList now = then;

    auto table = db->TableDefs()->Item(QStringLiteral("Osoby"));
    auto added = table->CreateField(QStringLiteral("Nové"), JetType::Text, 10);
    added->setOrdinalPosition(2);
    table->Fields()->Append(added);
    EXPECT_EQ(differences(now, then), same) << "added at a position";
    EXPECT_EQ(Sql("SELECT count(*) FROM Osoby WHERE \"Nové\" IS NULL"), std::to_string(kRows));

    FieldOf("Osoby", "Jméno")->setName(QStringLiteral("Křestní"));
    now[1] = QStringLiteral("Křestní");
    EXPECT_EQ(differences(now, then), same) << "renamed";
    FieldOf("Osoby", "Poznámka")->setOrdinalPosition(0);
    EXPECT_EQ(differences(now, then), same) << "moved";
    FieldOf("Osoby", "Aktivní")->setRequired(true);
    EXPECT_EQ(differences(now, then), same) << "required";
    FieldOf("Osoby", "Křestní")->setAllowZeroLength(true);
    EXPECT_EQ(differences(now, then), same) << "zero length allowed";
    FieldOf("Osoby", "Křestní")->setSize(200);
    auto note = FieldOf("Osoby", "Poznámka");
    FieldSchema text = note->Schema();
    text.Type = JetType::Text;
    text.Size = 255;
    note->Alter(text);
    EXPECT_EQ(differences(now, then), same) << "memo to text";
    text.Type = JetType::Memo;
    note->Alter(text);
    FieldOf("Osoby", "Id")->setType(JetType::Double);
    then.removeAt(0);
    now.removeAt(0);
    EXPECT_EQ(differences(now, then), same) << "retyped";
    EXPECT_EQ(Sql("SELECT count(*) FROM Osoby WHERE Id <> rowid OR typeof(Id) <> 'real'"), "0")
        << "numbers keep their value in the wider type";
    table->Fields()->Delete(QStringLiteral("Nové"));
    EXPECT_EQ(differences(now, then), same) << "dropped";
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");
}

// A longer text, a rule the rows keep or a type of the same storage changes only the
// table's definition; a connection that read the old one sees the new one, a refusal
// leaves both as they were, and a connection in defensive mode is left in it.
TEST_F(TableRebuild, RulesAndSizesChangeTheDefinitionInPlace)
{
    path = PathOf(QStringLiteral("misto.sqlite"));
    RawExec(path, R"(
        CREATE TABLE t (a INTEGER, b VARCHAR(10) COLLATE NOCASE CHECK (b <> 'x'), c TEXT);
        CREATE INDEX t_b ON t (b);
        INSERT INTO t VALUES (1, 'jedna', 'c'), (40000, 'dva', 'čtyři');
        DELETE FROM t WHERE a = 1;
        INSERT INTO t (rowid, a, b) VALUES (7, 2, 'TRI');)");
    const std::string rows = Sql("SELECT rowid, a, b, c FROM t ORDER BY rowid");
    sqlite3* other = OpenRaw(path);
    ASSERT_EQ(sqlite3_exec(other, "SELECT * FROM t", nullptr, nullptr, nullptr), SQLITE_OK);
    auto driver = cSqliteDriver::Open(path, false);
    auto fieldOf = [&](const char* name) {
        const auto table = driver->FindTable(QStringLiteral("t"));
        for (const FieldSchema& field : table->Fields) {
            if (field.Name == QLatin1String(name))
                return field;
        }
        return FieldSchema();
    };
    auto alter = [&](const char* name, const FieldSchema& field) {
        return ErrorOf([&] { driver->AlterField(QStringLiteral("t"), QString::fromUtf8(name), field, -1); });
    };

    FieldSchema b = fieldOf("b");
    b.Size = 20;
    b.Required = true;
    EXPECT_EQ(alter("b", b), 0);
    EXPECT_EQ(Definition("t"), "CREATE TABLE \"t\" (a INTEGER, b VARCHAR(20) COLLATE NOCASE CHECK (b <> 'x') NOT NULL, c TEXT)");
    EXPECT_EQ(Sql("SELECT rowid, a, b, c FROM t ORDER BY rowid"), rows);
    EXPECT_EQ(sqlite3_exec(other, "INSERT INTO t (a) VALUES (5)", nullptr, nullptr, nullptr), SQLITE_CONSTRAINT)
        << "a connection that had read the old definition";
    sqlite3_close(other);
    EXPECT_EQ(fieldOf("b").Size, 20);
    EXPECT_EQ(Sql("SELECT count(*) FROM t WHERE b = 'tri'"), "1") << "the index and the collation";
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");

    const std::string master = Master();
    FieldSchema a = fieldOf("a");
    a.Type = JetType::Integer;
    EXPECT_EQ(alter("a", a), JetError::Conversion) << "40000 is no Integer";
    EXPECT_EQ(Master(), master);
    EXPECT_EQ(fieldOf("a").Type, JetType::Long);
    a.Type = JetType::Double;
    EXPECT_EQ(alter("a", a), 0);
    EXPECT_EQ(Definition("t"), "CREATE TABLE \"t\" (a DOUBLE, b VARCHAR(20) COLLATE NOCASE CHECK (b <> 'x') NOT NULL, c TEXT)")
        << "copied, and the check of the copy gone";
    EXPECT_EQ(Sql("SELECT rowid, a, typeof(a) FROM t ORDER BY rowid"), "2|40000.0|real\n7|2.0|real");
    RawExec(path, "UPDATE t SET a = 2.5 WHERE rowid = 7");
    a.Type = JetType::Long;
    EXPECT_EQ(alter("a", a), JetError::Conversion) << "2.5 is no whole number";

    sqlite3_db_config(driver->Handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    a = fieldOf("a");
    a.Required = true;
    EXPECT_EQ(alter("a", a), 0);
    EXPECT_TRUE(fieldOf("a").Required);
    int defensive = 0;
    sqlite3_db_config(driver->Handle(), SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    EXPECT_EQ(defensive, 1);
    FieldSchema c = fieldOf("c");
    c.Type = JetType::Long;
    EXPECT_EQ(alter("c", c), JetError::Conversion) << "'čtyři' is no number";
    EXPECT_EQ(Sql("SELECT rowid, b, c FROM t ORDER BY rowid"), "2|dva|čtyři\n7|TRI|");
    EXPECT_EQ(Definition("t"), "CREATE TABLE \"t\" (a DOUBLE NOT NULL, b VARCHAR(20) COLLATE NOCASE CHECK (b <> 'x') NOT NULL, c TEXT)");
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");
}

// A stop while the rows are being copied undoes the change. The table's own rule calls a
// function that asks for the stop halfway through the copy.
TEST_F(TableRebuild, AStopDuringTheCopyLeavesTheTableAsItWas)
{
    struct Stopper {
        cWorkControl* Control = nullptr;
        int Calls = 0;
    } stopper;
    auto check = [](sqlite3_context* context, int, sqlite3_value**) {
        auto* self = static_cast<Stopper*>(sqlite3_user_data(context));
        if (self->Control && ++self->Calls == 1000)
            self->Control->RequestStop();
        sqlite3_result_int(context, 1);
    };
    path = PathOf(QStringLiteral("zastaveni.sqlite"));
    {
        sqlite3* raw = OpenRaw(path);
        sqlite3_create_function(raw, "hlidka", 1, SQLITE_UTF8, &stopper, check, nullptr, nullptr);
        ASSERT_EQ(sqlite3_exec(raw, R"(
            CREATE TABLE t (a INTEGER, b TEXT CHECK (hlidka(b)));
            WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)
            INSERT INTO t SELECT i, 'b' || i FROM n;)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    const std::string rows = Sql("SELECT rowid, a, b FROM t ORDER BY rowid"), master = Master();
    auto driver = cSqliteDriver::Open(path, false);
    sqlite3_create_function(driver->Handle(), "hlidka", 1, SQLITE_UTF8, &stopper, check, nullptr, nullptr);
    FieldSchema b = driver->FindTable(QStringLiteral("t"))->Fields.value(1);

    cWorkControl control;
    stopper.Control = &control;
    EXPECT_EQ(ErrorOf([&] { driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, 0, &control); }),
              JetError::Cancelled);
    EXPECT_TRUE(stopper.Calls >= 1000 && stopper.Calls < 2000) << stopper.Calls << ": stopped while copying";
    EXPECT_LT(control.Percent(), 100);
    EXPECT_EQ(Master(), master);
    EXPECT_EQ(Sql("SELECT rowid, a, b FROM t ORDER BY rowid"), rows);

    cWorkControl again;
    stopper.Control = nullptr;
    driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, 0, &again);
    EXPECT_EQ(again.Percent(), 100);
    EXPECT_EQ(Sql("SELECT rowid, b, a FROM t ORDER BY rowid LIMIT 1 OFFSET 1999"), "2000|b2000|2000");
}

// SQLite reads a no-break space as part of a name or a type: a column another program
// declared so keeps its declaration when it changes.
TEST_F(TableRebuild, ANoBreakSpaceStaysWhereSqliteReadsIt)
{
    path = PathOf(QStringLiteral("mezera.sqlite"));
    RawExec(path, "CREATE TABLE n (a INTEGER, Cena\u00A0bez \u00A0INTEGER, c TEXT);"
                  "INSERT INTO n VALUES (1, 10, 'x'), (2, 20, 'y');");
    auto driver = cSqliteDriver::Open(path, false);
    const auto table = driver->FindTable(QStringLiteral("n"));
    ASSERT_TRUE(table && table->Fields.size() == 3);
    FieldSchema price = table->Fields[1];
    ASSERT_EQ(price.Name, QStringLiteral("Cena\u00A0bez"));
    price.Required = true;
    EXPECT_EQ(ErrorOf([&] { driver->AlterField(QStringLiteral("n"), price.Name, price, 0); }), 0);
    EXPECT_EQ(Definition("n"), "CREATE TABLE \"n\" (Cena\u00A0bez \u00A0INTEGER NOT NULL, a INTEGER, c TEXT)");
    EXPECT_EQ(Sql("SELECT * FROM n ORDER BY rowid"), "10|1|x\n20|2|y");
}

// Texts another program wrote are read as SQLite reads them: a view whose name and column
// list hold " AS " of their own is its SELECT, and a default typed with a doubled quote
// keeps one quote.
TEST_F(TableRebuild, ViewsAndDefaultsAreReadAsSqliteReadsThem)
{
    path = PathOf(QStringLiteral("texty.sqlite"));
    RawExec(path, R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE t (a INTEGER, b TEXT);
        INSERT INTO t VALUES (1, 'x');
        CREATE VIEW "a AS b" ("x AS y", b) AS SELECT a, b FROM t;)");
    db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(db->QueryDefs()->Item(QStringLiteral("a AS b"))->SQL(), QStringLiteral("SELECT a, b FROM t"));
    db->Close();

    auto driver = cSqliteDriver::Open(path, false);
    FieldSchema b = driver->FindTable(QStringLiteral("t"))->Fields.at(1);
    b.DefaultValue = QStringLiteral("'it''s'");
    EXPECT_EQ(ErrorOf([&] { driver->AlterField(QStringLiteral("t"), QStringLiteral("b"), b, -1); }), 0);
    RawExec(path, "INSERT INTO t (a) VALUES (2)");
    EXPECT_EQ(Sql("SELECT b FROM t WHERE a = 2"), "it's");
}
