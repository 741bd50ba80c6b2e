#include "fSettingColumn.h"

#include "Field.h"
#include "cSetting.h"
#include "mFitToScreen.h"
#include "mJetErrors.h"
#include "mPrepareForm.h"
#include "mStandardComboBox.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// The offered types in list order: Byte, Memo and the rest are never offered.
constexpr std::array<int, 8> kOfferedTypes{10, 4, 3, 7, 6, 8, 5, 1};
constexpr int kTypeTexts = 30000;

QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(QString(caption).remove(u'&'));
    return box;
}

template <typename T>
T* Named(T* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

// The entries of the list "Indexováno", in this order; the fourth only for a state not known.
constexpr int kIndexTexts = 10920;
constexpr std::array<FieldIndexing, 4> kIndexEntries{FieldIndexing::None, FieldIndexing::Duplicates,
                                                     FieldIndexing::Unique, FieldIndexing::Unknown};

// The entry that shows a state: a primary key is an index without duplicates.
int IndexEntryOf(FieldIndexing state)
{
    const FieldIndexing shown = state == FieldIndexing::PrimaryKey ? FieldIndexing::Unique : state;
    return int(std::find(kIndexEntries.begin(), kIndexEntries.end(), shown) - kIndexEntries.begin());
}

// "Auto" (or nothing), a whole number of twips, or a number and "%".
bool IsWidth(const QString& text)
{
    QString number = text.trimmed();
    if (number.endsWith(u'%'))
        number.chop(1);
    bool ok = false;
    double value = QLocale().toDouble(number.trimmed(), &ok);
    if (!ok)
        value = number.trimmed().toDouble(&ok);
    return ok && value >= 0;
}

// A drop-down list's value, or "žádná". Said beside a screen reader too: the toolkit gives
// it no value of such a list to read, neither when the list is reached nor when it changes.
void SayValue(qint32 mode, const QComboBox* combo)
{
    VoiceOutput(mode, 0, combo->currentText().isEmpty() ? LoadString(10683) : combo->currentText());
}

} // namespace

fSettingColumn::fSettingColumn(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fSettingColumn"));
    SetWindowCode(this, kWindowCode);
    setModal(true);

    // Created in the order the Tab key visits them.
    txtName = Named(new QLineEdit(this), "txtName");
    lblName = NewCaption(this, "lblName", QStringLiteral("&Název:"), txtName);
    txtLen = Named(new QLineEdit(this), "txtLen");
    lblLen = NewCaption(this, "lblLen", QStringLiteral("&Délka:"), txtLen);
    lstDataType = Named(new QListWidget(this), "lstDataType");
    lstDataType->setSelectionMode(QAbstractItemView::SingleSelection);
    lblDataType = NewCaption(this, "lblDataType", QStringLiteral("Datový &typ:"), lstDataType);
    Check1[0] = NewCheck(this, "Check1_0", QStringLiteral("&Povolit prázdný text"));
    Check1[1] = NewCheck(this, "Check1_1", QStringLiteral("&Vyžadovat hodnotu"));
    cmbOrder = Named(new QComboBox(this), "cmbOrder");
    lblOrder = NewCaption(this, "lblOrder", QStringLiteral("P&ořadí:"), cmbOrder);
    cmbAction = Named(new QComboBox(this), "cmbAction");
    lblAction = NewCaption(this, "lblAction", QStringLiteral("&Akce sloupce:"), cmbAction);
    cmbIndexed = Named(new QComboBox(this), "cmbIndexed");
    lblIndexed = NewCaption(this, "lblIndexed", LoadString(kIndexTexts + 4), cmbIndexed);
    fraWidth = Named(new QGroupBox(QStringLiteral("Šířka sloupce"), this), "fraWidth");
    chkWidthAuto = NewCheck(fraWidth, "chkWidthAuto", QStringLiteral("Šířka a&utomaticky"));
    txtWidth = Named(new QLineEdit(fraWidth), "txtWidth");
    lblWidth = NewCaption(fraWidth, "lblWidth", QStringLiteral("Šíř&ka v twipech nebo procentech:"), txtWidth);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    cmdOK->setText(LoadString(1));
    cmdOK->setAccessibleName(LoadString(1).remove(u'&'));

    // A check box as wide as its text: a scrolling page brings a wider one to sight by its
    // middle, the box and the text's start cut off.
    auto* width = new QGridLayout(fraWidth);
    width->addWidget(chkWidthAuto, 0, 0, 1, 2, Qt::AlignLeft);
    width->addWidget(lblWidth, 1, 0);
    width->addWidget(txtWidth, 1, 1);
    auto* grid = new QGridLayout;
    int row = 0;
    for (auto [label, control] : std::initializer_list<std::pair<QLabel*, QWidget*>>{
             {lblName, txtName}, {lblLen, txtLen}, {lblDataType, lstDataType}}) {
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row++, 1);
    }
    grid->addWidget(Check1[0], row++, 1, Qt::AlignLeft);
    grid->addWidget(Check1[1], row++, 1, Qt::AlignLeft);
    grid->addWidget(lblOrder, row, 0);
    grid->addWidget(cmbOrder, row++, 1);
    grid->addWidget(lblAction, row, 0);
    grid->addWidget(cmbAction, row++, 1);
    grid->addWidget(lblIndexed, row, 0);
    grid->addWidget(cmbIndexed, row++, 1);
    grid->addWidget(fraWidth, row++, 0, 1, 2);
    m_page = NewScrollingPage(this);
    auto* layout = new QVBoxLayout(m_page->widget());
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    // The drop-down lists are named too, for a screen reader that walks into them.
    cmbOrder->view()->setAccessibleName(cmbOrder->accessibleName());
    cmbAction->view()->setAccessibleName(cmbAction->accessibleName());
    cmbIndexed->view()->setAccessibleName(cmbIndexed->accessibleName());
    m_nameWrapper = CreateStandardTextBox(txtName, 0);
    m_lenWrapper = CreateStandardTextBox(txtLen, 0);
    m_widthWrapper = CreateStandardTextBox(txtWidth, 0);
    m_orderWrapper = CreateStandardComboBox(cmbOrder, 0);
    m_actionWrapper = CreateStandardComboBox(cmbAction, 0);
    m_indexWrapper = CreateStandardComboBox(cmbIndexed, 0);
    for (QWidget* control : std::initializer_list<QWidget*>{txtName, txtLen, lstDataType, Check1[0], Check1[1],
                                                            cmbOrder, cmbAction, cmbIndexed, chkWidthAuto, txtWidth,
                                                            cmdOK, cmdCancel})
        control->installEventFilter(this);

    connect(lstDataType, &QListWidget::currentRowChanged, this, [this](int entry) {
        // A letter or a click would choose another type, which is not changed here.
        if (!m_typeLocked.isEmpty()) {
            if (entry != m_typeRow) {
                const QSignalBlocker quiet(lstDataType);
                lstDataType->setCurrentRow(m_typeRow);
                VoiceOutput(2, 0, m_typeLocked);
            }
            return;
        }
        if (entry >= 0 && m_focus.Announced() == lstDataType)
            VoiceEcho(2, 0, lstDataType->item(entry)->text());
    });
    for (QComboBox* combo : {cmbOrder, cmbAction}) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] {
            if (m_focus.Announced() == combo)
                SayValue(2, combo);
        });
    }
    connect(cmbIndexed, &QComboBox::currentIndexChanged, this, [this](int entry) {
        // A state the file keeps or the backend does not tell stays as shown, and says why.
        if (!m_indexLocked.isEmpty()) {
            const int shown = IndexEntryOf(m_indexing);
            if (entry != shown) {
                const QSignalBlocker quiet(cmbIndexed);
                cmbIndexed->setCurrentIndex(shown);
                VoiceOutput(2, 0, m_indexLocked);
            }
            return;
        }
        if (m_focus.Announced() == cmbIndexed)
            SayValue(2, cmbIndexed);
    });
    for (QCheckBox* box : {Check1[0], Check1[1], chkWidthAuto}) {
        connect(box, &QCheckBox::toggled, this, [this, box] {
            if (m_focus.Announced() == box)
                VoiceEcho(2, 0, CheckStateText(box->isChecked()));
        });
    }
    connect(chkWidthAuto, &QCheckBox::toggled, this, &fSettingColumn::chkWidthAuto_Click);
    connect(cmdOK, &QPushButton::clicked, this, &fSettingColumn::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fSettingColumn::reject);

    ApplyFontToForm(this, gFont);
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    ShowWidth(QString());
}

fSettingColumn::~fSettingColumn() = default;

void fSettingColumn::PrepareNew()
{
    setWindowTitle(LoadString(10672));
    txtName->setText(QStringLiteral("nové"));
    txtLen->setText(QStringLiteral("250"));
    PopulateCmbType();
    lstDataType->setCurrentRow(0);
    // A new field takes its flags from its type, and its column has no settings yet.
    for (QWidget* unused :
         std::initializer_list<QWidget*>{Check1[0], Check1[1], lblAction, cmbAction, lblIndexed, cmbIndexed, fraWidth})
        unused->hide();
}

void fSettingColumn::PrepareEdit(cSetting* setting, const Field& field, const cColumnDefinition& column)
{
    m_setting = setting;
    m_column = column;
    txtName->setText(field.Name());
    txtLen->setText(QString::number(field.Size()));

    cmbAction->clear();
    cmbAction->addItem(QString());
    cmbAction->setItemData(0, LoadString(10683), Qt::AccessibleTextRole);
    cmbAction->setCurrentIndex(0);
    if (const auto actions = setting ? setting->Actions() : nullptr) {
        for (const cAction& action : *actions) {
            cmbAction->addItem(action.Caption());
            // The later of two equal captions wins, as the definition names it by caption.
            if (action.Caption() == column.Action())
                cmbAction->setCurrentIndex(cmbAction->count() - 1);
        }
    }

    Check1[0]->setChecked(field.AllowZeroLength());
    Check1[1]->setChecked(field.Required());
    // An empty text is a question only a text field asks.
    Check1[0]->setEnabled(field.Type() == 10);

    PopulateCmbType();
    lstDataType->setCurrentRow(0);
    for (int i = 0; i < lstDataType->count(); ++i) {
        if (TypeOfText(lstDataType->item(i)->text()) == field.Type())
            lstDataType->setCurrentRow(i);
    }
    // The type and the length are shown, and reached by Tab so that they are heard;
    // changing them is not offered here.
    txtLen->setReadOnly(true);
    m_typeRow = lstDataType->currentRow();
    m_typeLocked = LoadString(10931);
    ShowWidth(column.Width());
}

void fSettingColumn::ShowIndexing(FieldIndexing state, const QString& lockedBecause)
{
    m_indexing = state;
    m_indexLocked = lockedBecause;
    const QSignalBlocker quiet(cmbIndexed);
    cmbIndexed->clear();
    for (int i = 0; i < 3; ++i)
        cmbIndexed->addItem(LoadString(kIndexTexts + i));
    if (state == FieldIndexing::Unknown)
        cmbIndexed->addItem(LoadString(kIndexTexts + 3));
    cmbIndexed->setCurrentIndex(IndexEntryOf(state));
}

FieldIndexing fSettingColumn::Indexing() const
{
    const int entry = cmbIndexed->currentIndex();
    if (!m_indexLocked.isEmpty() || entry < 0 || entry >= 3)
        return m_indexing;
    return kIndexEntries[size_t(entry)];
}

void fSettingColumn::PopulateCmbType()
{
    lstDataType->clear();
    for (int type : kOfferedTypes)
        lstDataType->addItem(TextOfType(type));
}

QString fSettingColumn::TextOfType(int type)
{
    const QString text = LoadString(kTypeTexts + type);
    return text.isEmpty() ? QString::number(type) : text;
}

int fSettingColumn::TypeOfText(const QString& text)
{
    // Gaps in the numbers are skipped: 30009 is not a type.
    for (int type = 1; type < 100; ++type) {
        if (LoadString(kTypeTexts + type) == text)
            return type;
    }
    bool number = false;
    const int type = text.toInt(&number);
    return number ? type : 0;
}

int fSettingColumn::GetDataType() const
{
    const int row = lstDataType->currentRow();
    return row >= 0 && row < int(kOfferedTypes.size()) ? kOfferedTypes[size_t(row)] : 0;
}

cColumnDefinition fSettingColumn::GetColumnSetting() const
{
    cColumnDefinition column = m_column;
    column.setCaption(txtName->text());
    column.setAction(cmbAction->currentText());
    column.setWidth(chkWidthAuto->isChecked() ? QStringLiteral("Auto") : txtWidth->text().trimmed());
    return column;
}

void fSettingColumn::ShowWidth(const QString& width)
{
    const bool automatic = width.trimmed().isEmpty() || width.trimmed().compare(u"Auto", Qt::CaseInsensitive) == 0;
    txtWidth->setText(automatic ? QString() : width.trimmed());
    chkWidthAuto->setChecked(automatic);
    chkWidthAuto_Click();
}

void fSettingColumn::chkWidthAuto_Click()
{
    txtWidth->setEnabled(!chkWidthAuto->isChecked());
    lblWidth->setEnabled(txtWidth->isEnabled());
    updateGeometry();
}

void fSettingColumn::cmdOK_Click()
{
    // Told here, where it can be corrected, rather than by the engine or the grid later.
    if (txtName->text().trimmed().isEmpty()) {
        VoiceOutput(2, 0, LoadString(10680));
        txtName->setFocus();
        return;
    }
    if (fraWidth->isVisibleTo(this) && !chkWidthAuto->isChecked() && !IsWidth(txtWidth->text())) {
        VoiceOutput(2, 0, LoadString(10663));
        txtWidth->setFocus();
        txtWidth->selectAll(); // typed again, not edited
        return;
    }
    m_result = ResultOk;
    done(ResultOk);
}

void fSettingColumn::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

void fSettingColumn::showEvent(QShowEvent* event)
{
    m_result = ResultCancel;
    m_focus.Forget();
    txtName->setFocus();
    txtName->selectAll();
    // Sized here, not when built: the lists are filled and the unused controls hidden
    // only after that, and the dialog is placed on its parent after this.
    FitToScreen(this, m_page, 800, 600);
    QDialog::showEvent(event);
}

bool fSettingColumn::eventFilter(QObject* watched, QEvent* event)
{
    // A locked list says why at every key that moves in it, at its ends too, where it
    // would only signal the end.
    const QString locked = watched == cmbIndexed ? m_indexLocked : watched == lstDataType ? m_typeLocked : QString();
    if (event->type() == QEvent::KeyPress && !locked.isEmpty()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down || key->key() == Qt::Key_Home
                || key->key() == Qt::Key_End || key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown)) {
            VoiceOutput(2, 0, locked);
            return true;
        }
    }
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        const bool before = m_focus.Announced() == control;
        m_focus.Watch(control, event);
        if (event->type() == QEvent::FocusIn && !before && m_focus.Announced() == control) {
            // The name alone does not tell a list box's value.
            if (auto* combo = qobject_cast<QComboBox*>(control))
                SayValue(1, combo);
            if (control == txtWidth)
                txtWidth->selectAll();
        }
    }
    return QDialog::eventFilter(watched, event);
}
