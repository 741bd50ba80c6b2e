#include "VoiceTestSupport.h"

#include "modCommon.h"
#include "modDialogs.h"

#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// The bridge against the private speech-dispatcher and BRLTTY that daemons.sh started.
class VoiceDaemonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile env(QStringLiteral(DAEMON_STATE "/env"));
        ASSERT_TRUE(env.open(QIODevice::ReadOnly)) << "the services were not started";
        for (const QByteArray& line : env.readAll().split('\n')) {
            const qsizetype at = line.indexOf('=');
            if (at > 0)
                qputenv(line.left(at).constData(), line.mid(at + 1));
        }
        m_speechLog = qEnvironmentVariable("QUARNEL_TEST_SPEECHD_LOG");
        m_brailleLog = qEnvironmentVariable("QUARNEL_TEST_BRAILLE_LOG");
        qputenv("QUARNEL_VOICE", "speechd");
    }
    void TearDown() override { DestroyVoice(); }

    // ConnectVoice; the text of a support error box if one came (answered with Enter).
    QString Connect()
    {
        QString shown;
        QPointer<QTimer> watcher = WhenModal(
            [&shown](QDialog* dialog) {
                if (auto* box = qobject_cast<QMessageBox*>(dialog))
                    shown = box->text();
                QTest::keyClick(dialog, Qt::Key_Return);
            },
            4000, true);
        ConnectVoice(true);
        delete watcher; // no box came: the next modal dialog is someone else's
        return shown;
    }

    // The services answer in milliseconds; the limit only keeps a failure from hanging.
    static bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 30000); }

    static qsizetype Occurrences(const QString& path, const QString& text)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).count(text) : 0;
    }
    static bool FileHas(const QString& path, const QString& text) { return Occurrences(path, text) > 0; }

    QString m_speechLog;
    QString m_brailleLog;
};

} // namespace

TEST_F(VoiceDaemonTest, SpeechReachesTheServerAndItsEndIsHeard)
{
    ASSERT_TRUE(CreateVoice());
    EXPECT_EQ(Connect(), QString());
    EXPECT_TRUE(gBrailleOn);

    VoiceOutput(2, 0, QStringLiteral("Zkouška řeči, žluťoučký kůň"));
    EXPECT_EQ(VoiceOutput(3, 0, QString()), 1); // speaking until the server says it ended
    // The server hands the text to its espeak-ng module.
    EXPECT_TRUE(WaitFor([&] {
        return FileHas(m_speechLog, QStringLiteral("Command sent to output module: |<speak>Zkouška řeči, žluťoučký kůň"));
    }));
    EXPECT_TRUE(WaitFor([] { return VoiceOutput(3, 0, QString()) == 0; }));
}

TEST_F(VoiceDaemonTest, CharactersSignalsAndStop)
{
    ASSERT_TRUE(CreateVoice());
    ASSERT_EQ(Connect(), QString());
    VoiceOutput(2, 255, QStringLiteral("ř"));
    VoiceOutput(5, 8, QString());
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_speechLog, QStringLiteral("CHAR ř")); }));
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_speechLog, QStringLiteral("SOUND_ICON end-of-line")); }));

    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += QStringLiteral("Dlouhý text, který by se četl velmi dlouho. ");
    VoiceOutput(1, 0, longText);
    VoiceOutput(1, 0, longText);
    EXPECT_EQ(VoiceOutput(3, 0, QString()), 1);
    // The log is the services' own for the whole run: count the cancels this stop adds.
    const qsizetype cancels = Occurrences(m_speechLog, QStringLiteral("DATA:|CANCEL SELF"));
    VoiceOutput(4, 0, QString());
    EXPECT_TRUE(WaitFor([&] { return Occurrences(m_speechLog, QStringLiteral("DATA:|CANCEL SELF")) > cancels; }));
    EXPECT_TRUE(WaitFor([] { return VoiceOutput(3, 0, QString()) == 0; }));
}

TEST_F(VoiceDaemonTest, BrailleLineShowsTheText)
{
    ASSERT_TRUE(CreateVoice());
    ASSERT_EQ(Connect(), QString());
    ASSERT_TRUE(gBrailleOn);
    BrailleOutput(3, QStringLiteral("Řádek na displeji"));
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_brailleLog, QStringLiteral("Visual \"Řádek na displeji ")); }));
    VoiceOutput(2, 0, QStringLiteral("Mluvené i psané"));
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_brailleLog, QStringLiteral("Visual \"Mluvené i psané ")); }));
}

TEST_F(VoiceDaemonTest, WaitingBoxClosesWhenTheServerHasSpoken)
{
    ASSERT_TRUE(CreateVoice());
    ASSERT_EQ(Connect(), QString());
    // Nothing answers the box: it must close itself once the server has reported the end
    // of speech. Should it stay open, the watcher fails the test.
    QPointer<QTimer> watcher = WhenModal([](QDialog*) {}, 5000, true);
    EXPECT_EQ(ShowAccessibleDialog(DialogKind::Ok, QStringLiteral("Hotovo.|Informace"), true), 0);
    delete watcher;
    EXPECT_TRUE(FileHas(m_speechLog, QStringLiteral("Informace, Hotovo.")));
    EXPECT_EQ(VoiceOutput(3, 0, QString()), 0) << "the server reported the end of speech";
}

TEST_F(VoiceDaemonTest, ConnectingAgainFindsServicesThatWereAway)
{
    const QByteArray speechd = qgetenv("SPEECHD_ADDRESS");
    const QByteArray brlapi = qgetenv("BRLAPI_HOST");
    qputenv("SPEECHD_ADDRESS", "unix_socket:/nonexistent/speechd.sock");
    qputenv("BRLAPI_HOST", ":998");
    ASSERT_TRUE(CreateVoice());
    EXPECT_EQ(Connect(), QStringLiteral("Chyba hlasové podpory Velorina."));
    EXPECT_FALSE(gBrailleOn);

    qputenv("SPEECHD_ADDRESS", speechd);
    qputenv("BRLAPI_HOST", brlapi);
    EXPECT_EQ(Connect(), QString());
    EXPECT_TRUE(gBrailleOn);
    VoiceOutput(2, 0, QStringLiteral("Zase slyším"));
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_speechLog, QStringLiteral("<speak>Zase slyším")); }));
}

TEST_F(VoiceDaemonTest, TheVoicesAreListedAndASettingReachesTheServerBeforeTheNextText)
{
    ASSERT_TRUE(CreateVoice());
    EXPECT_EQ(Connect(), QString());
#if !defined(__SANITIZE_ADDRESS__)
    // espeak-ng lists thousands of voices and takes seconds for it: libspeechd joins the
    // reply's lines one by one, which the sanitizer's checks of every string call slow past
    // any wait a test may make.
    const QList<cSynthVoice> voices = gVoice->ListVoices(20000);
    EXPECT_TRUE(std::any_of(voices.begin(), voices.end(),
                            [](const cSynthVoice& voice) { return voice.Language.startsWith(QLatin1String("cs")); }))
        << voices.size() << " voices, none Czech";
#endif

    gVoice->SetRate(40);
    gVoice->SetPunctuation(2);
    VoiceOutput(2, 0, QStringLiteral("Rychleji, s tečkou."));
    EXPECT_TRUE(WaitFor([&] { return FileHas(m_speechLog, QStringLiteral("<speak>Rychleji")); }));
    QFile log(m_speechLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const qsizetype rate = text.lastIndexOf(QStringLiteral("RATE 40"), -1, Qt::CaseInsensitive);
    EXPECT_GE(rate, 0) << "the rate never reached the server";
    EXPECT_LT(rate, text.lastIndexOf(QStringLiteral("<speak>Rychleji")));
}
