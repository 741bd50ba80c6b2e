#include "fRecordGoto.h"

#include "mConvert.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {

// A frame holding one label and its box, the label naming the box for a screen reader.
QGroupBox* MakeFrame(QWidget* form, const QString& name, QLabel*& label, const QString& labelName,
                     QLineEdit*& box, const QString& boxName, const QString& caption)
{
    auto* frame = new QGroupBox(form);
    frame->setObjectName(name);
    label = new QLabel(caption, frame);
    label->setObjectName(labelName);
    box = new QLineEdit(frame);
    box->setObjectName(boxName);
    box->setAccessibleName(QString(caption).remove(u'&'));
    label->setBuddy(box);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(label);
    layout->addWidget(box, 1);
    return frame;
}

} // namespace

fRecordGoto::fRecordGoto(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fRecordGoto"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(12000));
    setModal(true);

    // Created in the order the Tab key visits them.
    Frame1 = MakeFrame(this, QStringLiteral("Frame1"), Label1, QStringLiteral("Label1"), Text1,
                       QStringLiteral("Text1"), LoadString(12001));
    Frame2 = MakeFrame(this, QStringLiteral("Frame2"), Label2, QStringLiteral("Label2"), Text2,
                       QStringLiteral("Text2"), LoadString(12002));
    Text2->setReadOnly(true);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);

    m_text1Wrapper = CreateStandardTextBox(Text1, 0);
    m_text2Wrapper = CreateStandardTextBox(Text2, 0);
    // Installed after the wrappers, so the form sees the events first.
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);

    connect(cmdOK, &QPushButton::clicked, this, &fRecordGoto::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fRecordGoto::reject);

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
}

fRecordGoto::~fRecordGoto() = default;

void fRecordGoto::SetPostiton(qint32 position)
{
    m_position = position;
    Text1->setText(QString::number(position));
}

namespace {

std::optional<qint32> TypedNumber(const QString& text)
{
    std::optional<DecimalNumber> number = TextToDecimal(text);
    if (!number)
        return std::nullopt;
    number->RoundToFraction(0);
    const std::optional<qint64> value = number->ToInt64();
    if (!value || *value < std::numeric_limits<qint32>::min() || *value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(*value);
}

} // namespace

qint32 fRecordGoto::Postiton()
{
    if (const std::optional<qint32> number = TypedNumber(Text1->text()))
        m_position = *number;
    return m_position;
}

bool fRecordGoto::NumberTyped() const
{
    return TypedNumber(Text1->text()).has_value();
}

void fRecordGoto::SetMaxPostiton(qint32 count)
{
    Text2->setText(QString::number(count));
}

void fRecordGoto::showEvent(QShowEvent* event)
{
    // A form opened again starts where a new one does.
    m_result = ResultCancel;
    m_announced = nullptr;
    Text1->setFocus();
    QDialog::showEvent(event);
}

void fRecordGoto::cmdOK_Click()
{
    m_result = ResultOk;
    done(ResultOk);
}

void fRecordGoto::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

void fRecordGoto::AnnounceFocus(QLineEdit* box)
{
    VoiceFocus(box->accessibleName(), box->text(), WindowHandle(box), WindowHandle(this), 0, true, true, 0);
    BrailleRole(kRoleText);
}

bool fRecordGoto::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == Text1 || box == Text2)) {
        if (event->type() == QEvent::FocusIn) {
            // Showing the dialog moves the focus before the window is active and again
            // after: a box is announced once, when the user is really in it.
            if (isActiveWindow() && box != m_announced) {
                m_announced = box;
                AnnounceFocus(box);
            }
        } else if (event->type() == QEvent::FocusOut) {
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && box == m_announced)
                m_announced = nullptr;
        }
    }
    return QDialog::eventFilter(watched, event);
}
