#pragma once
// The speech settings as the dialog offers them and as the voice server takes them; no widgets here.
#include "VoiceServer.h"
#include "mSpeechPreferences.h"

#include <QList>
#include <QString>

// Whether a language code names Czech ("cs", "cs-CZ", "cs_CZ").
bool IsCzech(const QString& language);
// The voices as offered: Czech ones first, then the others, each group by name.
QList<cSynthVoice> OrderVoices(QList<cSynthVoice> voices);
// A voice as the list shows and says it: its name, then its language when known.
QString VoiceEntryText(const cSynthVoice& voice);

// The values a rate, pitch or volume list offers: -100 to 100 by 10.
QList<qint32> LevelSteps();
// The offered value nearest to value (a stored value may lie between them).
int NearestLevelStep(qint32 value);

// Sends the settings to server: all of them without before, otherwise only those that
// differ from before. The cell reading order is no speech setting and is not sent.
void ApplySpeechSettings(VoiceServer* server, const cSpeechSettings& settings,
                         const cSpeechSettings* before = nullptr);
// At start: the stored settings to the voice server of the run, if any were stored.
void ApplyStoredSpeechSettings();
