#pragma once
// The speech dialog: rate, pitch, volume, voice, punctuation and the cell reading order.
#include "VoiceServer.h"
#include "mSpeechPreferences.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;

// Each change of the voice is sent to the voice server at once and its new value said in
// it; OK stores the settings, Storno (Escape) sends back those the dialog changed and
// stores nothing. The cell reading order is only stored.
class fSpeechSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2625;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    // Starts from settings; voices are what the server offers (empty: only its default).
    fSpeechSettings(const cSpeechSettings& settings, const QList<cSynthVoice>& voices, QWidget* parent = nullptr);
    ~fSpeechSettings() override;

    // The voice list afresh (it may arrive after the dialog opened); the choice stays.
    void OfferVoices(const QList<cSynthVoice>& voices);
    int Result() const { return m_result; }
    cSpeechSettings Chosen() const { return m_current; }

    QLabel* lblRate = nullptr;
    QComboBox* cboRate = nullptr;
    QLabel* lblPitch = nullptr;
    QComboBox* cboPitch = nullptr;
    QLabel* lblVolume = nullptr;
    QComboBox* cboVolume = nullptr;
    QLabel* lblVoice = nullptr;
    QComboBox* cboVoice = nullptr;
    QLabel* lblPunctuation = nullptr;
    QComboBox* cboPunctuation = nullptr;
    QLabel* lblHeader = nullptr;
    QComboBox* cboHeader = nullptr;
    QLabel* lblRowNumber = nullptr;
    QComboBox* cboRowNumber = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    void Changed(QComboBox* box);
    void Announce(QComboBox* box);
    // A key in a list box that the box would take in silence or open a popup with.
    bool ListKey(QComboBox* box, const QKeyEvent* key);
    QList<QComboBox*> Boxes() const;

    cSpeechSettings m_before;
    cSpeechSettings m_current;
    QWidget* m_announced = nullptr;
    int m_result = ResultCancel;
    bool m_filling = false;
};

// Opens the dialog over parent with the voices the server of the run offers, from the
// stored settings; the result as Result.
int ShowSpeechSettings(QWidget* parent);
