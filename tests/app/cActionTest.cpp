#include "cAction.h"
#include "cActions.h"
#include "cRuntimeError.h"
#include "cSetting.h"
#include "mShell.h"
#include "modRegistry.h"
#include "sMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Records what would be started instead of starting it.
class cRecordingStarter final : public cActionStarter {
public:
    qint32 StartProgram(const QString& program, const QStringList& arguments, const QString& folder) override
    {
        Started = QStringList{QStringLiteral("program"), program, folder} + arguments;
        return ShellResult::Started;
    }
    qint32 OpenDocument(const QString& path) override
    {
        Started = QStringList{QStringLiteral("document"), path};
        return ShellResult::Started;
    }
    QStringList Started;
};

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousWorkDir = gWorkDir;
        gWorkDir = m_work.path() + u'/';
    }
    void TearDown() override { gWorkDir = m_previousWorkDir; }

    QStringList Run(const QString& command, const QStringList& item, int column)
    {
        cAction action;
        action.setAction(command);
        cRecordingStarter starter;
        EXPECT_GT(action.DoAction(item, column, starter), 32);
        return starter.Started;
    }
    QString Work(const QString& name) const { return m_work.path() + u'/' + name; }

    QTemporaryDir m_work;
    QString m_previousWorkDir;
};

} // namespace

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral("|")).toStdString() << ']';
}

TEST(Shell, ParametersSplitByTheWindowsRules)
{
    const QList<QPair<QString, QStringList>> cases = {
        {QStringLiteral("a  b\tc"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {QStringLiteral("\"a b\" c"), {QStringLiteral("a b"), QStringLiteral("c")}},
        {QStringLiteral("x\"a b\"y"), {QStringLiteral("xa by")}},
        {QStringLiteral("C:\\dir\\f.txt"), {QStringLiteral("C:\\dir\\f.txt")}},
        {QStringLiteral("a\\\"b"), {QStringLiteral("a\"b")}},                  // 1 backslash: literal quote
        {QStringLiteral("\"a\\\\\" b"), {QStringLiteral("a\\"), QStringLiteral("b")}}, // 2: one, quote closes
        {QStringLiteral("a\\\\\\\"b"), {QStringLiteral("a\\\"b")}},            // 3: one and a quote
        {QStringLiteral("\"a\"\"b\""), {QStringLiteral("a\"b")}},              // "" inside quotes
        {QStringLiteral("\"\" x"), {QString(), QStringLiteral("x")}},           // an empty argument
        {QStringLiteral("   "), {}},
        {QStringLiteral("\"open end"), {QStringLiteral("open end")}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitCommandLine(text), expected) << text.toStdString();
}

TEST_F(ActionTest, PlaceholdersAreFilledInTheirOrderAndOnlyUpToTheOwnColumn)
{
    QStringList item;
    for (int i = 1; i <= 12; ++i)
        item << QStringLiteral("c%1").arg(i);
    // %1 goes first: %12 is column 1 and the digit 2, whatever the column.
    EXPECT_EQ(Run(QStringLiteral("prog|%12 %3|%2"), item, 12),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QStringLiteral("c2"),
                           QStringLiteral("c12"), QStringLiteral("c3")}));
    // On column 2 only %1 and %2 are placeholders.
    EXPECT_EQ(Run(QStringLiteral("prog|%3 %2 %0"), item, 2),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QString(), QStringLiteral("%3"),
                           QStringLiteral("c2"), QStringLiteral("%0")}));
    // A value holding a placeholder or a "|" is taken as it is.
    EXPECT_EQ(Run(QStringLiteral("prog|%1 %2"), {QStringLiteral("100%2|x"), QStringLiteral("b")}, 2),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QString(), QStringLiteral("100%2|x"),
                           QStringLiteral("b")}));
    // A fourth part is ignored.
    EXPECT_EQ(Run(QStringLiteral("prog|-a -b|/tmp|ignored"), item, 1),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QStringLiteral("/tmp"),
                           QStringLiteral("-a"), QStringLiteral("-b")}));
}

TEST_F(ActionTest, ValuesFromRecordsAreArgumentsCharacterForCharacterAndNeverAProgramsSplit)
{
    const QStringList hostile = {QStringLiteral("a.txt; rm -rf ~"), QStringLiteral("--output=/etc/passwd"),
                                 QStringLiteral("$(reboot)"), QStringLiteral("x\" \"y"), QStringLiteral("\\\"")};
    EXPECT_EQ(Run(QStringLiteral("prog|%1 %2 \"%3\" %4 %5"), hostile, 5),
              QStringList({QStringLiteral("program"), QStringLiteral("prog"), QString()}) + hostile);
    // The program part being a placeholder: the whole value names the program.
    EXPECT_EQ(Run(QStringLiteral("%1|x y"), {QStringLiteral("my viewer --evil")}, 1),
              (QStringList{QStringLiteral("program"), QStringLiteral("my viewer --evil"), QString(),
                           QStringLiteral("x"), QStringLiteral("y")}));
}

TEST_F(ActionTest, TheParameterDefaultsToTheOwnColumnAndGetsTheWorkFolderUnlessItIsAFile)
{
    QFile existing(Work(QStringLiteral("a b.doc")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const QString file = existing.fileName();
    // A text that is no file is a name in the work folder.
    EXPECT_EQ(Run(QStringLiteral("notepad|%1"), {QStringLiteral("a.txt"), QStringLiteral("b")}, 2),
              (QStringList{QStringLiteral("program"), QStringLiteral("notepad"), QString(), Work(QStringLiteral("a.txt"))}));
    // No "|": the program only, with the own column as the parameter; an existing file stays.
    EXPECT_EQ(Run(QStringLiteral("%1"), {QStringLiteral("/usr/bin/viewer"), file}, 2),
              (QStringList{QStringLiteral("program"), QStringLiteral("/usr/bin/viewer"), QString(), file}));
    // An empty parameter part, or one whose placeholders are all empty, is the own column again.
    EXPECT_EQ(Run(QStringLiteral("prog|%1"), {QString(), file}, 2),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QString(), file}));
    EXPECT_EQ(Run(QStringLiteral("prog|"), {QStringLiteral("x")}, 1),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QString(), Work(QStringLiteral("x"))}));
    // Several arguments are the user's command line: no file test among them.
    EXPECT_EQ(Run(QStringLiteral("prog|-v %1"), {QStringLiteral("x")}, 1),
              (QStringList{QStringLiteral("program"), QStringLiteral("prog"), QString(), QStringLiteral("-v"),
                           QStringLiteral("x")}));
}

TEST_F(ActionTest, DocumentsOpenByTheirFullPath)
{
    QDir(m_work.path()).mkdir(QStringLiteral("docs"));
    QFile existing(Work(QStringLiteral("docs/a b.doc")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const QString file = existing.fileName();
    const QString document = QStringLiteral("document");
    // The empty command: the own column is the document.
    EXPECT_EQ(Run(QString(), {file}, 1), (QStringList{document, file}));
    EXPECT_EQ(Run(QStringLiteral("|%1"), {QStringLiteral("x.doc")}, 1), (QStringList{document, Work(QStringLiteral("x.doc"))}));
    // %2 is no placeholder on column 1: it stays, in the work folder.
    EXPECT_EQ(Run(QStringLiteral("|%2"), {QStringLiteral("a")}, 1), (QStringList{document, Work(QStringLiteral("%2"))}));
    // Quotes make the file test fail; they are then removed.
    EXPECT_EQ(Run(QStringLiteral("|\"docs/a b.doc\""), {QStringLiteral("a")}, 1),
              (QStringList{document, Work(QStringLiteral("docs/a b.doc"))}));
    // The folder part is not used for documents.
    EXPECT_EQ(Run(QStringLiteral("|%1|/elsewhere"), {file}, 1), (QStringList{document, file}));
}

TEST_F(ActionTest, ARowWithoutTheColumnIsAnError)
{
    cAction action;
    cRecordingStarter starter;
    EXPECT_THROW(action.DoAction({}, 1, starter), cRuntimeError);
    EXPECT_THROW(action.DoAction({QStringLiteral("a")}, 2, starter), cRuntimeError);
    EXPECT_TRUE(starter.Started.isEmpty());
}

TEST_F(ActionTest, AWorkFolderGetsOneSeparatorHoweverItIsWritten)
{
    const QString folder = m_work.path();
    const auto parameter = [&] { return Run(QStringLiteral("prog|%1"), {QStringLiteral("a.txt")}, 1).last(); };
    gWorkDir = folder;
    EXPECT_EQ(parameter(), folder + QDir::separator() + QStringLiteral("a.txt"));
    gWorkDir = folder + u'\\';
    EXPECT_EQ(parameter(), folder + QStringLiteral("\\a.txt"));
    // No work folder: the name alone, never one made absolute by a separator.
    gWorkDir.clear();
    EXPECT_EQ(parameter(), QStringLiteral("a.txt"));
    // A document's folder written with "\\" is opened through "/".
    cAction action;
    action.setAction(QStringLiteral("|%1"));
    cRecordingStarter starter;
    QString target;
    action.DoAction({QStringLiteral("sub\\b.odt")}, 1, starter, &target);
    EXPECT_EQ(target, QDir::current().absoluteFilePath(QStringLiteral("sub/b.odt")));
}

TEST(Actions, TheCollectionsErrorsReachTheCaller)
{
    cActions actions;
    cAction first;
    first.setkey(QStringLiteral("Action1"));
    first.setCaption(QStringLiteral("Web"));
    actions.Add(first);
    actions.Add(cAction()); // without a key
    try {
        actions.Add(first);
        ADD_FAILURE() << "a key added twice";
    } catch (const cRuntimeError& error) {
        EXPECT_EQ(error.Number(), 457);
    }
    EXPECT_EQ(actions.count(), 2);
    EXPECT_EQ(actions.item(QStringLiteral("action1"))->Caption(), QStringLiteral("Web"));
    EXPECT_FALSE(actions.item(QString()));
    EXPECT_THROW(actions.item(QStringLiteral("Action9")), cRuntimeError);
    EXPECT_THROW(actions.item(0), cRuntimeError);
    EXPECT_THROW(actions.item(3), cRuntimeError);
    actions.Remove(QStringLiteral("Action1"));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_TRUE(actions.item(1).key().isEmpty());
}

TEST(Actions, LoadingStopsAtTheFirstGapOrIncompleteAction)
{
    ScopedRegistry registry;
    cSetting setting;
    EXPECT_EQ(setting.Actions(), nullptr);
    const auto store = [](int n, const QString& caption, const QString& command, const QString& field) {
        cAction action;
        action.setCaption(caption);
        action.setAction(command);
        action.setField(field);
        cActions::Save(n, action);
    };
    store(1, QStringLiteral("Web"), QStringLiteral("|%1"), QStringLiteral("Url"));
    store(3, QStringLiteral("Mapa"), QStringLiteral("maps|%1"), QStringLiteral("Obec"));
    auto actions = setting.Actions();
    ASSERT_NE(actions, nullptr);
    ASSERT_EQ(actions->count(), 1);
    EXPECT_EQ(actions->item(1).key(), QStringLiteral("Action1"));
    EXPECT_EQ(actions->item(1).Field(), QStringLiteral("Url"));
    store(2, QStringLiteral("Pošta"), QString(), QStringLiteral("Email")); // no command
    EXPECT_EQ(setting.Actions()->count(), 1);
    store(2, QStringLiteral("Pošta"), QStringLiteral("mail|%1"), QStringLiteral("Email"));
    EXPECT_EQ(setting.Actions()->count(), 3);
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("[HKEY_CURRENT_USER\\Software\\Korvi\\dBase\\Action3]")));
}
