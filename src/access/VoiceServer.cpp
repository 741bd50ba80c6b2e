#include "VoiceServer.h"

#include "cSpeechdVoice.h"
#include "cVoiceLog.h"

std::unique_ptr<VoiceServer> CreateVoiceServer(const QString& progId)
{
    if (progId.compare(QLatin1String("VelorinVoice.Voice"), Qt::CaseInsensitive) != 0)
        return nullptr;
    const QString choice = qEnvironmentVariable("QUARNEL_VOICE").trimmed();
    if (choice.isEmpty() || choice == QLatin1String("speechd"))
        return std::make_unique<cSpeechdVoice>();
    if (choice.startsWith(QLatin1String("log:"))) {
        auto log = std::make_unique<cVoiceLog>(choice.mid(4));
        if (log->IsOpen())
            return log;
    }
    return nullptr; // "none", an unwritable log or an unknown backend: no voice server
}
