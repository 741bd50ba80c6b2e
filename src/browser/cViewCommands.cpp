#include "cViewCommands.h"

#include "cBrowserState.h"

#include "Database.h"
#include "Recordset.h"
#include "cRecordCommands.h"
#include "cRecordList.h"
#include "cRuntimeError.h"
#include "cFormView.h"
#include "cMenuStyle.h"
#include "cSetting.h"
#include "fApplication.h"
#include "fRecord.h"
#include "frmRecordOrder.h"
#include "mErrorMessage.h"
#include "mFilter.h"
#include "mLongWork.h"
#include "mMenuText.h"
#include "mWhereAmI.h"
#include "cRelationTexts.h"
#include "mActionRun.h"
#include "QueryDef.h"
#include "TableDef.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>

cViewCommands::cViewCommands(fApplication& window, cBrowserState& state) : m_window(window), m_state(state) {}

void cViewCommands::AllRecords()
{
    if (m_window.mnuViewAllRecords->isChecked()) {
        VoiceOutput(2, 0, LoadString(10611));
        return;
    }
    ShowAllRecords(nullptr);
    if (m_window.mnuViewAllRecords->isChecked())
        m_window.SayRowsShown(10610);
}

void cViewCommands::Filter()
{
    // Filter stays marked whether or not a new filter comes of it.
    m_window.mnuViewAllRecords->setChecked(false);
    m_window.mnuViewFilter->setChecked(true);
    if (m_window.list->CountSelected() >= 2) {
        m_window.RecordCommands().KeepSelectedRows();
        m_narrowed = m_state.Rs;
        m_kept = true;
    } else {
        fRecord form(&m_window);
        m_window.RecordCommands().PrepareRecordForm(form, -1, &m_filterValues);
        form.FocusField(1);
        ExecModal(form);
        if (form.Result() != fRecord::ResultOk)
            return;
        m_filterValues = form.Filter();
        const QString condition = form.FilterAsString();
        std::shared_ptr<Recordset> opened;
        try {
            opened = OpenSource(m_state.Db, FilteredQuery(m_state.Setting->Query(), condition));
        } catch (const cRuntimeError&) {
            // The rows shown so far stay, with the recordset they come from.
            ShowOkMessage(FormatErrorMessage(CaptureError()));
            return;
        }
        if (!opened)
            return; // stopped: the rows shown so far stay
        QStringList captions;
        QList<int> types;
        const auto fields = opened->Fields();
        for (int column = 0; column < m_window.list->ColumnCount(); ++column) {
            captions << m_window.list->HeaderText(column);
            types << fields->Item(m_window.list->ColumnField(column))->Type();
        }
        m_filterWords = FilterWords(captions, types, m_filterValues);
        m_narrowed = opened;
        m_kept = false;
        m_state.Rs = std::move(opened);
        m_window.FillList();
        m_window.SayRowsShown(10608);
    }
    m_window.keyFilter->setEnabled(true);
    m_window.ShowStoredView();
}

void cViewCommands::ShowAllRecords(std::shared_ptr<Recordset> opened)
{
    if (m_window.mnuViewAllRecords->isChecked() || !m_state.Db || !m_state.Setting)
        return;
    // A source just opened by ApplySetting is the same SQL; it is not opened twice. The
    // marks move only once it is open: one that fails or is stopped leaves the filtered
    // rows, and Ctrl+A tries again.
    if (!opened)
        opened = OpenSource(m_state.Db, m_state.Setting->Query());
    if (!opened)
        return; // stopped: the grid stays as it was
    m_window.mnuViewAllRecords->setChecked(true);
    m_window.mnuViewFilter->setChecked(false);
    m_state.Rs = std::move(opened);
    m_window.FillList();
    m_window.keyFilter->setEnabled(false);
}

std::shared_ptr<Recordset> cViewCommands::OpenSource(const std::shared_ptr<Database>& database, const QString& sql)
{
    // A query on a server, a large Access table or a million records to count may take
    // a while: it runs where Escape can stop it. The count is made here, where the grid
    // would otherwise make it without a way to stop.
    std::shared_ptr<Recordset> opened;
    const bool complete = RunLongWork(
        LoadString(10604), LoadString(10605),
        [&](cWorkControl&) {
            opened = database->OpenRecordset(sql);
            opened->RecordCount();
        },
        [database] { database->Interrupt(); });
    return complete ? opened : nullptr;
}

void cViewCommands::PrepareOrderByMenu()
{
    cRecordList* list = m_window.list;
    QList<QAction*>& items = m_window.mnuViewOrderByColumn;
    while (items.size() > 1)
        delete items.takeLast();
    for (int i = 1; i <= list->ColumnCount(); ++i) {
        auto* item = new QAction(m_window.mnuViewOrderBy);
        SetMenuItemText(item, list->HeaderText(i - 1) + u'\t' + LoadString(200) + u'+' + QString::number(i));
        item->setObjectName(QStringLiteral("mnuViewOrderByColumn%1").arg(i));
        item->setCheckable(true);
        m_window.mnuViewOrderBy->insertAction(m_window.mnuViewOrderBySeparator, item);
        m_window.OnCommand(item, [this, i] { OrderByColumn(i); });
        items.append(item);
    }
    items[0]->setVisible(list->ColumnCount() == 0);
    UpdateOrderByChecks();
    RefreshMenus(&m_window);
}

void cViewCommands::UpdateOrderByChecks()
{
    const cRecordList* list = m_window.list;
    const QList<QAction*>& items = m_window.mnuViewOrderByColumn;
    for (QAction* item : items)
        item->setChecked(false);
    const bool sorted = list->IsSorted();
    if (sorted && list->SortKey() + 1 < items.size())
        items[list->SortKey() + 1]->setChecked(true);
    m_window.mnuViewOrderBySortAZ->setChecked(sorted && list->SortOrder() == Qt::AscendingOrder);
    m_window.mnuViewOrderBySortZA->setChecked(sorted && list->SortOrder() != Qt::AscendingOrder);
    m_window.mnuViewAsGrid->setChecked(!m_window.IsFormView());
    m_window.mnuViewAsForm->setChecked(m_window.IsFormView());
}

void cViewCommands::OrderByColumn(int index)
{
    cRecordList* list = m_window.list;
    if (index >= 1 && index <= list->ColumnCount() && list->SortByColumn(index - 1))
        m_window.SayThenCurrentRecord(list->OrderText());
    UpdateOrderByChecks();
}

void cViewCommands::SortAZ()
{
    SortInOrder(Qt::AscendingOrder);
}

void cViewCommands::SortZA()
{
    SortInOrder(Qt::DescendingOrder);
}

void cViewCommands::SortInOrder(Qt::SortOrder order)
{
    cRecordList* list = m_window.list;
    if (list->ColumnCount() > 0 && list->SortBy(list->SortKey() >= 0 ? list->SortKey() : 0, order))
        m_window.SayThenCurrentRecord(list->OrderText());
    UpdateOrderByChecks();
}

void cViewCommands::FitColumnWidths()
{
    m_window.list->FitColumnWidths();
}

void cViewCommands::FieldSelection()
{
    if (!m_state.Db || !m_state.Setting)
        return;
    cSetting& setting = *m_state.Setting;
    cRecordList* list = m_window.list;
    const bool formView = m_window.IsFormView();
    frmRecordOrder form(&m_window);
    form.Prepare(*m_state.Db, setting.SelectedTable());
    ExecModal(form);
    // A query the engine refuses is told by ApplySetting and leaves everything as it was,
    // the stored query included.
    const QString previous = setting.Query();
    setting.setQuery(form.Query());
    bool opened = false;
    {
        m_window.setUpdatesEnabled(false);
        const auto resume = qScopeGuard([this] { m_window.setUpdatesEnabled(true); });
        opened = m_window.ApplySetting(QString(), true);
    }
    if (!opened)
        setting.setQuery(previous);
    m_window.ItemClick(list->SelectedRow());
    // The view the command started in, with the keyboard in it: the form's boxes are new.
    if (formView) {
        m_window.mnuViewAsForm_Click();
        if (opened && m_window.Text.size() > 1)
            m_window.Text[1]->setFocus();
    } else {
        m_window.mnuViewAsGrid_Click();
        list->setFocus();
        if (opened)
            list->SayCurrentRow(2);
    }
}

void cViewCommands::WhereAmI()
{
    const cRecordList* list = m_window.list;
    const qint64 row = list->SelectedRow();
    const QString count = QString::number(list->RowCount());
    QStringList said{row >= 0 ? FillPlaceholders(LoadString(10832), {QString::number(row + 1), count})
                              : FillPlaceholders(LoadString(10833), {count})};
    if (m_state.Setting) {
        const QString query = m_state.Setting->Query();
        said << SourceWords(query, m_state.Setting->SelectedTable(), StoredQueryName(query));
    }
    said << NarrowingWords() << list->OrderText();
    if (m_window.IsFormView())
        said << FieldInWords(m_window.FormView().FocusedBox());
    else if (list->CellReading())
        said << FieldInWords(list->CurrentColumn() + 1);
    VoiceOutput(2, 0, said.join(u' '));
}

QString cViewCommands::NarrowingWords() const
{
    const std::shared_ptr<Recordset> narrowed = m_narrowed.lock();
    if (!narrowed || narrowed != m_state.Rs || (!m_kept && m_filterWords.isEmpty()))
        return LoadString(10837);
    if (m_kept)
        return FillPlaceholders(LoadString(10609), {QString::number(m_window.list->RowCount())});
    return FillPlaceholders(LoadString(10838), {m_filterWords});
}

QString cViewCommands::FieldInWords(int column) const
{
    const cRecordList* list = m_window.list;
    if (!m_state.Rs || column < 1 || column > list->ColumnCount())
        return QString();
    const QString caption = list->HeaderText(column - 1);
    QStringList actions;
    for (const cAction* action :
         ColumnActions(m_state.Actions.get(), caption, cRecordList::ColumnTagPart(list->ColumnTag(column - 1), 0)))
        actions << action->Caption();
    FieldSchema field = m_state.Rs->Fields()->Item(list->ColumnField(column - 1))->Schema();
    const QString referred = m_state.Relations && !field.SourceTable.isEmpty()
                                 ? m_state.Relations->ReferredTable(field.SourceTable, field.SourceField)
                                 : QString();
    // A record source knows less of a field than its table: what it must hold is the table's.
    if (m_state.Db && !field.SourceTable.isEmpty()) {
        try {
            const auto tables = m_state.Db->TableDefs();
            if (tables->IndexOf(field.SourceTable) >= 0) {
                const auto fields = tables->Item(field.SourceTable)->Fields();
                if (fields->IndexOf(field.SourceField) >= 0)
                    field = fields->Item(field.SourceField)->Schema();
            }
        } catch (const cRuntimeError&) {
            CaptureError(); // the source's own schema is said then
        }
    }
    return FieldWords(caption, field, referred, actions);
}

QString cViewCommands::StoredQueryName(const QString& query) const
{
    if (!m_state.Db)
        return QString();
    const auto trimmed = [](QString sql) {
        sql = sql.trimmed();
        while (sql.endsWith(u';'))
            sql.chop(1);
        return sql.simplified();
    };
    try {
        for (const auto& stored : *m_state.Db->QueryDefs()) {
            if (trimmed(stored->SQL()) == trimmed(query))
                return stored->Name();
        }
    } catch (const cRuntimeError&) {
        CaptureError(); // said as a query over the table then
    }
    return QString();
}

void cViewCommands::ToggleCellReading()
{
    gCellReading = m_window.list->CellReading() ? 0 : 1;
    SaveCellReading();
    ApplyStoredCellReading();
    VoiceOutput(2, 0, LoadString(gCellReading ? 10885 : 10886));
}

void cViewCommands::ApplyStoredCellReading()
{
    m_window.list->SetCellReading(gCellReading != 0);
    m_window.mnuViewCellReading->setChecked(gCellReading != 0);
}
