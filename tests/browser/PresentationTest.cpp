#include "ApplicationHarness.h"
#include "../ui/ClippedControls.h"

#include "cRecordList.h"
#include "cMenuStyle.h"
#include "fAbout.h"
#include "fApplication.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "mPrepareForm.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

// The menu the keys opened.
QMenu* OpenMenu()
{
    QApplication::processEvents();
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Keys go to the open menu, as the window system gives them to it.
void PressInMenu(Qt::Key key)
{
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << "no menu is open";
    QTest::keyClick(menu, key);
}

// Tabs once round the dialog and lists the controls reached. A control without a name
// for a screen reader, or not scrolled into sight, is added to faults. In sight: its start
// and as much of its height as the page shows. The test's screen is narrower than the
// one served, so a wide box may run on past the right edge there.
QStringList TabRound(QDialog* dialog, QStringList& faults)
{
    QStringList reached;
    QWidget* first = dialog->focusWidget();
    for (QWidget* control = first; control && reached.size() < 30;) {
        const QString name = control->objectName();
        reached << name;
        if (QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).trimmed().isEmpty())
            faults << dialog->windowTitle() + QStringLiteral(": %1 has no name").arg(name);
        for (QWidget* parent = control->parentWidget(); parent && parent != dialog; parent = parent->parentWidget()) {
            if (auto* scroll = qobject_cast<QScrollArea*>(parent)) {
                const QRect shown = scroll->viewport()->rect();
                const QRect area(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
                if (!shown.contains(area.topLeft()) || (area & shown).height() < std::min(area.height(), shown.height()))
                    faults << dialog->windowTitle() + QStringLiteral(": %1 out of sight").arg(name);
                break;
            }
        }
        PressInDialog(dialog, Qt::Key_Tab);
        control = dialog->focusWidget();
        if (control == first)
            break;
    }
    return reached;
}

} // namespace

TEST_F(ApplicationTest, FontsChosenWithKeysColourTheBoxesKeepTheLabelsAndAreStored)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    const double before = gFont.Size;
    m_window->list->setFocus();
    QString title;
    WhenModal([&](QDialog* dialog) {
        title = dialog->windowTitle();
        PressInDialog(dialog, Qt::Key_Tab);                    // size
        PressInDialog(dialog, Qt::Key_Up, Qt::ShiftModifier);  // +10
        PressInDialog(dialog, Qt::Key_Tab);                    // bold
        PressInDialog(dialog, Qt::Key_Space);
        PressInDialog(dialog, Qt::Key_Tab);                    // italic
        PressInDialog(dialog, Qt::Key_Tab);                    // text colour
        PressInDialog(dialog, Qt::Key_Tab);                    // the colours
        PressInDialog(dialog, Qt::Key_Home);
        PressInDialog(dialog, Qt::Key_Down);                   // red
        PressInDialog(dialog, Qt::Key_Tab, Qt::ShiftModifier);
        PressInDialog(dialog, Qt::Key_Down);                   // background colour
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_End);                    // white
        PressInDialog(dialog, Qt::Key_Tab);                    // the sample, said whole
        PressInDialog(dialog, Qt::Key_Return);
    });
    Press(Qt::Key_Z, Qt::AltModifier); // View; its first item is the fonts dialog
    ASSERT_NE(OpenMenu(), nullptr);
    PressInMenu(Qt::Key_Return);
    EXPECT_EQ(title, QStringLiteral("Fonty"));
    EXPECT_EQ(gFont.Size, before + 10);
    EXPECT_EQ(gForeColor, 0x0000FF);
    EXPECT_EQ(gBackColor, 0xFFFFFF);
    EXPECT_TRUE(gFont.Bold);
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 červená"))) << Spoken().join(u'|').toStdString();
    EXPECT_TRUE(Spoken().contains(QStringLiteral("2 0 zaškrtnuto")));
    // Reached by Tab, a check box says its state with its name, not only when it changes.
    QStringList focused;
    for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
        focused << call.mid(1, 2).join(u' ');
    EXPECT_TRUE(focused.contains(QStringLiteral("Tučné nezaškrtnuto"))) << focused.join(u'|').toStdString();
    EXPECT_TRUE(focused.contains(QStringLiteral("Ukázka Příliš žluťoučký kůň úpěl ďábelské ódy.")));
    EXPECT_TRUE(focused.contains(QStringLiteral("Kurzíva nezaškrtnuto")));
    EXPECT_TRUE(focused.contains(QStringLiteral("Barva textu zaškrtnuto")));
    // The grid and the form's boxes in red on white; the form's captions as before.
    EXPECT_EQ(m_window->list->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(m_window->list->palette().color(QPalette::Base), QColor(Qt::white));
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    EXPECT_EQ(m_window->Text[1]->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(m_window->Text[1]->font().pointSizeF(), before + 10);
    EXPECT_EQ(m_window->Label[1]->palette().color(QPalette::WindowText), ColourFromNumber(gForeColorForm));
    EXPECT_NE(m_window->Label[1]->palette().color(QPalette::WindowText), QColor(Qt::red));
    // Every dialog opened afterwards takes the new choice too.
    {
        frmFonts next(m_window, m_window);
        EXPECT_EQ(next.txtSize->palette().color(QPalette::Text), QColor(Qt::red));
        EXPECT_TRUE(next.chkBold->isChecked());
    }
    Unload();
    const QString hive = m_registry->ReadFile();
    EXPECT_TRUE(hive.contains(QStringLiteral("\"ForeColor\"=\"255\""))) << hive.toStdString();
    EXPECT_TRUE(hive.contains(QStringLiteral("\"FontSize\"=\"%1\"").arg(before + 10))) << hive.toStdString();
}

TEST_F(ApplicationTest, AboutBoxesOpenFromTheHelpMenu)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    // Without About texts in the definition only the program's own About is offered.
    QStringList spoken;
    WhenModal([&](QDialog* dialog) {
        spoken = Spoken();
        PressInDialog(dialog, Qt::Key_Return);
    });
    Press(Qt::Key_N, Qt::AltModifier);
    QMenu* help = OpenMenu();
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(m_window->mnuHelpAboutDefinition->isVisible());
    Clear();
    PressInMenu(Qt::Key_Up); // the last item
    PressInMenu(Qt::Key_Return);
    EXPECT_EQ(spoken.filter(QRegularExpression(QStringLiteral("^1 0 Quarnel, Verze \\d+\\.\\d+\\.\\d+, Copyright"))).size(), 1)
        << spoken.join(u'|').toStdString();

    SaveRegSetting(kProgramKey, QStringLiteral("About"), QStringLiteral("Name"), QStringLiteral("Adresář"));
    QString title, name;
    WhenModal([&](QDialog* dialog) {
        title = dialog->windowTitle();
        if (auto* form = qobject_cast<fAbout*>(dialog))
            name = form->Text[1]->toPlainText();
        PressInDialog(dialog, Qt::Key_Escape);
    });
    m_window->list->setFocus();
    Press(Qt::Key_N, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_TRUE(m_window->mnuHelpAboutDefinition->isVisible());
    PressInMenu(Qt::Key_Up);
    PressInMenu(Qt::Key_Return);
    EXPECT_EQ(title, QStringLiteral("About - Aplikace 'lide.mdb - Databáze'"));
    EXPECT_EQ(name, QStringLiteral("Adresář"));
}

TEST_F(ApplicationTest, TheMenusSayWhereTheKeysAre)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    const QString row = QStringLiteral("2 0 ") + m_window->list->RowText(m_window->list->SelectedRow());
    auto step = [this](const std::function<void()>& keys) {
        Clear();
        keys();
        QApplication::processEvents();
        return Spoken();
    };
    auto inMenu = [&](Qt::Key key) { return step([key] { PressInMenu(key); }); };
    auto onBar = [&](Qt::Key key) { return step([this, key] { QTest::keyClick(QApplication::focusWidget(), key); }); };
    const QStringList opened = step([this] { Press(Qt::Key_Z, Qt::AltModifier); });
    EXPECT_EQ(opened, QStringList(QStringLiteral("2 0 Zobrazení, Písmo")));
    EXPECT_EQ(inMenu(Qt::Key_Down), QStringList(QStringLiteral("2 0 Všechny záznamy, zaškrtnuto, Ctrl+A")));
    inMenu(Qt::Key_Down);
    EXPECT_EQ(inMenu(Qt::Key_Down), QStringList(QStringLiteral("2 0 Řadit podle, podnabídka")));
    EXPECT_EQ(inMenu(Qt::Key_Right), QStringList(QStringLiteral("2 0 Řadit podle, Jméno, Ctrl+1")));
    EXPECT_EQ(inMenu(Qt::Key_Escape), QStringList(QStringLiteral("2 0 Řadit podle, podnabídka")))
        << "back from the submenu on its item";
    EXPECT_EQ(inMenu(Qt::Key_Escape), QStringList(QStringLiteral("2 0 Zobrazení"))) << "back on the bar";
    EXPECT_EQ(onBar(Qt::Key_Left), QStringList(QStringLiteral("2 0 Záznam")));
    EXPECT_EQ(onBar(Qt::Key_Escape), QStringList(row)) << "back in the grid";

    // Home and End reach the menu's ends, and there they signal the end.
    Press(Qt::Key_Z, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    EXPECT_EQ(inMenu(Qt::Key_End), QStringList(QStringLiteral("2 0 Řeč…")));
    EXPECT_EQ(inMenu(Qt::Key_End), QStringList(QStringLiteral("5 8 ")));
    EXPECT_EQ(inMenu(Qt::Key_PageUp), QStringList(QStringLiteral("2 0 Písmo")));
    EXPECT_EQ(inMenu(Qt::Key_Home), QStringList(QStringLiteral("5 7 ")));
    inMenu(Qt::Key_Escape);
    onBar(Qt::Key_Escape);

    // A command chosen in a menu speaks for itself; nothing of the menu follows it.
    Press(Qt::Key_Z, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    inMenu(Qt::Key_Down);
    const QStringList chosen = inMenu(Qt::Key_Return);
    EXPECT_EQ(chosen.last(), QStringLiteral("2 0 Všechny záznamy už jsou zobrazeny."));
    EXPECT_TRUE(chosen.filter(QStringLiteral("Zobrazení")).isEmpty()) << chosen.join(u'|').toStdString();
}

// A menu's command that opens a dialog hands the focus back to the grid on the way (a window
// manager does it after the dialog showed): the row must not cut off the dialog's title.
TEST_F(ApplicationTest, TheGridStaysQuietWhenItGetsTheFocusBehindADialog)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    const QString row = m_window->list->RowText(m_window->list->SelectedRow());
    QStringList behind;
    WhenModal([&](QDialog* dialog) {
        Clear();
        QFocusEvent back(QEvent::FocusIn, Qt::OtherFocusReason);
        QApplication::sendEvent(m_window->list, &back);
        behind = Spoken();
        PressInDialog(dialog, Qt::Key_Escape);
    });
    Press(Qt::Key_Z, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    PressInMenu(Qt::Key_Return); // Písmo: the fonts dialog
    EXPECT_EQ(behind, QStringList());
    // Back in the grid its row is said again.
    Clear();
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(m_window->list, &back);
    EXPECT_EQ(Spoken(), QStringList(QStringLiteral("1 0 ") + row));
}

TEST_F(ApplicationTest, TheViewMenuShowsEveryCaptionWhole)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    Press(Qt::Key_Z, Qt::AltModifier);
    QMenu* view = OpenMenu();
    ASSERT_NE(view, nullptr);
    auto* style = qobject_cast<cMenuStyle*>(view->style());
    ASSERT_NE(style, nullptr);
    const QFontMetrics metrics(style->MenuFont());
    for (QAction* item : view->actions()) {
        if (item->isSeparator() || !item->isVisible())
            continue;
        QString keys;
        const QString caption = cMenuStyle::DrawnCaption(item->text(), item->isCheckable(), &keys).remove(u'&');
        if (keys.isEmpty())
            keys = item->shortcut().toString(QKeySequence::NativeText);
        EXPECT_GE(view->actionGeometry(item).width(),
                  metrics.horizontalAdvance(caption) + (keys.isEmpty() ? 0 : metrics.horizontalAdvance(keys)))
            << caption.toStdString();
    }
    PressInMenu(Qt::Key_Escape);
}

TEST_F(ApplicationTest, EveryDialogShowsItsTextsWholeAtALargeFont)
{
    SaveRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), 40);
    const QString path = MakeDatabase(QStringLiteral("dva.mdb"),
                                      QString::fromUtf8(kPeopleScript)
                                          + QStringLiteral("CREATE TABLE \"Obce s rozšířenou působností\" (\"Název\" VARCHAR(30));"));
    // A pass means the dialogs fit the smallest screen served only where the test's own
    // screen is no larger (offscreen it is 800x800).
    const QSize smallest(1280, 1024);
    const QSize tested = QApplication::primaryScreen()->availableGeometry().size();
    ASSERT_TRUE(tested.width() <= smallest.width() && tested.height() <= smallest.height())
        << tested.width() << "x" << tested.height();
    QStringList clipped;
    const auto check = [&](QDialog* dialog) {
        for (const QString& control : ClippedControls(dialog))
            clipped << dialog->windowTitle() + QStringLiteral(": ") + control;
        // A window manager keeps a larger window to the screen, cutting off its edges.
        const QSize screen = dialog->screen()->availableGeometry().size();
        if (dialog->width() > screen.width() || dialog->height() > screen.height())
            clipped << dialog->windowTitle() + QStringLiteral(": %1x%2, larger than the screen of %3x%4")
                                                   .arg(dialog->width()).arg(dialog->height())
                                                   .arg(screen.width()).arg(screen.height());
    };
    WhenModal([&](QDialog* chooser) {
        check(chooser);
        ChooseTable(chooser, QStringLiteral("Lidé"));
    });
    ASSERT_TRUE(Open(path));
    ASSERT_EQ(gFont.Size, 40);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> commands[] = {
        {Qt::Key_G, Qt::ControlModifier}, // go to record
        {Qt::Key_N, Qt::ControlModifier}, // new record
        {Qt::Key_F, Qt::ControlModifier}, // filter
        {Qt::Key_K, Qt::ControlModifier}, // actions
        {Qt::Key_Q, Qt::ControlModifier}, // stored queries
    };
    for (const auto& [key, modifiers] : commands) {
        QString title;
        WhenModal([&](QDialog* dialog) {
            title = dialog->windowTitle();
            check(dialog);
            PressInDialog(dialog, Qt::Key_Escape);
        });
        m_window->list->setFocus();
        Press(key, modifiers);
        EXPECT_FALSE(title.isEmpty()) << QKeySequence(key | modifiers).toString().toStdString();
    }
    // From the View menu's end: the speech dialog, then the choice of fields (reading by
    // cells and the own speech submenu stand between them).
    for (const QString& item : {QStringLiteral("mnuViewSpeech"), QStringLiteral("mnuRecOrder")}) {
        QString title;
        WhenModal([&](QDialog* dialog) {
            title = dialog->windowTitle();
            check(dialog);
            PressInDialog(dialog, Qt::Key_Escape);
        });
        m_window->list->setFocus();
        Press(Qt::Key_Z, Qt::AltModifier);
        ASSERT_NE(OpenMenu(), nullptr);
        for (int i = 0; i < 6 && OpenMenu()->activeAction()->objectName() != item; ++i)
            PressInMenu(Qt::Key_Up);
        ASSERT_EQ(OpenMenu()->activeAction()->objectName(), item);
        PressInMenu(Qt::Key_Return);
        EXPECT_FALSE(title.isEmpty()) << item.toStdString();
    }
    // The structure editor from the Database menu, and in it the dialog of a field (Alt+Enter).
    QString field;
    QStringList reached;
    int editorWidth = -1;
    WhenModal([&](QDialog* editor) {
        check(editor);
        if (const QScrollArea* page = editor->findChild<QScrollArea*>(); page && page->widget())
            editorWidth = page->widget()->minimumSizeHint().width();
        WhenModal([&](QDialog* dialog) {
            field = dialog->windowTitle();
            check(dialog);
            reached = TabRound(dialog, clipped);
            PressInDialog(dialog, Qt::Key_Escape);
        });
        PressInDialog(editor, Qt::Key_Tab); // the field list
        PressInDialog(editor, Qt::Key_Return, Qt::AltModifier);
        PressInDialog(editor, Qt::Key_Escape);
    });
    m_window->list->setFocus();
    Press(Qt::Key_D, Qt::AltModifier);
    ASSERT_NE(OpenMenu(), nullptr);
    PressInMenu(Qt::Key_N);
    EXPECT_EQ(field, QStringLiteral("Vlastnosti - Jméno"));
    // The structure editor's page fits a screen 1280 pixels wide, its scroll bar and frame
    // beside it: it scrolls down at most, never sideways.
    EXPECT_GT(editorWidth, 0);
    EXPECT_LE(editorWidth, 1240);
    // The type is reached and heard, not chosen, and the width box waits for Auto to be
    // unchecked.
    EXPECT_EQ(reached, (QStringList{QStringLiteral("txtName"), QStringLiteral("txtLen"), QStringLiteral("lstDataType"),
                                    QStringLiteral("Check1_0"),
                                    QStringLiteral("Check1_1"), QStringLiteral("cmbOrder"), QStringLiteral("cmbAction"),
                                    QStringLiteral("cmbIndexed"), QStringLiteral("chkWidthAuto"),
                                    QStringLiteral("cmdOK"), QStringLiteral("cmdCancel")}));
    EXPECT_EQ(clipped, QStringList());
}
