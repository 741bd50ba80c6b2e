#include "ClippedControls.h"
#include "TestSupport.h"
#include "fAbout.h"
#include "fFileOpen.h"
#include "fFileOpenSnd.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "frmMsg12.h"
#include "frmMsg3.h"
#include "sMain.h"

#include <QDir>
#include <QScreen>
#include <QApplication>
#include <QTest>

#include <functional>
#include <gtest/gtest.h>

namespace {

class LayoutTest : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override
    {
        m_font = gFont;
        gFont.Size = GetParam();
    }
    void TearDown() override { gFont = m_font; }

    // Shows the form at the screen's size at most, as a window manager would keep it.
    QStringList Check(QWidget& form)
    {
        form.show();
        const QSize screen = QApplication::primaryScreen()->availableGeometry().size();
        form.resize(form.size().boundedTo(screen));
        QApplication::processEvents();
        QStringList clipped = ClippedControls(&form);
        if (form.width() > screen.width() || form.height() > screen.height())
            clipped << QStringLiteral("larger than the screen: %1x%2").arg(form.width()).arg(form.height());

        return clipped;
    }

    cStdFont m_font;
    ScopedRegistry m_registry;
};

} // namespace

TEST_P(LayoutTest, NoDialogCutsItsTexts)
{
    // A folder deep enough that its path is wider than the dialog.
    const QString deep = m_registry.Folder() + QStringLiteral("/Dokumenty/Databáze obce/Archiv let 2000 až 2026");
    ASSERT_TRUE(QDir().mkpath(deep));
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> forms[] = {
        {"frmFonts", [] { return std::make_unique<frmFonts>(nullptr); }},
        {"frmAbout", [] { return std::make_unique<frmAbout>(); }},
        {"fAbout",
         [] {
             auto form = std::make_unique<fAbout>();
             form->SetFont(gFont);
             return form;
         }},
        {"fFileOpen",
         [&] {
             auto form = std::make_unique<fFileOpen>();
             form->Prepare(9, QStringLiteral("Databázem MS Access (*.mdb)|") + deep + QStringLiteral("|Otevřít"), 2601);
             return form;
         }},
        {"fFileOpen save",
         [&] {
             auto form = std::make_unique<fFileOpen>();
             form->Prepare(10, QStringLiteral("Textové soubory (*.txt)|export.txt|") + deep + QStringLiteral("|Uložit"),
                           2604);
             return form;
         }},
        {"fFileOpenSnd",
         [&] {
             auto form = std::make_unique<fFileOpenSnd>();
             form->Prepare(15, QStringLiteral("*.wav|") + deep + QStringLiteral("|Zvuk"), 2602);
             return form;
         }},
        {"frmMsg12", [] { return std::make_unique<frmMsg12>(); }},
        {"frmMsg3", [] { return std::make_unique<frmMsg3>(); }},
    };
    for (const auto& [name, make] : forms) {
        std::unique_ptr<QWidget> form = make();
        EXPECT_EQ(Check(*form), QStringList()) << name << " at " << GetParam() << " pt";
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultAndLarge, LayoutTest, ::testing::Values(24.0, 40.0));
