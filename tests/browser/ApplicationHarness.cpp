#include "ApplicationHarness.h"

#include "cMessageBoxForm.h"
#include "fApplication.h"
#include "mSampleData.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QTest>

const char* const kPeopleScript = R"(
CREATE TABLE "Lidé" ("Jméno" VARCHAR(30), "Obec" VARCHAR(30), "Věk" INTEGER);
INSERT INTO "Lidé" VALUES ('Petr', 'Hradec', 40), ('Marie', 'Chrudim', 30), ('Adam', 'Brno', NULL);
)";

void ApplicationTest::SetUp()
{
    VoiceLogTest::SetUp();
    m_registry = std::make_unique<ScopedRegistry>();
}

void ApplicationTest::TearDown()
{
    Unload();
    m_registry.reset();
    VoiceLogTest::TearDown();
}

QString ApplicationTest::MakeDatabase(const QString& name, const QString& script) const
{
    const QString path = m_dir.filePath(name);
    CreateDatabaseFromScript(path, QString::fromUtf8(script.toUtf8()));
    return path;
}

fApplication* ApplicationTest::Load()
{
    if (!m_window) {
        m_window = new fApplication;
        m_window->show();
        QApplication::setActiveWindow(m_window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window));
    }
    return m_window;
}

bool ApplicationTest::Open(const QString& path, bool keepQuery)
{
    return Load()->ApplySetting(path, keepQuery);
}

void ApplicationTest::Unload()
{
    if (!m_window)
        return;
    m_window->close();
    delete m_window;
    m_window = nullptr;
}

QString ApplicationTest::Panel(const char* key) const
{
    auto* panel = m_window->findChild<QLabel*>(QLatin1String(key));
    return panel ? panel->text() : QStringLiteral("<no panel>");
}

QString ApplicationTest::Caption() const
{
    return m_window->windowTitle();
}

QWidget* ApplicationTest::Focus() const
{
    return QApplication::focusWidget();
}

void ApplicationTest::Press(Qt::Key key, Qt::KeyboardModifiers modifiers) const
{
    QWidget* target = Focus();
    ASSERT_NE(target, nullptr) << "nothing has the focus";
    QTest::keyClick(target, key, modifiers);
}

void ChooseTable(QDialog* chooser, const QString& table)
{
    auto* list = chooser->findChild<QListWidget*>(QStringLiteral("List1"));
    ASSERT_NE(list, nullptr) << "not the table chooser";
    for (int i = 0; i < list->count() && list->currentItem() && list->currentItem()->text() != table; ++i)
        PressInDialog(chooser, Qt::Key_Down);
    PressInDialog(chooser, Qt::Key_Return);
}

QString MessageOf(QDialog* dialog)
{
    auto* box = qobject_cast<cMessageBoxForm*>(dialog);
    return box ? box->Message() : QString();
}

UrlCatcher::UrlCatcher(const QString& scheme) : m_scheme(scheme)
{
    QDesktopServices::setUrlHandler(scheme, this, "Open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(m_scheme);
}
