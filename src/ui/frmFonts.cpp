#include "frmFonts.h"

#include "mFitToScreen.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

const QList<cColourEntry>& ColourTable()
{
    static const QList<cColourEntry> table = {
        {904, 0x000000}, {905, 0x0000FF}, {906, 0x00FF00}, {907, 0x00FFFF},
        {908, 0xFF0000}, {909, 0xFF00FF}, {910, 0xFFFF00}, {911, 0xFFFFFF},
    };
    return table;
}

frmFonts::frmFonts(QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), m_mainWindow(mainWindow), m_font(gFont), m_fore(gForeColor), m_back(gBackColor)
{
    setObjectName(QStringLiteral("frmFonts"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(1400));
    setModal(true);

    // The controls sit in a scrolling page: at a large font on a small screen the dialog
    // scrolls instead of cutting them off.
    QScrollArea* scroll = NewScrollArea(this);
    QWidget* page = scroll->widget();

    // Created in the order the Tab key visits them.
    FontList = new QListWidget(page);
    FontList->setObjectName(QStringLiteral("FontList"));
    lblFont = NewCaption(page, "lblFont", LoadString(10690), FontList);
    txtSize = new QLineEdit(page);
    txtSize->setObjectName(QStringLiteral("txtSize"));
    lblSize = NewCaption(page, "lblSize", LoadString(10691), txtSize);
    picUp = new QToolButton(page);
    picUp->setObjectName(QStringLiteral("picUp"));
    picUp->setText(QStringLiteral("+"));
    picUp->setAccessibleName(LoadString(501));
    picUp->setFocusPolicy(Qt::NoFocus); // Up and Down in the size box do the same
    picDown = new QToolButton(page);
    picDown->setObjectName(QStringLiteral("picDown"));
    picDown->setText(QStringLiteral("−"));
    picDown->setAccessibleName(LoadString(502));
    picDown->setFocusPolicy(Qt::NoFocus);
    chkBold = new QCheckBox(LoadString(1403), page);
    chkBold->setObjectName(QStringLiteral("chkBold"));
    chkBold->setAccessibleName(LoadString(1403));
    chkItalic = new QCheckBox(LoadString(1404), page);
    chkItalic->setObjectName(QStringLiteral("chkItalic"));
    chkItalic->setAccessibleName(LoadString(1404));
    Frame1 = new QGroupBox(page);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(Frame1);
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(LoadString(1401 + i), Frame1);
        option->setObjectName(QStringLiteral("optColor%1").arg(i));
        option->setAccessibleName(LoadString(1401 + i));
        options->addWidget(option);
        optColor.append(option);
    }
    optColor[0]->setChecked(true);
    lstColors = new QListWidget(page);
    lstColors->setObjectName(QStringLiteral("lstColors"));
    lblColors = NewCaption(page, "lblColors", LoadString(10692), lstColors);
    for (const cColourEntry& entry : ColourTable())
        lstColors->addItem(LoadString(entry.NameId));
    // Wrapped, so that a large font shows the whole sentence rather than its start.
    txtSample = new QPlainTextEdit(LoadString(10694), page);
    txtSample->setObjectName(QStringLiteral("txtSample"));
    txtSample->setReadOnly(true);
    txtSample->setTabChangesFocus(true);
    txtSample->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    txtSample->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtSample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Otherwise its viewport claims the focus too, and AT-SPI shows two focused objects.
    txtSample->viewport()->setFocusProxy(nullptr);
    lblTest = NewCaption(page, "lblTest", LoadString(10693), txtSample);

    QStringList families = QFontDatabase::families();
    if (!families.contains(m_font.Name))
        families.append(m_font.Name); // the stored name stays choosable even when missing here
    families.sort(Qt::CaseInsensitive);
    FontList->addItems(families);

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(txtSize, 1);
    sizeRow->addWidget(picUp);
    sizeRow->addWidget(picDown);
    auto* grid = new QGridLayout(page);
    grid->addWidget(lblFont, 0, 0);
    grid->addWidget(FontList, 1, 0, 6, 1);
    grid->addWidget(lblSize, 0, 1);
    grid->addLayout(sizeRow, 1, 1);
    grid->addWidget(chkBold, 2, 1);
    grid->addWidget(chkItalic, 3, 1);
    grid->addWidget(Frame1, 4, 1);
    grid->addWidget(lblColors, 5, 1);
    grid->addWidget(lstColors, 6, 1);
    grid->addWidget(lblTest, 7, 0, 1, 2);
    grid->addWidget(txtSample, 8, 0, 1, 2);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    m_sizeWrapper = CreateStandardTextBox(txtSize, 0);
    // Installed after the wrapper, so the form sees the keys first.
    for (QWidget* control : std::initializer_list<QWidget*>{FontList, txtSize, chkBold, chkItalic, optColor[0],
                                                            optColor[1], lstColors, txtSample, cmdOK, cmdCancel})
        control->installEventFilter(this);

    m_filling = true;
    const QList<QListWidgetItem*> current = FontList->findItems(m_font.Name, Qt::MatchExactly);
    if (!current.isEmpty())
        FontList->setCurrentItem(current.first());
    chkBold->setChecked(m_font.Bold);
    chkItalic->setChecked(m_font.Italic);
    SetSize(qBound(kMinSize, qRound(m_font.Size), kMaxSize), false);
    ShowColourOfOption();
    m_filling = false;

    connect(FontList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_filling || row < 0)
            return;
        m_font.Name = FontList->item(row)->text();
        UpdateSample();
        VoiceEcho(2, 0, m_font.Name);
    });
    connect(lstColors, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_filling || row < 0)
            return;
        (optColor[0]->isChecked() ? m_fore : m_back) = ColourTable().at(row).Colour;
        UpdateSample();
        VoiceEcho(2, 0, lstColors->item(row)->text());
    });
    for (QCheckBox* box : {chkBold, chkItalic}) {
        connect(box, &QCheckBox::toggled, this, [this](bool checked) {
            m_font.Bold = chkBold->isChecked();
            m_font.Italic = chkItalic->isChecked();
            UpdateSample();
            if (!m_filling)
                VoiceEcho(2, 0, CheckStateText(checked));
        });
    }
    connect(optColor[0], &QRadioButton::toggled, this, [this] { ShowColourOfOption(); });
    connect(txtSize, &QLineEdit::textEdited, this, [this] {
        if (const std::optional<int> size = TypedSize()) {
            m_size = *size;
            UpdateSample();
        }
    });
    connect(picUp, &QToolButton::clicked, this, &frmFonts::picUp_Click);
    connect(picDown, &QToolButton::clicked, this, &frmFonts::picDown_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmFonts::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFonts::reject);

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    UpdateSample();
    FitToScreen(this, scroll);
}

frmFonts::~frmFonts() = default;

cStdFont frmFonts::SampleFont() const
{
    cStdFont font = m_font;
    font.Size = m_size;
    return font;
}

std::optional<int> frmFonts::TypedSize() const
{
    bool number = false;
    const int size = txtSize->text().trimmed().toInt(&number);
    if (!number || size < kMinSize || size > kMaxSize)
        return std::nullopt;
    return size;
}

QString frmFonts::SizeRule()
{
    return FillPlaceholders(LoadString(10697), {QString::number(kMinSize), QString::number(kMaxSize)});
}

void frmFonts::SetSize(int size, bool speak)
{
    m_size = size;
    txtSize->setText(QString::number(size));
    UpdateSample();
    if (speak)
        VoiceOutput(2, 0, QString::number(size));
}

void frmFonts::ChangeSize(int step)
{
    const int size = qBound(kMinSize, m_size + step, kMaxSize);
    if (size == m_size) {
        // At a limit the key still answers: it says why nothing changed.
        VoiceOutput(2, 0, FillPlaceholders(LoadString(step > 0 ? 10695 : 10696),
                                           {QString::number(step > 0 ? kMaxSize : kMinSize)}));
        txtSize->setText(QString::number(size));
        return;
    }
    SetSize(size, true);
}

void frmFonts::picUp_Click()
{
    ChangeSize(1);
}

void frmFonts::picDown_Click()
{
    ChangeSize(-1);
}

void frmFonts::ShowColourOfOption()
{
    const qint32 colour = optColor[0]->isChecked() ? m_fore : m_back;
    const bool filling = m_filling;
    m_filling = true;
    lstColors->setCurrentRow(-1);
    for (int row = 0; row < ColourTable().size(); ++row) {
        if (ColourTable().at(row).Colour == colour)
            lstColors->setCurrentRow(row);
    }
    m_filling = filling;
}

void frmFonts::UpdateSample()
{
    txtSample->setFont(FontFromStd(SampleFont()));
    PaintControl(txtSample, ColourFromNumber(m_fore), ColourFromNumber(m_back));
    txtSample->setAutoFillBackground(true);
    // Room for the sentence on two lines, which it needs from about 40 points on.
    txtSample->setMinimumHeight(2 * QFontMetrics(txtSample->font()).lineSpacing() + 2 * txtSample->frameWidth()
                                + int(2 * txtSample->document()->documentMargin()));
}

void frmFonts::showEvent(QShowEvent* event)
{
    m_result = ResultCancel;
    m_focus.Forget();
    FontList->setFocus();
    QDialog::showEvent(event);
}

void frmFonts::cmdOK_Click()
{
    // The last valid size would otherwise be taken in silence.
    if (!TypedSize()) {
        ShowOkMessage(SizeRule());
        txtSize->setFocus();
        txtSize->selectAll();
        return;
    }
    if (ColourFromNumber(m_fore) == ColourFromNumber(m_back)) {
        // Every box of the program would look empty.
        ShowOkMessage(LoadString(10699));
        lstColors->setFocus();
        return;
    }
    const cStdFont chosen = SampleFont();
    gFont.Name = chosen.Name;
    gFont.Bold = chosen.Bold;
    gFont.Italic = chosen.Italic;
    gFont.Size = chosen.Size;
    gForeColor = m_fore;
    gBackColor = m_back;
    if (m_mainWindow) {
        ApplyFontToForm(m_mainWindow, gFont);
        ApplyColoursToForm(m_mainWindow, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    }
    m_result = ResultOk;
    done(ResultOk);
}

void frmFonts::reject()
{
    m_result = ResultCancel;
    done(ResultCancel);
}

bool frmFonts::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (control && control->window() == this) {
        m_focus.Watch(control, event);
        if (event->type() == QEvent::KeyRelease && control == txtSize) {
            // The box would read its line again on the release: the new size is said already.
            const int code = KeyCodeOf(static_cast<QKeyEvent*>(event));
            if (code == Key::Up || code == Key::Add || code == Key::Down || code == Key::Subtract)
                return true;
        }
        if (event->type() == QEvent::KeyPress && control == txtSize) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const int code = KeyCodeOf(key);
            const int step = ShiftOf(key) & (ShiftMask::Shift | ShiftMask::Ctrl | ShiftMask::Alt) ? 10 : 1;
            if (code == Key::Up || code == Key::Add) {
                ChangeSize(step);
                return true;
            }
            if (code == Key::Down || code == Key::Subtract) {
                ChangeSize(-step);
                return true;
            }
            // The user stays in the box until its size is one the font can take.
            if ((code == Key::Tab || key->key() == Qt::Key_Backtab) && !TypedSize()) {
                VoiceOutput(2, 0, SizeRule());
                txtSize->selectAll();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
