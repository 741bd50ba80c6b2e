#include "VoiceTestSupport.h"

#include "frmFonts.h"
#include "mPrepareForm.h"
#include "sMain.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr qint32 kYellow = 0x00FFFF, kBlack = 0;

// The dialog over a stand-in main window with a label and a box, in yellow on black.
class FontsTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        m_saved = {gFont, gForeColor, gBackColor, gForeColorForm, gBackColorForm};
        gFont = cStdFont();
        gFont.Size = 95;
        gForeColor = kYellow;
        gBackColor = kBlack;
        gForeColorForm = qint32(0x80000012u);
        gBackColorForm = qint32(0x8000000Fu);
        auto* layout = new QVBoxLayout(&m_main);
        layout->addWidget(new QLabel(QStringLiteral("Jméno"), &m_main));
        layout->addWidget(new QLineEdit(&m_main));
        ApplyColoursToForm(&m_main, gForeColorForm, gBackColorForm, gForeColor, gBackColor);
        m_main.show();
    }
    void TearDown() override
    {
        std::tie(gFont, gForeColor, gBackColor, gForeColorForm, gBackColorForm) = m_saved;
        VoiceLogTest::TearDown();
    }

    int Run(const std::function<void(frmFonts*)>& answer)
    {
        frmFonts form(&m_main);
        WhenModal([&](QDialog* dialog) { answer(qobject_cast<frmFonts*>(dialog)); });
        form.exec();
        return form.Result();
    }

    std::tuple<cStdFont, qint32, qint32, qint32, qint32> m_saved;
    QWidget m_main;
};

} // namespace

TEST_F(FontsTest, SizeKeysStepByOneOrTenWithinLimitsAndCancelKeepsEverything)
{
    QStringList spoken;
    QString start, shown;
    const int result = Run([&](frmFonts* form) {
        start = form->focusWidget()->objectName();
        PressInDialog(form, Qt::Key_Tab); // the size box
        Clear();
        PressInDialog(form, Qt::Key_Up, Qt::ShiftModifier); // 95 → 100, not 105
        PressInDialog(form, Qt::Key_Plus, Qt::KeypadModifier); // at the limit: says why
        PressInDialog(form, Qt::Key_Down);
        PressInDialog(form, Qt::Key_Down, Qt::ControlModifier);
        PressInDialog(form, Qt::Key_Minus, Qt::KeypadModifier);
        shown = form->txtSize->text();
        spoken = Spoken();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_EQ(start, QStringLiteral("FontList"));
    EXPECT_EQ(spoken, QStringList({QStringLiteral("2 0 100"), QStringLiteral("2 0 Větší písmo než 100 nelze nastavit."),
                                   QStringLiteral("2 0 99"), QStringLiteral("2 0 89"), QStringLiteral("2 0 88")}));
    EXPECT_EQ(shown, QStringLiteral("88"));
    EXPECT_EQ(result, frmFonts::ResultCancel);
    EXPECT_EQ(gFont.Size, 95);
    EXPECT_EQ(gForeColor, kYellow);
}

TEST_F(FontsTest, ButtonsStopAtOneAndAHundred)
{
    frmFonts form(&m_main);
    for (int i = 0; i < 10; ++i)
        form.picUp_Click();
    EXPECT_EQ(form.SampleSize(), 100);
    form.txtSize->setText(QStringLiteral("2"));
    QTest::keyClick(form.txtSize, Qt::Key_Backspace);
    QTest::keyClicks(form.txtSize, QStringLiteral("2"));
    EXPECT_EQ(form.SampleSize(), 2);
    form.picDown_Click();
    form.picDown_Click();
    EXPECT_EQ(form.SampleSize(), 1);
    EXPECT_EQ(form.txtSample->font().pointSize(), 1);
}

TEST_F(FontsTest, ATypedSizeThatIsNoSizeIsToldAndTheFocusStaysInItsBox)
{
    const QString rule = QStringLiteral("Velikost písma musí být celé číslo od 1 do 100.");
    QStringList spoken, messages;
    QStringList stayed;
    const int result = Run([&](frmFonts* form) {
        PressInDialog(form, Qt::Key_Tab); // the size box, its text selected
        TypeInDialog(form, QStringLiteral("150"));
        Clear();
        PressInDialog(form, Qt::Key_Tab);
        spoken = Spoken();
        stayed << form->focusWidget()->objectName();
        TypeInDialog(form, QStringLiteral("xy")); // the refused text is selected: typing replaces it
        WhenModal([&](QDialog* box) {
            messages << box->findChild<QPlainTextEdit*>(QStringLiteral("txtMessage"))->toPlainText();
            PressInDialog(box, Qt::Key_Return);
        });
        PressInDialog(form, Qt::Key_Return); // OK
        stayed << (form->isVisible() ? form->focusWidget()->objectName() : QStringLiteral("closed"));
        TypeInDialog(form, QStringLiteral("12"));
        PressInDialog(form, Qt::Key_Return);
    });
    EXPECT_EQ(spoken, QStringList({QStringLiteral("2 0 ") + rule}));
    EXPECT_EQ(messages, QStringList({rule}));
    EXPECT_EQ(stayed, QStringList({QStringLiteral("txtSize"), QStringLiteral("txtSize")}));
    EXPECT_EQ(result, frmFonts::ResultOk);
    EXPECT_EQ(gFont.Size, 12);
}

TEST_F(FontsTest, TextInTheBackgroundColourIsRefused)
{
    bool stayed = false;
    const int result = Run([&](frmFonts* form) {
        form->optColor[1]->setChecked(true);
        form->lstColors->setFocus();
        form->lstColors->setCurrentRow(7); // white
        form->lstColors->setCurrentRow(3); // yellow, as the text
        WhenModal([](QDialog* box) { PressInDialog(box, Qt::Key_Return); });
        PressInDialog(form, Qt::Key_Return);
        stayed = form->isVisible();
        PressInDialog(form, Qt::Key_Escape);
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(result, frmFonts::ResultCancel);
    EXPECT_EQ(gBackColor, kBlack);
}
