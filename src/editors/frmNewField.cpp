#include "frmNewField.h"

#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmNewField::frmNewField(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmNewField"));
    SetWindowCode(this, kWindowCode);
    setModal(true);

    txtFieldName = new QLineEdit(this);
    txtFieldName->setObjectName(QStringLiteral("txtFieldName"));
    lblFieldName = new QLabel(QStringLiteral("&Název:"), this);
    lblFieldName->setObjectName(QStringLiteral("lblFieldName"));
    lblFieldName->setBuddy(txtFieldName);
    txtFieldName->setAccessibleName(QStringLiteral("Název"));
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFieldName);
    layout->addWidget(txtFieldName);
    layout->addLayout(buttons);

    m_nameWrapper = CreateStandardTextBox(txtFieldName, 0);
    for (QWidget* control : std::initializer_list<QWidget*>{txtFieldName, cmdOK, cmdCancel})
        control->installEventFilter(this);
    cmdOK->setEnabled(false);
    connect(txtFieldName, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmdOK->setEnabled(!text.isEmpty()); });
    connect(cmdOK, &QPushButton::clicked, this, &frmNewField::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmNewField::reject);

    ApplyFontToForm(this, gFont);
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    resize(600, 200);
}

frmNewField::~frmNewField() = default;

void frmNewField::cmdOK_Click()
{
    m_result = ResultOk;
    done(ResultOk);
}

void frmNewField::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

void frmNewField::showEvent(QShowEvent* event)
{
    m_result = ResultCancel;
    m_focus.Forget();
    txtFieldName->setFocus();
    QDialog::showEvent(event);
}

bool frmNewField::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        // OK is disabled while the box is empty: Enter says why instead of nothing.
        if (event->type() == QEvent::KeyPress && control == txtFieldName && !cmdOK->isEnabled()) {
            const int key = KeyCodeOf(static_cast<QKeyEvent*>(event));
            if (key == Key::Return) {
                VoiceOutput(2, 0, LoadString(10662));
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
