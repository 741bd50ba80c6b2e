#pragma once
// The structure editor: tables and fields changed through the engine, each change as long work.
#include "cColumnDefinition.h"
#include "cFocusAnnouncer.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class Database;
class cWorkControl;
class Field;
class TableDef;
class cSetting;
class fSettingColumn;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

// The tables of the database and the fields of one of them, on a connection of its own.
// Every change is made when its command runs; nothing waits for OK.
class frmRecordModify : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2617;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit frmRecordModify(QWidget* parent = nullptr);
    ~frmRecordModify() override;

    // Opens the definition's database and fills the lists; a database without a table
    // gets the table "tabulka1" at once.
    void PrepareSetting(cSetting* setting);
    int Result() const { return m_result; }
    // The tables listed when the form closed, by name.
    QStringList TableNames() const { return m_tableNames; }

    // The list entry of a table: its name, and where a linked one lives.
    static QString TableEntry(const QString& name, qint32 attributes, const QString& connect);
    static bool IsSystemTable(qint32 attributes);

    QLabel* Label1 = nullptr;
    QListWidget* lstTable = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* lstField = nullptr;
    QCheckBox* chkVisible = nullptr;
    QPushButton* cmdProps = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdTableNew = nullptr;
    QPushButton* cmdTableDel = nullptr;
    QPushButton* txtOrder = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FillTables(const QString& select = QString());
    void FillFields(const QString& select = QString());
    void ChooseTable(int row);
    void ChooseField(int row);
    std::shared_ptr<TableDef> Table() const;
    std::shared_ptr<Field> ChosenField() const;
    // Runs one change of the database as long work; true when it is made, false when it
    // failed (told) or was stopped before it was made (said).
    bool Change(const std::function<void(cWorkControl&)>& work, int waiting = 10660, int done = 10661);
    bool RefuseReadOnly() const;
    // A table with one field asked for in the field dialog; true when it exists now.
    bool CreateTable(const QString& name, bool askField);
    std::shared_ptr<Field> NewField(const TableDef& table, const fSettingColumn& dialog) const;
    // Where the field's column definition is kept: its own place, else the first free one
    // (the definitions are looked up by name up to the first free place).
    qint32 ColumnSlot(const QString& fieldName) const;
    void StoreColumn(const QString& fieldName, cColumnDefinition column);

    void cmdTableNew_Click();
    void cmdTableDel_Click();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdProps_Click();
    void chkVisible_Click();
    void txtOrder_Click();
    void cmdOK_Click();
    void CloseDatabase();

    cSetting* m_setting = nullptr;
    std::shared_ptr<Database> m_database;
    QString m_tableName;
    std::optional<cColumnDefinition> m_column;
    QStringList m_tableNames;
    bool m_readOnly = false;
    bool m_accessFile = false;
    cFocusAnnouncer m_focus{this};
    int m_listKey = 0;
    int m_result = ResultCancel;
};
