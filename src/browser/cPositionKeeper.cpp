#include "cPositionKeeper.h"

#include "Recordset.h"

#include <exception>

cPositionKeeper::cPositionKeeper(Recordset& recordset)
    : m_recordset(recordset), m_position(recordset.AbsolutePosition()), m_bof(recordset.Bof()),
      m_eof(recordset.Eof())
{
}

cPositionKeeper::~cPositionKeeper()
{
    try {
        if (m_position >= 0) {
            if (m_recordset.AbsolutePosition() != m_position)
                m_recordset.setAbsolutePosition(m_position);
        } else if (m_eof && !m_bof) {
            m_recordset.MoveLast();
            m_recordset.MoveNext();
        } else if (m_bof && !m_eof) {
            m_recordset.MoveFirst();
            m_recordset.MovePrevious();
        }
    } catch (const std::exception&) {
        // The recordset changed under the grid; the next command positions it anew.
    }
    // The grid reads in runs, then waits for the user: other programs may write meanwhile.
    m_recordset.Rest();
}

bool cPositionKeeper::CanRead(const Recordset& recordset)
{
    if (recordset.EditMode() != Recordset::dbEditNone)
        return false;
    return recordset.AbsolutePosition() >= 0 || recordset.Bof() || recordset.Eof();
}
