#include "DataTestSupport.h"
#include "EngineBackends.h"

#include "cCurrency.h"
#include "mJetErrors.h"

#include <QDateTime>

namespace {

QStringList Row(Recordset& rs)
{
    QStringList values;
    for (const auto& field : *rs.Fields())
        values << field->Value().toString();
    return values;
}

} // namespace

// Table1, one field of each kind, read alike from every genuine Jet 4 and ACE file.
class Kinds : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (HasFatalFailure())
            return;
        db = Backend().Kinds();
        ASSERT_NE(db, nullptr);
    }
    std::shared_ptr<Recordset> Open(const QString& sql) { return db->OpenRecordset(sql); }
    QStringList Column(const QString& sql, int field = 0) { return DatabaseTest::Column(*Open(sql), field); }

    std::shared_ptr<Database> db;
};
INSTANTIATE_KINDS_SUITE(Kinds);

TEST_P(Kinds, EveryValueComesBackAsStored)
{
    auto rs = Open(QStringLiteral("SELECT * FROM Table1 ORDER BY A"));
    ASSERT_EQ(rs->RecordCount(), 2);
    auto value = [&](int i) { return rs->Fields()->Item(i)->Value(); };
    EXPECT_EQ(value(0), QVariant(QStringLiteral("a")));
    EXPECT_EQ(value(1), QVariant(QStringLiteral("b")));
    EXPECT_EQ(value(2).toInt(), 0);
    EXPECT_EQ(value(6).toDateTime(), QDateTime(QDate(1981, 12, 12), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(value(7).value<cCurrency>(), cCurrency::FromUnits(0));
    EXPECT_EQ(value(8), QVariant(false));
    rs->MoveNext();
    EXPECT_EQ(value(0), QVariant(QStringLiteral("abcdefg")));
    EXPECT_EQ(value(1), QVariant(QStringLiteral("hijklmnop")));
    EXPECT_EQ(value(2).toInt(), 2);
    EXPECT_EQ(value(3).toInt(), 222);
    EXPECT_EQ(value(4).toInt(), 333333333);
    EXPECT_EQ(value(5).toDouble(), 444.555) << "the stored double, bit for bit";
    EXPECT_EQ(value(6).toDateTime(), QDateTime(QDate(1974, 9, 21), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(value(7).value<cCurrency>(), cCurrency::FromUnits(35000)) << "money to four places";
    EXPECT_EQ(value(8), QVariant(true));
    EXPECT_EQ(Column(QStringLiteral("SELECT I * 1 AS N FROM Table1 ORDER BY A")),
              (QStringList{QStringLiteral("0"), QStringLiteral("-1")}))
        << "Boolean is -1/0 in arithmetic";
}

TEST_P(Kinds, FieldsKeepTheirOrderTypesAndSizes)
{
    auto fields = db->TableDefs()->Item(QStringLiteral("Table1"))->Fields();
    const QList<std::tuple<const char*, int, int>> expected = {
        {"A", JetType::Text, 50},    {"B", JetType::Text, 100},  {"C", JetType::Byte, 1},
        {"D", JetType::Integer, 2},  {"E", JetType::Long, 4},    {"F", JetType::Double, 8},
        {"G", JetType::Date, 8},     {"H", JetType::Currency, 8}, {"I", JetType::Boolean, 1}};
    ASSERT_EQ(fields->Count(), expected.size());
    for (int i = 0; i < fields->Count(); ++i) {
        const auto& [name, type, size] = expected[i];
        EXPECT_EQ(fields->Item(i)->Name(), QLatin1String(name));
        EXPECT_EQ(fields->Item(i)->Type(), type) << name;
        EXPECT_EQ(fields->Item(i)->Size(), size) << name;
    }
    auto rs = Open(QStringLiteral("SELECT H, A, G FROM Table1"));
    EXPECT_EQ(rs->Fields()->Item(0)->Name(), QStringLiteral("H"));
    EXPECT_EQ(rs->Fields()->Item(0)->Type(), JetType::Currency);
    EXPECT_EQ(rs->Fields()->Item(2)->Type(), JetType::Date);
}

TEST_P(Kinds, MovesPositionsBookmarksAndCounts)
{
    auto rs = Open(QStringLiteral("SELECT * FROM Table1 ORDER BY E DESC"));
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    const QVariant first = rs->Bookmark();
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("a"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), JetError::NoCurrentRecord);
    rs->setBookmark(first);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("abcdefg"));
    rs->setAbsolutePosition(1);
    EXPECT_EQ(Row(*rs).first(), QStringLiteral("a"));
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(ErrorOf([&] { rs->setAbsolutePosition(2); }), JetError::InvalidArgument);
    auto none = Open(QStringLiteral("SELECT * FROM Table1 WHERE E > 333333333"));
    EXPECT_TRUE(none->Bof() && none->Eof());
    EXPECT_EQ(none->RecordCount(), 0);
}

TEST_P(Kinds, JetSqlOfTheCallers)
{
    EXPECT_EQ(Column(QStringLiteral("Select * From Table1 WHERE A LIKE 'ab?d*'")), QStringList{QStringLiteral("abcdefg")});
    EXPECT_EQ(Column(QStringLiteral("SELECT A FROM Table1 WHERE G = #9/21/1974#")), QStringList{QStringLiteral("abcdefg")});
    EXPECT_EQ(Column(QStringLiteral("SELECT A FROM Table1 WHERE I = True")), QStringList{QStringLiteral("abcdefg")});
    EXPECT_EQ(Column(QStringLiteral("SELECT A FROM Table1 WHERE H = 3.5 AND F > 444.5")), QStringList{QStringLiteral("abcdefg")});
    EXPECT_EQ(Column(QStringLiteral("SELECT A & '-' & B AS AB FROM [Table1] ORDER BY A DESC")),
              (QStringList{QStringLiteral("abcdefg-hijklmnop"), QStringLiteral("a-b")}));
    EXPECT_EQ(Column(QStringLiteral("SELECT DISTINCTROW TOP 1 Year(G) FROM Table1 ORDER BY G")), QStringList{QStringLiteral("1974")});
    EXPECT_EQ(Column(QStringLiteral("SELECT Count(*) FROM Table1 WHERE D + E = 333333555")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("SELECT * FROM Nikde")); }), JetError::NoSuchTable);
    EXPECT_EQ(ErrorOf([&] { Open(QStringLiteral("DELETE FROM Table1")); }), JetError::InvalidOperation);
    EXPECT_EQ(Open(QStringLiteral("SELECT * FROM Table1"))->RecordCount(), 2);
}

TEST_P(Kinds, EveryChangeIsRefusedAndTheFileStaysByteForByte)
{
    const QByteArray before = FileDigest(Backend().KindsFile());
    ASSERT_FALSE(before.isEmpty());
    EXPECT_TRUE(db->ReadOnly());
    auto rs = Open(QStringLiteral("SELECT * FROM Table1 ORDER BY A"));
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->setValue(QStringLiteral("x")); }), JetError::ReadOnly);
    auto table = db->TableDefs()->Item(QStringLiteral("Table1"));
    EXPECT_EQ(ErrorOf([&] { table->Fields()->Append(table->CreateField(QStringLiteral("J"), JetType::Long)); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { table->Fields()->Item(QStringLiteral("A"))->setName(QStringLiteral("Z")); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs()->Delete(QStringLiteral("Table1")); }), JetError::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef(QStringLiteral("Q"), QStringLiteral("SELECT * FROM Table1")); }), JetError::ReadOnly);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toString(), QStringLiteral("a"));
    EXPECT_EQ(FileDigest(Backend().KindsFile()), before);
}
