#include "mMdbCatalog.h"

#include "cMdbDriver.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mMdbFrames.h"
#include "mNames.h"
#include "mStringTable.h"

#include <QtEndian>

#include <algorithm>

namespace {

// MSysObjects types.
constexpr int kTypeTable = 1;
constexpr int kTypeLinkedOdbc = 4;
constexpr int kTypeQuery = 5;
constexpr int kTypeLinked = 6;

// A system table's columns by their case-folded names.
QHash<QString, int> ColumnsByName(const cMdbReader::Object& table)
{
    QHash<QString, int> column;
    for (int i = 0; i < table.Columns.size(); ++i)
        column.insert(table.Columns[i].Name.toCaseFolded(), i);
    return column;
}

// A stored Long, Integer or Byte from its little-endian bytes; 0 for any other width, and
// for one narrower than `narrowest` (each system table's columns are read only in the
// widths they have always been read in).
qint32 StoredInteger(const QByteArray& value, int narrowest)
{
    if (value.size() == 4)
        return qFromLittleEndian<qint32>(value.constData());
    if (value.size() == 2 && narrowest <= 2)
        return qint32(qFromLittleEndian<qint16>(value.constData()));
    if (value.size() == 1 && narrowest <= 1)
        return qint32(quint8(value[0]));
    return 0;
}

QString StoredText(const QList<QByteArray>& values, const QList<bool>& nulls, int at)
{
    return at < 0 || nulls[at] ? QString() : QString::fromUtf8(values[at]);
}

FieldSchema FieldOf(const cMdbReader::Column& c, const QString& tableName, quint32 jetVersion)
{
    FieldSchema field;
    field.Name = c.Name;
    field.Type = JetTypeOfMdb(c.MdbType);
    field.Size = c.MdbType == kMdbText ? (jetVersion > 0 ? c.Size / 2 : c.Size)
               : c.MdbType == kMdbMemo || c.MdbType == kMdbOle ? 0
               : c.MdbType == kMdbBool ? 1 : c.MdbType == kMdbNumeric ? 16 : FixedSize(c.MdbType);
    if (c.MdbType == kMdbBinary)
        field.Size = c.Size;
    if (c.Calculated) {
        field.Type = JetType::Text; // the stand-in text, not the stored result
        field.Size = 255;
    } else if (field.Type == JetType::Text && c.MdbType != kMdbText) {
        field.Size = 255;
    } else if (c.MdbType == kMdbExtendedDate) {
        field.Size = 8;
    }
    field.Required = c.Required == 1;
    field.AllowZeroLength = (field.Type == JetType::Text || field.Type == JetType::Memo) && c.AllowZeroLength != 0;
    field.DefaultValue = c.DefaultValue;
    field.SourceTable = tableName;
    field.SourceField = c.Name;
    return field;
}

// ACE keeps an attachment or a field of several values in tables of its own; the field's
// row holds only a key. MSysComplexColumns tells which kind each such field is.
void ReadComplexKinds(cMdbReader& reader, const QHash<qint32, QString>& objectNames, QHash<QString, QString>& kinds)
{
    const cMdbReader::Object* complex = reader.FindTable(QStringLiteral("MSysComplexColumns"));
    if (!complex)
        return;
    const QHash<QString, int> column = ColumnsByName(*complex);
    const int name = column.value(QStringLiteral("columnname"), -1), kind = column.value(QStringLiteral("complextypeobjectid"), -1),
              table = column.value(QStringLiteral("conceptualtableid"), -1);
    if (name < 0 || kind < 0 || table < 0)
        return;
    reader.ReadRows(*complex, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        if (nulls[name] || nulls[kind] || nulls[table])
            return;
        const QString kindName = objectNames.value(StoredInteger(values[kind], 4));
        const bool attachment = SameName(kindName, QStringLiteral("MSysComplexType_Attachment"));
        kinds.insert((objectNames.value(StoredInteger(values[table], 4)) + u'\n' + QString::fromUtf8(values[name])).toCaseFolded(),
                     LoadString(attachment ? 10720 : 10721));
    });
}

} // namespace

int JetTypeOfMdb(int mdbType)
{
    switch (mdbType) {
    case kMdbBool: return JetType::Boolean;
    case kMdbByte: return JetType::Byte;
    case kMdbInt: return JetType::Integer;
    case kMdbLong: return JetType::Long;
    case kMdbMoney: return JetType::Currency;
    case kMdbFloat: return JetType::Single;
    case kMdbDate:
    case kMdbExtendedDate: return JetType::Date;
    case kMdbBinary: return JetType::Binary;
    case kMdbText: return JetType::Text;
    case kMdbOle: return JetType::LongBinary;
    case kMdbMemo: return JetType::Memo;
    case kMdbGuid: return JetType::Guid;
    case kMdbDouble:
    case kMdbNumeric: return JetType::Double; // Decimal as its nearest the copy holds
    default: return JetType::Text; // attachments, multiple values, kinds to come: named, not read
    }
}

MdbCatalog ReadMdbCatalog(cMdbReader& reader)
{
    // MSysObjects tells what libmdb's catalogue does not: the object types as stored,
    // and the connection of linked tables.
    const cMdbReader::Object* objects = reader.FindTable(QStringLiteral("MSysObjects"));
    if (!objects)
        reader.Damaged();
    const QHash<QString, int> column = ColumnsByName(*objects);
    const int id = column.value(QStringLiteral("id"), -1), name = column.value(QStringLiteral("name"), -1),
              type = column.value(QStringLiteral("type"), -1), flags = column.value(QStringLiteral("flags"), -1),
              database = column.value(QStringLiteral("database"), -1), connect = column.value(QStringLiteral("connect"), -1);
    if (name < 0 || type < 0)
        reader.Damaged();
    MdbCatalog catalog;
    QList<QPair<qint32, QString>> queries;
    QHash<qint32, QString> objectNames;
    reader.ReadRows(*objects, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        const int objectType = StoredInteger(values[type], 2); // forms and reports are negative
        const QString objectName = StoredText(values, nulls, name);
        if (id >= 0 && !nulls[id])
            objectNames.insert(StoredInteger(values[id], 2), objectName);
        const qint32 objectFlags = flags >= 0 ? StoredInteger(values[flags], 2) : 0;
        if (objectType == kTypeQuery) {
            if (!objectName.startsWith(u'~')) // the hidden record sources of forms and reports
                queries << qMakePair(id >= 0 ? StoredInteger(values[id], 2) : 0, objectName);
            return;
        }
        if (objectType != kTypeTable && objectType != kTypeLinked && objectType != kTypeLinkedOdbc)
            return;
        TableSchema table;
        table.Name = objectName;
        if (objectType == kTypeTable) {
            const cMdbReader::Object* stored = reader.FindTable(objectName);
            if (!stored)
                return;
            const bool system = objectName.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive)
                                || (objectFlags & cMdbDriver::kSystemObject) != 0;
            table.Attributes = system ? cMdbDriver::kSystemObject : 0;
            for (const cMdbReader::Column& c : stored->Columns)
                table.Fields << FieldOf(c, objectName, reader.JetVersion());
            table.Indexes = stored->Indexes;
        } else {
            const QString connection = StoredText(values, nulls, connect);
            const QString file = StoredText(values, nulls, database);
            table.Connect = file.isEmpty() ? connection : connection + QLatin1String(";DATABASE=") + file;
            table.Attributes = objectType == kTypeLinkedOdbc ? cMdbDriver::kAttachedOdbc : cMdbDriver::kAttachedTable;
        }
        catalog.Tables << table;
    });
    std::sort(queries.begin(), queries.end(), [](const auto& a, const auto& b) {
        return a.second.compare(b.second, Qt::CaseInsensitive) < 0;
    });
    for (const auto& query : queries)
        catalog.Queries << QuerySchema{query.second, QString()};
    for (const auto& query : queries)
        catalog.QueryIds.insert(query.second, query.first);
    ReadComplexKinds(reader, objectNames, catalog.ComplexKinds);
    return catalog;
}

std::optional<QMap<qint32, QList<MdbQueryRow>>> ReadMdbQueryRows(cMdbReader& reader)
{
    const cMdbReader::Object* table = reader.FindTable(QStringLiteral("MSysQueries"));
    if (!table)
        return std::nullopt;
    const QHash<QString, int> column = ColumnsByName(*table);
    const int objectId = column.value(QStringLiteral("objectid"), -1), attribute = column.value(QStringLiteral("attribute"), -1),
              flag = column.value(QStringLiteral("flag"), -1), name1 = column.value(QStringLiteral("name1"), -1),
              name2 = column.value(QStringLiteral("name2"), -1), expression = column.value(QStringLiteral("expression"), -1);
    if (objectId < 0 || attribute < 0)
        return std::nullopt;
    QMap<qint32, QList<MdbQueryRow>> rows;
    reader.ReadRows(*table, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
        MdbQueryRow row;
        row.Attribute = StoredInteger(values[attribute], 1);
        row.Flag = flag >= 0 && !nulls[flag] ? StoredInteger(values[flag], 1) : 0;
        row.Name1 = StoredText(values, nulls, name1);
        row.Name2 = StoredText(values, nulls, name2);
        row.Expression = StoredText(values, nulls, expression);
        rows[StoredInteger(values[objectId], 1)] << row;
    });
    return rows;
}

QList<RelationSchema> ReadMdbRelations(cMdbReader& reader)
{
    const cMdbReader::Object* table = reader.FindTable(QStringLiteral("MSysRelationships"));
    if (!table)
        return {};
    const QHash<QString, int> column = ColumnsByName(*table);
    const int name = column.value(QStringLiteral("szrelationship"), -1), count = column.value(QStringLiteral("ccolumn"), -1),
              at = column.value(QStringLiteral("icolumn"), -1), child = column.value(QStringLiteral("szobject"), -1),
              field = column.value(QStringLiteral("szcolumn"), -1),
              parent = column.value(QStringLiteral("szreferencedobject"), -1),
              referred = column.value(QStringLiteral("szreferencedcolumn"), -1);
    if (name < 0 || at < 0 || child < 0 || field < 0 || parent < 0 || referred < 0)
        return {};
    struct Pair {
        QString Field, Referred;
    };
    struct Stored {
        QString Child, Parent;
        qint32 Count = 0;
        QMap<qint32, Pair> Pairs;
        bool Valid = true;
    };
    QList<QString> order;
    QHash<QString, Stored> stored;
    try {
        reader.ReadRows(*table, [&](const QList<QByteArray>& values, const QList<bool>& nulls) {
            const QString relation = StoredText(values, nulls, name);
            if (!stored.contains(relation))
                order << relation;
            Stored& r = stored[relation];
            const QString childName = StoredText(values, nulls, child), parentName = StoredText(values, nulls, parent);
            const qint32 index = nulls[at] ? -1 : StoredInteger(values[at], 4);
            const Pair pair{StoredText(values, nulls, field), StoredText(values, nulls, referred)};
            // Rows of one name that disagree on their tables, or repeat a place, make no relation.
            if ((!r.Child.isEmpty() && (r.Child != childName || r.Parent != parentName)) || index < 0
                || r.Pairs.contains(index) || pair.Field.isEmpty() || pair.Referred.isEmpty())
                r.Valid = false;
            r.Child = childName;
            r.Parent = parentName;
            r.Count = count >= 0 && !nulls[count] ? StoredInteger(values[count], 4) : -1;
            r.Pairs.insert(index, pair);
        });
    } catch (const cRuntimeError&) {
        return {};
    }
    QList<RelationSchema> relations;
    for (const QString& relation : std::as_const(order)) {
        const Stored& r = stored[relation];
        if (!r.Valid || r.Child.isEmpty() || r.Parent.isEmpty() || (r.Count >= 0 && r.Count != r.Pairs.size()))
            continue;
        RelationSchema schema{r.Child, {}, r.Parent, {}, relation};
        for (const Pair& pair : r.Pairs) {
            schema.Fields << pair.Field;
            schema.ReferredFields << pair.Referred;
        }
        relations << schema;
    }
    return relations;
}

QString MdbStandIn(const MdbCatalog& catalog, const cMdbReader::Object& table, int column)
{
    const cMdbReader::Column& c = table.Columns[column];
    if (c.Calculated)
        return LoadString(10722);
    switch (c.MdbType) {
    case kMdbBool: case kMdbByte: case kMdbInt: case kMdbLong: case kMdbMoney: case kMdbFloat: case kMdbDouble:
    case kMdbDate: case kMdbBinary: case kMdbText: case kMdbOle: case kMdbMemo: case kMdbGuid: case kMdbNumeric:
        return QString();
    case kMdbComplex:
        return catalog.ComplexKinds.value((table.Name + u'\n' + c.Name).toCaseFolded(), LoadString(10721));
    case kMdbExtendedDate: return LoadString(10723);
    default: return LoadString(10724);
    }
}
