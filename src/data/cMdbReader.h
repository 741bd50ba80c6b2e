#pragma once

// The Access driver's end of the reader program (quarnel-mdb-reader): starting it, its frames
// read with every length checked, within a deadline and a byte budget. Nothing here knows
// SQL or schemas: the catalogue and the rows come out as the reader sent them.

#include "cDatabaseDriver.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class cMdbHelper;

class cMdbReader {
public:
    // One stored column as the reader describes it.
    struct Column {
        QString Name;
        int MdbType = 0;
        int Size = 0;
        int Required = 2; // 0 no, 1 yes, 2 not stored
        int AllowZeroLength = 2;
        QString DefaultValue;
        bool Calculated = false;
    };
    struct Object {
        quint32 Index = 0;
        int Type = 0;
        qint32 Flags = 0;
        QString Name;
        QList<Column> Columns;
        QList<IndexSchema> Indexes;
    };
    // A row's values as the reader sent them, and which of them are Null.
    using RowHandler = std::function<void(const QList<QByteArray>&, const QList<bool>&)>;

    // How long the reader may stay silent before the file counts as damaged.
    static void SetTimeout(int milliseconds);
    // How long the catalogue or one table may take in all (1 ms per KiB of file added).
    static void SetDeadline(int milliseconds);
    // What the reader may send for one open file: the floor plus 64 bytes per byte of it.
    static void SetByteBudgetFloor(qint64 bytes);
    static qint64 ByteBudget(qint64 fileSize);
    // The reader program: QUARNEL_MDB_READER, then next to the program, then the build's.
    static QString HelperPath();

    explicit cMdbReader(QString path);
    ~cMdbReader();

    // Starts the reader and takes the catalogue it sends first.
    // Errors: 3343 for a file it cannot read, 3051 when it cannot be started.
    void Start();
    quint32 JetVersion() const { return m_jetVersion; }
    quint32 LangId() const { return m_langId; }
    const QList<Object>& Objects() const { return m_objects; }
    const Object* FindTable(const QString& name) const;
    // Streams a table's rows. A reader stopped by Interrupt gives 3059, and a new one serves
    // the next call.
    void ReadRows(const Object& table, const RowHandler& onRow);
    // From any thread: a table being read stops at once.
    void Interrupt();
    // Ends the reader for good.
    void Stop();
    // 3343, "not a database".
    [[noreturn]] void Damaged() const;

private:
    // A frame from the reader, counted against the budget.
    bool Receive(char& tag, QByteArrayView& payload);
    void StartRequest();
    // Ends the reader and raises the error for how it failed.
    [[noreturn]] void HelperFailed();
    void StartHelper();
    void ReadCatalogFrames();
    void RestartHelper();
    void SetReading(cMdbHelper* helper);

    QString m_path;
    std::unique_ptr<cMdbHelper> m_helper;
    quint32 m_jetVersion = 0;
    quint32 m_langId = 0;
    QList<Object> m_objects;
    cMdbHelper* m_reading = nullptr; // the helper while rows come from it, under m_interruptMutex
    std::atomic<bool> m_interrupted{false};
    std::mutex m_interruptMutex;
    bool m_restartHelper = false; // the helper was stopped on purpose: a new one may serve
    qint64 m_frameLimit = 0;
    qint64 m_fileSize = 0;
    qint64 m_budget = 0;
    qint64 m_received = 0;
    bool m_overBudget = false;
};
