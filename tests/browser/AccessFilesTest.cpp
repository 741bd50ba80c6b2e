#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <QTimer>

// Each Jet 4 and ACE test file, opened as the user opens it: the first table the chooser
// offers, and its first row heard when the grid has the focus.
class AccessFiles : public ApplicationTest {
protected:
    // The first row as the grid speaks it, after the first table of file is chosen.
    QString FirstRowHeard(const QString& file)
    {
        QStringList offered;
        // A file of one table opens it without asking; the answer must not outlive this call.
        const QPointer<QTimer> answer = WhenModal(
            [&](QDialog* chooser) {
                auto* list = chooser->findChild<QListWidget*>(QStringLiteral("List1"));
                for (int i = 0; i < list->count(); ++i)
                    offered << list->item(i)->text();
                ChooseTable(chooser, offered.value(0));
            },
            30000, true);
        const bool opened = Open(QStringLiteral(QUARNEL_TESTDATA "/") + file);
        delete answer.data();
        if (!opened)
            return QStringLiteral("(not opened)");
        for (const QString& table : std::as_const(offered))
            EXPECT_FALSE(table.startsWith(QLatin1String("MSys"))) << table.toStdString();
        cRecordList* list = m_window->list;
        QApplication::setActiveWindow(m_window);
        list->setFocus();
        Press(Qt::Key_Down);
        Clear();
        Press(Qt::Key_Up);
        const QStringList spoken = Spoken();
        return spoken.isEmpty() ? QString() : spoken.last();
    }
};

TEST_F(AccessFiles, TheFirstTableOfEachFileSpeaksItsFirstRow)
{
    const ScopedLocale czech(QStringLiteral("cs_CZ"));
    const struct {
        const char* file;
        const char* heard;
    } files[] = {
        {"testV2000.mdb", "2 0 , abcdefg, hijklmnop, 2, 222, 333333333, 444,555, 21.09.1974, 3,5, Pravda"},
        {"testV2007.accdb", "2 0 , a, b, 0, 0, 0, 0, 12.12.1981, 0, Nepravda"},
        {"testV2010.accdb", "2 0 , a, b, 0, 0, 0, 0, 12.12.1981, 0, Nepravda"},
        {"testUnicodeCompV2003.mdb", "2 0 , 1, only ascii chars"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        EXPECT_EQ(FirstRowHeard(QString::fromLatin1(f.file)), QString::fromUtf8(f.heard));
        EXPECT_EQ(Caption(), QString::fromLatin1(f.file) + QStringLiteral(" - Databáze"));
    }
}

TEST_F(AccessFiles, AFileWhoseFirstTableIsEmptyOpensItWithNoRows)
{
    FirstRowHeard(QStringLiteral("queryTestV2007.accdb"));
    EXPECT_EQ(m_window->list->RowCount(), 0);
    EXPECT_EQ(m_window->list->HeaderText(0), QStringLiteral("col1"));
    EXPECT_EQ(Caption(), QStringLiteral("queryTestV2007.accdb - Databáze"));
}
