#include "TestSupport.h"
#include "fAbout.h"
#include "fFileOpen.h"
#include "fFileOpenSnd.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "frmMsg12.h"
#include "frmMsg3.h"
#include "sMain.h"

#include <QAbstractButton>
#include <QDir>
#include <QScreen>
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QTest>

#include <functional>
#include <gtest/gtest.h>

namespace {

bool InsideScrollArea(const QWidget* widget, const QWidget* window)
{
    for (const QWidget* parent = widget->parentWidget(); parent && parent != window; parent = parent->parentWidget())
        if (qobject_cast<const QScrollArea*>(parent))
            return true;
    return false;
}

// The labels and buttons of a shown window whose text does not fit them, or that lie
// (partly) outside the window where nothing scrolls them into sight.
QStringList Clipped(QWidget* window)
{
    QStringList clipped;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisible() || control->isWindow())
            continue;
        const QString name = control->objectName().isEmpty() ? control->metaObject()->className() : control->objectName();
        const auto* label = qobject_cast<QLabel*>(control);
        if (label && !label->text().isEmpty()) {
            const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                : label->sizeHint().width() <= label->width()
                                                      && label->minimumSizeHint().height() <= label->height();
            if (!fits)
                clipped << name + QStringLiteral(" (text)");
        }
        const auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && !button->text().isEmpty()) {
            const QFontMetrics metrics(button->font());
            const int text = metrics.horizontalAdvance(QString(button->text()).remove(u'&'));
            if (text > button->width() || metrics.height() > button->height())
                clipped << name + QStringLiteral(" (text)");
        }
        if ((label || button) && !InsideScrollArea(control, window)) {
            const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
            if (!window->rect().contains(area))
                clipped << name + QStringLiteral(" (outside)");
        }
    }
    return clipped;
}

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
        QStringList clipped = Clipped(&form);
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
