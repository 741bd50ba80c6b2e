#pragma once

// The Record menu's commands on the grid's records: add, edit, delete, go to, and keeping
// only the rows the user selected. The record editor writes the records; what these
// commands decide without a window is in mRecordChoices.

#include <QStringList>
#include <QtGlobal>

class fApplication;
struct cBrowserState;
class fRecord;

class cRecordCommands {
public:
    cRecordCommands(fApplication& window, cBrowserState& state);

    void Add();
    void Edit();
    void Delete();
    void GoTo();
    // Ctrl+R: the whole current record with its captions, in either view.
    void ReadRecord();
    // Only the selected rows stay in the grid, in their order.
    void KeepSelectedRows();
    // The editor's boxes for the grid's columns: the values of row (−1: a new record), or,
    // with filterValues, the filter form offering them again.
    void PrepareRecordForm(fRecord& form, qint64 row, const QStringList* filterValues = nullptr);

private:
    // Tells why the records cannot change, before the user types anything; false when they can.
    bool RefuseReadOnly() const;
    void OpenRecordForm(qint64 row);

    fApplication& m_window;
    cBrowserState& m_state;
};
