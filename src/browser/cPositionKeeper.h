#pragma once

// Puts the recordset back where it stood once the grid has read other records from it, so
// that reading for the screen never moves the record a command works on. No widgets.

#include <QtGlobal>

class Recordset;

class cPositionKeeper {
public:
    explicit cPositionKeeper(Recordset& recordset);
    ~cPositionKeeper();
    cPositionKeeper(const cPositionKeeper&) = delete;
    cPositionKeeper& operator=(const cPositionKeeper&) = delete;

    // Only a recordset at a record, at BOF or at EOF can be put back; one in the middle of
    // an edit must not be moved at all (moving would drop the edit).
    static bool CanRead(const Recordset& recordset);

private:
    Recordset& m_recordset;
    qint32 m_position;
    bool m_bof;
    bool m_eof;
};
