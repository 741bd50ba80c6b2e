#include "frmTable.h"

#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmTable::frmTable(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTable"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(QStringLiteral("Výběr tabulky"));
    setModal(true);

    auto* caption = new QLabel(QStringLiteral("&Tabulky:"), this);
    caption->setObjectName(QStringLiteral("lblTables"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Tabulky"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    caption->setBuddy(List1);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(List1);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmTable::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTable::cmdCancel_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmTable::cmdOK_Click);
    List1->installEventFilter(this);

    ApplyFontToForm(this, gFont);
    ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    resize(600, 400);
}

void frmTable::AddTable(const QString& name)
{
    List1->addItem(name);
}

int frmTable::TableCount() const
{
    return List1->count();
}

void frmTable::showEvent(QShowEvent* event)
{
    if (List1->count() > 0)
        List1->setCurrentRow(0);
    QDialog::showEvent(event);
}

bool frmTable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List1) {
        if (event->type() == QEvent::FocusIn)
            SpeakCurrent();
        else if (event->type() == QEvent::KeyRelease && KeyCodeOf(static_cast<QKeyEvent*>(event)) >= Key::Space)
            SpeakCurrent();
    }
    return QDialog::eventFilter(watched, event);
}

void frmTable::SpeakCurrent() const
{
    if (const QListWidgetItem* item = List1->currentItem())
        VoiceEcho(2, 0, item->text());
}

void frmTable::cmdOK_Click()
{
    if (List1->count() > 0) {
        const QListWidgetItem* item = List1->currentItem();
        m_chosen = item ? item->text() : List1->item(0)->text();
    }
    m_result = ResultOk;
    done(ResultOk);
}

void frmTable::cmdCancel_Click()
{
    m_chosen.clear();
    m_result = ResultCancel;
    done(ResultCancel);
}
