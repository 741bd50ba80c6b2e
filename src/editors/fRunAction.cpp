#include "fRunAction.h"

#include "mPrepareForm.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

fRunAction::fRunAction(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fRunAction"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(10648));
    setModal(true);

    lstActions = new QListWidget(this);
    lstActions->setObjectName(QStringLiteral("lstActions"));
    lstActions->setSelectionMode(QAbstractItemView::SingleSelection);
    lstActions->setAccessibleName(QStringLiteral("Akce"));
    auto* caption = new QLabel(QStringLiteral("&Akce:"), this);
    caption->setObjectName(QStringLiteral("lblActions"));
    caption->setBuddy(lstActions);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(lstActions, 1);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        m_chosen = lstActions->currentRow();
        done(ResultOk);
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstActions, &QListWidget::itemActivated, cmdOK, &QPushButton::click);
    connect(lstActions, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_inList && row >= 0)
            VoiceEcho(2, 0, lstActions->item(row)->text());
    });
    lstActions->installEventFilter(this);

    ApplyFontToForm(this, gFont);
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    resize(600, 400);
}

void fRunAction::AddAction(const QString& caption, const QString& field)
{
    // The field is part of the entry: two actions of one name are told apart by it.
    lstActions->addItem(caption + QStringLiteral(", ") + field);
}

void fRunAction::showEvent(QShowEvent* event)
{
    m_chosen = -1;
    m_inList = false;
    if (lstActions->count() > 0 && lstActions->currentRow() < 0)
        lstActions->setCurrentRow(0);
    lstActions->setFocus();
    QDialog::showEvent(event);
}

bool fRunAction::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstActions) {
        if (event->type() == QEvent::FocusIn && isActiveWindow() && !m_inList) {
            m_inList = true;
            const QListWidgetItem* item = lstActions->currentItem();
            VoiceFocus(lstActions->accessibleName(), item ? item->text() : QString(), WindowHandle(lstActions),
                       WindowHandle(this), 0, true, true, 0);
            BrailleRole(kRoleListItem);
        } else if (event->type() == QEvent::FocusOut
                   && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            m_inList = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}
