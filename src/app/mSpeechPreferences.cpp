#include "mSpeechPreferences.h"

#include "modRegistry.h"
#include "sMain.h"

#include <QList>
#include <QVariant>

#include <optional>

namespace {

const QString kRate = QStringLiteral("SpeechRate");
const QString kPitch = QStringLiteral("SpeechPitch");
const QString kVolume = QStringLiteral("SpeechVolume");
const QString kVoice = QStringLiteral("SpeechVoice");
const QString kPunctuation = QStringLiteral("SpeechPunctuation");
const QString kHeaderFirst = QStringLiteral("CellHeaderFirst");
const QString kRowNumber = QStringLiteral("CellRowNumber");

std::optional<qint32> ReadNumber(const QString& name)
{
    return RegLong(GetRegSetting(kProgramKey, QString(), name, QVariant()));
}

qint32 ReadLevel(const QString& name, qint32 fallback)
{
    const std::optional<qint32> value = ReadNumber(name);
    return value ? qBound(cSpeechSettings::kLowest, *value, cSpeechSettings::kHighest) : fallback;
}

} // namespace

bool SpeechSettingsStored()
{
    return GetRegSetting(kProgramKey, QString(), kRate, QVariant()).isValid();
}

cSpeechSettings StoredSpeechSettings()
{
    cSpeechSettings settings;
    settings.Rate = ReadLevel(kRate, settings.Rate);
    settings.Pitch = ReadLevel(kPitch, settings.Pitch);
    settings.Volume = ReadLevel(kVolume, settings.Volume);
    settings.Voice = GetRegSetting(kProgramKey, QString(), kVoice, QString()).toString().trimmed();
    const qint32 punctuation = ReadNumber(kPunctuation).value_or(settings.Punctuation);
    if (punctuation >= cSpeechSettings::PunctuationNone && punctuation <= cSpeechSettings::PunctuationAll)
        settings.Punctuation = punctuation;
    settings.HeaderFirst = HeaderBeforeValue();
    settings.RowNumber = RowNumberOnMove();
    return settings;
}

void StoreSpeechSettings(const cSpeechSettings& settings)
{
    SaveRegSettings(kProgramKey, QString(),
                    {{kRate, settings.Rate},
                     {kPitch, settings.Pitch},
                     {kVolume, settings.Volume},
                     {kVoice, settings.Voice},
                     {kPunctuation, settings.Punctuation},
                     {kHeaderFirst, settings.HeaderFirst ? 1 : 0},
                     {kRowNumber, settings.RowNumber ? 1 : 0}});
    // The grid reads these on every move: kept in memory, not read from the file each time.
    gCellHeaderFirst = settings.HeaderFirst ? 1 : 0;
    gCellRowNumber = settings.RowNumber ? 1 : 0;
}

bool HeaderBeforeValue()
{
    return ReadNumber(kHeaderFirst).value_or(0) != 0;
}

bool RowNumberOnMove()
{
    return ReadNumber(kRowNumber).value_or(0) != 0;
}
