#include "mScreenReader.h"

#include "mStringTable.h"

#include <atomic>

namespace {

std::atomic<OwnSpeech> gChoice{OwnSpeech::Automatic};
std::atomic<bool> gRunning{false};

} // namespace

OwnSpeech OwnSpeechChoice()
{
    return gChoice.load();
}

void SetOwnSpeechChoice(OwnSpeech choice)
{
    gChoice.store(choice);
}

OwnSpeech OwnSpeechFromNumber(int number)
{
    switch (number) {
    case int(OwnSpeech::Always): return OwnSpeech::Always;
    case int(OwnSpeech::OnlyUnknown): return OwnSpeech::OnlyUnknown;
    default: return OwnSpeech::Automatic;
    }
}

QString OwnSpeechName(OwnSpeech choice)
{
    switch (choice) {
    case OwnSpeech::Always: return LoadString(10811);
    case OwnSpeech::OnlyUnknown: return LoadString(10812);
    case OwnSpeech::Automatic: break;
    }
    return LoadString(10810);
}

bool ScreenReaderRunning()
{
    return gRunning.load();
}

void SetScreenReaderRunning(bool running)
{
    gRunning.store(running);
}

bool ScreenReaderReads()
{
    switch (gChoice.load()) {
    case OwnSpeech::Always: return false;
    case OwnSpeech::OnlyUnknown: return true;
    case OwnSpeech::Automatic: break;
    }
    return gRunning.load();
}
