#include "fSpeechSettings.h"

#include "mFitToScreen.h"
#include "mPrepareForm.h"
#include "mSpeechSettings.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "modDialogs.h"
#include "sMain.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// How long the dialog may wait for the daemon's voices; a hung daemon costs no more.
constexpr int kVoiceListWaitMs = 500;
// Then it looks again now and then while the dialog is open, for half a minute.
constexpr int kVoicePollMs = 300;
constexpr int kVoicePolls = 100;
// Page Up and Page Down move this many entries.
constexpr int kPageStep = 5;

QComboBox* NewList(QWidget* form, const char* name)
{
    auto* box = new QComboBox(form);
    box->setObjectName(QLatin1String(name));
    box->setEditable(false);
    return box;
}

void FillLevels(QComboBox* box, qint32 value)
{
    for (const qint32 step : LevelSteps())
        box->addItem(QString::number(step), step);
    box->setCurrentIndex(NearestLevelStep(value));
}

void SelectData(QComboBox* box, const QVariant& data)
{
    const int index = box->findData(data);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace

fSpeechSettings::fSpeechSettings(const cSpeechSettings& settings, const QList<cSynthVoice>& voices, QWidget* parent)
    : QDialog(parent), m_before(settings), m_current(settings)
{
    setObjectName(QStringLiteral("fSpeechSettings"));
    SetWindowCode(this, kWindowCode);
    setWindowTitle(LoadString(10901));
    setModal(true);

    // At a large font on a small screen the page scrolls instead of cutting controls off.
    QScrollArea* scroll = NewScrollArea(this);
    QWidget* page = scroll->widget();

    // Created in the order the Tab key visits them.
    cboRate = NewList(page, "cboRate");
    lblRate = NewCaption(page, "lblRate", LoadString(10902), cboRate);
    cboPitch = NewList(page, "cboPitch");
    lblPitch = NewCaption(page, "lblPitch", LoadString(10903), cboPitch);
    cboVolume = NewList(page, "cboVolume");
    lblVolume = NewCaption(page, "lblVolume", LoadString(10904), cboVolume);
    cboVoice = NewList(page, "cboVoice");
    // A daemon may offer thousands of voices: the box is not sized to the longest.
    cboVoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboVoice->setMinimumContentsLength(24);
    lblVoice = NewCaption(page, "lblVoice", LoadString(10905), cboVoice);
    cboPunctuation = NewList(page, "cboPunctuation");
    lblPunctuation = NewCaption(page, "lblPunctuation", LoadString(10906), cboPunctuation);
    cboHeader = NewList(page, "cboHeader");
    lblHeader = NewCaption(page, "lblHeader", LoadString(10907), cboHeader);
    cboRowNumber = NewList(page, "cboRowNumber");
    lblRowNumber = NewCaption(page, "lblRowNumber", LoadString(10915), cboRowNumber);

    m_filling = true;
    FillLevels(cboRate, settings.Rate);
    FillLevels(cboPitch, settings.Pitch);
    FillLevels(cboVolume, settings.Volume);
    for (int level = cSpeechSettings::PunctuationNone; level <= cSpeechSettings::PunctuationAll; ++level)
        cboPunctuation->addItem(LoadString(10910 + level), level);
    SelectData(cboPunctuation, settings.Punctuation);
    cboHeader->addItem(LoadString(10913), false);
    cboHeader->addItem(LoadString(10914), true);
    cboHeader->setCurrentIndex(settings.HeaderFirst ? 1 : 0);
    cboRowNumber->addItem(LoadString(10916), false);
    cboRowNumber->addItem(LoadString(10917), true);
    cboRowNumber->setCurrentIndex(settings.RowNumber ? 1 : 0);
    m_filling = false;
    OfferVoices(voices);

    auto* grid = new QGridLayout(page);
    int row = 0;
    for (auto [label, box] : {std::pair{lblRate, cboRate}, {lblPitch, cboPitch}, {lblVolume, cboVolume},
                              {lblVoice, cboVoice}, {lblPunctuation, cboPunctuation}, {lblHeader, cboHeader},
                              {lblRowNumber, cboRowNumber}}) {
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    QHBoxLayout* buttons = MakeOkCancelRow(this, &cmdOK, &cmdCancel);
    grid->setRowStretch(row, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    for (QComboBox* box : Boxes()) {
        // The popup list is a control of its own to a screen reader, even while hidden.
        box->view()->setAccessibleName(box->accessibleName());
        box->installEventFilter(this);
        connect(box, &QComboBox::currentIndexChanged, this, [this, box] { Changed(box); });
    }
    connect(cmdOK, &QPushButton::clicked, this, &fSpeechSettings::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fSpeechSettings::reject);

    ApplyFontToForm(this, gFont);
    // Before the preferences are read both colours are 0: the form keeps the style's.
    if (gForeColor != gBackColor && gForeColorForm != gBackColorForm)
        ApplyColoursToForm(this, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
    FitToScreen(this, scroll);
}

fSpeechSettings::~fSpeechSettings() = default;

void fSpeechSettings::OfferVoices(const QList<cSynthVoice>& voices)
{
    m_filling = true;
    cboVoice->clear();
    cboVoice->addItem(LoadString(10908), QString());
    QList<cSynthVoice> offered = OrderVoices(voices);
    const QString chosen = m_current.Voice;
    const bool chosenOffered = std::any_of(offered.begin(), offered.end(),
                                           [&](const cSynthVoice& voice) { return voice.Name == chosen; });
    if (!chosen.isEmpty() && !chosenOffered)
        offered.append({chosen, QString(), QString()}); // the stored voice stays choosable
    for (const cSynthVoice& voice : offered)
        cboVoice->addItem(VoiceEntryText(voice), voice.Name);
    SelectData(cboVoice, chosen);
    m_filling = false;
}

QList<QComboBox*> fSpeechSettings::Boxes() const
{
    return {cboRate, cboPitch, cboVolume, cboVoice, cboPunctuation, cboHeader, cboRowNumber};
}

void fSpeechSettings::Changed(QComboBox* box)
{
    if (m_filling || box->currentIndex() < 0)
        return;
    const cSpeechSettings before = m_current;
    const QVariant chosen = box->currentData();
    if (box == cboRate)
        m_current.Rate = chosen.toInt();
    else if (box == cboPitch)
        m_current.Pitch = chosen.toInt();
    else if (box == cboVolume)
        m_current.Volume = chosen.toInt();
    else if (box == cboVoice)
        m_current.Voice = chosen.toString();
    else if (box == cboPunctuation)
        m_current.Punctuation = chosen.toInt();
    else if (box == cboHeader)
        m_current.HeaderFirst = chosen.toBool();
    else if (box == cboRowNumber)
        m_current.RowNumber = chosen.toBool();
    // Heard at once, and in the voice just chosen.
    ApplySpeechSettings(gVoice.get(), m_current, &before);
    // Said beside a screen reader too, which hears no value of such a list.
    VoiceOutput(2, 0, box->currentText());
}

void fSpeechSettings::Announce(QComboBox* box)
{
    VoiceFocus(box->accessibleName(), box->currentText(), WindowHandle(box), WindowHandle(this), 0, true, true, 0);
    VoiceFocusedListValue(box->currentText());
    BrailleRole(kRoleComboBox);
}

bool fSpeechSettings::ListKey(QComboBox* box, const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const int count = box->count();
    const int index = box->currentIndex();
    if (modifiers == Qt::NoModifier) {
        int target = 0;
        bool moves = true;
        switch (key->key()) {
        case Qt::Key_Up: target = index - 1; break;
        case Qt::Key_Down: target = index + 1; break;
        case Qt::Key_PageUp: target = index == 0 ? -1 : qMax(0, index - kPageStep); break;
        case Qt::Key_PageDown: target = index == count - 1 ? count : qMin(count - 1, index + kPageStep); break;
        case Qt::Key_Home: target = index == 0 ? -1 : 0; break;
        case Qt::Key_End: target = index == count - 1 ? count : count - 1; break;
        default: moves = false;
        }
        if (moves) {
            if (target < 0 || target >= count)
                VoiceOutput(5, target < 0 ? 7 : 8, QString()); // the end of the list, as in every list
            else
                box->setCurrentIndex(target);
            return true;
        }
    }
    // The popup would hide the entries from the speech; the box answers with its value.
    const bool popup = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space
                       || ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) && (modifiers & Qt::AltModifier));
    if (popup || (modifiers == Qt::NoModifier && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right))) {
        VoiceOutput(2, 0, box->currentText());
        return true;
    }
    // A typed character goes to the next entry that begins with it, or says the value.
    const QString text = key->text();
    if ((modifiers & ~Qt::ShiftModifier) == Qt::NoModifier && text.size() == 1 && text.at(0).isPrint()) {
        for (int step = 1; step <= count; ++step) {
            const int candidate = (index + step) % count;
            if (box->itemText(candidate).startsWith(text, Qt::CaseInsensitive)) {
                if (candidate != index) {
                    box->setCurrentIndex(candidate);
                    return true;
                }
                break;
            }
        }
        VoiceOutput(2, 0, box->currentText());
        return true;
    }
    return false;
}

void fSpeechSettings::showEvent(QShowEvent* event)
{
    m_result = ResultCancel;
    m_announced = nullptr;
    cboRate->setFocus();
    QDialog::showEvent(event);
}

void fSpeechSettings::cmdOK_Click()
{
    StoreSpeechSettings(m_current);
    m_before = m_current;
    m_result = ResultOk;
    done(ResultOk);
}

void fSpeechSettings::reject()
{
    // What the dialog changed goes back; the rest was never touched.
    ApplySpeechSettings(gVoice.get(), m_before, &m_current);
    m_current = m_before;
    m_result = ResultCancel;
    done(ResultCancel);
}

bool fSpeechSettings::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QComboBox*>(watched);
    if (box && Boxes().contains(box)) {
        if (event->type() == QEvent::FocusIn) {
            // Showing the dialog moves the focus before the window is active and again
            // after: a box is said once, when the user is really on it.
            if (isActiveWindow() && box != m_announced) {
                m_announced = box;
                Announce(box);
            }
        } else if (event->type() == QEvent::FocusOut) {
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && box == m_announced)
                m_announced = nullptr;
        } else if (event->type() == QEvent::KeyPress && ListKey(box, static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int ShowSpeechSettings(QWidget* parent)
{
    const QList<cSynthVoice> voices = gVoice ? gVoice->ListVoices(kVoiceListWaitMs) : QList<cSynthVoice>();
    fSpeechSettings form(StoredSpeechSettings(), voices, parent);
    // A daemon with thousands of voices lists them for seconds; the dialog is not held up.
    QTimer poll;
    int polls = 0;
    if (gVoice && voices.isEmpty()) {
        QObject::connect(&poll, &QTimer::timeout, &form, [&] {
            const QList<cSynthVoice> arrived = gVoice ? gVoice->ListVoices(0) : QList<cSynthVoice>();
            if (!arrived.isEmpty())
                form.OfferVoices(arrived);
            if (!arrived.isEmpty() || ++polls >= kVoicePolls)
                poll.stop();
        });
        poll.start(kVoicePollMs);
    }
    ExecModal(form);
    return form.Result();
}
