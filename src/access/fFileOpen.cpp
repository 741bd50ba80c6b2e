#include "fFileOpen.h"

#include "fFileOpenSnd.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStandardComboBox.h"
#include "mStandardTextBox.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

const QString kEmptyList = QStringLiteral("prázdný seznam");

QLabel* MakeLabel(QWidget* form, const QString& name, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, form);
    label->setObjectName(name);
    label->setBuddy(buddy);
    buddy->setAccessibleName(caption);
    return label;
}

bool IsExistingFolder(const QByteArray& path)
{
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

fFileOpen::fFileOpen(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fFileOpen"));
    SetWindowCode(this, WindowCode::FileOpen);
    m_model = new cFileDialogModel(this);

    // Created in the order the Tab key visits them.
    cbSearch = new QComboBox(this);
    cbSearch->setObjectName(QStringLiteral("cbSearch"));
    Picture2 = new QPushButton(LoadString(803), this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setAccessibleName(LoadString(803));
    ListView1 = new QListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(m_model);
    ListView1->setUniformItemSizes(true); // layout stays cheap with 100,000 entries
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SetControlId(ListView1, kFileListControlId);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    cbFilter = new QComboBox(this);
    cbFilter->setObjectName(QStringLiteral("cbFilter"));
    // The masks behind the type list: its model, so the two always hold the same texts.
    lstMask = new QStringListModel(this);
    lstMask->setObjectName(QStringLiteral("lstMask"));
    cbFilter->setModel(lstMask);
    // Their names are their owners'; an unnamed popup list leaves a screen reader mute.
    cbSearch->view()->setAccessibleName(LoadString(800));
    // A long path or mask must not widen the dialog past the screen: the boxes take the
    // room the window has.
    for (QComboBox* box : {cbSearch, cbFilter}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(6);
    }
    cbFilter->view()->setAccessibleName(LoadString(802));
    Command1 = new QPushButton(LoadString(805), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(LoadString(2), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    frmSearch = MakeLabel(this, QStringLiteral("frmSearch"), LoadString(800), cbSearch);
    Frame1 = MakeLabel(this, QStringLiteral("Frame1"), LoadString(804), ListView1);
    Label1 = MakeLabel(this, QStringLiteral("Label1"), LoadString(801), Text1);
    lblCriteria = MakeLabel(this, QStringLiteral("lblCriteria"), LoadString(802), cbFilter);

    // At a large font on a small screen the dialog scrolls instead of cutting controls off.
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    scroll->setWidget(page);
    (new QVBoxLayout(this))->addWidget(scroll);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    // The caption above its box: at a large font the row then still holds the box and
    // the button beside it.
    layout->addWidget(frmSearch);
    auto* search = new QHBoxLayout;
    search->addWidget(cbSearch, 1);
    search->addWidget(Picture2);
    layout->addLayout(search);
    layout->addWidget(Frame1);
    layout->addWidget(ListView1, 1);
    m_grid = new QGridLayout;
    m_grid->addWidget(Label1, 0, 0, 1, 2);
    m_grid->addWidget(Text1, 1, 0);
    m_grid->addWidget(Command1, 1, 1);
    m_grid->addWidget(lblCriteria, 2, 0, 1, 2);
    m_grid->addWidget(cbFilter, 3, 0);
    m_grid->addWidget(Command2, 3, 1);
    m_grid->setColumnStretch(0, 1);
    layout->addLayout(m_grid);

    m_text1Wrapper = CreateStandardTextBox(Text1, 0);
    m_filterWrapper = CreateStandardComboBox(cbFilter, 0);
    m_searchWrapper = CreateStandardComboBox(cbSearch, 0);
    // Installed after the wrappers, so the form sees the events first.
    for (QWidget* control : {static_cast<QWidget*>(cbSearch), static_cast<QWidget*>(ListView1),
                             static_cast<QWidget*>(Text1), static_cast<QWidget*>(cbFilter)})
        control->installEventFilter(this);

    connect(m_model, &cFileDialogModel::FolderChanged, this, [this] {
        // Opening names a file of the folder shown, so a name from the last folder must not
        // be confirmed here; the listing puts in the file under the cursor. Saving keeps a
        // typed name while the user looks for where to put it.
        if (m_openMode && !m_folderChoice)
            Text1->clear();
        SpeakFolder();
        FillLookIn();
    });
    connect(m_model, &cFileDialogModel::ListingFinished, this, &fFileOpen::ListingFinished);
    connect(m_model, &cFileDialogModel::FolderLost, this, [this] { m_speakAfterListing = true; });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, &fFileOpen::CurrentEntryChanged);
    connect(ListView1, &QListView::doubleClicked, this, [this](const QModelIndex& index) { OpenEntry(index.row()); });
    connect(cbFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0)
            return;
        // Said beside a screen reader too, which hears no value of such a list.
        if (!m_quiet)
            VoiceOutput(2, 0, cbFilter->currentText());
        m_model->SetMask(cbFilter->currentText());
    });
    connect(cbSearch, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_quiet && index >= 0)
            VoiceOutput(2, 0, cbSearch->currentText());
    });
    connect(Picture2, &QPushButton::clicked, this, &fFileOpen::GoUp);
    connect(Command1, &QPushButton::clicked, this, &fFileOpen::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &fFileOpen::Command2_Click);

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    resize(820, 580);
    gDialogResult = 0;
}

fFileOpen::~fFileOpen() = default;

void fFileOpen::Prepare(qint32 kind, const QString& text, qint32 windowCode)
{
    SetWindowCode(this, windowCode);
    m_openMode = kind <= 9;
    m_folderChoice = kind == 12 || kind == 13;
    m_quiet = true;
    lstMask->setStringList({DialogField(text, 1)});
    cbFilter->setCurrentIndex(0);
    m_quiet = false;
    if (m_openMode) {
        if (!DialogField(text, 2).isEmpty())
            SetPath(DialogField(text, 2));
        setWindowTitle(DialogField(text, 3));
        Command1->setText(LoadString(805));
    } else {
        Text1->setText(DialogField(text, 2));
        if (!DialogField(text, 3).isEmpty())
            SetPath(DialogField(text, 3));
        setWindowTitle(DialogField(text, 4));
        Command1->setText(LoadString(806));
    }
    if (m_folderChoice) {
        for (QWidget* control : {static_cast<QWidget*>(lblCriteria), static_cast<QWidget*>(cbFilter), static_cast<QWidget*>(Text1),
                                 static_cast<QWidget*>(Label1)})
            control->hide();
        Command1->setText(LoadString(1));
    }
    if (!m_model->HasFolder())
        SetDefaultFolder();
    (m_openMode || m_folderChoice ? static_cast<QWidget*>(ListView1) : static_cast<QWidget*>(Text1))->setFocus();
}

cFileDialogModel::Result fFileOpen::SetPath(const QString& path)
{
    return m_model->SetPath(path);
}

void fFileOpen::SetDefaultFolder()
{
    if (m_model->SetPath(gWorkDir) != cFileDialogModel::Result::Entered
        && m_model->SetPath(QDir::homePath()) != cFileDialogModel::Result::Entered)
        m_model->SetFolder("/");
}

void fFileOpen::showEvent(QShowEvent* event)
{
    if (!m_model->HasFolder() && !m_model->DriveMode())
        SetDefaultFolder();
    QDialog::showEvent(event);
}

void fFileOpen::ChooseMask(const QString& mask)
{
    int index = cbFilter->findText(mask);
    if (index < 0) {
        cbFilter->addItem(mask); // and so to lstMask
        index = cbFilter->count() - 1;
    }
    cbFilter->setCurrentIndex(index);
}

int fFileOpen::CurrentRow() const
{
    return ListView1->currentIndex().row();
}

QString fFileOpen::FolderNameText() const
{
    if (m_model->DriveMode() || !m_model->HasFolder())
        return QString();
    const QString folder = m_model->IsVolumeRoot(m_model->Folder())
                               ? m_model->FolderText()
                               : cFileDialogModel::SpokenPath(m_model->FolderText());
    return FillPlaceholders(LoadString(810), {folder});
}

QString fFileOpen::EmptyListText() const
{
    const QString folder = FolderNameText();
    return folder.isEmpty() ? kEmptyList : kEmptyList + QStringLiteral(" (") + folder + u')';
}

void fFileOpen::TellFolderOnce(bool alreadyNamed)
{
    // The driver stops speech just before the dialog shows, which cuts off the folder
    // spoken while it was prepared; the first announcement queues it again.
    if (m_folderTold)
        return;
    m_folderTold = true;
    const QString folder = FolderNameText();
    if (!alreadyNamed && !folder.isEmpty())
        VoiceOutput(1, 0, folder);
}

void fFileOpen::SpeakFolder()
{
    for (const cSpokenText& speech : m_model->FolderSpeech())
        VoiceOutput(speech.mode, speech.param, speech.text);
}

void fFileOpen::FillLookIn()
{
    m_quiet = true;
    cbSearch->clear();
    int current = -1;
    for (const cLookInItem& item : m_model->LookInItems(&current))
        cbSearch->addItem(item.text, item.path);
    cbSearch->setCurrentIndex(current);
    m_quiet = false;
}

void fFileOpen::ListingFinished()
{
    const int rows = m_model->rowCount();
    m_quiet = true;
    if (rows > 0) {
        const QModelIndex index = m_model->index(qBound(0, m_model->PreferredRow(), rows - 1));
        ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        ListView1->scrollTo(index);
    }
    m_quiet = false;
    if (m_speakAfterListing) {
        m_speakAfterListing = false;
        if (m_model->ListingFailed())
            VoiceOutput(1, 0, FillPlaceholders(LoadString(815), {m_model->FolderText()}));
        else
            VoiceOutput(1, 0, rows > 0 ? m_model->Entry(CurrentRow())->text : kEmptyList);
    }
    if (m_listFocusPending) {
        m_listFocusPending = false;
        if (ListView1->hasFocus())
            AnnounceList();
    }
}

void fFileOpen::CurrentEntryChanged()
{
    const cFolderEntry* entry = m_model->Entry(CurrentRow());
    if (!entry)
        return;
    // Opening: the file under the cursor is the one the button opens.
    if (m_openMode && !m_folderChoice && !m_model->DriveMode() && !entry->folder)
        Text1->setText(entry->text);
    if (!m_quiet)
        VoiceEcho(2, 0, entry->text);
}

void fFileOpen::AnnounceList()
{
    if (m_model->IsLoading()) {
        m_listFocusPending = true; // announced once the entries are there
        return;
    }
    const cFolderEntry* entry = m_model->Entry(CurrentRow());
    VoiceFocus(QString(), entry ? entry->text : EmptyListText(), WindowHandle(ListView1), WindowHandle(this),
               kRoleListItem, false, true, 0);
    BrailleRole(kRoleListItem);
    TellFolderOnce(entry == nullptr);
}

void fFileOpen::AnnounceFocus(QWidget* control)
{
    if (control == ListView1) {
        AnnounceList();
        return;
    }
    const bool isText = control == Text1;
    const QString value = isText ? Text1->text() : static_cast<QComboBox*>(control)->currentText();
    VoiceFocus(control->accessibleName(), value, WindowHandle(control), WindowHandle(this), 0, true, true, 0);
    if (!isText)
        VoiceFocusedListValue(value);
    BrailleRole(isText ? kRoleText : kRoleComboBox);
    TellFolderOnce(false);
}

bool fFileOpen::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        // Showing the dialog moves the focus before the window is active and again after:
        // each control is announced once, when the user is really on it.
        if (isActiveWindow() && control != m_announced) {
            m_announced = control;
            AnnounceFocus(control);
        }
        break;
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && control == m_announced)
            m_announced = nullptr;
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const int keyCode = KeyCodeOf(key);
        const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (watched == ListView1 && plain) {
            if (keyCode == Key::Return) {
                OpenEntry(CurrentRow());
                return true;
            }
            if (keyCode == Key::Back) {
                GoUp();
                return true;
            }
            if (keyCode == Key::Space) {
                if (const cFolderEntry* entry = m_model->Entry(CurrentRow()))
                    VoiceOutput(2, m_model->DriveMode() ? 255 : 0, entry->text);
                else
                    VoiceOutput(2, 0, EmptyListText());
                return true;
            }
            if (key->key() == Qt::Key_F5) {
                m_speakAfterListing = true;
                m_model->Refresh();
                return true;
            }
        }
        if (watched == cbSearch && plain && keyCode == Key::Return) {
            GoLookIn(cbSearch->currentIndex());
            return true;
        }
        // Enter only chooses the type; it must not confirm the dialog. It says the type.
        if (watched == cbFilter && plain && keyCode == Key::Return) {
            VoiceOutput(2, 0, cbFilter->currentText());
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void fFileOpen::EnterFolder(const QByteArray& folder)
{
    m_speakAfterListing = true;
    const cFileDialogModel::Result result = m_model->SetFolder(folder);
    if (result == cFileDialogModel::Result::Entered)
        return;
    m_speakAfterListing = false;
    VoiceOutput(2, 0, FillPlaceholders(LoadString(815), {QFile::decodeName(folder)}));
    // A folder that vanished may have taken the current one with it (a volume unplugged).
    m_speakAfterListing = m_model->RecoverLostFolder();
}

void fFileOpen::GoUp()
{
    m_speakAfterListing = true;
    if (!m_model->GoUp())
        m_speakAfterListing = false;
}

void fFileOpen::GoLookIn(int index)
{
    if (index < 0)
        return;
    EnterFolder(cbSearch->itemData(index).toByteArray());
    ListView1->setFocus();
}

void fFileOpen::OpenEntry(int row)
{
    const cFolderEntry* entry = m_model->Entry(row);
    if (!entry)
        return;
    if (m_model->DriveMode() || row < m_model->FolderCount()) {
        EnterFolder(m_model->PathOf(row));
        return;
    }
    Text1->setText(entry->text);
    Command1_Click();
}

void fFileOpen::Command1_Click()
{
    const int row = CurrentRow();
    const cFolderEntry* entry = m_model->Entry(row);
    if (m_model->DriveMode()) {
        if (entry && m_folderChoice)
            Finish(entry->name);
        else if (entry)
            EnterFolder(entry->name);
        return;
    }
    const bool onFolder = entry && row < m_model->FolderCount();
    if (m_folderChoice) {
        Finish(onFolder ? m_model->PathOf(row) : m_model->Folder());
        return;
    }
    const QString name = Text1->text();
    if (name.trimmed().isEmpty()) {
        if (onFolder) {
            EnterFolder(m_model->PathOf(row));
        } else {
            VoiceOutput(2, 0, Label1->text());
            Text1->setFocus();
        }
        return;
    }
    // The listed file by its own bytes, which the shown text may not give back.
    if (entry && !onFolder && entry->text == name) {
        Finish(m_model->PathOf(row));
        return;
    }
    QString typed = name;
    typed.replace(u'\\', u'/');
    QByteArray path = QFile::encodeName(typed);
    if (!path.startsWith('/'))
        path = m_model->Folder() + (m_model->Folder().endsWith('/') ? "" : "/") + path;
    // A typed folder is entered, as a user of any file dialog expects.
    if (IsExistingFolder(path)) {
        Text1->clear();
        EnterFolder(path);
        return;
    }
    Finish(cFileDialogModel::CleanFolder(path));
}

void fFileOpen::Finish(const QByteArray& path)
{
    const QString text = QFile::decodeName(path);
    // Passed on as text, a name with bytes that are not UTF-8 would name another file.
    if (!cFileDialogModel::IsRepresentable(path)) {
        VoiceOutput(2, 0, FillPlaceholders(LoadString(816), {text}));
        return;
    }
    SaveRegSetting(kCommonKey, QString(), QStringLiteral("SelectedFile"), text);
    gDialogResult = 1;
    VoiceOutput(2, 0, FillPlaceholders(LoadString(807), {text}));
    hide();
}

void fFileOpen::Command2_Click()
{
    gDialogResult = 0;
    VoiceOutput(2, 0, LoadString(808));
    hide();
}

void fFileOpen::reject()
{
    Command2_Click();
}

void InstallFileDialogs()
{
    SetFileDialogHandler([](qint32 kind, const QString& text, qint32 windowCode) {
        auto* parent = qobject_cast<QWidget*>(gMainWindow);
        std::unique_ptr<fFileOpen> form;
        if (kind >= 14)
            form = std::make_unique<fFileOpenSnd>(parent);
        else
            form = std::make_unique<fFileOpen>(parent);
        form->Prepare(kind, text, windowCode);
        return RunAccessibleDialog(std::move(form));
    });
}
