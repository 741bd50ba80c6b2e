#pragma once
// What the main window shows, shared with its command units: the open database, the record
// source in the grid, the application definition and its actions. Data only: no widgets.

#include <memory>

class cActions;
class cRelationTexts;
class cSetting;
class Database;
class Recordset;

struct cBrowserState {
    std::shared_ptr<Database> Db;
    std::shared_ptr<Recordset> Rs;
    // The texts of referred rows, read through the open database; forgotten after any change.
    std::shared_ptr<cRelationTexts> Relations;
    std::unique_ptr<cSetting> Setting;
    std::unique_ptr<cActions> Actions;
};
