#include "frmAbout.h"

#include "mFitToScreen.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

QString FormatTemplate(const QString& pattern, const QString& a1, const QString& a2, const QString& a3,
                       const QString& a4)
{
    QString text = pattern;
    text.replace(QStringLiteral("%^"), QStringLiteral("\r\n"));
    // Each marker's first place in the template itself: a value that holds a marker is
    // not filled again.
    const QString values[] = {a1, a2, a3, a4};
    QList<std::pair<qsizetype, int>> places;
    for (int i = 0; i < 4; ++i) {
        const qsizetype at = text.indexOf(QStringLiteral("%%1").arg(i + 1));
        if (at >= 0)
            places.append({at, i});
    }
    std::sort(places.begin(), places.end());
    for (auto place = places.crbegin(); place != places.crend(); ++place)
        text.replace(place->first, 2, values[place->second]);
    return text;
}

const cProgramInfo& ProgramInfo()
{
    static const cProgramInfo info{LoadString(10700), LoadString(10701), QUARNEL_VERSION_MAJOR,
                                   QUARNEL_VERSION_MINOR, QUARNEL_VERSION_PATCH, LoadString(10703)};
    return info;
}

namespace {

QLabel* NewLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    const cProgramInfo& info = ProgramInfo();
    // The caption and the motto have no texts of their own; an empty window title would
    // leave a screen reader nothing to say for the window.
    setWindowTitle(LoadString(10705));

    QScrollArea* scroll = NewScrollArea(this);
    QWidget* page = scroll->widget();

    picIcon = new QLabel(page);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    lblTitle = NewLabel(page, "lblTitle");
    lblMotto = NewLabel(page, "lblMotto");
    lblCommets = NewLabel(page, "lblCommets");
    lblVersion = NewLabel(page, "lblVersion");
    lblCopyright = NewLabel(page, "lblCopyright");
    txtCopyright = new QPlainTextEdit(page);
    txtCopyright->setObjectName(QStringLiteral("txtCopyright"));
    txtCopyright->setReadOnly(true);
    txtCopyright->setTabChangesFocus(true);
    txtCopyright->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    txtCopyright->viewport()->setFocusProxy(nullptr); // or AT-SPI shows two focused objects
    txtCopyright->setAccessibleName(LoadString(13005).remove(u'&').remove(u':'));
    cmdOK = new QPushButton(LoadString(1), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAccessibleName(LoadString(1));
    cmdOK->setDefault(true);

    lblMotto->setText(QString());
    lblTitle->setText(info.Title);
    lblCommets->setText(info.Comments);
    lblVersion->setText(FormatTemplate(LoadString(10702), QString::number(info.Major), QString::number(info.Minor),
                                       QString::number(info.Revision)));
    const QString legal = FormatTemplate(info.LegalCopyright);
    lblCopyright->setText(QString(legal).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    txtCopyright->setPlainText(QString(legal + QStringLiteral("\r\n") + LoadString(10704))
                                   .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    lblMotto->hide();

    auto* texts = new QVBoxLayout;
    for (QWidget* label : {lblTitle, lblMotto, lblCommets, lblVersion, lblCopyright})
        texts->addWidget(label);
    texts->addWidget(txtCopyright, 1);
    auto* grid = new QHBoxLayout(page);
    grid->addWidget(picIcon, 0, Qt::AlignTop);
    grid->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    m_copyrightWrapper = CreateStandardTextBox(txtCopyright, 0);
    for (QWidget* control : std::initializer_list<QWidget*>{txtCopyright, cmdOK})
        control->installEventFilter(this);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    ApplyFontToForm(this, gFont);
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    lblTitle->setFont([this] {
        QFont font = lblTitle->font();
        font.setBold(true);
        return font;
    }());
    const int lines = QFontMetrics(txtCopyright->font()).lineSpacing();
    txtCopyright->setMinimumHeight(lines * 4 + 2 * txtCopyright->frameWidth() + 8);
    // Wrapped texts take the width of about fifty characters, not of their longest line.
    FitToScreen(this, scroll, QFontMetrics(font()).averageCharWidth() * 50);
}

frmAbout::~frmAbout() = default;

void frmAbout::SetIcon(const QIcon& icon)
{
    const int side = QFontMetrics(font()).height() * 2;
    picIcon->setPixmap(icon.pixmap(side, side));
}

QString frmAbout::SpokenText() const
{
    return lblTitle->text() + QStringLiteral(", ") + lblVersion->text() + QStringLiteral(", ")
           + txtCopyright->toPlainText();
}

void frmAbout::showEvent(QShowEvent* event)
{
    m_focus.Forget();
    cmdOK->setFocus();
    QDialog::showEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        // Queued behind what the focus says once the window is active: said before it,
        // the message would be cut off by the focus.
        if (event->type() == QEvent::FocusIn && isActiveWindow() && !m_spoken) {
            m_spoken = true;
            VoiceOutput(1, 0, SpokenText());
        }
    }
    return QDialog::eventFilter(watched, event);
}
