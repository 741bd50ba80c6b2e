#include "cDesignCommands.h"

#include "cRelationTexts.h"

#include "cBrowserState.h"

#include "Database.h"
#include "Field.h"
#include "Recordset.h"
#include "cActions.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "fRunAction.h"
#include "frmEditActions.h"
#include "frmRecordModify.h"
#include "mActionRun.h"
#include "mCommandChoices.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"

cDesignCommands::cDesignCommands(fApplication& window, cBrowserState& state) : m_window(window), m_state(state) {}

void cDesignCommands::Structure()
{
    if (!m_state.Setting) {
        VoiceOutput(2, 0, LoadString(10595));
        return;
    }
    cSetting& setting = *m_state.Setting;
    cRecordList* list = m_window.list;
    const bool formView = m_window.IsFormView();
    const qint64 row = list->SelectedRow();
    const QString shown = setting.SelectedTable();
    const bool tableShown = ShowsTable(setting.Query(), shown);
    // The editor changes the tables on a connection of its own: ours lets go of them.
    list->ClearColumns();
    list->SetRecordset(nullptr);
    m_state.Rs.reset();
    if (m_state.Db)
        m_state.Db->Close();
    m_state.Db.reset();
    m_state.Relations.reset();
    list->SetRelations(nullptr);
    frmRecordModify editor(&m_window);
    editor.PrepareSetting(&setting);
    ExecModal(editor);
    // Every change is made already, also when the editor ends with Cancel: the window
    // shows the structure as it is now. A table shown and then deleted is chosen anew.
    const bool gone = tableShown && !editor.TableNames().contains(shown, Qt::CaseInsensitive);
    const QString file = setting.DatabaseFile();
    // A query of a table that is gone fails (and says so): then as at start-up.
    if (!m_window.ApplySetting(file, !gone) && (gone || !m_window.ApplySetting(file, false))) {
        // Nothing is open now: the commands that need a database are refused.
        m_window.EnableDatabaseMenus(false);
        return;
    }
    if (formView && !m_window.IsFormView())
        m_window.mnuViewAsForm_Click();
    if (row >= 0 && row < list->RowCount()) {
        list->SelectOnlyRow(row);
        m_window.ShowSelectedInForm();
        m_window.ItemClick(row);
    }
    // The keyboard came back while the grid was empty: the user hears where it is now.
    m_window.SayWhereTheKeysAre();
}

void cDesignCommands::EditActions()
{
    QStringList fields;
    if (m_state.Rs) {
        const auto all = m_state.Rs->Fields();
        for (qint32 i = 0; i < all->Count(); ++i)
            fields << all->Item(i)->Name();
    }
    frmEditActions form(&m_window);
    form.PrepareEdit(*m_state.Setting, fields, SelectedActionRow());
    ExecModal(form);
    // However the editor was left: a deletion is stored at once, not on OK.
    m_state.Actions = m_state.Setting->Actions();
}

void cDesignCommands::RunAction()
{
    const cActionRow current = SelectedActionRow();
    const auto runnable = RunnableActions(m_state.Actions.get(), current.Captions);
    if (runnable.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10646));
        return;
    }
    if (current.Texts.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10594));
        return;
    }
    fRunAction chooser(&m_window);
    for (const auto& [number, column] : runnable)
        chooser.AddAction(m_state.Actions->item(number).Caption(), current.Captions.at(column - 1));
    ExecModal(chooser);
    if (chooser.Chosen() >= 0)
        RunActionOnRow(m_state.Actions->item(runnable.at(chooser.Chosen()).first), current,
                       runnable.at(chooser.Chosen()).second);
}

cActionRow cDesignCommands::SelectedActionRow() const
{
    cActionRow current;
    const cRecordList* list = m_window.list;
    const qint64 row = list->SelectedRow();
    for (int i = 0; i < list->ColumnCount(); ++i) {
        current.Captions << list->HeaderText(i);
        if (row >= 0)
            current.Texts << list->CellText(row, i);
    }
    return current;
}
