#include "DataTestSupport.h"

#include "mMdbQueries.h"

namespace {

// The rows Access keeps in MSysQueries for a crosstab that counts each customer's orders by
// region, with no In list: its columns are whatever regions the rows hold.
QList<MdbQueryRow> CrosstabRows()
{
    return {
        {1, kMdbQueryCrosstab, QString(), QString(), QString()},
        {3, 0, QString(), QString(), QString()},
        {5, 0, QStringLiteral("Orders"), QString(), QString()},
        {6, 2, QString(), QString(), QStringLiteral("CustomerID")},
        {6, 0, QStringLiteral("Total"), QString(), QStringLiteral("Count(*)")},
        {6, 1, QString(), QString(), QStringLiteral("Region")},
        {8, 0, QString(), QString(), QStringLiteral("CustomerID <> 'X'")},
        {9, 0, QString(), QString(), QStringLiteral("CustomerID")},
        {9, 1, QString(), QString(), QStringLiteral("Region")},
        {11, 0, QString(), QString(), QStringLiteral("CustomerID")},
    };
}

using DistinctValues = QList<QVariant>;

// Gives the values as the copy would, and notes what was asked and how many were taken.
MdbPivotValues Feed(const DistinctValues& values, QString& asked, int& taken)
{
    return [&asked, &taken, values](const QString& jetSql, const std::function<bool(const QVariant&)>& onValue) {
        asked = jetSql;
        for (const QVariant& value : values) {
            ++taken;
            if (!onValue(value))
                return;
        }
    };
}

class MdbQueries : public DatabaseTest {};

} // namespace

// A crosstab's rows give back its text, and its parts leave the pivot out of the grouping:
// grouped by it too, every cell would be a row of its own.
TEST(MdbQueriesText, ACrosstabIsRebuiltFromItsRowsWithThePivotGroupedApart)
{
    const MdbStoredQuery query = RebuildMdbQuery(CrosstabRows());
    EXPECT_EQ(query.Type, kMdbQueryCrosstab);
    EXPECT_EQ(query.Sql, QStringLiteral("TRANSFORM Count(*) AS [Total]\nSELECT CustomerID\nFROM [Orders]\n"
                                        "WHERE CustomerID <> 'X'\nGROUP BY CustomerID\nORDER BY CustomerID\nPIVOT Region"));
    EXPECT_EQ(query.Crosstab.Value, QStringLiteral("Count(*)"));
    EXPECT_EQ(query.Crosstab.Pivot, QStringLiteral("Region"));
    EXPECT_EQ(query.Crosstab.Headings, QStringList{QStringLiteral("CustomerID")});
    EXPECT_EQ(query.Crosstab.GroupBy, QStringLiteral("CustomerID"));
    EXPECT_TRUE(query.TotalsInWhere.isEmpty());

    QList<MdbQueryRow> totalling = CrosstabRows();
    totalling[6].Expression = QStringLiteral("Sum(Amount) > 1");
    EXPECT_EQ(RebuildMdbQuery(totalling).TotalsInWhere, QStringLiteral("Sum(Amount) > 1"));
    totalling[6].Expression = QStringLiteral("Note = \"Sum(Amount)\"");
    EXPECT_TRUE(RebuildMdbQuery(totalling).TotalsInWhere.isEmpty()) << "a total in a text is only text";
    totalling[6].Expression = QStringLiteral("Selected > 0 AND Sum(Amount) > 1");
    EXPECT_FALSE(RebuildMdbQuery(totalling).TotalsInWhere.isEmpty()) << "a field's name is no subquery";
    totalling[6].Expression = QStringLiteral("Amount > (SELECT Sum(Amount) FROM Orders)");
    EXPECT_TRUE(RebuildMdbQuery(totalling).TotalsInWhere.isEmpty()) << "a subquery may total";
}

// Without an In list the pivot's values as the copy holds them name the columns: Null as
// "<>", numbers as Jet writes them, a text with quotes in it matched as itself. The spread
// SELECT runs on a file another program made and counts each cell alone.
TEST_F(MdbQueries, ACrosstabWithoutAnInListTakesItsColumnsFromThePivotsValues)
{
    const QString path = PathOf(QStringLiteral("regiony.db"));
    RawExec(path, "PRAGMA journal_mode = WAL;"
                  "CREATE TABLE Orders (CustomerID TEXT, Region);"
                  "INSERT INTO Orders VALUES ('A', NULL), ('A', 7), ('A', 7), ('B', 2.5), ('B', 'O''Hara \"Q\"'),"
                  " ('X', 7);");
    const MdbCrosstab crosstab = RebuildMdbQuery(CrosstabRows()).Crosstab;
    QString asked;
    int taken = 0;
    const DistinctValues values = {QVariant(), QVariant(qint64(7)), QVariant(2.5), QVariant(QStringLiteral("O'Hara \"Q\""))};
    const QString select = MdbCrosstabSelect(crosstab, Feed(values, asked, taken));
    EXPECT_EQ(asked, QStringLiteral("SELECT DISTINCT Region FROM [Orders] WHERE CustomerID <> 'X' ORDER BY 1"));
    EXPECT_EQ(taken, 4);

    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(select);
    QStringList columns;
    for (const auto& field : *rs->Fields())
        columns << field->Name();
    EXPECT_EQ(columns, (QStringList{QStringLiteral("CustomerID"), QStringLiteral("<>"), QStringLiteral("7"),
                                    QStringLiteral("2.5"), QStringLiteral("O'Hara \"Q\"")}));
    QStringList cells;
    for (; !rs->Eof(); rs->MoveNext()) {
        for (int i = 0; i < rs->Fields()->Count(); ++i) {
            const QVariant cell = rs->Fields()->Item(i)->Value();
            cells << (cell.isValid() ? cell.toString() : QStringLiteral("Null"));
        }
    }
    EXPECT_EQ(cells.join(u' '), QStringLiteral("A 1 2 Null Null B Null Null 1 1"));
    db->Close();
}

// A binary value names no column: nothing is spread, and no value after it is asked for. A
// pivot that names its columns with In needs none of the copy's values.
TEST(MdbQueriesText, APivotOfBinaryValuesSpreadsNothingAndAnInListAsksForNoValues)
{
    MdbCrosstab crosstab = RebuildMdbQuery(CrosstabRows()).Crosstab;
    QString asked;
    int taken = 0;
    EXPECT_TRUE(MdbCrosstabSelect(crosstab, Feed({QVariant(qint64(1)), QVariant(QByteArray("\x01")), QVariant(qint64(2))},
                                                 asked, taken))
                    .isEmpty());
    EXPECT_EQ(taken, 2);

    crosstab.Pivot = QStringLiteral("Region In (\"Sever\", 7)");
    asked.clear();
    taken = 0;
    const QString select = MdbCrosstabSelect(crosstab, Feed({QVariant(qint64(1))}, asked, taken));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(select.contains(QLatin1String("Count(IIf((Region) = \"Sever\", 1, Null))) AS [Sever]"))) << select.toStdString();
    EXPECT_TRUE(select.endsWith(QLatin1String(" AS [7] FROM [Orders] WHERE CustomerID <> 'X' GROUP BY CustomerID ORDER BY CustomerID")))
        << select.toStdString();

    // A quote doubled inside a listed text belongs to the column's name.
    crosstab.Pivot = QStringLiteral("[Kraj]]x] In ('O''Brien', \"a, b\")");
    const QString quoted = MdbCrosstabSelect(crosstab, Feed({}, asked, taken));
    EXPECT_TRUE(quoted.contains(QLatin1String("Count(IIf(([Kraj]]x]) = 'O''Brien', 1, Null))) AS [O'Brien]")))
        << quoted.toStdString();
    EXPECT_TRUE(quoted.contains(QLatin1String("= \"a, b\", 1, Null))) AS [a, b]"))) << quoted.toStdString();
}
