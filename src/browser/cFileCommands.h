#pragma once

// The File menu's commands on whole files: opening a database and its record source, New,
// Save As, Export and the definition's query. Files are written by the data layer, whole
// or not at all; here the user is asked where and told how it went.

#include <QString>

#include <memory>
#include <optional>

class Database;
class fApplication;
struct cBrowserState;

class cFileCommands {
public:
    cFileCommands(fApplication& window, cBrowserState& state);

    // Opens the database (empty: the current one again) and its record source, builds the
    // columns and shows the view of ViewStyle. False when nothing new is shown; failures
    // past the opening of the record source are thrown to the caller.
    bool ApplySetting(const QString& fileName, bool keepQuery);
    void Open();
    void New();
    void SaveAs();
    void Export();
    void Properties();

private:
    enum class Choice { Chosen, Cancelled, Reopen };
    // The table to show when no query is stored: the only one at once, else as the user
    // chooses; a database without tables goes to the structure editor (Reopen: a table was
    // made there).
    Choice ChooseTable(Database& database, const QString& file, QString& selectedTable);
    // One column for each field the definition does not hide, each on the field it shows.
    void BuildColumns();
    // The open dialog's file (empty when none was chosen, the folder remembered either
    // way); nullopt when the dialog was cancelled.
    std::optional<QString> AskDatabaseFile(int requestId);
    // The save dialog's file, with the extension by the exact-case rule; empty when cancelled.
    QString AskFileToWrite(const QString& mask, int requestId, const QString& extension);

    fApplication& m_window;
    cBrowserState& m_state;
};
