#include "DataTestSupport.h"

#include "cMdbDriver.h"
#include "mJetErrors.h"
#include "mStringTable.h"

#include "../../tools/mJetText.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cmath>
#include <functional>
#include <utility>

namespace {

const QString kNwind = QStringLiteral(QUARNEL_TESTDATA "/nwind.mdb");
const QStringList kUserTables = {
    QStringLiteral("Order Details"), QStringLiteral("Orders"), QStringLiteral("Products"),
    QStringLiteral("Shippers"), QStringLiteral("Categories"), QStringLiteral("Customers"),
    QStringLiteral("Employees"), QStringLiteral("Suppliers"), QStringLiteral("Umsätze")};
const QString kNull = QStringLiteral("\x01");

std::shared_ptr<Database> OpenMdb(const QString& path)
{
    return std::make_shared<Database>(cMdbDriver::Open(path));
}


// Jet 3, Jet 4 and ACE files.
const QStringList kFiles = {QStringLiteral("nwind.mdb"), QStringLiteral("testV2000.mdb"), QStringLiteral("testUnicodeCompV2003.mdb"),
                            QStringLiteral("testV2007.accdb"), QStringLiteral("testV2010.accdb"), QStringLiteral("queryTestV2007.accdb")};

QString TestFile(const QString& name)
{
    return QStringLiteral(QUARNEL_TESTDATA "/") + name;
}

// mdb-export's rows of a table, the header first, each value as it prints it. The
// separators are doubled control characters: a text may hold any single one.
QList<QStringList> Export(const QString& table, const QString& file)
{
    QProcess process;
    const QString format = QStringLiteral("%Y-%m-%d %H:%M:%S");
    process.start(QStringLiteral("mdb-export"),
                  {QStringLiteral("-d"), QStringLiteral("\x1f\x1f"), QStringLiteral("-R"), QStringLiteral("\x1e\x1e"),
                   QStringLiteral("-Q"), QStringLiteral("-0"), kNull, QStringLiteral("-b"), QStringLiteral("hex"),
                   QStringLiteral("-D"), format, QStringLiteral("-T"), format, file, table});
    EXPECT_TRUE(process.waitForFinished(30000));
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QStringLiteral("\x1e\x1e"), Qt::SkipEmptyParts))
        rows << line.split(QStringLiteral("\x1f\x1f"));
    return rows;
}

// A value printed as mdb-export prints it.
QString Printed(const QVariant& value, int type)
{
    if (!value.isValid())
        return kNull;
    switch (type) {
    case JetType::Boolean: return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long: return QString::number(value.toLongLong());
    case JetType::Currency: {
        const qint64 units = value.value<cCurrency>().Units();
        return QString::asprintf("%s%lld.%04lld", units < 0 ? "-" : "", std::llabs(units) / 10000, std::llabs(units) % 10000);
    }
    case JetType::Single: return QString::asprintf("%.8g", double(value.toFloat()));
    case JetType::Double: return QString::asprintf("%.16g", value.toDouble());
    case JetType::Date: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case JetType::Binary:
    case JetType::LongBinary: return QString::fromLatin1(value.toByteArray().toHex().toUpper());
    default: return value.toString();
    }
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Frames as the helper writes them, for kinds of field no test file holds.
class cFrames {
public:
    void U32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        m_payload.append(bytes, 4);
    }
    void Value(const QByteArray& bytes) { U32(quint32(bytes.size())), m_payload += bytes; }
    void Text(const QString& text) { Value(text.toUtf8()); }
    void Null() { U32(0xFFFFFFFFu); }
    void Double(double value) { Value(QByteArray(reinterpret_cast<const char*>(&value), 8)); }
    void Long(qint32 value)
    {
        const qint32 bytes = qToLittleEndian(value);
        Value(QByteArray(reinterpret_cast<const char*>(&bytes), 4));
    }
    void End(char tag)
    {
        const QByteArray payload = std::exchange(m_payload, {});
        U32(quint32(payload.size()));
        m_all += tag + std::exchange(m_payload, {}) + payload;
    }
    // A table: its object, columns (name, libmdb type, size, calculated) and no indexes.
    void Table(quint32 index, const QString& name, const QList<std::tuple<QString, int, int, bool>>& columns)
    {
        U32(index), U32(1), U32(0), Text(name), End('O');
        U32(quint32(columns.size()));
        for (const auto& [column, type, size, calculated] : columns) {
            Text(column), U32(quint32(type)), U32(quint32(size));
            m_payload += char(2), m_payload += char(2);
            Text(QString());
            m_payload += char(calculated ? 1 : 0);
        }
        End('C'), U32(0), End('I');
    }
    QByteArray Bytes() const { return m_all; }

private:
    QByteArray m_payload, m_all;
};

} // namespace

class MdbDriver : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        ASSERT_TRUE(QFile::exists(kNwind));
    }
};

// Every user table of every file, mdb-export's reading and ours alike, read forwards,
// backwards and by bookmark; nothing written to any of them.
TEST_F(MdbDriver, EveryValueOfEveryFileIsWhatMdbExportReads)
{
    for (const QString& file : kFiles) {
        const QByteArray before = FileDigest(TestFile(file));
        auto db = OpenMdb(TestFile(file));
        int tables = 0;
        for (const auto& table : *db->TableDefs()) {
            if (table->Attributes() != 0)
                continue;
            ++tables;
            SCOPED_TRACE((file + u' ' + table->Name()).toStdString());
            const QList<QStringList> expected = Export(table->Name(), TestFile(file));
            ASSERT_FALSE(expected.isEmpty());
            auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(table->Name()));
            QStringList header;
            for (const auto& field : *rs->Fields())
                header << field->Name();
            EXPECT_EQ(header, expected[0]);
            ASSERT_EQ(rs->RecordCount(), expected.size() - 1);
            qint64 row = 1;
            for (; !rs->Eof(); rs->MoveNext(), ++row) {
                for (int i = 0; i < rs->Fields()->Count(); ++i) {
                    const auto field = rs->Fields()->Item(i);
                    ASSERT_EQ(Printed(field->Value(), field->Type()), expected[row].value(i)) << "row " << row << " field " << i;
                }
            }
            EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), JetError::ReadOnly);
            if (rs->RecordCount() == 0)
                continue;
            auto first = [&] { return Printed(rs->Fields()->Item(0)->Value(), rs->Fields()->Item(0)->Type()); };
            rs->MoveFirst();
            const QVariant mark = rs->Bookmark();
            EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), JetError::ReadOnly);
            for (rs->MoveLast(), row = expected.size() - 1; !rs->Bof(); rs->MovePrevious(), --row)
                ASSERT_EQ(first(), expected[row].value(0)) << "backwards, row " << row;
            EXPECT_EQ(row, 0);
            rs->setBookmark(mark);
            EXPECT_EQ(first(), expected[1].value(0));
        }
        EXPECT_GE(tables, 1) << file.toStdString();
        db->Close();
        EXPECT_EQ(FileDigest(TestFile(file)), before) << file.toStdString();
    }
}

// Jet 4's compressed text: runs of one byte a character, switched by a zero byte to runs
// of two. The file holds eight rows.
TEST_F(MdbDriver, CompressedUnicodeTextReadsExactly)
{
    QString everyByte;
    for (char16_t c = 1; c <= 255; ++c)
        everyByte += QChar(c);
    const QStringList expected = {
        QStringLiteral("only ascii chars"), QStringLiteral("ääkkösiä"), QStringLiteral("Мир"),
        QStringLiteral("ϰαὶ τ\u1F79τ' ἐγὼ Κ\u1F7Bϰλωπα"), QStringLiteral("漢字仮名交じり文"),
        QStringLiteral("3L9\x1d" "52\x02_AB(¥\x05!!V"), QStringLiteral("ümlaut"), everyByte};
    auto db = OpenMdb(TestFile(QStringLiteral("testUnicodeCompV2003.mdb")));
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [Table] ORDER BY ID"));
    QStringList read;
    for (; !rs->Eof(); rs->MoveNext()) {
        EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), read.size() + 1);
        read << rs->Fields()->Item(1)->Value().toString();
    }
    EXPECT_EQ(read, expected);
    EXPECT_EQ(db->TableDefs()->Item(QStringLiteral("Table"))->Fields()->Item(1)->Size(), 255);
}

// Jet 4 text the helper decodes itself: damaged bytes cost a character, never the value.
TEST(JetText, DamageStaysSmall)
{
    auto decode = [](const QByteArray& bytes) {
        return QString::fromStdString(JetTextToUtf8(reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size())));
    };
    EXPECT_EQ(decode(QByteArray::fromHex("fffe6162")), QStringLiteral("ab"));
    EXPECT_EQ(decode(QByteArray::fromHex("3dd84100")), QStringLiteral("\uFFFDA")) << "half a pair";
    EXPECT_EQ(decode(QByteArray::fromHex("fffe61003d")), QStringLiteral("a")) << "half a character at the end";
    EXPECT_EQ(decode(QByteArray::fromHex("410042")), QStringLiteral("A")) << "odd length";
    EXPECT_EQ(decode(QByteArray()), QString());
}

// libmdb turns a character outside the BMP into "?". Copies of genuine files whose texts
// are made to hold a pair of surrogates: in A compressed ("abcdefg" becomes a switch to
// two bytes, the pair, a switch back and "g"), in B plain UTF-16LE ("hi" becomes the pair).
TEST_F(MdbDriver, CharactersOutsideTheBmpInAGenuineFileComeThroughWhole)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x81");
    for (const QString& name : {QStringLiteral("testV2000.mdb"), QStringLiteral("testV2010.accdb")}) {
        SCOPED_TRACE(name.toStdString());
        QByteArray bytes = Read(TestFile(name));
        auto patch = [&](const QByteArray& from, const QByteArray& to) {
            ASSERT_EQ(bytes.count(from), 1);
            bytes.replace(bytes.indexOf(from), to.size(), to);
        };
        patch(QByteArray::fromHex("fffe61626364656667"), QByteArray::fromHex("fffe003dd801de0067"));
        patch(QByteArray::fromHex("680069006a006b006c006d006e006f007000"), QByteArray::fromHex("3dd801de"));
        ASSERT_TRUE(Write(PathOf(name), bytes));
        auto rs = OpenMdb(PathOf(name))->OpenRecordset(QStringLiteral("SELECT A, B FROM Table1 WHERE E = 333333333"));
        ASSERT_EQ(rs->RecordCount(), 1);
        EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), smile + u'g');
        EXPECT_EQ(rs->Fields()->Item(1)->Value().toString(), smile + QStringLiteral("jklmnop"));
    }
}

// A helper that only replays frames stands for one reading a file of ACE 2010 and later:
// attachments, fields of several values, calculated fields, the extended date, a kind not
// known yet, dates at and beyond Jet's edges, and names no genuine file holds.
TEST_F(MdbDriver, KindsLibmdbCannotReadAreNamedAndDatesAndOddNamesAreNeverWrong)
{
    cFrames f;
    f.U32(1), f.U32(0x0405), f.U32(1250), f.U32(64), f.End('H');
    f.Table(0, QStringLiteral("MSysObjects"), {{QStringLiteral("Id"), 4, 4, false}, {QStringLiteral("Name"), 10, 510, false},
                                                {QStringLiteral("Type"), 3, 2, false}, {QStringLiteral("Flags"), 4, 4, false}});
    f.Table(1, QStringLiteral("MSysComplexColumns"),
            {{QStringLiteral("ColumnName"), 10, 510, false}, {QStringLiteral("ComplexTypeObjectID"), 4, 4, false},
             {QStringLiteral("ConceptualTableID"), 4, 4, false}});
    f.Table(2, QStringLiteral("Věci"), {{QStringLiteral("Příloha"), 18, 4, false}, {QStringLiteral("Hodnoty"), 18, 4, false},
                                         {QStringLiteral("Vzorec"), 4, 4, true}, {QStringLiteral("Kdy"), 8, 8, false},
                                         {QStringLiteral("Nový"), 20, 42, false}, {QStringLiteral("Jiný"), 99, 0, false}});
    // Access itself allows no "]" in a name; a damaged or foreign file may hold one all the same.
    f.Table(3, QStringLiteral("Sklad ]2[ kopie"), {{QStringLiteral("Kusů]"), 4, 4, false}});
    f.End('E');
    const QList<std::tuple<qint32, QString, qint32>> objects = {
        {1, QStringLiteral("MSysObjects"), qint32(0x80000002u)}, {2, QStringLiteral("MSysComplexColumns"), qint32(0x80000002u)},
        {3, QStringLiteral("Věci"), 0}, {10, QStringLiteral("MSysComplexType_Attachment"), qint32(0x80000002u)},
        {11, QStringLiteral("MSysComplexType_Long"), qint32(0x80000002u)}, {4, QStringLiteral("Sklad ]2[ kopie"), 0}};
    for (const auto& [id, name, flags] : objects)
        f.Long(id), f.Text(name), f.Value(QByteArray("\x01\x00", 2)), f.Long(flags), f.End('R');
    f.U32(6), f.End('Z');
    f.Value(QByteArray("Příloha")), f.Long(10), f.Long(3), f.End('R');
    f.Value(QByteArray("Hodnoty")), f.Long(11), f.Long(3), f.End('R');
    f.U32(2), f.End('Z');
    const double dates[] = {1e7, -1.25, 0.5, 2958465.9999999, -657434.0, -1.9999999, std::nan("")};
    for (double date : dates) {
        if (date == dates[0])
            f.Long(1), f.Long(2), f.Long(7), f.Double(date), f.Value(QByteArray(42, '7')), f.Value("xyz");
        else
            f.Null(), f.Null(), f.Null(), f.Double(date), f.Null(), f.Null();
        f.End('R');
    }
    f.U32(7), f.End('Z');
    f.Long(5), f.End('R'), f.U32(1), f.End('Z');

    // The replaying helper keeps its input open, as the helper does, until the engine lets it go.
    const QString frames = PathOf(QStringLiteral("replayed.frames")), replay = PathOf(QStringLiteral("replay"));
    ASSERT_TRUE(Write(frames, f.Bytes()) && Write(replay, "#!/bin/sh\ncat \"$1\"\nexec cat >/dev/null\n"));
    QFile::setPermissions(replay, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray reader = qgetenv("QUARNEL_MDB_READER");
    qputenv("QUARNEL_MDB_READER", replay.toLocal8Bit());
    std::shared_ptr<Database> db;
    const int error = ErrorOf([&] { db = OpenMdb(frames); });
    qputenv("QUARNEL_MDB_READER", reader);
    ASSERT_EQ(error, 0);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Věci"));

    auto fields = db->TableDefs()->Item(QStringLiteral("Věci"))->Fields();
    EXPECT_EQ(fields->Item(0)->Type(), JetType::Text);
    EXPECT_EQ(fields->Item(2)->Type(), JetType::Text) << "a calculated field shows no stored bytes";
    EXPECT_EQ(fields->Item(3)->Type(), JetType::Date);
    EXPECT_EQ(fields->Item(4)->Type(), JetType::Date);
    EXPECT_EQ(fields->Item(5)->Type(), JetType::Text);
    QStringList first;
    for (const auto& field : *rs->Fields())
        first << field->Value().toString();
    EXPECT_EQ(first, (QStringList{LoadString(10720), LoadString(10721), LoadString(10722), LoadString(10723), LoadString(10723),
                                  LoadString(10724)}));
    EXPECT_EQ(first.value(0), QStringLiteral("(příloha)")) << "a text the user hears, not a silent one";
    rs->MoveNext();
    EXPECT_FALSE(rs->Fields()->Item(0)->Value().isValid()) << "Null stays Null";
    QList<QVariant> read;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        read << rs->Fields()->Item(3)->Value();
    auto at = [](int y, int m, int d, int h = 0, int n = 0, int s = 0) {
        return QVariant(QDateTime(QDate(y, m, d), QTime(h, n, s), Qt::UTC));
    };
    EXPECT_EQ(read, (QList<QVariant>{LoadString(10723), at(1899, 12, 29, 6), at(1899, 12, 30, 12), at(9999, 12, 31, 23, 59, 59),
                                     at(100, 1, 1), at(1899, 12, 30), LoadString(10723)}));

    auto bracket = db->OpenRecordset(QStringLiteral("SELECT [Kusů]]] FROM [Sklad ]]2[ kopie]"));
    ASSERT_EQ(bracket->RecordCount(), 1);
    EXPECT_EQ(bracket->Fields()->Item(0)->Name(), QStringLiteral("Kusů]"));
    EXPECT_EQ(bracket->Fields()->Item(0)->Value().toInt(), 5);
}

// The export comparison sees values as printed; these see their kinds, which printing
// can hide (an Integer prints as a Long, a number -1 as a Boolean).
TEST_F(MdbDriver, TablesComeInDefinitionOrderAndFieldsAndValuesKeepTheirKinds)
{
    auto db = OpenMdb(kNwind);
    QStringList user;
    int system = 0;
    for (const auto& table : *db->TableDefs()) {
        if (table->Name().startsWith(QLatin1String("MSys"))) {
            EXPECT_EQ(table->Attributes() & qint32(0x80000002u), qint32(0x80000002u)) << table->Name().toStdString();
            ++system;
        } else {
            EXPECT_EQ(table->Attributes(), 0) << table->Name().toStdString();
            user << table->Name();
        }
    }
    EXPECT_EQ(user, kUserTables);
    EXPECT_GE(system, 5);

    const struct {
        const char* table;
        const char* field;
        int type;
    } kinds[] = {
        {"Customers", "CustomerID", JetType::Text}, {"Employees", "EmployeeID", JetType::Long},
        {"Employees", "BirthDate", JetType::Date}, {"Employees", "Photo", JetType::LongBinary},
        {"Employees", "Notes", JetType::Memo}, {"Order Details", "UnitPrice", JetType::Currency},
        {"Order Details", "Quantity", JetType::Integer}, {"Order Details", "Discount", JetType::Single},
        {"Products", "Discontinued", JetType::Boolean},
    };
    for (const auto& k : kinds)
        EXPECT_EQ(db->TableDefs()->Item(QLatin1String(k.table))->Fields()->Item(QLatin1String(k.field))->Type(), k.type) << k.field;
    auto customers = db->TableDefs()->Item(QStringLiteral("Customers"))->Fields();
    EXPECT_EQ(customers->Item(0)->Size(), 5);
    EXPECT_TRUE(customers->Item(QStringLiteral("CompanyName"))->Required());
    EXPECT_FALSE(customers->Item(QStringLiteral("Region"))->Required());
    EXPECT_FALSE(db->TableDefs()->Item(QStringLiteral("Employees"))->Fields()->Item(QStringLiteral("LastName"))->AllowZeroLength());

    auto orders = db->OpenRecordset(QStringLiteral("SELECT Freight, OrderDate FROM Orders WHERE OrderID = 10331"));
    EXPECT_EQ(orders->Fields()->Item(0)->Value().value<cCurrency>(), cCurrency::FromUnits(101900));
    EXPECT_EQ(orders->Fields()->Item(1)->Value().toDateTime(), QDateTime(QDate(1994, 11, 16), QTime(0, 0), Qt::UTC));
    auto products = db->OpenRecordset(QStringLiteral("SELECT Discontinued FROM Products WHERE Discontinued = True"));
    EXPECT_EQ(products->RecordCount(), 8);
    EXPECT_EQ(products->Fields()->Item(0)->Value(), QVariant(true));
}

// Each stored query of the file runs on the copy, but for three that need values: two
// declare PARAMETERS, one reads a field of an open form ([Forms]![Orders]![OrderID]).
TEST_F(MdbDriver, StoredQueriesAreListedAndRunOnTheCopyOrFailForAKnownReason)
{
    auto driver = cMdbDriver::Open(kNwind);
    Database db(driver);
    QStringList failing;
    int ran = 0;
    for (const auto& query : *db.QueryDefs()) {
        try {
            db.OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(query->Name()))->RecordCount();
            ++ran;
        } catch (const cRuntimeError& e) {
            failing << QStringLiteral("%1 (%2)").arg(query->Name()).arg(e.Number());
            EXPECT_TRUE(query->Name() != QLatin1String("Employee Sales by Country") ||
                        e.Description().contains(QLatin1String("Beginning Date"))) << "the parameter it lacks";
        }
    }
    EXPECT_EQ(failing, (QStringList{QStringLiteral("Employee Sales by Country (3061)"), QStringLiteral("Invoices Filter (3061)"),
                                    QStringLiteral("Sales by Year (3061)")}));
    EXPECT_EQ(ran, 19);
    auto queries = db.QueryDefs();
    auto current = queries->Item(QStringLiteral("Current Product List"));
    EXPECT_TRUE(current->SQL().contains(QLatin1String("FROM [Products] AS [Product List]"))) << current->SQL().toStdString();
    EXPECT_TRUE(current->SQL().contains(QLatin1String("ORDER BY [Product List].ProductName")));
    EXPECT_TRUE(queries->Item(QStringLiteral("Ten Most Expensive Products"))->SQL().startsWith(QLatin1String("SELECT DISTINCTROW TOP 10 ")));
    EXPECT_TRUE(queries->Item(QStringLiteral("Customers and Suppliers by City"))->SQL().contains(QLatin1String("UNION")));

    EXPECT_EQ(db.OpenRecordset(QStringLiteral("SELECT * FROM [Current Product List]"))->RecordCount(), 69);
    auto byText = db.OpenRecordset(current->SQL());
    EXPECT_EQ(byText->RecordCount(), 69);
    EXPECT_EQ(byText->Fields()->Item(1)->Value().toString(), QStringLiteral("Aniseed Syrup")) << "Alice Mutton is discontinued";

    auto big = db.OpenRecordset(QStringLiteral("SELECT * FROM [Order Details] WHERE Quantity > 100"));
    int expected = 0;
    for (const QStringList& row : Export(QStringLiteral("Order Details"), kNwind).mid(1))
        expected += row.value(3).toInt() > 100;
    EXPECT_EQ(big->RecordCount(), expected);
    const int copied = driver->CopiedTables();
    EXPECT_EQ(db.OpenRecordset(QStringLiteral("SELECT Count(*) FROM [Order Details]"))->Fields()->Item(0)->Value(), 2155);
    EXPECT_EQ(driver->CopiedTables(), copied) << "a table is copied once";
}

TEST_F(MdbDriver, EveryChangeIsRefusedAndTheFileStaysAsItWas)
{
    const QByteArray before = FileDigest(kNwind);
    auto db = OpenMdb(kNwind);
    EXPECT_TRUE(db->ReadOnly());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Customers"));
    EXPECT_FALSE(rs->Updatable());
    auto table = db->CreateTableDef(QStringLiteral("Nová"));
    table->Fields()->Append(table->CreateField(QStringLiteral("Pole"), JetType::Text, 10));
    auto shippers = db->TableDefs()->Item(QStringLiteral("Shippers"));
    auto catalog = db->QueryDefs()->Item(QStringLiteral("Catalog"));
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"AddNew", [&] { rs->AddNew(); }}, {"Edit", [&] { rs->Edit(); }}, {"Delete", [&] { rs->Delete(); }},
        {"a value", [&] { rs->Fields()->Item(0)->setValue(QStringLiteral("X")); }},
        {"a new table", [&] { db->TableDefs()->Append(table); }},
        {"a dropped table", [&] { db->TableDefs()->Delete(QStringLiteral("Shippers")); }},
        {"a new field", [&] { shippers->Fields()->Append(shippers->CreateField(QStringLiteral("X"), JetType::Long)); }},
        {"a dropped field", [&] { shippers->Fields()->Delete(QStringLiteral("Phone")); }},
        {"a renamed field", [&] { shippers->Fields()->Item(QStringLiteral("Phone"))->setName(QStringLiteral("Tel")); }},
        {"a new query", [&] { db->CreateQueryDef(QStringLiteral("Q"), QStringLiteral("SELECT * FROM Shippers")); }},
        {"a query's text", [&] { catalog->setSQL(QStringLiteral("SELECT 1")); }},
        {"a renamed query", [&] { catalog->setName(QStringLiteral("Jiný")); }},
        {"a dropped query", [&] { db->QueryDefs()->Delete(QStringLiteral("Catalog")); }},
    };
    for (const auto& [what, change] : changes)
        EXPECT_EQ(ErrorOf(change), JetError::ReadOnly) << what;
    try {
        rs->AddNew();
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Description(), JetErrorDescription(JetError::ReadOnly));
    }
    db->Close();
    EXPECT_EQ(ErrorOf([&] { db->TableDefs(); }), JetError::ObjectClosed);
    EXPECT_EQ(FileDigest(kNwind), before);
}

TEST_F(MdbDriver, NotAnAccessFileBehindTheSignatureGives3343)
{
    QByteArray bytes(4096, '\0');
    bytes.replace(4, 15, "Standard Jet DB");
    ASSERT_TRUE(Write(PathOf(QStringLiteral("fake.mdb")), bytes));
    EXPECT_TRUE(cMdbDriver::HasSignature(bytes.left(100)));
    EXPECT_FALSE(cMdbDriver::HasSignature(QByteArray("SQLite format 3")));
    EXPECT_EQ(ErrorOf([&] { OpenMdb(PathOf(QStringLiteral("fake.mdb"))); }), JetError::NotADatabase);
}

// Mutated and truncated copies: each opens or gives 3343, never a crash or a hang. Two
// workers, each with copies of its own, keep it within a minute under the sanitizers.
TEST_F(MdbDriver, DamagedCopiesOpenOrGiveNotADatabase)
{
    const QByteArray original = Read(kNwind);
    cMdbDriver::SetHelperTimeout(3000);
    constexpr int kCases = 300;
    constexpr int kPageSize = 2048; // Jet 3
    const int pages = int(original.size() / kPageSize);
    std::atomic<int> opened = 0, refused = 0;
    QElapsedTimer clock;
    clock.start();
    auto work = [&](int worker) {
        const QString path = PathOf(QStringLiteral("damaged%1.mdb").arg(worker));
        for (int i = worker; i < kCases; i += 2) {
            QRandomGenerator random(quint32(20261206 + i));
            QByteArray bytes = original;
            if (i % 6 == 5) {
                bytes.truncate(random.bounded(qint64(original.size())));
            } else {
                // Most damage where the structures are: the header, the catalogue, table definitions.
                const int page = i % 3 == 0 ? random.bounded(0, 16) : random.bounded(0, pages);
                const int flips = 1 + random.bounded(12);
                for (int f = 0; f < flips; ++f)
                    bytes[qsizetype(page) * kPageSize + random.bounded(kPageSize)] = char(random.bounded(256));
            }
            if (!Write(path, bytes)) {
                ADD_FAILURE() << "cannot write " << path.toStdString();
                return;
            }
            try {
                auto db = OpenMdb(path);
                ++opened;
                for (const auto& table : *db->TableDefs()) {
                    if (table->Attributes() != 0 || table->Name().contains(u']'))
                        continue;
                    try {
                        db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(table->Name()))->RecordCount();
                    } catch (const cRuntimeError&) {
                        // a damaged table or a name SQL cannot take: an error, not a crash
                    }
                }
                db->QueryDefs();
            } catch (const cRuntimeError& e) {
                if (e.Number() != JetError::NotADatabase)
                    ADD_FAILURE() << "case " << i << ": " << e.Number() << " " << e.Description().toStdString();
                ++refused;
            }
        }
    };
    std::unique_ptr<QThread> second(QThread::create(work, 1));
    second->start();
    work(0);
    second->wait();
    cMdbDriver::SetHelperTimeout(10000);
    std::printf("[          ] %d damaged copies: %d opened, %d refused with 3343, %lld ms\n", kCases, int(opened),
                int(refused), qint64(clock.elapsed()));
    EXPECT_EQ(opened + refused, kCases);
}

// One stored query of each kind Access 2007 makes: each is listed with its text; those
// that would change data never run, and the file stays as it was.
TEST_F(MdbDriver, StoredQueriesOfEveryKindAreListedAndOnlyReadingOnesRun)
{
    const QString file = TestFile(QStringLiteral("queryTestV2007.accdb"));
    const QByteArray before = FileDigest(file);
    auto db = OpenMdb(file);
    QStringList names;
    for (const auto& query : *db->QueryDefs())
        names << query->Name();
    EXPECT_EQ(names, (QStringList{QStringLiteral("AppendQuery"), QStringLiteral("CrosstabQuery"), QStringLiteral("DataDefinitionQuery"),
                                  QStringLiteral("DeleteQuery"), QStringLiteral("MakeTableQuery"), QStringLiteral("PassthroughQuery"),
                                  QStringLiteral("SelectQuery"), QStringLiteral("UnionQuery"), QStringLiteral("UpdateQuery")}));
    auto sql = [&](const char* name) { return db->QueryDefs()->Item(QString::fromLatin1(name))->SQL(); };
    EXPECT_TRUE(sql("CrosstabQuery").startsWith(QLatin1String("TRANSFORM Count([Table2].[col2]) AS [CountOfcol2]\nSELECT Table2_1.col1, ")))
        << sql("CrosstabQuery").toStdString();
    EXPECT_TRUE(sql("CrosstabQuery").endsWith(QLatin1String("\nPIVOT [Table1].[col1]")));
    EXPECT_TRUE(sql("UpdateQuery").contains(QLatin1String("SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3]")))
        << sql("UpdateQuery").toStdString();
    EXPECT_EQ(sql("PassthroughQuery"), QStringLiteral("ALTER TABLE Table4 DROP COLUMN col5;"));
    EXPECT_EQ(sql("DataDefinitionQuery"), QStringLiteral("CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"));

    auto selected = db->OpenRecordset(QStringLiteral("SELECT * FROM [SelectQuery]"));
    EXPECT_EQ(selected->Fields()->Count(), 6);
    EXPECT_EQ(selected->RecordCount(), 0);
    for (const char* action : {"AppendQuery", "DataDefinitionQuery", "DeleteQuery", "MakeTableQuery", "UpdateQuery"}) {
        EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(QLatin1String(action))); }),
                  JetError::InvalidOperation) << action;
        EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(sql(action)); }), JetError::InvalidOperation) << action;
    }
    // Meant for a server the file only names.
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM PassthroughQuery")); }), JetError::InvalidOperation);
    // Its parts name no table, so Jet, too, takes their fields for parameters.
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM UnionQuery")); }), JetError::TooFewParameters);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset(QStringLiteral("SELECT * FROM CrosstabQuery")); }), 3096)
        << "an aggregate in its WHERE";
    EXPECT_EQ(ErrorOf([&] { db->QueryDefs()->Delete(QStringLiteral("DeleteQuery")); }), JetError::ReadOnly);
    EXPECT_EQ(db->QueryDefs()->Count(), 9);
    for (const char* made : {"Table4", "Table5"})
        EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Item(QLatin1String(made)); }), JetError::ItemNotFound) << made;
    db->Close();
    EXPECT_EQ(FileDigest(file), before);
}

// Northwind's crosstab: one row per product, customer and year of 1995, one column per
// quarter its In list names, each the sum for that quarter alone.
TEST_F(MdbDriver, ACrosstabSpreadsItsValueOverThePivotsColumns)
{
    auto db = OpenMdb(kNwind);
    const QString name = QStringLiteral("Quarterly Orders by Product");
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(name));
    QStringList columns;
    for (const auto& field : *rs->Fields())
        columns << field->Name();
    EXPECT_EQ(columns, (QStringList{QStringLiteral("ProductName"), QStringLiteral("CustomerID"), QStringLiteral("OrderYear"),
                                    QStringLiteral("Qtr 1"), QStringLiteral("Qtr 2"), QStringLiteral("Qtr 3"), QStringLiteral("Qtr 4")}));
    auto grouped = db->OpenRecordset(QStringLiteral(
        "SELECT DISTINCT ProductID, CustomerID FROM Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID "
        "WHERE OrderDate Between #1/1/95# And #12/31/95#"));
    EXPECT_EQ(rs->RecordCount(), grouped->RecordCount());
    auto quarter = [&](int q) {
        auto sum = db->OpenRecordset(QStringLiteral(
            "SELECT Sum(CCur([Order Details].UnitPrice*Quantity*(1-Discount)/100)*100) FROM Products INNER JOIN (Orders INNER JOIN "
            "[Order Details] ON Orders.OrderID = [Order Details].OrderID) ON Products.ProductID = [Order Details].ProductID "
            "WHERE ProductName = 'Alice Mutton' AND CustomerID = 'ANTON' AND Year(OrderDate) = 1995 AND DatePart('q', OrderDate) = %1")
                                         .arg(q));
        return sum->Fields()->Item(0)->Value();
    };
    ASSERT_EQ(rs->Fields()->Item(1)->Value().toString(), QStringLiteral("ANTON")) << "Alice Mutton's first customer";
    for (int q = 1; q <= 4; ++q)
        EXPECT_EQ(rs->Fields()->Item(2 + q)->Value(), quarter(q)) << "quarter " << q;
    EXPECT_TRUE(rs->Fields()->Item(5)->Value().isValid());

    auto byText = db->OpenRecordset(db->QueryDefs()->Item(name)->SQL());
    EXPECT_EQ(byText->RecordCount(), rs->RecordCount()) << "its own text opens it too";

    // A cell no row falls into is Null whatever the total, Count included; an expression
    // around the total sees that Null. ALFKI shipped 4, 1 and 1 orders by the three
    // shippers, CENTC one by the third.
    auto driver = cMdbDriver::Open(kNwind);
    cMdbDriver::Crosstab crosstab;
    crosstab.Headings = {QStringLiteral("CustomerID")};
    crosstab.From = QStringLiteral("Orders");
    crosstab.Where = QStringLiteral("CustomerID In ('ALFKI', 'CENTC')");
    crosstab.GroupBy = crosstab.OrderBy = QStringLiteral("CustomerID");
    crosstab.Pivot = QStringLiteral("ShipVia In (1, 2, 3)");
    auto cells = [&](const QString& value) {
        crosstab.Value = value;
        auto spread = db->OpenRecordset(driver->CrosstabSelect(crosstab));
        QStringList all;
        for (; !spread->Eof(); spread->MoveNext()) {
            for (int i = 1; i <= 3; ++i) {
                const QVariant cell = spread->Fields()->Item(i)->Value();
                all << (cell.isValid() ? cell.toString() : QStringLiteral("Null"));
            }
        }
        return all.join(u' ');
    };
    EXPECT_EQ(cells(QStringLiteral("Count(*)")), QStringLiteral("4 1 1 Null Null 1"));
    EXPECT_EQ(cells(QStringLiteral("Nz(Count([OrderID]), 0) * 10")), QStringLiteral("40 10 10 0 0 10"));
    EXPECT_EQ(cells(QStringLiteral("Max(OrderID) - Min(OrderID)")), QStringLiteral("368 0 0 Null Null 0"));
    EXPECT_TRUE(driver->CrosstabSelect((crosstab.Value = QStringLiteral("First(OrderID)"), crosstab)).isEmpty())
        << "the first row of a cell is not the first of its group";
    try {
        db->OpenRecordset(QStringLiteral("TRANSFORM Count(*) SELECT CustomerID FROM Orders GROUP BY CustomerID PIVOT ShipVia"));
        ADD_FAILURE() << "a crosstab text of no stored query ran";
    } catch (const cRuntimeError& e) {
        EXPECT_EQ(e.Number(), JetError::InvalidOperation);
        EXPECT_EQ(e.Description(), LoadString(10727));
    }
}
