#pragma once
// A voice server that takes every call and says nothing, for benchmarks that watch what arrives.
#include "VoiceServer.h"

namespace bench {

// Version 2.0, the one the window checks for; Voice is what a benchmark overrides.
class cQuietVoice : public VoiceServer {
public:
    qint32 Voice(qint32, qint32, const QString&) override { return 0; }
    void BrailleWithOffset(const QString&, qint32) override {}
    void FocusVoice(const QString&, const QString&, qint32, qint32, qint32, bool, bool, qint32) override {}
    void BrailleText(qint16, const QString&) override {}
    void AddBrailleRole(qint32) override {}
    qint32 SupportOK() override { return 1; }
    void GetVer(qint32& major, qint32& minor) override
    {
        major = 2;
        minor = 0;
    }
    void AddRef(qint32) override {}
    void Release(qint32) override {}
    bool IsBraille() override { return false; }
};

} // namespace bench
