#include "frmEditActions.h"

#include "cSetting.h"
#include "mFitToScreen.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "modRegistry.h"
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

namespace {

QListWidget* NewList(QWidget* form, const char* name)
{
    auto* list = new QListWidget(form);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QLineEdit* NewBox(QWidget* form, const char* name)
{
    auto* box = new QLineEdit(form);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

QString frmEditActions::UnavailableField()
{
    return QStringLiteral("Nepřístupné");
}

frmEditActions::frmEditActions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEditActions"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(14000));
    setModal(true);

    // Created in the order the Tab key visits them.
    lstActions = NewList(this, "lstActions");
    lblActions = NewCaption(this, "lblActions", LoadString(14001), lstActions);
    cmdNew = NewButton(this, "cmdNew", QStringLiteral("&Nová"));
    cmdDel = NewButton(this, "cmdDel", LoadString(14007));
    cmdActionExec = NewButton(this, "cmdActionExec", QStringLiteral("&Vyzkoušet"));
    txtCaption = NewBox(this, "txtCaption");
    lblCaption = NewCaption(this, "lblCaption", LoadString(14002), txtCaption);
    txtAction = NewBox(this, "txtAction");
    lblAction = NewCaption(this, "lblAction", QStringLiteral("P&rogram:"), txtAction);
    cmdBrowse = NewButton(this, "cmdBrowse", QStringLiteral("&Procházet"));
    txtPar = NewBox(this, "txtPar");
    lblPar = NewCaption(this, "lblPar", QStringLiteral("P&arametry:"), txtPar);
    lstField = NewList(this, "lstField");
    lblField = NewCaption(this, "lblField", QStringLiteral("Po&le:"), lstField);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(lblActions);
    listColumn->addWidget(lstActions, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(cmdNew);
    listButtons->addWidget(cmdDel);
    listButtons->addWidget(cmdActionExec);
    listColumn->addLayout(listButtons);
    auto* details = new QGridLayout;
    details->addWidget(lblCaption, 0, 0, 1, 2);
    details->addWidget(txtCaption, 1, 0, 1, 2);
    details->addWidget(lblAction, 2, 0, 1, 2);
    details->addWidget(txtAction, 3, 0);
    details->addWidget(cmdBrowse, 3, 1);
    details->addWidget(lblPar, 4, 0, 1, 2);
    details->addWidget(txtPar, 5, 0, 1, 2);
    details->addWidget(lblField, 6, 0, 1, 2);
    details->addWidget(lstField, 7, 0, 1, 2);
    details->setRowStretch(7, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(listColumn, 1);
    columns->addLayout(details, 2);
    QScrollArea* scroll = NewScrollingPage(this);
    auto* layout = new QVBoxLayout(scroll->widget());
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);

    for (QLineEdit* box : {txtCaption, txtAction, txtPar})
        m_wrappers.push_back(CreateStandardTextBox(box, 0));
    // Installed after the wrappers, so the form sees the events first.
    for (QWidget* control : std::initializer_list<QWidget*>{lstActions, cmdNew, cmdDel, cmdActionExec, txtCaption,
                                                            txtAction, cmdBrowse, txtPar, lstField, cmdOK, cmdCancel})
        control->installEventFilter(this);

    connect(cmdNew, &QPushButton::clicked, this, &frmEditActions::cmdNew_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmEditActions::cmdDel_Click);
    connect(cmdActionExec, &QPushButton::clicked, this, &frmEditActions::cmdActionExec_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmEditActions::cmdBrowse_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmEditActions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEditActions::cmdCancel_Click);
    connect(lstActions, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        m_new = false;
        ShowAction(row + 1);
        if (m_focus.Announced() == lstActions)
            VoiceEcho(2, 0, lstActions->item(row)->text());
    });
    connect(lstField, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_focus.Announced() == lstField && row >= 0)
            VoiceEcho(2, 0, lstField->item(row)->text());
    });

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    FitToScreen(this, scroll, 900, 600);
}

frmEditActions::~frmEditActions() = default;

void frmEditActions::PrepareEdit(cSetting& setting, const QStringList& fields, const cActionRow& row)
{
    m_setting = &setting;
    m_fields = fields;
    m_row = row;
    LoadActions();
    if (lstActions->count() == 0)
        FillFields(m_fields.value(0)); // as a new action starts
}

void frmEditActions::LoadActions()
{
    m_actions = m_setting->Actions();
    const QSignalBlocker quiet(lstActions);
    lstActions->clear();
    if (m_actions) {
        for (const cAction& action : *m_actions)
            lstActions->addItem(action.Caption());
    }
    if (lstActions->count() > 0) {
        lstActions->setCurrentRow(0);
        ShowAction(1);
    }
}

void frmEditActions::ShowAction(int k)
{
    if (!m_actions || k < 1 || k > m_actions->count())
        return;
    const cAction& action = m_actions->item(k);
    txtCaption->setText(action.Caption());
    const qsizetype bar = action.Action().indexOf(u'|');
    txtAction->setText(bar < 0 ? action.Action() : action.Action().left(bar));
    txtPar->setText(bar < 0 ? QString() : action.Action().mid(bar + 1));
    FillFields(action.Field());
}

void frmEditActions::FillFields(const QString& field)
{
    const QSignalBlocker quiet(lstField);
    lstField->clear();
    lstField->addItems(m_fields);
    lstField->addItem(UnavailableField());
    const qsizetype found = m_fields.indexOf(field);
    lstField->setCurrentRow(found >= 0 ? int(found) : lstField->count() - 1);
}

void frmEditActions::showEvent(QShowEvent* event)
{
    m_result = ResultNone;
    m_focus.Forget();
    // With nothing stored yet the user starts a new action at once.
    if (lstActions->count() > 0) {
        lstActions->setFocus();
    } else {
        m_new = true;
        txtCaption->setFocus();
    }
    QDialog::showEvent(event);
}

void frmEditActions::cmdNew_Click()
{
    m_new = true;
    txtCaption->clear();
    txtAction->clear();
    txtPar->clear();
    FillFields(m_fields.value(0));
    txtCaption->setFocus();
}

void frmEditActions::cmdOK_Click()
{
    // An action without a caption would end the stored list there and hide those after it.
    if (txtCaption->text().isEmpty()) {
        ShowOkMessage(LoadString(10647));
        txtCaption->setFocus();
        return;
    }
    const bool added = m_new || lstActions->currentRow() < 0;
    const int n = added ? lstActions->count() + 1 : lstActions->currentRow() + 1;
    cAction action;
    action.setCaption(txtCaption->text());
    action.setAction(txtAction->text() + u'|' + txtPar->text());
    const QListWidgetItem* field = lstField->currentItem();
    action.setField(field ? field->text() : UnavailableField());
    cActions::Save(n, action);
    m_result = ResultOk;
    done(ResultOk);
}

void frmEditActions::cmdDel_Click()
{
    const int row = lstActions->currentRow();
    if (row < 0 || !m_actions) {
        ShowOkMessage(QStringLiteral("Není nic vybráno."));
        return;
    }
    const QString question = QStringLiteral("Smazat ") + lstActions->item(row)->text() + u'?';
    if (ShowAccessibleDialog(DialogKind::YesNo, question + u'|' + windowTitle()) != 1)
        return;
    const int count = m_actions->count();
    DeleteRegKey(HKEY_CURRENT_USER, JoinKeyPath(kProgramKey, cActions::SectionOf(count)));
    // The rest move up one number, so the stored list stays dense and in its order.
    int written = 0;
    for (int k = 1; k <= count; ++k) {
        if (k != row + 1)
            cActions::Save(++written, m_actions->item(k));
    }
    m_new = false;
    LoadActions();
    if (lstActions->count() == 0) {
        txtCaption->clear();
        txtAction->clear();
        txtPar->clear();
        FillFields(QString());
        VoiceOutput(2, 0, LoadString(504));
        return;
    }
    lstActions->setCurrentRow(std::min(row, lstActions->count() - 1));
    lstActions->setFocus();
    VoiceOutput(2, 0, lstActions->currentItem()->text());
}

void frmEditActions::cmdActionExec_Click()
{
    const int row = lstActions->currentRow();
    if (row < 0 || !m_actions) {
        ShowOkMessage(QStringLiteral("Není nic vybráno."));
        return;
    }
    // What is stored, not what is being typed.
    const cAction action = m_actions->item(row + 1);
    m_result = ResultNone;
    done(ResultNone);
    RunActionOnRow(action, m_row);
}

void frmEditActions::cmdBrowse_Click()
{
    const QString text = QStringLiteral("*.exe|") + gWorkDir + u'|' + LoadString(1134);
    if (SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::FileOpen), text) != 1)
        return;
    const QString path = TakeSelectedFile();
    if (path.isEmpty())
        return;
    txtAction->setText(path);
    txtAction->setFocus();
}

void frmEditActions::cmdCancel_Click()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

void frmEditActions::reject()
{
    m_result = ResultNone;
    done(ResultNone);
}

bool frmEditActions::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        if (event->type() == QEvent::KeyPress && control == lstActions) {
            auto* key = static_cast<QKeyEvent*>(event);
            const int keyCode = KeyCodeOf(key);
            if (ShiftOf(key) == 0) {
                if (keyCode == Key::Delete) {
                    cmdDel_Click();
                    return true;
                }
                if (keyCode == Key::Insert) {
                    cmdNew_Click();
                    return true;
                }
                if (keyCode == Key::Return) {
                    cmdActionExec_Click();
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
