#include "frmRecordModify.h"

#include "DBEngine.h"
#include "Database.h"
#include "ErrorStorage.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "fSettingColumn.h"
#include "frmNewField.h"
#include "mDatabaseCopy.h"
#include "mErrorMessage.h"
#include "mFitToScreen.h"
#include "mJetErrors.h"
#include "mKeys.h"
#include "mLongWork.h"
#include "mPrepareForm.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr quint32 kSystemObject = 0x80000002u;
constexpr quint32 kAttachedTable = 0x40000000u;
constexpr quint32 kAttachedOdbc = 0x20000000u;
constexpr int kText = 10;
const QString kMarker = QStringLiteral(" -> ");

QListWidget* NewList(QWidget* form, const char* name, QLabel** label, const char* labelName, const QString& caption)
{
    auto* list = new QListWidget(form);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    *label = NewCaption(form, labelName, caption, list);
    return list;
}

// The engine's description, safe in a message box text whose fields "|" separates.
void TellFailure()
{
    ShowOkMessage(CaptureError().Description.replace(u'|', QLatin1String("pipe")));
}

// The number a length text starts with, 0 for none: the engine judges what it means.
qint32 LeadingNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && digits < 9 && trimmed[digits].isDigit())
        ++digits;
    return trimmed.left(digits).toInt();
}

// The order list of the field dialog: 1 … count, with selected (0-based) chosen.
void FillOrder(QComboBox* order, int count, int selected)
{
    order->clear();
    for (int n = 1; n <= count; ++n)
        order->addItem(QString::number(n));
    order->setCurrentIndex(selected);
}

} // namespace

bool frmRecordModify::IsSystemTable(qint32 attributes)
{
    return (quint32(attributes) & kSystemObject) != 0;
}

QString frmRecordModify::TableEntry(const QString& name, qint32 attributes, const QString& connect)
{
    const quint32 bits = quint32(attributes);
    if (bits & kAttachedTable) {
        if (connect.startsWith(u';'))
            return name + QStringLiteral(" -> Jet");
        return name + kMarker + connect.section(u';', 0, 0);
    }
    if (bits & kAttachedOdbc)
        return name + QStringLiteral(" -> ODBC");
    return name;
}

frmRecordModify::frmRecordModify(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRecordModify"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(10670));
    setModal(true);
    m_focus.ListEntry = [this](const QListWidget* list) {
        if (list->currentItem())
            return list->currentItem()->text();
        return LoadString(list == lstTable ? 10682 : 10681);
    };

    // Created in the order the Tab key visits them.
    lstTable = NewList(this, "lstTable", &Label1, "Label1", QStringLiteral("&Tabulky:"));
    lstField = NewList(this, "lstField", &Label2, "Label2", QStringLiteral("&Pole tabulky:"));
    chkVisible = new QCheckBox(QStringLiteral("&Zobrazit sloupec pole"), this);
    chkVisible->setObjectName(QStringLiteral("chkVisible"));
    chkVisible->setAccessibleName(QStringLiteral("Zobrazit sloupec pole"));
    cmdProps = NewButton(this, "cmdProps", QStringLiteral("&Vlastnosti pole..."));
    cmdAdd = NewButton(this, "cmdAdd", QStringLiteral("Přid&at pole..."));
    cmdRemove = NewButton(this, "cmdRemove", QStringLiteral("&Odebrat pole"));
    cmdTableNew = NewButton(this, "cmdTableNew", QStringLiteral("&Nová tabulka..."));
    cmdTableDel = NewButton(this, "cmdTableDel", QStringLiteral("&Smazat tabulku"));
    txtOrder = NewButton(this, "txtOrder", QStringLiteral("Prohodit nastavení sloupců &1 a 2"));
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);

    auto* tables = new QVBoxLayout;
    tables->addWidget(Label1);
    tables->addWidget(lstTable, 1);
    tables->addWidget(cmdTableNew);
    tables->addWidget(cmdTableDel);
    // One under another, as the table buttons: side by side at a large font they made the
    // editor wider than the screen.
    auto* fields = new QVBoxLayout;
    fields->addWidget(Label2);
    fields->addWidget(lstField, 1);
    for (QWidget* control : std::initializer_list<QWidget*>{chkVisible, cmdProps, cmdAdd, cmdRemove})
        fields->addWidget(control);
    auto* columns = new QHBoxLayout;
    columns->addLayout(tables, 1);
    columns->addLayout(fields, 1);
    QScrollArea* scroll = NewScrollingPage(this);
    auto* layout = new QVBoxLayout(scroll->widget());
    layout->addLayout(columns, 1);
    layout->addWidget(txtOrder, 0, Qt::AlignLeft);
    layout->addLayout(buttons);

    for (QWidget* control : std::initializer_list<QWidget*>{lstTable, lstField, chkVisible, cmdProps, cmdAdd,
                                                            cmdRemove, cmdTableNew, cmdTableDel, txtOrder, cmdOK,
                                                            cmdCancel})
        control->installEventFilter(this);

    connect(lstTable, &QListWidget::currentRowChanged, this, &frmRecordModify::ChooseTable);
    connect(lstField, &QListWidget::currentRowChanged, this, &frmRecordModify::ChooseField);
    connect(chkVisible, &QCheckBox::clicked, this, &frmRecordModify::chkVisible_Click);
    connect(cmdProps, &QPushButton::clicked, this, &frmRecordModify::cmdProps_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmRecordModify::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmRecordModify::cmdRemove_Click);
    connect(cmdTableNew, &QPushButton::clicked, this, &frmRecordModify::cmdTableNew_Click);
    connect(cmdTableDel, &QPushButton::clicked, this, &frmRecordModify::cmdTableDel_Click);
    connect(txtOrder, &QPushButton::clicked, this, &frmRecordModify::txtOrder_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmRecordModify::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRecordModify::reject);

    ApplyFontToForm(this, gFont);
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    FitToScreen(this, scroll, 1000, 650);
}

frmRecordModify::~frmRecordModify()
{
    CloseDatabase();
}

void frmRecordModify::PrepareSetting(cSetting* setting)
{
    m_setting = setting;
    lstField->clear();
    const QString file = setting ? setting->DatabaseFile() : QString();
    try {
        m_database = DBEngine::Instance().OpenDatabase(file, false, false, setting ? setting->DatabaseType() : QString());
        m_readOnly = m_database->ReadOnly();
        m_accessFile = IsAccessFile(file);
    } catch (const cRuntimeError&) {
        // Empty lists alone would not say why there is nothing to edit.
        m_database.reset();
        TellFailure();
        return;
    }
    FillTables();
    if (lstTable->count() == 0 && !m_readOnly && CreateTable(QStringLiteral("tabulka1"), false))
        FillTables(QStringLiteral("tabulka1"));
}

std::shared_ptr<TableDef> frmRecordModify::Table() const
{
    if (!m_database || m_tableName.isEmpty())
        return nullptr;
    const auto tables = m_database->TableDefs();
    const qsizetype index = tables->IndexOf(m_tableName);
    return index < 0 ? nullptr : tables->Item(qint32(index));
}

std::shared_ptr<Field> frmRecordModify::ChosenField() const
{
    const auto table = Table();
    const QListWidgetItem* item = lstField->currentItem();
    if (!table || !item)
        return nullptr;
    const qsizetype index = table->Fields()->IndexOf(item->text());
    return index < 0 ? nullptr : table->Fields()->Item(qint32(index));
}

void frmRecordModify::FillTables(const QString& select)
{
    const QSignalBlocker quiet(lstTable);
    lstTable->clear();
    m_tableNames.clear();
    if (m_database) {
        try {
            const auto tables = m_database->TableDefs();
            tables->Refresh();
            for (const auto& table : *tables) {
                if (IsSystemTable(table->Attributes()))
                    continue;
                auto* item = new QListWidgetItem(TableEntry(table->Name(), table->Attributes(), table->Connect()));
                item->setData(Qt::UserRole, table->Name());
                lstTable->addItem(item);
                m_tableNames << table->Name();
            }
        } catch (const cRuntimeError&) {
            TellFailure();
        }
    }
    const qsizetype found = select.isEmpty() ? -1 : m_tableNames.indexOf(select);
    lstTable->setCurrentRow(lstTable->count() == 0 ? -1 : int(std::max<qsizetype>(found, 0)));
    const QListWidgetItem* current = lstTable->currentItem();
    m_tableName = current ? current->data(Qt::UserRole).toString() : QString();
    FillFields();
}

void frmRecordModify::FillFields(const QString& select)
{
    {
        const QSignalBlocker quiet(lstField);
        lstField->clear();
        if (const auto table = Table()) {
            for (const auto& field : *table->Fields())
                lstField->addItem(field->Name());
        }
        int row = lstField->count() == 0 ? -1 : 0;
        for (int i = 0; i < lstField->count(); ++i) {
            if (lstField->item(i)->text() == select)
                row = i;
        }
        lstField->setCurrentRow(row);
    }
    ChooseField(lstField->currentRow());
}

void frmRecordModify::ChooseTable(int row)
{
    const QListWidgetItem* item = row < 0 ? nullptr : lstTable->item(row);
    m_tableName = item ? item->data(Qt::UserRole).toString() : QString();
    FillFields();
    if (item && m_focus.Announced() == lstTable)
        VoiceEcho(2, 0, item->text());
}

void frmRecordModify::ChooseField(int row)
{
    const QListWidgetItem* item = row < 0 ? nullptr : lstField->item(row);
    m_column.reset();
    if (item && m_setting) {
        const qint32 slot = ColumnSlot(item->text());
        m_column = m_setting->GetColumnDef(slot, item->text());
        if (m_column->FieldName().isEmpty()) {
            // A field without a definition is shown, as the grid shows it.
            m_column->setFieldName(item->text());
            m_column->setVisible(QStringLiteral("Show"));
        }
    }
    chkVisible->setChecked(m_column && !m_column->Visible().isEmpty());
    chkVisible->setEnabled(m_column.has_value());
    if (item && m_focus.Announced() == lstField)
        VoiceEcho(2, 0, item->text());
}

qint32 frmRecordModify::ColumnSlot(const QString& fieldName) const
{
    for (qint32 n = 1; n <= cSetting::kMaxColumns; ++n) {
        const QString stored = m_setting->GetColumnDef(n, QString()).FieldName();
        if (stored.isEmpty() || stored == fieldName)
            return n;
    }
    return cSetting::kMaxColumns;
}

void frmRecordModify::StoreColumn(const QString& fieldName, cColumnDefinition column)
{
    if (!m_setting)
        return;
    const qint32 slot = ColumnSlot(column.FieldName().isEmpty() ? fieldName : column.FieldName());
    column.setFieldName(fieldName);
    m_setting->SetColumnDef(slot, column);
}

bool frmRecordModify::RefuseReadOnly() const
{
    if (!m_database) {
        VoiceOutput(2, 0, LoadString(10595));
        return true;
    }
    if (!m_readOnly)
        return false;
    // Said before the user fills any dialog, not after OK.
    ErrorStorage error;
    error.Number = JetError::ReadOnly;
    error.Description = JetErrorDescription(JetError::ReadOnly);
    if (m_accessFile)
        error.Description += u' ' + LoadString(10629);
    error.Source = QStringLiteral("DAO.TableDefs");
    ShowOkMessage(FormatErrorMessage(error));
    return true;
}

bool frmRecordModify::Change(const std::function<void(cWorkControl&)>& work, int waiting, int done)
{
    const std::shared_ptr<Database> database = m_database;
    try {
        // Escape a moment before the end cannot undo a change already made.
        return RunLongWork(
            LoadString(waiting), LoadString(done),
            [&](cWorkControl& control) {
                work(control);
                control.Commit();
            },
            [database] { database->Interrupt(); });
    } catch (const cRuntimeError&) {
        TellFailure();
        return false;
    }
}

std::shared_ptr<Field> frmRecordModify::NewField(const TableDef& table, const fSettingColumn& dialog) const
{
    auto field = table.CreateField();
    field->setName(dialog.txtName->text());
    field->setType(dialog.GetDataType());
    field->setSize(LeadingNumber(dialog.txtLen->text()));
    if (field->Type() == kText)
        field->setAllowZeroLength(true);
    field->setRequired(false);
    return field;
}

bool frmRecordModify::CreateTable(const QString& name, bool askField)
{
    std::shared_ptr<TableDef> table;
    try {
        table = m_database->CreateTableDef(name);
    } catch (const cRuntimeError&) {
        TellFailure();
        return false;
    }
    fSettingColumn dialog(this);
    dialog.PrepareNew();
    FillOrder(dialog.cmbOrder, 1, 0);
    dialog.cmbOrder->setEnabled(false);
    bool withField = true;
    if (askField) {
        ExecModal(dialog);
        withField = dialog.Result() == fSettingColumn::ResultOk;
    }
    try {
        // Without a field the engine refuses the table, and its words say why.
        if (withField)
            table->Fields()->Append(NewField(*table, dialog));
    } catch (const cRuntimeError&) {
        TellFailure();
        return false;
    }
    return Change([&](cWorkControl& control) { m_database->TableDefs()->Append(table, &control); });
}

void frmRecordModify::cmdTableNew_Click()
{
    if (RefuseReadOnly())
        return;
    frmNewField ask(this);
    ask.setWindowTitle(LoadString(10671));
    ExecModal(ask);
    if (ask.Result() != frmNewField::ResultOk)
        return;
    const QString name = ask.txtFieldName->text();
    // An existing name is told before the field is asked for, in the engine's words.
    if (m_database->TableDefs()->IndexOf(name) >= 0) {
        try {
            RaiseJetError(JetError::TableExists, {name}, QStringLiteral("DAO.TableDefs"));
        } catch (const cRuntimeError&) {
            TellFailure();
        }
        return;
    }
    const bool created = CreateTable(name, true);
    FillTables(created ? name : m_tableName);
    if (created)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10675), {name}));
    m_focus.Forget();
    lstTable->setFocus();
}

void frmRecordModify::cmdTableDel_Click()
{
    if (RefuseReadOnly())
        return;
    if (m_tableName.isEmpty()) {
        VoiceOutput(2, 0, LoadString(10664));
        return;
    }
    const QString name = m_tableName;
    const QString question = FillPlaceholders(LoadString(10674), {name}).replace(u'|', QLatin1String("pipe"));
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + windowTitle()) != 1)
        return;
    const int row = lstTable->currentRow();
    const bool deleted = Change([&](cWorkControl& control) { m_database->TableDefs()->Delete(name, &control); });
    if (deleted) {
        // The table that took its place, or the last one.
        FillTables();
        if (lstTable->count() > 0)
            lstTable->setCurrentRow(std::min(row, lstTable->count() - 1));
    } else {
        FillTables(name);
    }
    if (deleted)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10676), {name}));
    m_focus.Forget();
    lstTable->setFocus();
}

void frmRecordModify::cmdAdd_Click()
{
    if (RefuseReadOnly())
        return;
    const auto table = Table();
    if (!table) {
        VoiceOutput(2, 0, LoadString(10664));
        return;
    }
    const int count = int(table->Fields()->Count());
    fSettingColumn dialog(this);
    dialog.PrepareNew();
    FillOrder(dialog.cmbOrder, count + 1, count);
    ExecModal(dialog);
    if (dialog.Result() != fSettingColumn::ResultOk)
        return;
    std::shared_ptr<Field> field;
    try {
        field = NewField(*table, dialog);
        field->setOrdinalPosition(dialog.cmbOrder->currentIndex());
    } catch (const cRuntimeError&) {
        TellFailure();
        return;
    }
    const bool added = Change([&](cWorkControl& control) { table->Fields()->Append(field, &control); });
    FillFields(added ? field->Name() : QString());
    if (added)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10677), {field->Name()}));
    m_focus.Forget();
    lstField->setFocus();
}

void frmRecordModify::cmdRemove_Click()
{
    if (RefuseReadOnly())
        return;
    const auto table = Table();
    const auto field = ChosenField();
    if (!table || !field) {
        VoiceOutput(2, 0, LoadString(10665));
        return;
    }
    const QString name = field->Name();
    const QString question = FillPlaceholders(LoadString(10674), {name}).replace(u'|', QLatin1String("pipe"));
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + windowTitle()) != 1)
        return;
    const int row = lstField->currentRow();
    const bool removed = Change([&](cWorkControl& control) { table->Fields()->Delete(name, &control); });
    // The field that took its place, or the last one.
    const auto fields = table->Fields();
    FillFields(removed && fields->Count() > 0 ? fields->Item(std::min<qint32>(row, fields->Count() - 1))->Name() : name);
    if (removed)
        VoiceOutput(1, 0, FillPlaceholders(LoadString(10678), {name}));
    m_focus.Forget();
    lstField->setFocus();
}

void frmRecordModify::cmdProps_Click()
{
    // A read-only file's field is shown too, with its own index: what cannot change there
    // is refused when it is changed.
    if (!m_database) {
        VoiceOutput(2, 0, LoadString(10595));
        return;
    }
    const auto table = Table();
    const auto field = ChosenField();
    if (!table || !field || !m_column) {
        VoiceOutput(2, 0, LoadString(10665));
        return;
    }
    const int position = lstField->currentRow();
    fSettingColumn dialog(this);
    dialog.setWindowTitle(FillPlaceholders(LoadString(10673), {field->Name()}));
    dialog.PrepareEdit(m_setting, *field, *m_column);
    FieldIndexing indexing = FieldIndexing::Unknown;
    try {
        indexing = field->Indexing();
    } catch (const cRuntimeError&) {
        // not told: the list says it is not known
    }
    QString locked;
    if (indexing == FieldIndexing::Unknown)
        locked = LoadString(10927);
    else if (m_readOnly)
        locked = LoadString(10926) + (m_accessFile ? u' ' + LoadString(10629) : QString());
    else if (indexing == FieldIndexing::PrimaryKey)
        locked = LoadString(10925);
    dialog.ShowIndexing(indexing, locked);
    FillOrder(dialog.cmbOrder, int(table->Fields()->Count()), position);
    ExecModal(dialog);
    if (dialog.Result() != fSettingColumn::ResultOk)
        return;
    // The index first: refused (3022) or stopped, nothing else changes either.
    const FieldIndexing wanted = dialog.Indexing();
    const bool reindexed = wanted != indexing;
    if (reindexed && !Change([&](cWorkControl& control) { field->setIndexing(wanted, &control); }, 10928, 10929)) {
        m_focus.Forget();
        lstField->setFocus();
        return;
    }

    // One change of the table: the field is as asked or as it was.
    FieldSchema changed = field->Schema();
    if (field->Type() == kText)
        changed.AllowZeroLength = dialog.Check1[0]->isChecked();
    changed.Required = dialog.Check1[1]->isChecked();
    changed.Name = dialog.txtName->text();
    const int moveTo = dialog.cmbOrder->currentIndex();
    const bool same = changed.Name == field->Name() && changed.Required == field->Required()
                      && changed.AllowZeroLength == field->AllowZeroLength() && moveTo == position;
    const QString oldName = field->Name();
    if (!same && RefuseReadOnly())
        return;
    const bool altered = same || Change([&](cWorkControl& control) { field->Alter(changed, moveTo == position ? -1 : moveTo, &control); });
    try {
        // A field that moved is at its new place only in the table as read again.
        table->Fields()->Refresh();
    } catch (const cRuntimeError&) {
        TellFailure();
    }
    // The column follows the field under the name it has now.
    cColumnDefinition column = dialog.GetColumnSetting();
    column.setFieldName(oldName);
    if (!altered)
        column.setCaption(m_column->Caption());
    try {
        StoreColumn(altered ? changed.Name : oldName, column);
    } catch (const cRuntimeError&) {
        TellFailure();
    }
    FillFields(altered ? changed.Name : oldName);
    QString said = altered ? FillPlaceholders(LoadString(10679), {changed.Name}) : QString();
    if (reindexed)
        said += (said.isEmpty() ? QString() : QStringLiteral(" "))
                + FillPlaceholders(LoadString(10930), {changed.Name, dialog.cmbIndexed->currentText()});
    if (altered && !said.isEmpty())
        VoiceOutput(1, 0, said);
    m_focus.Forget();
    lstField->setFocus();
}

void frmRecordModify::chkVisible_Click()
{
    const QListWidgetItem* item = lstField->currentItem();
    if (!m_column || !item)
        return;
    // Kept at once, as every other change here is.
    m_column->setVisible(chkVisible->isChecked() ? QStringLiteral("Show") : QString());
    StoreColumn(item->text(), *m_column);
    VoiceEcho(2, 0, CheckStateText(chkVisible->isChecked()));
}

void frmRecordModify::txtOrder_Click()
{
    const auto table = Table();
    if (!m_setting || !table || table->Fields()->Count() < 2) {
        VoiceOutput(2, 0, LoadString(10669));
        return;
    }
    const auto fields = table->Fields();
    const QString names[2] = {fields->Item(0)->Name(), fields->Item(1)->Name()};
    cColumnDefinition columns[2] = {m_setting->GetColumnDef(1, names[0]), m_setting->GetColumnDef(2, names[1])};
    // A place never stored gets a shown column of a field the other does not name: an
    // empty place would end the grid's lookup there.
    for (int i : {0, 1}) {
        if (!columns[i].FieldName().isEmpty())
            continue;
        const QString& other = columns[1 - i].FieldName();
        columns[i].setFieldName(names[i] == other ? names[1 - i] : names[i]);
        columns[i].setCaption(columns[i].FieldName());
        columns[i].setVisible(QStringLiteral("Show"));
    }
    m_setting->SetColumnDef(1, columns[1]);
    m_setting->SetColumnDef(2, columns[0]);
    ChooseField(lstField->currentRow());
    VoiceOutput(2, 0, LoadString(10668));
}

void frmRecordModify::cmdOK_Click()
{
    const QListWidgetItem* item = lstField->currentItem();
    if (item && m_column) {
        m_column->setVisible(chkVisible->isChecked() ? QStringLiteral("Show") : QString());
        StoreColumn(item->text(), *m_column);
    }
    CloseDatabase();
    m_result = ResultOk;
    done(ResultOk);
}

void frmRecordModify::reject()
{
    CloseDatabase();
    m_result = ResultCancel;
    done(ResultCancel);
}

void frmRecordModify::CloseDatabase()
{
    if (!m_database)
        return;
    try {
        m_database->Close();
    } catch (const cRuntimeError&) {
    }
    m_database.reset();
}

void frmRecordModify::showEvent(QShowEvent* event)
{
    m_focus.Forget();
    lstTable->setFocus();
    QDialog::showEvent(event);
}

bool frmRecordModify::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        if (event->type() == QEvent::KeyPress && (control == lstTable || control == lstField)) {
            auto* key = static_cast<QKeyEvent*>(event);
            const int code = KeyCodeOf(key);
            const bool fields = control == lstField;
            if (ShiftOf(key) == 0 && code == Key::Delete) {
                fields ? cmdRemove_Click() : cmdTableDel_Click();
                return true;
            }
            if (ShiftOf(key) == 0 && code == Key::Insert) {
                fields ? cmdAdd_Click() : cmdTableNew_Click();
                return true;
            }
            if (fields && ShiftOf(key) != 0 && code == Key::Return) {
                cmdProps_Click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
