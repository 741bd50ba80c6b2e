#include "cRecordCommands.h"

#include "cBrowserState.h"

#include "Recordset.h"
#include "cFormView.h"
#include "cRecordList.h"
#include "cRelationTexts.h"
#include "cRuntimeError.h"
#include "fApplication.h"
#include "fRecord.h"
#include "fRecordGoto.h"
#include "mCommandChoices.h"
#include "mErrorMessage.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QLineEdit>

#include <vector>

cRecordCommands::cRecordCommands(fApplication& window, cBrowserState& state) : m_window(window), m_state(state) {}

bool cRecordCommands::RefuseReadOnly() const
{
    const std::optional<ErrorStorage> refusal = ReadOnlyRefusal(m_state.Rs.get(), m_state.Setting.get());
    if (!refusal)
        return false;
    // Said before the user types anything, not after OK.
    ShowOkMessage(FormatErrorMessage(*refusal));
    return true;
}

void cRecordCommands::Add()
{
    if (!RefuseReadOnly())
        OpenRecordForm(-1);
}

void cRecordCommands::Edit()
{
    const qint64 row = m_window.list->SelectedRow();
    if (row < 0)
        return;
    if (m_window.list->CountSelected() > 1) {
        ShowOkMessage(LoadString(11501));
        return;
    }
    if (!RefuseReadOnly())
        OpenRecordForm(row);
}

void cRecordCommands::PrepareRecordForm(fRecord& form, qint64 row, const QStringList* filterValues)
{
    const cRecordList* list = m_window.list;
    const bool filter = filterValues != nullptr;
    for (int column = 0; column < list->ColumnCount(); ++column) {
        form.AddField(list->HeaderText(column), list->ColumnField(column));
        if (filter)
            form.Text[column + 1]->setText(filterValues->value(column));
        else if (row >= 0)
            form.Text[column + 1]->setText(list->CellText(row, column));
    }
    if (filter) {
        form.setWindowTitle(FillPlaceholders(LoadString(11002), {m_window.windowTitle()}));
        form.SetFilter(m_state.Rs);
        return;
    }
    const bool added = row < 0;
    form.setWindowTitle(FillPlaceholders(LoadString(added ? 11000 : 11001), {m_window.windowTitle()}));
    form.SetEdit(m_state.Rs, added ? -1 : qint32(list->RowPosition(row)));
}

void cRecordCommands::OpenRecordForm(qint64 row)
{
    cRecordList* list = m_window.list;
    fRecord form(&m_window);
    PrepareRecordForm(form, row);
    form.FocusField(m_window.FormView().FocusedBox());
    ExecModal(form);
    if (form.Result() != fRecord::ResultOk)
        return;
    // A written row may be one that others refer to.
    if (m_state.Relations)
        m_state.Relations->Clear();
    // The written record: a new one joins the end of the grid (or its sorted place), an
    // edited one is shown as it now is, where it stands. No other row is read again.
    const qint64 position = row < 0 ? m_state.Rs->AbsolutePosition() : form.Postiton();
    if (row >= 0)
        m_state.Rs->setAbsolutePosition(qint32(position));
    list->PutRecordRow(position, true);
    m_window.ShowSelectedInForm();
    m_window.ItemClick(list->SelectedRow());
    list->SayCurrentRow(2);
}

void cRecordCommands::Delete()
{
    cRecordList* list = m_window.list;
    const qint64 row = list->SelectedRow();
    if (row < 0 || RefuseReadOnly())
        return;
    const QList<qint64> rows = list->CountSelected() > 1 ? list->SelectedRows() : QList<qint64>{row};
    const QString question = DeleteQuestion(rows.size(), list->CellText(row, 0));
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + m_window.windowTitle()) != 1)
        return;
    // Each record by its bookmark: a deletion moves the positions of the records after it.
    std::vector<qint64> positions;
    QVariantList bookmarks;
    for (const qint64 each : rows) {
        positions.push_back(list->RowPosition(each));
        m_state.Rs->setAbsolutePosition(qint32(positions.back()));
        bookmarks << m_state.Rs->Bookmark();
    }
    std::vector<qint64> deleted;
    try {
        for (qsizetype i = 0; i < bookmarks.size(); ++i) {
            m_state.Rs->setBookmark(bookmarks[i]);
            m_state.Rs->Delete();
            deleted.push_back(positions[size_t(i)]);
        }
    } catch (const cRuntimeError&) {
        ShowOkMessage(FormatErrorMessage(CaptureError()));
    }
    // The rows of what went; the rest stay in their order.
    if (m_state.Relations)
        m_state.Relations->Clear();
    list->RemoveRecordRows(deleted);
    const qint64 at = RowAfterDeletion(rows.front(), list->RowCount());
    if (at >= 0) {
        m_state.Rs->setAbsolutePosition(qint32(list->RowPosition(at)));
        list->SelectOnlyRow(at);
        m_window.ShowSelectedInForm();
        m_window.ItemClick(at);
        list->SayCurrentRow(2);
    } else {
        m_window.ItemClick(-1);
        m_window.ShowSelectedInForm();
        // Otherwise the last words heard would be the row that went.
        VoiceOutput(2, 0, LoadString(10618));
    }
}

void cRecordCommands::GoTo()
{
    cRecordList* list = m_window.list;
    fRecordGoto dialog(&m_window);
    const qint64 rows = list->RowCount();
    dialog.SetPostiton(rows == 0 ? 0 : qint32(list->SelectedRow() + 1));
    dialog.SetMaxPostiton(qint32(rows));
    ExecModal(dialog);
    if (dialog.Result() != fRecordGoto::ResultOk || rows == 0)
        return;
    const qint64 row = GoToRow(dialog.Postiton(), rows);
    list->SelectOnlyRow(row);
    m_window.ShowSelectedInForm();
    m_window.ItemClick(row);
    // What is not a number leaves the selection where it was: said, then the row.
    int mode = 2;
    if (!dialog.NumberTyped()) {
        VoiceOutput(2, 0, FillPlaceholders(LoadString(10614), {dialog.Text1->text().trimmed()}));
        mode = 1;
    }
    // Said as a move in the grid says it: the row, or in the form view the field's value.
    if (m_window.IsFormView())
        VoiceOutput(mode, 0, m_window.FormView().SpokenValue(m_window.FormView().FocusedBox()));
    else
        list->SayCurrentRow(mode);
}

void cRecordCommands::ReadRecord()
{
    const cRecordList* list = m_window.list;
    const qint64 row = list->SelectedRow();
    // Said in any case: a screen reader has no reading of a whole record with its captions.
    VoiceOutput(2, 0, row < 0 ? LoadString(10594) : list->RecordReading(row));
}

void cRecordCommands::KeepSelectedRows()
{
    cRecordList* list = m_window.list;
    std::vector<qint64> positions;
    for (const qint64 row : list->SelectedRows())
        positions.push_back(list->RowPosition(row));
    list->KeepRecordRows(positions);
    if (list->SelectedRow() >= 0)
        m_state.Rs->setAbsolutePosition(qint32(list->RowPosition(list->SelectedRow())));
    m_window.ItemClick(list->SelectedRow());
    m_window.ShowSelectedInForm();
    m_window.SayRowsShown(10609);
}
