#include "DataTestSupport.h"

#include "cWorkControl.h"
#include "mDatabaseCopy.h"
#include "mExport.h"
#include "mGridText.h"
#include "mJetErrors.h"
#include "mSampleData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class ExportTest : public DatabaseTest {
protected:
    static QByteArray Bytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static ExportSource Source(std::vector<int> fields, std::vector<qint64> positions)
    {
        ExportSource source;
        source.Fields = std::move(fields);
        source.Positions = std::move(positions);
        source.CellText = [](int, const QVariant& value) { return value.isNull() ? QString() : value.toString(); };
        return source;
    }
    // Nothing but the files the test made: no temporary is left behind.
    QStringList Files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// The rows of a query on the file through SQLite alone, as another program reads it: the
// values joined by "|", the rows by new lines; an error as "error: …".
std::string Raw(const QString& path, const char* sql)
{
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const QString rows = PlainRows(raw, QString::fromUtf8(sql));
    sqlite3_close(raw);
    return rows.toStdString();
}

// A file in WAL mode whose last changes are still in its log only, as another program
// that has it open, or that ended without a checkpoint, leaves it.
void WalWithChangesInTheLog(const QString& path, const char* checkpointed, const char* logged)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, checkpointed, nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, logged, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(raw);
    ASSERT_GT(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
}

} // namespace

TEST_F(ExportTest, LinesFollowTheGivenOrderAndColumnsAndQuoteOnlyWhatWouldBreakTheColumns)
{
    auto db = CreateOsoby();
    AddPerson(*db, {1, QStringLiteral("Adam"), QStringLiteral("Novák"), {}, {}, {}, QStringLiteral("plain")});
    AddPerson(*db, {2, QStringLiteral("Eva"), QStringLiteral("a;b"), {}, {}, {}, QStringLiteral("řekl \"ne\"")});
    AddPerson(*db, {3, QStringLiteral("Jan"), QStringLiteral("x\r\ny"), {}, {}, {}, QStringLiteral("")});
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
    rs->setAbsolutePosition(1);
    const QString path = PathOf(QStringLiteral("out.txt"));
    Write(path, "old");

    // The grid hides Příjmení's neighbours and shows its rows sorted the other way: the
    // header names the shown columns only, so each value stands under its own field.
    cWorkControl control;
    ASSERT_TRUE(ExportRecords(path, *rs, Source({1, 2, 6}, {2, 1, 0}), control));
    EXPECT_EQ(Bytes(path), QStringLiteral("Jméno;Příjmení;Poznámka;\r\n\r\n"
                                          "Jan;\"x\r\ny\";;\r\n"
                                          "Eva;\"a;b\";\"řekl \"\"ne\"\"\";\r\n"
                                          "Adam;Novák;plain;\r\n")
                               .toUtf8());
    EXPECT_EQ(rs->AbsolutePosition(), 1); // the grid's record stays current
    EXPECT_EQ(control.Percent(), 100);

    // A name holding the separator is quoted too; no rows leave the header and the empty line.
    QString line;
    AppendExportValue(line, QStringLiteral("Cena; Kč"));
    AppendExportValue(line, QString());
    EXPECT_EQ(line, QStringLiteral("\"Cena; Kč\";;"));
    auto none = db->OpenRecordset(QStringLiteral("SELECT Id FROM Osoby WHERE Id > 10"));
    ASSERT_TRUE(ExportRecords(path, *none, Source({0}, {}), control));
    EXPECT_EQ(Bytes(path), QByteArray("Id;\r\n\r\n"));
    EXPECT_EQ(Files(), QStringList({QStringLiteral("osoby.db"), QStringLiteral("out.txt")}));
}

TEST_F(ExportTest, AFailureOrAStopLeavesTheOldFileWhole)
{
    auto db = CreateOsoby();
    for (int id = 1; id <= 3; ++id)
        AddPerson(*db, {id, QStringLiteral("P%1").arg(id), {}, {}, {}, {}, {}});
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
    rs->RecordCount();
    rs->Rest();
    const QString path = PathOf(QStringLiteral("out.txt"));
    Write(path, "old");

    // A record deleted by another program after the grid was filled: the export fails
    // rather than write a line that is not the record.
    RawExec(PathOf(QStringLiteral("osoby.db")), "DELETE FROM Osoby WHERE Id = 3");
    cWorkControl control;
    EXPECT_EQ(ErrorOf([&] { ExportRecords(path, *rs, Source({0, 1}, {0, 1, 2}), control); }),
              JetError::RecordDeleted);
    EXPECT_EQ(Bytes(path), QByteArray("old"));

    cWorkControl stopped;
    stopped.RequestStop();
    EXPECT_FALSE(ExportRecords(path, *rs, Source({0}, {0, 1}), stopped));
    EXPECT_EQ(Bytes(path), QByteArray("old"));

    // A target that cannot be made at all.
    EXPECT_EQ(ErrorOf([&] { ExportRecords(PathOf(QStringLiteral("no/such/out.txt")), *rs, Source({0}, {0}), control); }),
              JetError::FileLocked);
    EXPECT_EQ(Files(), QStringList({QStringLiteral("osoby.db"), QStringLiteral("out.txt")}));
}

TEST(ExportNames, TheExtensionIsAddedUnlessPresentInExactCase)
{
    EXPECT_EQ(WithExtension(QStringLiteral("/d/report"), QStringLiteral(".txt")), QStringLiteral("/d/report.txt"));
    EXPECT_EQ(WithExtension(QStringLiteral("/d/report.txt"), QStringLiteral(".txt")), QStringLiteral("/d/report.txt"));
    EXPECT_EQ(WithExtension(QStringLiteral("/d/report.TXT"), QStringLiteral(".txt")), QStringLiteral("/d/report.TXT.txt"));
}

TEST_F(ExportTest, AFileCopyIsWholeOrAbsentAndNeverOntoItself)
{
    CreateOsoby()->Close();
    const QString source = PathOf(QStringLiteral("osoby.db"));
    const QString target = PathOf(QStringLiteral("kopie.mdb"));
    Write(target, "old");
    cWorkControl control;
    ASSERT_TRUE(CopyDatabaseFile(source, target, control));
    const char* schema = "SELECT type, name, sql FROM sqlite_master ORDER BY name";
    EXPECT_EQ(Raw(target, schema), Raw(source, schema));

    const QByteArray before = FileDigest(source);
    EXPECT_EQ(ErrorOf([&] { CopyDatabaseFile(source, source, control); }), JetError::InvalidOperation);
    EXPECT_EQ(ErrorOf([&] { CopyDatabaseFile(source, PathOf(QStringLiteral("./osoby.db")), control); }),
              JetError::InvalidOperation);
    EXPECT_EQ(FileDigest(source), before);
    EXPECT_EQ(ErrorOf([&] { CopyDatabaseFile(PathOf(QStringLiteral("gone.mdb")), target, control); }),
              JetError::FileNotFound);

    Write(target, "old");
    cWorkControl stopped;
    stopped.RequestStop();
    EXPECT_FALSE(CopyDatabaseFile(source, target, stopped));
    EXPECT_EQ(Bytes(target), QByteArray("old"));
    EXPECT_EQ(Files(), QStringList({QStringLiteral("kopie.mdb"), QStringLiteral("osoby.db")}));
}

// The copy is what was committed, the part still in the log included, and nothing of
// what an old target left beside itself: its log would be replayed into the new file.
TEST_F(ExportTest, ACopyHoldsWhatIsStillInTheLogAndNoneOfTheOldTargetsLog)
{
    const QString source = PathOf(QStringLiteral("obce.db"));
    WalWithChangesInTheLog(source, "CREATE TABLE Obce (Název TEXT); INSERT INTO Obce VALUES ('Brno');",
                           "INSERT INTO Obce VALUES ('Kolín'); CREATE TABLE Kraje (Kód TEXT);");
    const char* stale = "CREATE TABLE Staré (x TEXT); INSERT INTO Staré VALUES ('staré');";
    const char* later = "INSERT INTO Staré SELECT x || x FROM Staré; CREATE TABLE Později (y);";
    const QString target = PathOf(QStringLiteral("kopie.mdb"));
    WalWithChangesInTheLog(target, stale, later);
    cWorkControl control;
    ASSERT_TRUE(CopyDatabaseFile(source, target, control));
    EXPECT_EQ(Files().filter(QStringLiteral("kopie")), QStringList{QStringLiteral("kopie.mdb")});
    EXPECT_EQ(Raw(target, "SELECT name FROM sqlite_master ORDER BY name"), "Kraje\nObce");
    EXPECT_EQ(Raw(target, "SELECT * FROM Obce"), "Brno\nKolín");
    EXPECT_EQ(Raw(target, "PRAGMA integrity_check"), "ok");

    // The same for the copy an Access file becomes.
    const QString access = PathOf(QStringLiteral("z-access.mdb"));
    WalWithChangesInTheLog(access, stale, later);
    auto nwind = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    ASSERT_TRUE(CopyToQuarnelDatabase(*nwind, access, control));
    EXPECT_EQ(Files().filter(QStringLiteral("z-access")), QStringList{QStringLiteral("z-access.mdb")});
    EXPECT_EQ(Raw(access, "SELECT count(*) FROM sqlite_master WHERE name IN ('Staré', 'Později')"), "0");
    EXPECT_EQ(Raw(access, "SELECT count(*) FROM sqlite_master WHERE name = 'Customers'"), "1");
}

class AccessCopyTest : public ExportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AccessCopyTest, EveryTableAndValueArrivesEditableAndTheOriginalIsUntouched)
{
    const QString original = QStringLiteral(QUARNEL_TESTDATA "/") + QString::fromUtf8(GetParam());
    const QByteArray before = FileDigest(original);
    ASSERT_TRUE(IsAccessFile(original));
    auto source = DBEngine::Instance().OpenDatabase(original);
    const QString target = PathOf(QStringLiteral("kopie.mdb"));
    cWorkControl control;
    ASSERT_TRUE(CopyToQuarnelDatabase(*source, target, control));
    EXPECT_FALSE(IsAccessFile(target));

    auto copy = DBEngine::Instance().OpenDatabase(target);
    EXPECT_FALSE(copy->ReadOnly());
    int tables = 0;
    QString editable;
    for (const auto& table : *source->TableDefs()) {
        if ((quint32(table->Attributes()) & 0x80000002u) != 0 || !table->Connect().isEmpty())
            continue;
        ++tables;
        const QString sql = QStringLiteral("SELECT * FROM [%1]").arg(table->Name());
        auto from = source->OpenRecordset(sql);
        auto to = copy->OpenRecordset(sql);
        ASSERT_EQ(to->RecordCount(), from->RecordCount()) << table->Name().toStdString();
        ASSERT_EQ(to->Fields()->Count(), from->Fields()->Count());
        for (qint32 i = 0; i < from->Fields()->Count(); ++i) {
            const Field& a = *from->Fields()->Item(i);
            const Field& b = *to->Fields()->Item(i);
            EXPECT_EQ(b.Name(), a.Name());
            EXPECT_EQ(b.Type(), a.Type()) << a.Name().toStdString();
        }
        // The copy lists a table in its primary key's order, as Access shows it: the
        // records are compared whatever their order, each value with its type.
        auto records = [](Recordset& rs) {
            QStringList all;
            for (qint64 row = 0; row < rs.RecordCount(); ++row) {
                rs.setAbsolutePosition(qint32(row));
                QString record;
                for (qint32 i = 0; i < rs.Fields()->Count(); ++i) {
                    const QVariant v = rs.FieldValue(i);
                    record += QLatin1String(v.typeName()) + u':'
                              + (v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                     : v.toString())
                              + u'\x1f';
                }
                all << record;
            }
            all.sort();
            return all;
        };
        EXPECT_EQ(records(*to), records(*from)) << table->Name().toStdString();
        if (editable.isEmpty() && to->Updatable() && to->RecordCount() > 0)
            editable = table->Name();
    }
    EXPECT_GT(tables, 0);
    ASSERT_FALSE(editable.isEmpty());
    auto rs = copy->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(editable));
    rs->Delete(); // the first record: a change the original refuses with 3027
    EXPECT_EQ(rs->RecordCount() + 1, source->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(editable))->RecordCount());
    copy->Close();
    source->Close();
    EXPECT_EQ(FileDigest(original), before);
    EXPECT_EQ(Files(), QStringList({QStringLiteral("kopie.mdb")}));
}

INSTANTIATE_TEST_SUITE_P(Files, AccessCopyTest,
                         ::testing::Values("nwind.mdb", "testV2000.mdb", "testV2007.accdb"));

TEST_F(ExportTest, TheAccessCopyKeepsTheSelectQueriesAndAStopLeavesNothing)
{
    auto source = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb"));
    const QString target = PathOf(QStringLiteral("kopie.mdb"));
    cWorkControl stopped;
    stopped.RequestStop();
    EXPECT_FALSE(CopyToQuarnelDatabase(*source, target, stopped));
    EXPECT_TRUE(Files().isEmpty());

    cWorkControl control;
    ASSERT_TRUE(CopyToQuarnelDatabase(*source, target, control));
    auto copy = DBEngine::Instance().OpenDatabase(target);
    QStringList stored;
    for (const auto& query : *copy->QueryDefs())
        stored << query->Name();
    ASSERT_FALSE(stored.isEmpty());
    for (const QString& name : stored)
        EXPECT_NO_THROW(copy->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(name))->RecordCount())
            << name.toStdString();

    // The keys came along: a second order under an existing number is refused.
    auto orders = copy->OpenRecordset(QStringLiteral("SELECT * FROM Orders"));
    QVariantList first;
    for (qint32 i = 0; i < orders->Fields()->Count(); ++i)
        first << orders->FieldValue(i);
    orders->AddNew();
    for (qint32 i = 0; i < orders->Fields()->Count(); ++i)
        orders->SetFieldValue(i, first[i]);
    EXPECT_EQ(ErrorOf([&] { orders->Update(); }), 3022);
    orders->CancelUpdate();
    EXPECT_EQ(orders->RecordCount(), 830);
}

// Every key and index libmdb reports for a table is in the copy, on the same fields, unique
// where it was; Jet 3, Jet 4 and ACE files alike.
TEST_F(ExportTest, TheAccessCopyKeepsKeysAndIndexes)
{
    for (const char* name : {"nwind.mdb", "testV2000.mdb", "testV2007.accdb", "testV2010.accdb"}) {
        SCOPED_TRACE(name);
        auto source = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_TESTDATA "/") + QLatin1String(name));
        const QString target = PathOf(QLatin1String(name) + QLatin1String(".kopie"));
        cWorkControl control;
        ASSERT_TRUE(CopyToQuarnelDatabase(*source, target, control));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(target.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        // What the copy has, as "table: fields" with "unique" or "primary" in front.
        auto described = [db](const QString& table, const QString& index, bool primary) {
            sqlite3_stmt* st = nullptr;
            const QString sql = primary ? QStringLiteral("SELECT name, 1 FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk")
                                        : QStringLiteral("SELECT name, (SELECT \"unique\" FROM pragma_index_list(?1) "
                                                         "WHERE name = ?2) FROM pragma_index_info(?2) ORDER BY seqno");
            sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
            const QByteArray t = table.toUtf8(), i = (table + u'.' + index).toUtf8();
            sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            if (!primary)
                sqlite3_bind_text(st, 2, i.constData(), int(i.size()), SQLITE_TRANSIENT);
            QStringList fields;
            bool unique = false;
            while (sqlite3_step(st) == SQLITE_ROW) {
                fields << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                unique = sqlite3_column_int(st, 1) != 0;
            }
            sqlite3_finalize(st);
            return (primary ? QStringLiteral("primary ") : unique ? QStringLiteral("unique ") : QString())
                   + fields.join(u',');
        };
        int seen = 0;
        for (const TableSchema& table : source->TableSchemas()) {
            if (table.Attributes != 0)
                continue;
            for (const IndexSchema& index : table.Indexes) {
                const QString wanted = (index.Primary ? QStringLiteral("primary ") : index.Unique ? QStringLiteral("unique ")
                                                                                                 : QString())
                                       + index.Fields.join(u',');
                EXPECT_EQ(described(table.Name, index.Name, index.Primary), wanted)
                    << table.Name.toStdString() << " " << index.Name.toStdString();
                ++seen;
            }
        }
        sqlite3_close(db);
        if (QLatin1String(name) == QLatin1String("nwind.mdb")) {
            EXPECT_GT(seen, 20);
        }
    }
}

namespace {

// What an export must write: each record made current in turn and its fields shown as the
// grid shows them.
QByteArray RecordByRecord(Recordset& rs, const ExportSource& source)
{
    QString text;
    for (const int field : source.Fields)
        AppendExportValue(text, rs.Fields()->Item(field)->Name());
    text += QLatin1String("\r\n\r\n");
    for (const qint64 position : source.Positions) {
        rs.setAbsolutePosition(qint32(position));
        for (size_t column = 0; column < source.Fields.size(); ++column)
            AppendExportValue(text, GridTextOf(rs.FieldValue(source.Fields[column]), source.Formats.value(qsizetype(column))));
        text += QLatin1String("\r\n");
    }
    return text.toUtf8();
}

} // namespace

// Every kind of stored value, odd ones too (a text in a number field, an amount beyond
// Currency, a float beyond Single, a date that is no date, invalid UTF-8, a byte order
// mark), enough records for two lanes, in the table's order and in another with a hidden
// column and display formats, under the Czech and the C locale.
TEST_F(ExportTest, ReadingInBulkWritesExactlyTheGridsTexts)
{
    const QString file = PathOf(QStringLiteral("druhy.db"));
    CreateDatabaseFromScript(file, QStringLiteral(
        "CREATE TABLE Druhy (Id INTEGER PRIMARY KEY, B BOOLEAN, Y BYTE, I SHORT, L INTEGER, C CURRENCY, "
        "S SINGLE, D DOUBLE, T DATETIME, X VARCHAR(50), M LONGTEXT, G LONGBINARY)"));
    RawExec(file,
            "INSERT INTO Druhy VALUES "
            "(1, 0, 0, -32768, -5, 12.3456, 0.1, 0.333333333333333333, '2024-02-29 13:05:09', 'a;b', NULL, X'00FF'),"
            "(2, -1, 255, 70000, 3000000000, -0.5, 1e-5, -1e-7, '2024-03-01', 'řekl \"ne\"', 'x', 1),"
            "(3, 5, 300, 0, 'x;y', 1e20, 123456789, 1e15, '1899-12-30 10:00:00', 'x' || char(13, 10) || 'y', '', NULL),"
            "(4, 2.5, -1, 7, 0, 7, 3.4e39, 1e16, '1899-12-30', char(65279) || 'bom', 'Žluťoučký kůň', NULL),"
            "(5, 'ano', 1.5, NULL, NULL, 12.34565, -2.5, 123456789012345678, 'není datum', CAST(X'41C3' AS TEXT), NULL, NULL),"
            "(6, NULL, NULL, NULL, NULL, 9200000000000000000, NULL, 1e999, '2024-13-01', 42, NULL, NULL),"
            "(7, 1, 2, 3, 4, -922337203685477, 0, -0.00001, 45000.5, -7, 'ř', NULL)");
    RawExec(file,
            "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 40100) "
            "INSERT INTO Druhy SELECT i, i % 2, i % 256, i - 20000, i * 7, i * 1.25, i / 7.0, i / -3.0, "
            "printf('%04d-%02d-%02d %02d:%02d:%02d', 1900 + i % 150, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i * 7 % 60), "
            "'Jméno ' || i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'pozn; ' || i END, NULL FROM n");
    auto db = DBEngine::Instance().OpenDatabase(file);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Druhy"));
    const qint64 count = rs->RecordCount();
    ASSERT_EQ(count, 40008);

    ExportSource all = Source({}, {});
    all.CellText = nullptr;
    for (int field = 0; field < 12; ++field)
        all.Fields.push_back(field);
    for (qint64 p = 0; p < count; ++p)
        all.Positions.push_back(p);
    // A sorted grid: runs of neighbours both ways, single records, the odd ones among them.
    ExportSource some = all;
    some.Fields = {8, 3, 7, 9};
    some.Formats = {QStringLiteral("dd.mm.yyyy hh:nn"), QString(), QStringLiteral("0.00"), QString()};
    some.Positions.clear();
    for (qint64 p = count - 1; p >= 0; p -= 3)
        some.Positions.push_back(p);
    for (qint64 p = 0; p < 100; ++p)
        some.Positions.push_back(p);

    const QString path = PathOf(QStringLiteral("out.txt"));
    const QLocale before;
    for (const QLocale& locale : {QLocale(QLocale::Czech, QLocale::Czechia), QLocale::c()}) {
        QLocale::setDefault(locale);
        for (const ExportSource* source : {&all, &some}) {
            cWorkControl control;
            ASSERT_TRUE(ExportRecords(path, *rs, *source, control));
            EXPECT_EQ(Bytes(path), RecordByRecord(*rs, *source)) << locale.name().toStdString();
        }
        // A caller's own texts take the same way.
        ExportSource own = some;
        own.CellText = [&own](int column, const QVariant& value) { return GridTextOf(value, own.Formats[column]); };
        cWorkControl control;
        ASSERT_TRUE(ExportRecords(path, *rs, own, control));
        EXPECT_EQ(Bytes(path), RecordByRecord(*rs, some));
    }
    QLocale::setDefault(before);

    // A record gone since the grid was filled is a failure, not a short file.
    rs->Rest();
    RawExec(file, "DELETE FROM Druhy WHERE Id = 20000");
    cWorkControl control;
    EXPECT_EQ(ErrorOf([&] { ExportRecords(path, *rs, all, control); }), 3167);
}
