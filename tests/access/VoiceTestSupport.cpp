#include "VoiceTestSupport.h"

#include "modCommon.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

void VoiceLogTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("voice.log"));
    qputenv("QUARNEL_VOICE", ("log:" + m_path).toUtf8());
    ASSERT_TRUE(CreateVoice());
    gBrailleOn = true;
}

void VoiceLogTest::TearDown()
{
    DestroyVoice();
    qputenv("QUARNEL_VOICE", "none");
}

ScopedScreenReader::ScopedScreenReader() : m_choice(OwnSpeechChoice()), m_running(ScreenReaderRunning())
{
    SetOwnSpeechChoice(OwnSpeech::Automatic);
    SetScreenReaderRunning(true);
}

ScopedScreenReader::~ScopedScreenReader()
{
    SetOwnSpeechChoice(m_choice);
    SetScreenReaderRunning(m_running);
}

QList<QStringList> VoiceLogTest::Calls() const
{
    QFile file(m_path);
    QList<QStringList> calls;
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    const QString content = QString::fromUtf8(file.readAll());
    for (const QString& line : content.split(u'\n', Qt::SkipEmptyParts))
        calls.append(line.split(u'\t'));
    return calls;
}

QList<QStringList> VoiceLogTest::Calls(const QString& member) const
{
    QList<QStringList> result;
    for (const QStringList& call : Calls())
        if (call.value(0) == member)
            result.append(call);
    return result;
}

QStringList VoiceLogTest::Spoken() const
{
    QStringList result;
    for (const QStringList& call : Calls(QStringLiteral("Voice")))
        result.append(call.mid(1).join(u' '));
    return result;
}

void VoiceLogTest::Clear() const
{
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

QTimer* WhenModal(std::function<void(QDialog*)> answer, int timeoutMs, bool optional)
{
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(timeoutMs / 20);
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, answer, optional] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        // Keys go where the focus is, which the dialog has once it is active. A box opened
        // just after another closed can lose that to the window under it, whose activation
        // arrives late; the window system gives a modal box the keyboard.
        if (dialog && dialog->isVisible() && QApplication::activeWindow() != dialog) {
            QApplication::setActiveWindow(dialog); // its focus is in place at the next look
        } else if (dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
            return;
        }
        if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
            if (!optional)
                ADD_FAILURE() << "no modal dialog appeared";
        }
    });
    timer->start(20);
    return timer;
}

namespace {

QWidget* Target(QDialog* dialog)
{
    QWidget* focus = dialog->focusWidget();
    return focus ? focus : dialog;
}

} // namespace

void PressInDialog(QDialog* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(Target(dialog), key, modifiers);
}

void TypeInDialog(QDialog* dialog, const QString& text)
{
    QWidget* target = Target(dialog);
    // Letters with diacritics come as the keys of a Czech keyboard give them: the
    // character's text with the key of its capital.
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(target, c.toLatin1());
            continue;
        }
        const auto key = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, target, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, target, key, QString(c), Qt::NoModifier);
    }
}
