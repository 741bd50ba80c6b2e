#include "cVoiceLog.h"

#include <QStringList>

namespace {

QString Number(qint64 value)
{
    return QString::number(value);
}

QString Flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

} // namespace

cVoiceLog::cVoiceLog(const QString& path)
    : m_file(path)
{
    // Several programs of the suite may append to one log; never truncate it.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        m_file.setFileName(QString());
}

QString cVoiceLog::Escape(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': result += QLatin1String("\\\\"); break;
        case u'\t': result += QLatin1String("\\t"); break;
        case u'\r': result += QLatin1String("\\r"); break;
        case u'\n': result += QLatin1String("\\n"); break;
        default: result += c;
        }
    }
    return result;
}

void cVoiceLog::Write(const QString& member, const QStringList& arguments)
{
    if (!m_file.isOpen())
        return;
    QString line = member;
    for (const QString& argument : arguments)
        line += u'\t' + Escape(argument);
    line += u'\n';
    m_file.write(line.toUtf8());
    m_file.flush();
}

qint32 cVoiceLog::Voice(qint32 mode, qint32 parameter, const QString& text)
{
    Write(QStringLiteral("Voice"), {Number(mode), Number(parameter), text});
    return 0; // mode 3: never speaking, so waiting message boxes close at once
}

void cVoiceLog::BrailleWithOffset(const QString& text, qint32 offset)
{
    Write(QStringLiteral("BrailleWithOffset"), {text, Number(offset)});
}

void cVoiceLog::FocusVoice(const QString& caption, const QString& value, qint32 controlWindow, qint32 formWindow,
                           qint32 role, bool flagA, bool flagB, qint32 extra)
{
    Write(QStringLiteral("FocusVoice"), {caption, value, Number(controlWindow), Number(formWindow), Number(role),
                                         Flag(flagA), Flag(flagB), Number(extra)});
}

void cVoiceLog::BrailleText(qint16 cursorColumn, const QString& lineText)
{
    Write(QStringLiteral("BrailleText"), {Number(cursorColumn), lineText});
}

void cVoiceLog::AddBrailleRole(qint32 role)
{
    Write(QStringLiteral("AddBrailleRole"), {Number(role)});
}

qint32 cVoiceLog::SupportOK()
{
    Write(QStringLiteral("SupportOK"), {});
    return 1;
}

void cVoiceLog::GetVer(qint32& major, qint32& minor)
{
    major = 2;
    minor = 0;
    Write(QStringLiteral("GetVer"), {Number(major), Number(minor)});
}

void cVoiceLog::AddRef(qint32 mainWindow)
{
    Write(QStringLiteral("AddRef"), {Number(mainWindow)});
}

void cVoiceLog::Release(qint32 mainWindow)
{
    Write(QStringLiteral("Release"), {Number(mainWindow)});
}

bool cVoiceLog::IsBraille()
{
    Write(QStringLiteral("IsBraille"), {});
    return true;
}

void cVoiceLog::SetRate(qint32 rate)
{
    Write(QStringLiteral("Settings"), {QStringLiteral("rate"), Number(rate)});
}

void cVoiceLog::SetPitch(qint32 pitch)
{
    Write(QStringLiteral("Settings"), {QStringLiteral("pitch"), Number(pitch)});
}

void cVoiceLog::SetVolume(qint32 volume)
{
    Write(QStringLiteral("Settings"), {QStringLiteral("volume"), Number(volume)});
}

void cVoiceLog::SetVoice(const QString& name)
{
    Write(QStringLiteral("Settings"), {QStringLiteral("voice"), name});
}

void cVoiceLog::SetPunctuation(qint32 level)
{
    Write(QStringLiteral("Settings"), {QStringLiteral("punctuation"), Number(level)});
}

QList<cSynthVoice> cVoiceLog::ListVoices(int timeoutMs)
{
    Write(QStringLiteral("ListVoices"), {Number(timeoutMs)});
    return {}; // as a server without a daemon: only the default voice is offered
}
