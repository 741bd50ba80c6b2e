#include "VoiceTestSupport.h"

#include "TestSupport.h"
#include "fAbout.h"
#include "fRecord.h"
#include "fRecordGoto.h"
#include "fRunAction.h"
#include "fSettingColumn.h"
#include "frmAbout.h"
#include "frmFonts.h"
#include "frmNewField.h"
#include "frmTable.h"
#include "modDialogs.h"

#include <QPushButton>

#include <functional>
#include <memory>

namespace {

class DialogButtonsTest : public VoiceLogTest {
protected:
    // Walks the dialog once round with Tab: the push buttons met, by caption, and the
    // captions said on focus.
    void Walk(QDialog* dialog, QStringList& met, QStringList& said) const
    {
        Clear();
        QWidget* first = dialog->focusWidget();
        for (int i = 0; i < 40; ++i) {
            PressInDialog(dialog, Qt::Key_Tab);
            if (auto* button = qobject_cast<QPushButton*>(dialog->focusWidget()))
                met << button->text().remove(u'&');
            if (dialog->focusWidget() == first)
                break;
        }
        for (const QStringList& call : Calls(QStringLiteral("FocusVoice")))
            said << call.value(1);
    }

    ScopedRegistry m_registry;
};

} // namespace

TEST_F(DialogButtonsTest, EveryButtonOfEveryDialogSaysItsCaptionWhenTabReachesIt)
{
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QDialog>()>>> dialogs = {
        {"fRecord",
         [] {
             auto form = std::make_unique<fRecord>();
             form->AddField(QStringLiteral("Jméno"), 0);
             form->AddField(QStringLiteral("Obec"), 1);
             return form;
         }},
        {"fRecordGoto", [] { return std::make_unique<fRecordGoto>(); }},
        {"frmTable",
         [] {
             auto form = std::make_unique<frmTable>();
             form->AddTable(QStringLiteral("Lidé"));
             return form;
         }},
        {"frmFonts", [] { return std::make_unique<frmFonts>(nullptr); }},
        {"frmAbout", [] { return std::make_unique<frmAbout>(); }},
        {"fAbout", [] { return std::make_unique<fAbout>(); }},
        {"frmNewField", [] { return std::make_unique<frmNewField>(); }},
        {"fSettingColumn",
         [] {
             auto form = std::make_unique<fSettingColumn>();
             form->PrepareNew();
             return form;
         }},
        {"fRunAction", [] { return std::make_unique<fRunAction>(); }},
    };
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QDialog> form = make();
        QStringList met, said;
        WhenModal([&](QDialog* dialog) {
            Walk(dialog, met, said);
            PressInDialog(dialog, Qt::Key_Escape);
        });
        form->exec();
        EXPECT_FALSE(met.isEmpty()) << name;
        for (const QString& caption : met)
            EXPECT_TRUE(said.contains(caption)) << name << ": " << caption.toStdString();
    }
}
