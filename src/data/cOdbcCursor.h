#pragma once
// A record source over ODBC, kept as a keyset or read as it goes; ODBC calls only, no widgets.
#include "cOdbcDriver.h"

#include <QHash>

#include <memory>
#include <vector>

// A record source over ODBC. A query of one table with a primary key is kept as a keyset
// of key values and can be changed through them; any other is read-only and its records
// are kept as they are read. Rows are read as they are asked for: a walk from the first
// record to the last reads the query once, and a jump goes to the record by its key.
class cOdbcCursor : public cCursor {
public:
    cOdbcCursor(std::shared_ptr<cOdbcDriver> driver, QString jetSql);

    const QList<FieldSchema>& Fields() const override { return m_fields; }
    bool Updatable() const override;
    bool Fetch(qint64 position, QVariantList& row) override;
    qint64 Count() override;
    QVariant Key(qint64 position) override;
    qint64 PositionOf(const QVariant& key) override;
    void Update(qint64 position, const QVariantList& values, const QList<bool>& changed) override;
    qint64 Insert(const QVariantList& values, const QList<bool>& changed) override;
    void Remove(qint64 position) override;
    void Requery() override;

private:
    void Open();
    void DescribeFields(cOdbcStatement& statement, int first);
    void ReadRow(cOdbcStatement& statement, int first, QVariantList& row);
    QVariantList ReadKey(cOdbcStatement& statement);
    bool FetchForward(qint64 position, QVariantList& row);
    bool FetchByKey(qint64 position, QVariantList& row);
    void CompleteKeys();
    void PrepareForChange();
    QString KeyCondition() const;
    QString TableReference() const;
    qsizetype FieldOfColumn(const QString& column) const;
    QVariantList NewKey(const QVariantList& values, const QList<bool>& changed, cOdbcStatement& insert);
    static QString KeyText(const QVariantList& key);

    std::shared_ptr<cOdbcDriver> m_driver;
    QString m_jetSql;
    QString m_sql;
    QList<FieldSchema> m_fields;
    QList<OdbcColumn> m_columns; // how each field is read and written
    bool m_updatable = false;
    OdbcTable m_table;
    QList<OdbcColumn> m_keyColumns;
    QString m_keysSql;
    QString m_pointSql;

    std::vector<QVariantList> m_keys; // updatable: the key of each position
    bool m_complete = false;
    qint64 m_resultRows = -1; // the driver's count of the query's rows, while the keys are not all read
    bool m_inPieces = false;  // the query's rows come from the server as they are read
    QHash<QString, qint64> m_positions; // key to position, built on demand
    std::vector<QVariantList> m_rows;   // read-only: the records read so far

    cOdbcStatement m_forward;
    qint64 m_forwardNext = -1;
    cOdbcStatement m_point;
};
