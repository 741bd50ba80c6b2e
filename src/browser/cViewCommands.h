#pragma once

// The View menu's commands: which records are shown (all, filtered), in what order, with
// which fields, and the order-by menu that follows the grid's sort. Opening a record
// source runs as long work here; the window's layout and key routing stay with the window.

#include <QStringList>
#include <QtGlobal>

#include <memory>

class Database;
class Recordset;
class fApplication;
struct cBrowserState;

class cViewCommands {
public:
    cViewCommands(fApplication& window, cBrowserState& state);

    void AllRecords();
    void Filter();
    // Every record of the definition's query (opened: that source just opened, not opened
    // again); nothing changes when All records is marked already or the opening is stopped.
    void ShowAllRecords(std::shared_ptr<Recordset> opened);
    // One checkable item for each grid column, with Ctrl and its number.
    void PrepareOrderByMenu();
    void UpdateOrderByChecks();
    void OrderByColumn(int index);
    void SortAZ();
    void SortZA();
    void FitColumnWidths();
    void FieldSelection();
    // Ctrl+I: the position, the source, the filter and the order in force, and in the form
    // view (or reading by cells) the field.
    void WhereAmI();
    // Ctrl+L: reading the grid by cells on or off, said and kept in the preferences.
    void ToggleCellReading();
    void ApplyStoredCellReading();

    // The record source of sql, opened and counted as long work; null when stopped.
    static std::shared_ptr<Recordset> OpenSource(const std::shared_ptr<Database>& database, const QString& sql);

private:
    void SortInOrder(Qt::SortOrder order);
    QString NarrowingWords() const;
    QString FieldInWords(int column) const;
    QString StoredQueryName(const QString& query) const;

    fApplication& m_window;
    cBrowserState& m_state;
    // What the filter form was last given, box by box, offered again the next time.
    QStringList m_filterValues;
    // The rows narrowed last, as said: a filter in words, or kept by hand. They are in
    // force while the grid shows that recordset.
    std::weak_ptr<Recordset> m_narrowed;
    QString m_filterWords;
    bool m_kept = false;
};
