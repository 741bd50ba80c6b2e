#include "VoiceTestSupport.h"

#include "TestSupport.h"
#include "fSpeechSettings.h"
#include "sMain.h"
#include "mPrepareForm.h"
#include "mSpeechSettings.h"
#include "modCommon.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>

#include <functional>

namespace {

QStringList Names(const QList<cSynthVoice>& voices)
{
    QStringList names;
    for (const cSynthVoice& voice : voices)
        names << voice.Name;
    return names;
}

const QList<cSynthVoice> kVoices = {
    {QStringLiteral("zuzana"), QStringLiteral("en"), QString()},
    {QStringLiteral("Petr"), QStringLiteral("cs"), QStringLiteral("male1")},
    {QStringLiteral("kaszub"), QStringLiteral("csb"), QString()},
    {QStringLiteral("eliska"), QStringLiteral("cs-CZ"), QString()},
    {QStringLiteral("Anna"), QStringLiteral("de"), QString()},
};

class SpeechSettingsTest : public VoiceLogTest {
protected:
    // The settings sent to the voice server, as "name value".
    QStringList Sent() const
    {
        QStringList sent;
        for (const QStringList& call : Calls(QStringLiteral("Settings")))
            sent << call.mid(1).join(u' ');
        return sent;
    }

    // Opens the dialog from settings and lets answer work it with keys.
    int Run(const cSpeechSettings& settings, const std::function<void(fSpeechSettings*)>& answer,
            cSpeechSettings* chosen = nullptr)
    {
        fSpeechSettings form(settings, kVoices);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<fSpeechSettings*>(dialog)); });
        form.exec();
        if (chosen)
            *chosen = form.Chosen();
        return form.Result();
    }

    ScopedRegistry m_registry;
};

} // namespace

TEST(SpeechVoices, CzechComeFirstThenTheOthersEachByName)
{
    EXPECT_EQ(Names(OrderVoices(kVoices)), (QStringList{QStringLiteral("eliska"), QStringLiteral("Petr"),
                                                       QStringLiteral("Anna"), QStringLiteral("kaszub"),
                                                       QStringLiteral("zuzana")}));
    for (const char* czech : {"cs", "CS", "cs-CZ", "cs_CZ", " cs "})
        EXPECT_TRUE(IsCzech(QString::fromLatin1(czech))) << czech;
    // Kashubian and Slovak are neither Czech.
    for (const char* other : {"csb", "sk", "", "c"})
        EXPECT_FALSE(IsCzech(QString::fromLatin1(other))) << other;
    EXPECT_EQ(VoiceEntryText(kVoices[1]), QStringLiteral("Petr (cs)"));
    EXPECT_EQ(VoiceEntryText({QStringLiteral("x"), QString(), QString()}), QStringLiteral("x"));
}

TEST(SpeechVoices, LevelsRunByTensAndAStoredValueFindsTheNearest)
{
    const QList<qint32> steps = LevelSteps();
    ASSERT_EQ(steps.size(), 21);
    EXPECT_EQ(steps.front(), -100);
    EXPECT_EQ(steps.back(), 100);
    EXPECT_EQ(steps[NearestLevelStep(0)], 0);
    EXPECT_EQ(steps[NearestLevelStep(24)], 20);
    EXPECT_EQ(steps[NearestLevelStep(-36)], -40);
    EXPECT_EQ(steps[NearestLevelStep(-1000)], -100);
    EXPECT_EQ(steps[NearestLevelStep(1000)], 100);
}

TEST(SpeechPreferences, StoredOnlyWhenChosenReadBackWithinLimits)
{
    ScopedRegistry registry;
    EXPECT_FALSE(SpeechSettingsStored());
    EXPECT_EQ(StoredSpeechSettings(), cSpeechSettings());
    EXPECT_FALSE(HeaderBeforeValue());

    cSpeechSettings chosen;
    chosen.Rate = 30;
    chosen.Pitch = -20;
    chosen.Volume = 50;
    chosen.Voice = QStringLiteral("Petr");
    chosen.Punctuation = cSpeechSettings::PunctuationAll;
    chosen.HeaderFirst = true;
    StoreSpeechSettings(chosen);
    EXPECT_TRUE(SpeechSettingsStored());
    EXPECT_EQ(StoredSpeechSettings(), chosen);
    EXPECT_TRUE(HeaderBeforeValue());
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"CellHeaderFirst\"=\"1\"")));

    // Values edited by hand: out of range, unknown or not numbers.
    registry.WriteFile(QByteArray("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                                  "\"SpeechRate\"=\"500\"\n\"SpeechPitch\"=\"-7\"\n\"SpeechVolume\"=\"loud\"\n"
                                  "\"SpeechPunctuation\"=\"9\"\n\"CellHeaderFirst\"=\"0\"\n"));
    const cSpeechSettings read = StoredSpeechSettings();
    EXPECT_EQ(read.Rate, 100);
    EXPECT_EQ(read.Pitch, -7);
    EXPECT_EQ(read.Volume, 100);
    EXPECT_EQ(read.Punctuation, cSpeechSettings::PunctuationNone);
    EXPECT_TRUE(read.Voice.isEmpty());
    EXPECT_FALSE(HeaderBeforeValue());
}

TEST_F(SpeechSettingsTest, OnlyWhatDiffersIsSentAndTheCellOrderNever)
{
    cSpeechSettings before;
    cSpeechSettings after = before;
    after.Pitch = 40;
    after.HeaderFirst = true;
    ApplySpeechSettings(gVoice.get(), after, &before);
    ApplySpeechSettings(gVoice.get(), after, &after);
    EXPECT_EQ(Sent(), QStringList(QStringLiteral("pitch 40")));
    Clear();
    ApplySpeechSettings(gVoice.get(), after);
    EXPECT_EQ(Sent(), (QStringList{QStringLiteral("rate 0"), QStringLiteral("pitch 40"), QStringLiteral("volume 100"),
                                   QStringLiteral("voice "), QStringLiteral("punctuation 0")}));
}

TEST_F(SpeechSettingsTest, EveryListSaysItsNameAndValueAndTheVoicesComeCzechFirst)
{
    cSpeechSettings start;
    start.Rate = 20;
    start.Voice = QStringLiteral("Anna");
    QStringList voices, unnamed;
    QString focus;
    const int result = Run(start, [&](fSpeechSettings* form) {
        focus = form->focusWidget()->objectName();
        for (int i = 0; i < form->cboVoice->count(); ++i)
            voices << form->cboVoice->itemText(i);
        QList<QWidget*> controls = ControlsOf(form);
        for (QComboBox* box : form->findChildren<QComboBox*>())
            controls << box->view(); // a screen reader finds the hidden popup list too
        for (QWidget* control : controls)
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                unnamed << control->objectName();
        for (int i = 0; i < 9; ++i)
            PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(result, fSpeechSettings::ResultCancel);
    EXPECT_EQ(focus, QStringLiteral("cboRate"));
    EXPECT_EQ(unnamed, QStringList());
    EXPECT_EQ(voices, (QStringList{QStringLiteral("Výchozí"), QStringLiteral("eliska (cs-CZ)"),
                                   QStringLiteral("Petr (cs)"), QStringLiteral("Anna (de)"),
                                   QStringLiteral("kaszub (csb)"), QStringLiteral("zuzana (en)")}));
    QStringList said;
    for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
        said << call.mid(1, 2).join(u'=');
    EXPECT_EQ(said, (QStringList{QStringLiteral("Rychlost řeči=20"), QStringLiteral("Výška hlasu=0"),
                                 QStringLiteral("Hlasitost=100"), QStringLiteral("Hlas=Anna (de)"),
                                 QStringLiteral("Interpunkce=Žádná"), QStringLiteral("Čtení buňky=Záhlaví za hodnotou"),
                                 QStringLiteral("Číslo řádku=Neříkat"), QStringLiteral("OK="), QStringLiteral("Storno="), QStringLiteral("Rychlost řeči=20")}));
    // Only looking round changes nothing.
    EXPECT_EQ(Sent(), QStringList());
}

TEST_F(SpeechSettingsTest, AChangeIsSentBeforeItsValueIsSaidAndStornoSendsBackAndStoresNothing)
{
    const int result = Run(cSpeechSettings(), [&](fSpeechSettings* form) {
        PressInDialog(form, Qt::Key_Down);           // rate 10
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_End);            // pitch 100
        PressInDialog(form, Qt::Key_Down);           // already last: the end signal
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Down);           // the first Czech voice
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_V);              // "Všechna"
        PressInDialog(form, Qt::Key_Space);          // no popup: the value again
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(result, fSpeechSettings::ResultCancel);
    QStringList heard;
    for (const QStringList& call : Calls())
        if (call.value(0) == QLatin1String("Settings") || (call.value(0) == QLatin1String("Voice")))
            heard << call.join(u' ');
    EXPECT_EQ(heard, (QStringList{
                         QStringLiteral("Settings rate 10"), QStringLiteral("Voice 2 0 10"),
                         QStringLiteral("Settings pitch 100"), QStringLiteral("Voice 2 0 100"),
                         QStringLiteral("Voice 5 8 "),
                         QStringLiteral("Settings voice eliska"), QStringLiteral("Voice 2 0 eliska (cs-CZ)"),
                         QStringLiteral("Settings punctuation 2"), QStringLiteral("Voice 2 0 Všechna"),
                         QStringLiteral("Voice 2 0 Všechna"),
                         // Storno: what was changed goes back.
                         QStringLiteral("Settings rate 0"), QStringLiteral("Settings pitch 0"),
                         QStringLiteral("Settings voice "), QStringLiteral("Settings punctuation 0"),
                     }));
    EXPECT_FALSE(SpeechSettingsStored());
}

// A screen reader names each list and reads the rest, but the toolkit gives it no value of a
// drop-down list: the dialog says the values itself, the names it leaves to the reader.
TEST_F(SpeechSettingsTest, BesideAScreenReaderTheListsStillSayTheirValues)
{
    const ScopedScreenReader reader;
    QStringList spoken;
    qsizetype focused = -1;
    Run(cSpeechSettings(), [&](fSpeechSettings* form) {
        Clear();
        PressInDialog(form, Qt::Key_Tab); // Výška hlasu
        PressInDialog(form, Qt::Key_Down);
        spoken = Spoken();
        focused = Calls(QStringLiteral("FocusVoice")).size();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(spoken, (QStringList{QStringLiteral("1 0 0"), QStringLiteral("2 0 10")}));
    EXPECT_EQ(focused, 0) << "the names are the reader's";
}

TEST_F(SpeechSettingsTest, OkStoresEverythingTheHeaderOrderToo)
{
    cSpeechSettings chosen;
    const int result = Run(cSpeechSettings(), [&](fSpeechSettings* form) {
        PressInDialog(form, Qt::Key_Home);           // rate -100
        PressInDialog(form, Qt::Key_Up);             // already first: the start signal
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_PageUp);         // volume 50
        form->cboHeader->setFocus();
        PressInDialog(form, Qt::Key_Down);           // header first
        PressInDialog(form, Qt::Key_Tab);
        PressInDialog(form, Qt::Key_Down);           // the row number on a move up or down
        PressInDialog(form, Qt::Key_Return);         // OK, the default button
    }, &chosen);
    EXPECT_EQ(result, fSpeechSettings::ResultOk);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("5 7 ")));
    cSpeechSettings expected;
    expected.Rate = -100;
    expected.Volume = 50;
    expected.HeaderFirst = true;
    expected.RowNumber = true;
    EXPECT_EQ(chosen, expected);
    EXPECT_EQ(StoredSpeechSettings(), expected);
    EXPECT_TRUE(HeaderBeforeValue());
    EXPECT_EQ(gCellHeaderFirst, 1) << "the grid reads it from memory";
    EXPECT_EQ(gCellRowNumber, 1);
    gCellHeaderFirst = gCellRowNumber = 0;
    // The header order is no speech setting.
    EXPECT_EQ(Sent(), (QStringList{QStringLiteral("rate -100"), QStringLiteral("volume 50")}));
}

TEST_F(SpeechSettingsTest, VoicesArrivingLateJoinTheListAndTheChoiceStays)
{
    cSpeechSettings stored;
    stored.Voice = QStringLiteral("Petr");
    fSpeechSettings form(stored, {});
    QStringList before;
    for (int i = 0; i < form.cboVoice->count(); ++i)
        before << form.cboVoice->itemText(i);
    // Without a list the stored voice is still offered, so OK does not lose it.
    EXPECT_EQ(before, (QStringList{QStringLiteral("Výchozí"), QStringLiteral("Petr")}));
    form.OfferVoices(kVoices);
    EXPECT_EQ(form.cboVoice->count(), 6);
    EXPECT_EQ(form.cboVoice->currentText(), QStringLiteral("Petr (cs)"));
    EXPECT_EQ(form.Chosen(), stored);
    EXPECT_EQ(Sent(), QStringList());
    EXPECT_EQ(Spoken(), QStringList());
}
