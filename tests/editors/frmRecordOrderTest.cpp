#include "VoiceTestSupport.h"

#include "DBEngine.h"
#include "Database.h"
#include "frmRecordOrder.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QAccessible>
#include <QListWidget>

namespace {

using RecordOrderTest = VoiceLogTest;

TEST_F(RecordOrderTest, KeysCollectBracketedNamesThatTheEngineTakes)
{
    const QString path = m_dir.filePath(QStringLiteral("sklad.mdb"));
    CreateDatabaseFromScript(
        path, QStringLiteral(R"(CREATE TABLE "Sklad zboží" ("Id" INTEGER, "Název zboží" TEXT, "Sleva [%]" DOUBLE);)"));
    auto database = DBEngine::Instance().OpenDatabase(path);
    frmRecordOrder form;
    form.Prepare(*database, QStringLiteral("sklad ZBOŽÍ"));
    struct {
        int code = 0;
        QString focus;
        QStringList unnamed, spoken, announced;
    } seen;
    WhenModal([&](QDialog*) {
        seen.code = WindowCodeOf(&form);
        seen.focus = form.focusWidget()->objectName();
        for (QWidget* control : form.findChildren<QWidget*>()) {
            if (control->focusPolicy() != Qt::NoFocus
                && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                seen.unnamed << control->objectName();
        }
        const qsizetype before = Spoken().size();
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Down, Qt::Key_Insert, Qt::Key_Home, Qt::Key_Space})
            PressInDialog(&form, key);
        seen.spoken = Spoken().mid(before);
        for (int i = 0; i < 3; ++i)
            PressInDialog(&form, Qt::Key_Tab);
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            seen.announced << call.mid(1, 2).join(u'=');
        PressInDialog(&form, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), 1);
    EXPECT_EQ(form.Result(), 1);
    EXPECT_EQ(seen.code, 2618);
    EXPECT_EQ(seen.focus, QStringLiteral("lstField"));
    EXPECT_EQ(seen.unnamed, QStringList());
    EXPECT_EQ(seen.spoken, (QStringList{QStringLiteral("2 0 Název zboží"), QStringLiteral("2 0 [Název zboží]"),
                                        QStringLiteral("2 0 Sleva [%]"),
                                        QStringLiteral("2 0 [Název zboží],[Sleva [%]]]"), QStringLiteral("2 0 Id"),
                                        QStringLiteral("2 0 [Název zboží],[Sleva [%]]],[Id]")}));
    // Each control once, by its caption; the list and the box with what they hold.
    EXPECT_EQ(seen.announced, (QStringList{QStringLiteral("Pole tabulky=Id"), QStringLiteral("Vložit="),
                                           QStringLiteral("Vymazat="),
                                           QStringLiteral("Vybraná pole=[Název zboží],[Sleva [%]]],[Id]")}));
    // The table as the database spells it; every name reaches the engine whole.
    EXPECT_EQ(form.Query(), QStringLiteral("select [Název zboží],[Sleva [%]]],[Id] from [Sklad zboží]"));
    const auto fields = database->OpenRecordset(form.Query())->Fields();
    ASSERT_EQ(fields->Count(), 3);
    EXPECT_EQ(fields->Item(1)->Name(), QStringLiteral("Sleva [%]"));
}

} // namespace
