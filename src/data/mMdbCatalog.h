#pragma once

// What a genuine Access file holds, from the reader's catalogue and the file's own system
// tables (MSysObjects, MSysComplexColumns, MSysQueries, MSysRelationships): the tables' schemas and the stored
// queries' names and rows. No SQL is built or run here.

#include "cDatabaseDriver.h"
#include "cMdbReader.h"
#include "mMdbQueries.h"

#include <QHash>
#include <QMap>

#include <optional>

struct MdbCatalog {
    QList<TableSchema> Tables;
    QList<QuerySchema> Queries; // by name; the texts wait for MSysQueries
    QHash<QString, qint32> QueryIds; // a stored query's MSysObjects Id by its name
    QHash<QString, QString> ComplexKinds; // "table\ncolumn", case-folded: attachment or several values
};

// Errors: 3343 when the file has no MSysObjects the catalogue can be read from.
MdbCatalog ReadMdbCatalog(cMdbReader& reader);
// The rows of MSysQueries by the Id of their query; nothing when the file keeps none.
std::optional<QMap<qint32, QList<MdbQueryRow>>> ReadMdbQueryRows(cMdbReader& reader);

// The relations MSysRelationships keeps, each relation's fields in their order; none when
// the file keeps no such table or its rows cannot be read.
QList<RelationSchema> ReadMdbRelations(cMdbReader& reader);

// The engine's type for one of libmdb's.
int JetTypeOfMdb(int mdbType);
// What the copy shows for a value the engine can name but not read; empty for the kinds
// it reads.
QString MdbStandIn(const MdbCatalog& catalog, const cMdbReader::Object& table, int column);
