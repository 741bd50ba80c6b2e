#include "frmProperties.h"

#include "Database.h"
#include "QueryDef.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "mErrorMessage.h"
#include "mFitToScreen.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString kNoQuery = QStringLiteral("žádný uložený dotaz");

// The engine's description, safe in a message box text whose fields "|" separates.
void TellFailure()
{
    ShowOkMessage(CaptureError().Description.replace(u'|', QLatin1String("pipe")));
}

// A text a box of one line can show: every line break becomes one blank.
QString OneLine(QString sql)
{
    sql.replace(QLatin1String("\r\n"), QLatin1String(" "));
    sql.replace(u'\r', u' ');
    sql.replace(u'\n', u' ');
    return sql;
}

} // namespace

frmProperties::frmProperties(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProperties"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(QStringLiteral("Dotaz SQL"));
    setModal(true);
    // The list is said by its entry alone; an empty one says there is no query.
    m_focus.ListCaption = false;
    m_focus.ListEntry = [](const QListWidget* list) {
        return list->currentItem() ? list->currentItem()->text() : kNoQuery;
    };

    // Created in the order the Tab key visits them.
    lstQuery = new QListWidget(this);
    lstQuery->setObjectName(QStringLiteral("lstQuery"));
    lstQuery->setSelectionMode(QAbstractItemView::SingleSelection);
    lblQuery = NewCaption(this, "lblQuery", QStringLiteral("Uložené dota&zy:"), lstQuery);
    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    Label1 = NewCaption(this, "Label1", QStringLiteral("&Název:"), txtName);
    txtQuery = new QLineEdit(this);
    txtQuery->setObjectName(QStringLiteral("txtQuery"));
    // A query is as long as it is: a box's default limit would cut it, and Save store the cut text.
    txtQuery->setMaxLength(std::numeric_limits<int>::max());
    Label2 = NewCaption(this, "Label2", QStringLiteral("&Dotaz SQL:"), txtQuery);
    cmdAdd = NewButton(this, "cmdAdd", QStringLiteral("N&ový"));
    cmdRemove = NewButton(this, "cmdRemove", QStringLiteral("S&mazat"));
    cmdSave = NewButton(this, "cmdSave", QStringLiteral("&Uložit"));
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    buttons->insertWidget(0, cmdAdd);
    buttons->insertWidget(1, cmdRemove);
    buttons->insertWidget(2, cmdSave);

    auto* boxes = new QGridLayout;
    boxes->addWidget(Label1, 0, 0);
    boxes->addWidget(txtName, 0, 1);
    boxes->addWidget(Label2, 1, 0);
    boxes->addWidget(txtQuery, 1, 1);
    QScrollArea* scroll = NewScrollingPage(this);
    auto* layout = new QVBoxLayout(scroll->widget());
    layout->addWidget(lblQuery);
    layout->addWidget(lstQuery, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    m_nameWrapper = CreateStandardTextBox(txtName, 0);
    m_queryWrapper = CreateStandardTextBox(txtQuery, 0);
    // Installed after the wrappers, so the form sees the events first.
    for (QWidget* control : std::initializer_list<QWidget*>{lstQuery, txtName, txtQuery, cmdAdd, cmdRemove, cmdSave,
                                                            cmdOK, cmdCancel})
        control->installEventFilter(this);

    connect(lstQuery, &QListWidget::currentRowChanged, this, &frmProperties::ShowEntry);
    connect(cmdAdd, &QPushButton::clicked, this, &frmProperties::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmProperties::cmdRemove_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmProperties::cmdSave_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProperties::reject);

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    FitToScreen(this, scroll, 900, 600);
}

frmProperties::~frmProperties() = default;

void frmProperties::PrepareSetting(cSetting* setting, std::shared_ptr<Database> database)
{
    m_setting = setting;
    m_database = std::move(database);
    try {
        FillList();
    } catch (const cRuntimeError&) {
        TellFailure();
    }
}

void frmProperties::FillList(const QString& select)
{
    lstQuery->clear();
    if (!m_database)
        return;
    const auto queries = m_database->QueryDefs();
    for (const auto& query : *queries)
        lstQuery->addItem(query->Name());
    if (lstQuery->count() > 0)
        lstQuery->setCurrentRow(select.isEmpty() ? 0 : std::max<int>(0, int(queries->IndexOf(select))));
}

void frmProperties::ShowEntry(int row)
{
    if (row < 0 || !m_database) {
        txtName->clear();
        txtQuery->clear();
        return;
    }
    // Moving to an entry leaves a new query unsaved: Save then changes the entry shown.
    EndNewQuery();
    try {
        const auto query = m_database->QueryDefs()->Item(lstQuery->item(row)->text());
        txtName->setText(query->Name());
        txtQuery->setText(OneLine(query->SQL()));
    } catch (const cRuntimeError&) {
        TellFailure();
    }
    txtName->setCursorPosition(0);
    txtQuery->setCursorPosition(0);
}

void frmProperties::EndNewQuery()
{
    m_newQuery = false;
    cmdAdd->setEnabled(true);
    cmdRemove->setEnabled(true);
}

void frmProperties::cmdAdd_Click()
{
    txtName->clear();
    txtName->setFocus();
    m_newQuery = true;
    cmdAdd->setEnabled(false);
    cmdRemove->setEnabled(false);
}

void frmProperties::cmdSave_Click()
{
    if (!m_database)
        return;
    const QString name = txtName->text();
    const QString sql = txtQuery->text();
    const int row = lstQuery->currentRow();
    try {
        const auto queries = m_database->QueryDefs();
        // With no entry to change (a database without stored queries) Save makes one.
        if (m_newQuery || row < 0) {
            const auto query = m_database->CreateQueryDef();
            query->setSQL(sql);
            query->setName(name);
            queries->Append(query);
        } else {
            const auto query = queries->Item(lstQuery->item(row)->text());
            query->setSQL(sql);
            query->setName(name);
            queries->Refresh();
        }
    } catch (const cRuntimeError&) {
        // The queries keep what was stored before the refused step; what is typed stays,
        // to be corrected.
        TellFailure();
        return;
    }
    EndNewQuery();
    FillList(name);
    VoiceOutput(2, 0, QStringLiteral("Dotaz %1 je uložen.").arg(name));
}

void frmProperties::cmdRemove_Click()
{
    const int row = lstQuery->currentRow();
    if (row < 0 || !m_database) {
        VoiceOutput(2, 0, kNoQuery);
        return;
    }
    const QString name = lstQuery->item(row)->text();
    const QString question = QStringLiteral("Smazat %1?").arg(name).replace(u'|', QLatin1String("pipe"));
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + windowTitle()) != 1)
        return;
    try {
        m_database->QueryDefs()->Delete(name);
    } catch (const cRuntimeError&) {
        TellFailure();
        return;
    }
    // The entry that took its place, or the last one.
    const auto queries = m_database->QueryDefs();
    FillList(queries->Count() > 0 ? queries->Item(std::min(row, int(queries->Count()) - 1))->Name() : QString());
    m_focus.Forget();
    lstQuery->setFocus();
}

void frmProperties::cmdOK_Click()
{
    // Only what ends the statement goes: a ";" inside a text is part of the text, and one
    // in the middle is the engine's to refuse, never to be cut out silently.
    QString sql = txtQuery->text();
    while (!sql.isEmpty() && (sql.back().isSpace() || sql.back() == u';'))
        sql.chop(1);
    txtQuery->setText(sql);
    if (!m_setting)
        return;
    // What no record source may be is told here, in the engine's words, before anything
    // is opened again.
    try {
        if (m_database && !sql.isEmpty())
            m_database->CheckRecordSource(sql);
    } catch (const cRuntimeError&) {
        TellFailure();
        txtQuery->setFocus();
        return;
    }
    const QString previous = m_setting->Query();
    m_setting->setQuery(sql);
    if (m_apply) {
        bool applied = false;
        try {
            applied = m_apply();
        } catch (const cRuntimeError&) {
            // The source opened and failed later: what the window shows is the new query's.
            TellFailure();
            return;
        }
        if (!applied) {
            m_setting->setQuery(previous);
            txtQuery->setFocus();
            return;
        }
    }
    m_result = ResultOk;
    done(ResultOk);
}

void frmProperties::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

void frmProperties::showEvent(QShowEvent* event)
{
    // A form opened again starts where a new one does.
    m_result = ResultCancel;
    m_focus.Forget();
    lstQuery->setFocus();
    QDialog::showEvent(event);
}

void frmProperties::SpeakEntry() const
{
    const QListWidgetItem* item = lstQuery->currentItem();
    VoiceEcho(2, 0, item ? item->text() : kNoQuery);
}

bool frmProperties::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        if (event->type() == QEvent::KeyPress && control == lstQuery) {
            m_listKey = KeyCodeOf(static_cast<QKeyEvent*>(event));
        } else if (event->type() == QEvent::KeyRelease && control == lstQuery) {
            // Only a key pressed in the list: the release of the keys that opened the form
            // lands here too.
            if (KeyCodeOf(static_cast<QKeyEvent*>(event)) == m_listKey && m_listKey >= Key::Space)
                SpeakEntry();
            m_listKey = 0;
        }
    }
    return QDialog::eventFilter(watched, event);
}
