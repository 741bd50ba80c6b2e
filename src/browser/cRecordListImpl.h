#pragma once
//
// The grid's own state, shared by the units that make up cRecordList: its keys and
// speech, and its window over the list's rows.

#include "cRecordList.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

class cGridSelection;
class cRecordListModel;
class cRelationTexts;
class QScrollBar;

struct cRecordList::Impl {
    cRecordListModel* Model = nullptr;
    cGridSelection* Selection = nullptr;
    // Beside the view's own bar, which measures only the window: the whole list's.
    QScrollBar* ListBar = nullptr;
    bool MovingWindow = false;
    bool QuietRelease = false; // the key's press said what there is to say
    bool CellOfferPending = false; // the focus came back; the cell's focus is yet to follow
    qint64 RowAtPress = -1;
    int ColumnAtPress = -1;
    bool CellReading = false; // Left and Right move a current column, which is said alone
    bool ToRecordEnds = false; // Ctrl+Home or Ctrl+End, handed on as a plain key
    std::shared_ptr<cRelationTexts> Relations;
    bool UserMoves = false; // within the grid's own key or mouse press
    qint64 ReaderRow = -1; // the row whose cell a screen reader was last told has the focus
    bool ReaderHeard = false; // it read that whole row, as the row now stands
    int PressedKey = 0;        // a release speaks only for a key whose press the grid had
    QString Search;
    QElapsedTimer SearchTimer;
};
