#include "fRecord.h"

#include "Field.h"
#include "Recordset.h"
#include "cRuntimeError.h"
#include "cStandardTextBox.h"
#include "mErrorMessage.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "mConvert.h"
#include "mFilter.h"
#include "mJetErrors.h"
#include "mNames.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr qint32 kZeroLength = 3315;
// The field error told for a text longer than its field: %2 the caption, %3 the size.
constexpr int kTextTooLong = 23163;

} // namespace

fRecord::fRecord(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fRecord"));
    setModal(true);
    fraFields = new QScrollArea(this);
    fraFields->setObjectName(QStringLiteral("fraFields"));
    fraFields->setFrameShape(QFrame::NoFrame);
    fraFields->setFocusPolicy(Qt::NoFocus);
    fraFields->setWidgetResizable(false);
    picFields = new cFieldSurface;
    picFields->setObjectName(QStringLiteral("picFields"));
    fraFields->setWidget(picFields);
    Rows.CreateTemplates(picFields, new QLineEdit(picFields));

    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraFields, 1);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &fRecord::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fRecord::cmdCancel_Click);

    SetFont(FontFromStd(gFont));
    SetColor(gForeColor, gBackColor, gForeColorForm, gBackColorForm);
    resize(parent ? parent->size() * 0.8 : QSize(900, 650));
}

fRecord::~fRecord() = default;

void fRecord::AddField(const QString& caption, int field)
{
    auto* box = new QLineEdit(picFields);
    Rows.AddRow(picFields, caption, box, font());
    box->show();
    Label.last()->show();
    m_fields.push_back(field);
    m_edited.push_back(false);
    const size_t index = m_edited.size() - 1;
    connect(box, &QLineEdit::textEdited, this, [this, index] { m_edited[index] = true; });
    // Whole text selected on arrival; the caret's moves spoken.
    m_wrappers.push_back(CreateStandardTextBox(box, 0));
    box->installEventFilter(this);
    setTabOrder(box, cmdOK);
    LayoutFields();
}

void fRecord::SetFont(const QFont& font)
{
    ApplyFontToForm(this, font);
    LayoutFields();
}

void fRecord::SetColor(qint32 fore, qint32 back, qint32 foreForm, qint32 backForm)
{
    ApplyColoursToForm(this, foreForm, backForm, fore, back);
}

void fRecord::SetEdit(std::shared_ptr<Recordset> recordset, qint32 position)
{
    m_mode = ModeRecord;
    m_recordset = std::move(recordset);
    m_position = position;
    m_result = ResultCancel;
    std::fill(m_edited.begin(), m_edited.end(), false);
    SetWindowCode(this, position < 0 ? kWindowCodeNew : kWindowCodeEdit);
    if (position >= 0 || !m_recordset)
        return;
    for (int i = 1; i <= Rows.Count(); ++i) {
        const QVariant value = m_recordset->Fields()->Item(m_fields[size_t(i - 1)])->DefaultValue();
        if (value.isValid() && !value.isNull())
            Text[i]->setText(value.toString());
    }
}

void fRecord::SetFilter(std::shared_ptr<Recordset> recordset)
{
    m_mode = ModeFilter;
    m_recordset = std::move(recordset);
    m_result = ResultCancel;
    m_filterText.clear();
    SetWindowCode(this, kWindowCodeFilter);
}

QStringList fRecord::Filter() const
{
    QStringList texts;
    for (int i = 1; i <= Rows.Count(); ++i)
        texts << Text[i]->text();
    return texts;
}

QString fRecord::Caption(int box) const
{
    return Label[box]->text().remove(u'&');
}

void fRecord::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    LayoutFields();
    const int box = m_focusField >= 1 && m_focusField <= Rows.Count() ? m_focusField : 1;
    if (box <= Rows.Count())
        Text[box]->setFocus();
}

void fRecord::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutFields();
}

void fRecord::LayoutFields()
{
    const int width = fraFields->viewport()->width();
    const QSize needed = Rows.Layout(width);
    picFields->resize(std::max(width, needed.width()), std::max(needed.height(), fraFields->viewport()->height()));
}

bool fRecord::eventFilter(QObject* watched, QEvent* event)
{
    // The first box gets the focus once as the dialog is shown and again as it becomes
    // active: said once, when the user is really in it.
    if (event->type() == QEvent::FocusIn && isActiveWindow()) {
        for (int i = 1; i <= Rows.Count(); ++i) {
            if (Text[i] != watched)
                continue;
            fraFields->ensureWidgetVisible(Text[i]);
            VoiceFocus(Caption(i), Text[i]->text(), WindowHandle(Text[i]), WindowHandle(this), 0, true, true, 0);
            BrailleRole(kRoleText);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void fRecord::TellFieldError(int box, const QString& message)
{
    ShowOkMessage(message);
    // Back in the box with the value selected, so that typing replaces what was refused.
    Text[box]->setFocus();
    Text[box]->selectAll();
}

bool fRecord::RefuseTooLongTexts()
{
    // Refused as the engine refuses it, in the box, before anything is written: a text cut
    // without a word would be stored as something the user never typed.
    const auto fields = m_recordset->Fields();
    for (int i = 1; i <= Rows.Count(); ++i) {
        const auto field = fields->Item(m_fields[size_t(i - 1)]);
        if (!m_edited[size_t(i - 1)] || field->Type() != JetType::Text || field->Size() <= 0
            || Text[i]->text().size() <= field->Size())
            continue;
        QString message = LoadString(kTextTooLong);
        message.replace(QLatin1String("%3"), QString::number(field->Size()));
        TellFieldError(i, message.replace(QLatin1String("%2"), Caption(i)));
        return true;
    }
    return false;
}

bool fRecord::BuildFilter()
{
    // A pattern is no value of the field: "[1-5]*" fits a field of five characters.
    const auto fields = m_recordset->Fields();
    QStringList terms;
    for (int i = 1; i <= Rows.Count(); ++i) {
        const QString text = Text[i]->text();
        if (text.isEmpty())
            continue;
        const int index = m_fields[size_t(i - 1)];
        const auto field = fields->Item(index);
        // A condition names its field, and the name of a field an earlier one also bears
        // (a.Id and b.Id of a join) would narrow that earlier field's values instead.
        for (int earlier = 0; earlier < index; ++earlier) {
            if (SameName(fields->Item(earlier)->Name(), field->Name())) {
                TellFieldError(i, FillPlaceholders(LoadString(10619), {Caption(i)}));
                return false;
            }
        }
        try {
            // Quotes in a text are doubled and a number or date is read as the user writes
            // it: the condition means what was typed, whatever the characters.
            terms << JetFilterTerm(field->Name(), field->Type(), text);
        } catch (const cRuntimeError&) {
            TellFieldError(i, FieldErrorMessage(CaptureError(), field->Type(), Caption(i)));
            return false;
        }
    }
    m_filterText = terms.join(QStringLiteral(" AND "));
    return true;
}

bool fRecord::WriteRecord()
{
    Recordset& rs = *m_recordset;
    const auto fields = rs.Fields();
    if (RefuseTooLongTexts())
        return false;
    try {
        if (rs.EditMode() != Recordset::dbEditNone)
            rs.CancelUpdate();
        if (m_position < 0) {
            rs.AddNew();
        } else {
            rs.setAbsolutePosition(m_position);
            rs.Edit();
        }
    } catch (const cRuntimeError&) {
        ShowOkMessage(FormatErrorMessage(CaptureError()));
        return false;
    }
    // Only what the user changed is written: a value shown through a display format (a
    // date without its time, a rounded number) would lose what the format leaves out.
    for (int i = 1; i <= Rows.Count(); ++i) {
        const int index = m_fields[size_t(i - 1)];
        const auto field = fields->Item(index);
        const QString text = Text[i]->text();
        const bool isText = JetType::IsText(field->Type());
        if (!m_edited[size_t(i - 1)])
            continue;
        if (isText && text.isEmpty() && !field->AllowZeroLength()) {
            rs.CancelUpdate();
            ErrorStorage error;
            error.Number = kZeroLength;
            TellFieldError(i, FieldErrorMessage(error, field->Type(), Caption(i)));
            return false;
        }
        try {
            rs.SetFieldValue(index, !isText && text.isEmpty() ? QVariant() : QVariant(text));
        } catch (const cRuntimeError&) {
            // A value the field does not take (a computed field, a text that is no date) is
            // told by its caption, never dropped.
            const ErrorStorage error = CaptureError();
            rs.CancelUpdate();
            const QString message = FieldErrorMessage(error, field->Type(), Caption(i));
            TellFieldError(i, message.isEmpty() ? FormatErrorMessage(error) : message);
            return false;
        }
    }
    try {
        rs.Update();
        // A new record joins the end of the record source.
        if (m_position < 0)
            rs.MoveLast();
    } catch (const cRuntimeError&) {
        const ErrorStorage error = CaptureError();
        rs.CancelUpdate();
        ShowOkMessage(FormatErrorMessage(error));
        return false;
    }
    return true;
}

void fRecord::cmdOK_Click()
{
    if (!m_recordset || !(m_mode == ModeFilter ? BuildFilter() : WriteRecord()))
        return;
    m_result = ResultOk;
    done(ResultOk);
}

void fRecord::cmdCancel_Click()
{
    const bool edited = std::find(m_edited.begin(), m_edited.end(), true) != m_edited.end();
    // Yes ("Pokračovat?": go on, losing the changes) closes; No goes back to the boxes.
    if (m_mode == ModeRecord && edited
        && ShowAccessibleDialog(DialogKind::YesNo, LoadString(11500) + u'|' + windowTitle()) != 1)
        return;
    m_result = ResultCancel;
    QDialog::done(ResultCancel);
}

void fRecord::reject()
{
    cmdCancel_Click();
}
