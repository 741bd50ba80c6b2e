#include "fAbout.h"

#include "cSetting.h"
#include "frmAbout.h"
#include "mFitToScreen.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kRows = 4;

} // namespace

fAbout::fAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fAbout"));
    setModal(true);
    setWindowTitle(LoadString(13000));

    // At a large font the rows scroll instead of being cut off.
    QScrollArea* scroll = m_page = NewScrollArea(this);
    QWidget* page = scroll->widget();
    auto* rows = new QVBoxLayout(page);

    Frame.append(nullptr);
    Label.append(nullptr);
    Text.append(nullptr);
    for (int row = 1; row <= kRows; ++row) {
        auto* frame = new QGroupBox(page);
        frame->setObjectName(QStringLiteral("Frame%1").arg(row));
        auto* label = new QLabel(LoadString(13001 + row), frame);
        label->setObjectName(QStringLiteral("Label%1").arg(row));
        auto* text = new QPlainTextEdit(frame);
        text->setObjectName(QStringLiteral("Text%1").arg(row));
        text->setReadOnly(true);
        text->setTabChangesFocus(true);
        text->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
        text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        // Otherwise its viewport claims the focus too, and AT-SPI shows two focused objects.
        text->viewport()->setFocusProxy(nullptr);
        // The label names its box, as its frame ties them together.
        label->setBuddy(text);
        text->setAccessibleName(label->text().remove(u'&').remove(u':'));
        auto* inner = new QVBoxLayout(frame);
        inner->addWidget(label);
        inner->addWidget(text);
        rows->addWidget(frame);
        Frame.append(frame);
        Label.append(label);
        Text.append(text);
        m_wrappers.push_back(CreateStandardTextBox(text, 0));
        text->installEventFilter(this);
    }
    rows->addStretch();
    cmdOK = new QPushButton(LoadString(1), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAccessibleName(LoadString(1));
    cmdOK->setDefault(true);
    cmdOK->installEventFilter(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

fAbout::~fAbout() = default;

void fAbout::SetFont(const cStdFont& font)
{
    ApplyFontToForm(this, font);
    // Two lines of each text in sight; longer ones scroll in their box.
    for (int row = 1; row <= kRows; ++row) {
        const int lines = QFontMetrics(Text[row]->font()).lineSpacing();
        Text[row]->setMinimumHeight(lines * 2 + 2 * Text[row]->frameWidth() + 8);
    }
    FitToScreen(this, m_page, QFontMetrics(this->font()).averageCharWidth() * 50);
}

void fAbout::SetColor(qint32 foreForm, qint32 backForm, qint32 fore, qint32 back)
{
    if (fore != back && foreForm != backForm)
        ApplyColoursToForm(this, foreForm, backForm, fore, back);
}

void fAbout::SetNameApp(const QString& text)
{
    Text[1]->setPlainText(text);
}

void fAbout::SetComment(const QString& text)
{
    Text[2]->setPlainText(text);
}

void fAbout::SetVersion(const QString& text)
{
    Text[3]->setPlainText(text);
}

void fAbout::SetCopyright(const QString& text)
{
    Text[4]->setPlainText(text);
}

void fAbout::showEvent(QShowEvent* event)
{
    m_focus.Forget();
    m_announced = nullptr;
    Text[1]->setFocus();
    QDialog::showEvent(event);
}

bool fAbout::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        if (event->type() == QEvent::FocusIn) {
            if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
                // The whole text is selected, caret at its start, ready to be read or copied.
                QTextCursor cursor = text->textCursor();
                cursor.setPosition(text->document()->characterCount() - 1);
                cursor.setPosition(0, QTextCursor::KeepAnchor);
                text->setTextCursor(cursor);
                // A box is said with its text, once the user is really in it.
                if (isActiveWindow() && m_announced != text) {
                    m_announced = text;
                    VoiceFocus(text->accessibleName(), text->toPlainText(), WindowHandle(text), WindowHandle(this), 0,
                               true, true, 0);
                    BrailleRole(kRoleText);
                }
                return QDialog::eventFilter(watched, event);
            }
        }
        if (event->type() == QEvent::FocusIn || (event->type() == QEvent::FocusOut && control == m_announced))
            m_announced = nullptr;
        m_focus.Watch(control, event);
    }
    return QDialog::eventFilter(watched, event);
}

bool HasAboutTexts(const cSetting& setting)
{
    return !(setting.AboutName().isEmpty() && setting.AboutComment().isEmpty() && setting.AboutVersion().isEmpty()
             && setting.AboutCopyright().isEmpty());
}

void ShowAbout(QWidget* mainWindow, const cSetting* setting)
{
    fAbout form(mainWindow);
    form.SetFont(gFont);
    form.SetColor(gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    if (setting) {
        form.setWindowTitle(FillPlaceholders(LoadString(13001), {mainWindow ? mainWindow->windowTitle() : QString()}));
        form.SetNameApp(setting->AboutName());
        form.SetComment(setting->AboutComment());
        form.SetVersion(setting->AboutVersion());
        form.SetCopyright(setting->AboutCopyright());
    } else {
        const cProgramInfo& info = ProgramInfo();
        form.setWindowTitle(LoadString(13000));
        form.SetNameApp(info.Title);
        form.SetComment(info.Comments);
        form.SetVersion(QStringLiteral("%1.%2").arg(info.Major).arg(info.Minor));
        form.SetCopyright(FormatTemplate(info.LegalCopyright).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    ExecModal(form);
}
