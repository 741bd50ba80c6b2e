#include "cMenuStyle.h"

#include "cIndicatorStyle.h"
#include "cMenuVoice.h"

#include "mPrepareForm.h"

#include <QCheckBox>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr qint32 kBlack = 0x000000;
constexpr qint32 kYellow = 0x00FFFF;

// A window whose menu holds one item of each kind, in black on yellow.
class MenuStyleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        menu = window.menuBar()->addMenu(QStringLiteral("&Zobrazení"));
        normal = menu->addAction(QStringLiteral("&Normální"));
        disabled = menu->addAction(QStringLiteral("&Nedostupná"));
        disabled->setEnabled(false);
        checked = menu->addAction(QStringLiteral("&Zaškrtnutá"));
        checked->setCheckable(true);
        checked->setChecked(true);
        shortcut = menu->addAction(QStringLiteral("&Editovat…\tAlt+Enter"));
        separator = menu->addSeparator();
        longest = menu->addAction(QStringLiteral("Přizpůsobit šířku sloupců délce textu"));
        longest->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
        submenu = menu->addMenu(QStringLiteral("Řadit p&odle"));
        submenu->addAction(QStringLiteral("Jméno"));
        style = InstallMenuStyle(&window, kBlack, kYellow);
        window.show();
        menu->popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    }

    QImage Item(QAction* action, bool highlighted)
    {
        menu->setActiveAction(highlighted ? action : nullptr);
        return menu->grab(menu->actionGeometry(action)).toImage();
    }

    QMainWindow window;
    QMenu* menu = nullptr;
    QAction *normal = nullptr, *disabled = nullptr, *checked = nullptr, *shortcut = nullptr, *separator = nullptr,
            *longest = nullptr;
    QMenu* submenu = nullptr;
    cMenuStyle* style = nullptr;
};

int PixelsOf(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).rgb() == colour.rgb();
    return count;
}

// The item's background is the colour of its corner; its text is drawn in exactly text.
void ExpectColours(const QImage& item, const QColor& back, const QColor& text, const char* what)
{
    ASSERT_FALSE(item.isNull()) << what;
    EXPECT_EQ(item.pixelColor(1, 1).rgb(), back.rgb()) << what;
    EXPECT_GT(PixelsOf(item, text), 10) << what;
}

// The rightmost column with black text in it.
int LastInk(const QImage& image)
{
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y).rgb() == QColor(Qt::black).rgb())
                last = x;
    return last;
}

} // namespace

TEST_F(MenuStyleTest, EachStateHasItsColours)
{
    const QColor black(Qt::black), yellow(Qt::yellow), grey(0x80, 0x80, 0x80), blue(Qt::blue);
    ExpectColours(Item(normal, false), yellow, black, "normal");
    ExpectColours(Item(normal, true), black, yellow, "highlighted");
    ExpectColours(Item(disabled, false), yellow, grey, "disabled");
    ExpectColours(Item(disabled, true), black, blue, "disabled, highlighted");
    EXPECT_EQ(PixelsOf(Item(disabled, true), yellow), 0) << "a disabled item never takes the normal colours";
    ExpectColours(Item(checked, false), yellow, black, "checked");

    // The separator: a band of the text colour across the middle, background above it.
    const QImage band = Item(separator, false);
    EXPECT_EQ(band.pixelColor(band.width() / 2, band.height() / 2).rgb(), black.rgb());
    EXPECT_EQ(band.pixelColor(band.width() / 2, 0).rgb(), yellow.rgb());
}

TEST_F(MenuStyleTest, CheckMarkIsTextAndShortcutStandsApart)
{
    QString keys;
    EXPECT_EQ(cMenuStyle::DrawnCaption(QStringLiteral("&Editovat…\tAlt+Enter"), false, &keys),
              QStringLiteral("&Editovat…"));
    EXPECT_EQ(keys, QStringLiteral("Alt+Enter"));
    EXPECT_EQ(cMenuStyle::DrawnCaption(QStringLiteral("Všechny zázn&amy"), true, &keys),
              QStringLiteral("x Všechny zázn&amy"));
    EXPECT_TRUE(keys.isEmpty());

    // The check mark is drawn before the caption, pushing it to the right.
    const int withMark = LastInk(Item(checked, false));
    checked->setChecked(false);
    const int without = LastInk(Item(checked, false));
    EXPECT_GT(withMark, without + cMenuStyle::kMargin);
}

TEST_F(MenuStyleTest, NothingIsCutAndTheShortcutSitsAtTheRightEdge)
{
    const QFontMetrics metrics(style->MenuFont());
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        QString keys;
        const QString caption = cMenuStyle::DrawnCaption(action->text(), true, &keys);
        if (keys.isEmpty())
            keys = action->shortcut().toString(QKeySequence::NativeText);
        const int needed = metrics.horizontalAdvance(QString(caption).remove(u'&'))
                           + (keys.isEmpty() ? 0 : metrics.horizontalAdvance(keys) + cMenuStyle::kMargin)
                           + 2 * cMenuStyle::kMargin;
        EXPECT_GE(menu->actionGeometry(action).width(), needed) << action->text().toStdString();
        EXPECT_GE(menu->actionGeometry(action).height(), metrics.height()) << action->text().toStdString();
    }
    // The shortcut's last ink is near the right edge, not right after the caption.
    const QImage item = Item(shortcut, false);
    EXPECT_GT(LastInk(item), item.width() - 3 * cMenuStyle::kMargin);
    // The submenu's mark too.
    const QImage sub = Item(submenu->menuAction(), false);
    EXPECT_GT(LastInk(sub), sub.width() - 3 * cMenuStyle::kMargin);
}

TEST_F(MenuStyleTest, TheBarIsUnderlinedInTheTextColour)
{
    menu->hide();
    const QImage bar = window.menuBar()->grab().toImage();
    ASSERT_GT(bar.height(), cMenuStyle::kBarUnderline);
    for (int x : {1, bar.width() / 2, bar.width() - 2}) {
        EXPECT_EQ(bar.pixelColor(x, bar.height() - 1).rgb(), QColor(Qt::black).rgb()) << x;
        EXPECT_EQ(bar.pixelColor(x, bar.height() - cMenuStyle::kBarUnderline).rgb(), QColor(Qt::black).rgb()) << x;
    }
    EXPECT_EQ(bar.pixelColor(bar.width() - 2, 1).rgb(), QColor(Qt::yellow).rgb());
    EXPECT_GE(QFontMetrics(style->MenuFont()).height(), 20);
}

// A check box and an option button in yellow on black, as a form paints its controls: the
// marks must be large and visible both unticked and ticked.
TEST_F(MenuStyleTest, EachItemIsSaidWithItsStateAndKeys)
{
    auto said = [](const QAction* item) { return cMenuVoice::ItemText(item); };
    EXPECT_EQ(said(normal), QStringLiteral("Normální"));
    EXPECT_EQ(said(disabled), QStringLiteral("Nedostupná, nedostupné"));
    EXPECT_EQ(said(checked), QStringLiteral("Zaškrtnutá, zaškrtnuto"));
    EXPECT_EQ(said(shortcut), QStringLiteral("Editovat…, Alt+Enter")) << "keys written into the caption";
    EXPECT_EQ(said(longest), QStringLiteral("Přizpůsobit šířku sloupců délce textu, Ctrl+T"));
    EXPECT_EQ(said(submenu->menuAction()), QStringLiteral("Řadit podle, podnabídka"));
    checked->setChecked(false);
    normal->setText(QStringLiteral("Tisk && &export"));
    EXPECT_EQ(said(checked), QStringLiteral("Zaškrtnutá"));
    EXPECT_EQ(said(normal), QStringLiteral("Tisk & export"));
}

TEST(IndicatorStyle, MarksAreLargeAndShowInTheTextsColourTickedOrNot)
{
    cIndicatorStyle style;
    QCheckBox check(QStringLiteral("Tučné"));
    QRadioButton option(QStringLiteral("Barva textu"));
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{&check, &option}) {
        button->setStyle(&style);
        QFont font = button->font();
        font.setPointSize(24);
        button->setFont(font);
        PaintControl(button, Qt::yellow, Qt::black);
        button->setAutoFillBackground(true);
        button->resize(button->sizeHint());
        const bool isCheck = button == &check;
        const int side = style.pixelMetric(isCheck ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                                           nullptr, button);
        EXPECT_GE(side, button->fontMetrics().ascent() / 2);
        auto yellowInMark = [&](bool on) {
            button->setChecked(on);
            const QImage image = button->grab().toImage();
            QStyleOptionButton opt;
            opt.initFrom(button);
            const QRect mark = style.subElementRect(
                isCheck ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &opt, button);
            int count = 0;
            for (int y = mark.top(); y <= mark.bottom(); ++y) {
                for (int x = mark.left(); x <= mark.right(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += c.red() > 160 && c.green() > 160 && c.blue() < 100;
                }
            }
            return count;
        };
        const int off = yellowInMark(false);
        const int on = yellowInMark(true);
        EXPECT_GT(off, 2 * side) << "the empty mark's outline shows on black";
        EXPECT_GT(on, off + side) << "and the tick or dot in it";
    }
}
