#include "frmRecordOrder.h"

#include "Database.h"
#include "mJetSql.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmRecordOrder::frmRecordOrder(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRecordOrder"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(QStringLiteral("Výběr polí"));
    setModal(true);

    // Created in the order the Tab key visits them.
    lstField = new QListWidget(this);
    lstField->setObjectName(QStringLiteral("lstField"));
    lstField->setSelectionMode(QAbstractItemView::SingleSelection);
    lblField = NewCaption(this, "lblField", QStringLiteral("&Pole tabulky:"), lstField);
    cmdInsert = NewButton(this, "cmdInsert", QStringLiteral("V&ložit"));
    cmdClear = NewButton(this, "cmdClear", QStringLiteral("Vy&mazat"));
    txtResult = new QLineEdit(this);
    txtResult->setObjectName(QStringLiteral("txtResult"));
    lblResult = NewCaption(this, "lblResult", QStringLiteral("&Vybraná pole:"), txtResult);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);

    auto* editing = new QHBoxLayout;
    editing->addWidget(cmdInsert);
    editing->addWidget(cmdClear);
    editing->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblField);
    layout->addWidget(lstField, 1);
    layout->addLayout(editing);
    layout->addWidget(lblResult);
    layout->addWidget(txtResult);
    layout->addLayout(buttons);

    // Not 0: arriving in the box leaves the collected list unselected, so that a key
    // typed there does not replace all of it.
    m_resultWrapper = CreateStandardTextBox(txtResult, cStandardTextBox::kFlagZoomKeys);
    // Installed after the wrapper, so the form sees the events first.
    for (QWidget* control : std::initializer_list<QWidget*>{lstField, cmdInsert, cmdClear, txtResult, cmdOK, cmdCancel})
        control->installEventFilter(this);

    connect(cmdInsert, &QPushButton::clicked, this, &frmRecordOrder::cmdInsert_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmRecordOrder::cmdClear_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmRecordOrder::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRecordOrder::reject);
    connect(lstField, &QListWidget::itemDoubleClicked, this, &frmRecordOrder::cmdInsert_Click);
    connect(lstField, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_focus.Announced() == lstField && row >= 0)
            VoiceEcho(2, 0, lstField->item(row)->text());
    });

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    resize(700, 550);
}

frmRecordOrder::~frmRecordOrder() = default;

void frmRecordOrder::Prepare(Database& database, const QString& table)
{
    // The table's definition, not a record source: no record is read, however many the
    // table holds, and an Access table is not copied for it.
    const auto definition = database.TableDefs()->Item(table);
    m_table = definition->Name();
    lstField->clear();
    for (const auto& field : *definition->Fields())
        lstField->addItem(field->Name());
    if (lstField->count() > 0)
        lstField->setCurrentRow(0);
}

QString frmRecordOrder::Query() const
{
    if (m_result == ResultOk)
        return QStringLiteral("select ") + txtResult->text() + QStringLiteral(" from ") + JetBracketName(m_table);
    return QStringLiteral("select * from ") + JetBracketName(m_table);
}

void frmRecordOrder::showEvent(QShowEvent* event)
{
    // A form opened again starts where a new one does.
    m_result = ResultCancel;
    m_focus.Forget();
    if (lstField->count() > 0 && lstField->currentRow() < 0)
        lstField->setCurrentRow(0);
    lstField->setFocus();
    QDialog::showEvent(event);
}

void frmRecordOrder::cmdInsert_Click()
{
    const QListWidgetItem* item = lstField->currentItem();
    if (!item)
        return;
    // Bracketed: a name with a blank or a keyword is still one name to the engine.
    QString list = txtResult->text();
    if (!list.isEmpty())
        list += u',';
    txtResult->setText(list + JetBracketName(item->text()));
    VoiceOutput(2, 0, txtResult->text());
}

void frmRecordOrder::cmdClear_Click()
{
    txtResult->clear();
    VoiceOutput(2, 0, LoadString(504));
}

void frmRecordOrder::cmdOK_Click()
{
    m_result = ResultOk;
    done(ResultOk);
}

void frmRecordOrder::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

bool frmRecordOrder::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        if (event->type() == QEvent::KeyPress && control == lstField) {
            auto* key = static_cast<QKeyEvent*>(event);
            const int keyCode = KeyCodeOf(key);
            // Enter is left to the default button: it confirms.
            if (ShiftOf(key) == 0 && (keyCode == Key::Space || keyCode == Key::Insert)) {
                cmdInsert_Click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
