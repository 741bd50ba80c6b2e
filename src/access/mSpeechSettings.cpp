#include "mSpeechSettings.h"

#include "mStringTable.h"
#include "modCommon.h"

#include <algorithm>

bool IsCzech(const QString& language)
{
    const QString code = language.trimmed().toLower();
    return code == QLatin1String("cs") || code.startsWith(QLatin1String("cs-"))
           || code.startsWith(QLatin1String("cs_"));
}

QList<cSynthVoice> OrderVoices(QList<cSynthVoice> voices)
{
    std::stable_sort(voices.begin(), voices.end(), [](const cSynthVoice& a, const cSynthVoice& b) {
        const bool czechA = IsCzech(a.Language);
        const bool czechB = IsCzech(b.Language);
        if (czechA != czechB)
            return czechA;
        return QString::compare(a.Name, b.Name, Qt::CaseInsensitive) < 0;
    });
    return voices;
}

QString VoiceEntryText(const cSynthVoice& voice)
{
    if (voice.Language.isEmpty())
        return voice.Name;
    return FillPlaceholders(LoadString(10909), {voice.Name, voice.Language});
}

QList<qint32> LevelSteps()
{
    QList<qint32> steps;
    for (qint32 value = cSpeechSettings::kLowest; value <= cSpeechSettings::kHighest; value += 10)
        steps.append(value);
    return steps;
}

int NearestLevelStep(qint32 value)
{
    const QList<qint32> steps = LevelSteps();
    int nearest = 0;
    for (int i = 1; i < steps.size(); ++i)
        if (qAbs(steps[i] - value) < qAbs(steps[nearest] - value))
            nearest = i;
    return nearest;
}

void ApplySpeechSettings(VoiceServer* server, const cSpeechSettings& settings, const cSpeechSettings* before)
{
    if (!server)
        return;
    if (!before || before->Rate != settings.Rate)
        server->SetRate(settings.Rate);
    if (!before || before->Pitch != settings.Pitch)
        server->SetPitch(settings.Pitch);
    if (!before || before->Volume != settings.Volume)
        server->SetVolume(settings.Volume);
    if (!before || before->Voice != settings.Voice)
        server->SetVoice(settings.Voice);
    if (!before || before->Punctuation != settings.Punctuation)
        server->SetPunctuation(settings.Punctuation);
}

void ApplyStoredSpeechSettings()
{
    // Until the user chose, the daemon's own configuration stays in force.
    if (SpeechSettingsStored())
        ApplySpeechSettings(gVoice.get(), StoredSpeechSettings());
}
