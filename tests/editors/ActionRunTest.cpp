#include "VoiceTestSupport.h"

#include "cMessageBoxForm.h"
#include "mActionRun.h"
#include "sMain.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// Actions started for real: the test program writes down its folder and arguments.
class ActionRunTest : public VoiceLogTest {
protected:
    void SetUp() override
    {
        VoiceLogTest::SetUp();
        m_previousWorkDir = gWorkDir;
        gWorkDir = m_dir.path() + u'/';
        m_written = m_dir.filePath(QStringLiteral("args.bin"));
        qputenv("QUARNEL_ARGS_FILE", QFile::encodeName(m_written));
    }
    void TearDown() override
    {
        qunsetenv("QUARNEL_ARGS_FILE");
        gWorkDir = m_previousWorkDir;
        VoiceLogTest::TearDown();
    }

    // The folder and the arguments the test program was started with.
    QStringList Written() const
    {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_written), 20000); }();
        QFile file(m_written);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList items;
        for (const QByteArray& item : file.readAll().split('\0'))
            items << QString::fromUtf8(item);
        items.removeLast(); // after the last NUL
        file.close();
        file.remove();
        return items;
    }

    // The text of the OK box that running the action shows, answered with Enter.
    QString BoxOf(const cAction& action, const cActionRow& row)
    {
        QString message;
        WhenModal([&message](QDialog* box) {
            if (auto* form = qobject_cast<cMessageBoxForm*>(box))
                message = form->Message();
            PressInDialog(box, Qt::Key_Return);
        });
        EXPECT_FALSE(RunActionOnRow(action, row));
        return message;
    }

    QString m_written;
    QString m_previousWorkDir;
};

cAction Action(const QString& caption, const QString& command, const QString& field)
{
    cAction action;
    action.setCaption(caption);
    action.setAction(command);
    action.setField(field);
    return action;
}

} // namespace

TEST_F(ActionRunTest, AProgramReceivesEachValueAsOneArgumentExactly)
{
    const QStringList values = {QStringLiteral("a.txt; rm -rf ~"), QStringLiteral("--output=/etc/passwd"),
                                QStringLiteral("$(reboot)"), QStringLiteral("`id` \"q\" 'x' |&> * ž")};
    const cActionRow row{{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}, values};
    QDir(m_dir.path()).mkdir(QStringLiteral("pracovní"));
    const QString folder = QDir(m_dir.filePath(QStringLiteral("pracovní"))).canonicalPath();
    const cAction all = Action(QStringLiteral("Vše"), QStringLiteral(ARGS_WRITER) + QStringLiteral("|%1 %2 %3 %4|") + folder,
                               QStringLiteral("D"));
    ASSERT_TRUE(RunActionOnRow(all, row));
    EXPECT_EQ(Written(), QStringList{folder} + values);
    EXPECT_EQ(Spoken().last(), QStringLiteral("2 0 Spuštěno: Vše."));

    // One value alone is a file name: not a file, so one in the work folder.
    const cAction one = Action(QStringLiteral("Jedna"), QStringLiteral(ARGS_WRITER) + QStringLiteral("|%1"), QStringLiteral("A"));
    ASSERT_TRUE(RunActionOnRow(one, row));
    EXPECT_EQ(Written().mid(1), QStringList{gWorkDir + values[0]});
}

TEST_F(ActionRunTest, WhatCannotBeStartedIsToldWithItsPath)
{
    const cActionRow row{{QStringLiteral("Soubor")}, {QStringLiteral("x")}};
    QFile plain(m_dir.filePath(QStringLiteral("text.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString missing = m_dir.filePath(QStringLiteral("chybí"));
    EXPECT_EQ(BoxOf(Action(QStringLiteral("a"), missing + QStringLiteral("|%1"), QStringLiteral("Soubor")), row),
              QStringLiteral("Program %1 nebyl nalezen.").arg(missing));
    EXPECT_EQ(BoxOf(Action(QStringLiteral("a"), QStringLiteral("quarnel-no-such-program|%1"), QStringLiteral("Soubor")), row),
              QStringLiteral("Program quarnel-no-such-program nebyl nalezen."));
    EXPECT_EQ(BoxOf(Action(QStringLiteral("a"), plain.fileName() + QStringLiteral("|%1"), QStringLiteral("Soubor")), row),
              QStringLiteral("Program %1 nelze spustit.").arg(plain.fileName()));
    EXPECT_EQ(BoxOf(Action(QStringLiteral("a"), QStringLiteral(ARGS_WRITER "|%1|") + missing, QStringLiteral("Soubor")), row),
              QStringLiteral("Pracovní složka %1 neexistuje.").arg(missing));
    EXPECT_EQ(BoxOf(Action(QStringLiteral("a"), QStringLiteral("|%1"), QStringLiteral("Soubor")), row),
              QStringLiteral("Dokument %1 nebyl nalezen.").arg(gWorkDir + u'x'));
    // A field no column shows: the engine's words, and nothing starts.
    const QString notFound = BoxOf(Action(QStringLiteral("a"), QStringLiteral(ARGS_WRITER), QStringLiteral("soubor")), row);
    EXPECT_TRUE(notFound.contains(QStringLiteral("soubor"))) << notFound.toStdString();
    EXPECT_FALSE(QFile::exists(m_written));
}
