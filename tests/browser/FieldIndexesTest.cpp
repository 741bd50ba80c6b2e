#include "ApplicationHarness.h"

#include "fApplication.h"
#include "frmRecordModify.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>

#include <sqlite3.h>

#include <functional>

namespace {

void TabTo(QDialog* form, const char* name)
{
    for (int i = 0; i < 20 && form->focusWidget()->objectName() != QLatin1String(name); ++i)
        PressInDialog(form, Qt::Key_Tab);
    ASSERT_EQ(form->focusWidget()->objectName(), QLatin1String(name));
}

QStringList Indexes(const QString& path)
{
    QStringList names;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT name || ':' || sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name", -1,
                       &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return names;
}

class FieldIndexesTest : public ApplicationTest {
protected:
    // In the structure editor: Alt+Enter on field, in its dialog the list "Indexováno"
    // moved by keys, then Enter; what was heard meanwhile, and the message of the box
    // that refuses it.
    void ChangeIndex(const QString& field, const QList<Qt::Key>& keys, bool refused = false)
    {
        WhenModal([&](QDialog* form) {
            auto* editor = qobject_cast<frmRecordModify*>(form);
            ASSERT_NE(editor, nullptr) << form->metaObject()->className() << ' ' << MessageOf(form).toStdString();
            PressInDialog(editor, Qt::Key_Tab);
            PressInDialog(editor, Qt::Key_Home);
            for (int i = 0; i < editor->lstField->count() && editor->lstField->currentItem()->text() != field; ++i)
                PressInDialog(editor, Qt::Key_Down);
            ASSERT_EQ(editor->lstField->currentItem()->text(), field);
            WhenModal([&](QDialog* dialog) {
                ASSERT_EQ(QString::fromLatin1(dialog->metaObject()->className()), QStringLiteral("fSettingColumn"))
                    << MessageOf(dialog).toStdString();
                TabTo(dialog, "cmbIndexed");
                shown = qobject_cast<QComboBox*>(dialog->focusWidget())->currentText();
                Clear();
                for (Qt::Key key : keys)
                    PressInDialog(dialog, key);
                inDialog = Spoken();
                if (refused) {
                    WhenModal([&](QDialog* box) {
                        messages << MessageOf(box);
                        PressInDialog(box, Qt::Key_Return);
                    });
                }
                PressInDialog(dialog, Qt::Key_Return);
            });
            Clear();
            PressInDialog(editor, Qt::Key_Return, Qt::AltModifier);
            afterwards = Spoken();
            PressInDialog(editor, Qt::Key_Escape);
        });
        m_window->mnuRecordModify->trigger();
    }

    QString shown;
    QStringList inDialog, afterwards, messages;
};

} // namespace

TEST_F(FieldIndexesTest, AFieldGetsItsIndexAndAUniquenessTheRowsBreakIsRefused)
{
    const QString path = MakeDatabase(QStringLiteral("lide.db"),
                                      QString::fromUtf8(kPeopleScript)
                                          + QStringLiteral("INSERT INTO \"Lidé\" VALUES ('Eva', 'hradec', 20);"));
    ASSERT_TRUE(Open(path));

    ChangeIndex(QStringLiteral("Jméno"), {Qt::Key_Down, Qt::Key_Down});
    EXPECT_EQ(shown, QStringLiteral("Ne"));
    EXPECT_TRUE(inDialog.contains(QStringLiteral("2 0 Ano (bez duplicit)"))) << inDialog.join(u'|').toStdString();
    EXPECT_TRUE(afterwards.join(u'|').contains(QStringLiteral("Index pole Jméno: Ano (bez duplicit).")))
        << afterwards.join(u'|').toStdString();
    EXPECT_EQ(messages, QStringList());
    EXPECT_EQ(Indexes(path), QStringList{QStringLiteral("Lidé_Jméno_idx:CREATE UNIQUE INDEX \"Lidé_Jméno_idx\" ON "
                                                        "\"Lidé\" (\"Jméno\" COLLATE NOCASE)")});

    // "Hradec" and "hradec" are one value to the index: refused with Jet's words, no index.
    ChangeIndex(QStringLiteral("Obec"), {Qt::Key_End}, true);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("duplicitní hodnoty v indexu"))) << messages.join(u'|').toStdString();
    EXPECT_TRUE(afterwards.filter(QStringLiteral("Index pole")).isEmpty()) << afterwards.join(u'|').toStdString();
    EXPECT_EQ(Indexes(path).size(), 1);

    // Shown as it is now, and dropped with "Ne".
    messages.clear();
    ChangeIndex(QStringLiteral("Jméno"), {Qt::Key_Home});
    EXPECT_EQ(shown, QStringLiteral("Ano (bez duplicit)"));
    EXPECT_EQ(Indexes(path), QStringList());
    EXPECT_EQ(messages, QStringList());
}

TEST_F(FieldIndexesTest, ThePrimaryKeyIsShownUniqueAndStaysSo)
{
    const QString path = MakeDatabase(QStringLiteral("klic.db"),
                                      QStringLiteral("CREATE TABLE K (Id INTEGER PRIMARY KEY, N TEXT);"
                                                     "INSERT INTO K VALUES (1, 'a');"));
    ASSERT_TRUE(Open(path));
    ChangeIndex(QStringLiteral("Id"), {Qt::Key_Up});
    EXPECT_EQ(shown, QStringLiteral("Ano (bez duplicit)"));
    EXPECT_TRUE(inDialog.contains(QStringLiteral("2 0 Primární klíč je indexován vždy bez duplicit, zde ho nelze změnit.")))
        << inDialog.join(u'|').toStdString();
    EXPECT_EQ(messages, QStringList());
    EXPECT_TRUE(afterwards.filter(QStringLiteral("Index pole")).isEmpty());
}
