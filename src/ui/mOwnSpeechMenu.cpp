#include "mOwnSpeechMenu.h"

#include "mMenuText.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QActionGroup>
#include <QMenu>

namespace {

struct Item {
    OwnSpeech Choice;
    const char* Name;
    int TextId;
};

constexpr Item kItems[] = {
    {OwnSpeech::Automatic, "mnuOwnSpeechAutomatic", 10821},
    {OwnSpeech::Always, "mnuOwnSpeechAlways", 10822},
    {OwnSpeech::OnlyUnknown, "mnuOwnSpeechOnlyUnknown", 10823},
};

void ShowChoice(QMenu* menu, OwnSpeech choice)
{
    for (QAction* item : menu->actions())
        item->setChecked(OwnSpeechOfItem(item) == choice);
}

} // namespace

QMenu* NewOwnSpeechMenu(QWidget* owner)
{
    auto* menu = new QMenu(LoadString(10820), owner);
    menu->setObjectName(QStringLiteral("mnuViewOwnSpeech"));
    menu->menuAction()->setObjectName(QStringLiteral("mnuViewOwnSpeech"));
    NameMenuByTitle(menu);
    // One of the three is always in force: a screen reader reads them as radio items.
    auto* group = new QActionGroup(menu);
    for (const Item& entry : kItems) {
        QAction* item = menu->addAction(LoadString(entry.TextId));
        item->setObjectName(QLatin1String(entry.Name));
        item->setData(static_cast<int>(entry.Choice));
        item->setCheckable(true);
        group->addAction(item);
    }
    ShowChoice(menu, OwnSpeechChoice());
    return menu;
}

OwnSpeech OwnSpeechOfItem(const QAction* item)
{
    return OwnSpeechFromNumber(item->data().toInt());
}

void ChooseOwnSpeech(QMenu* menu, OwnSpeech choice)
{
    SetOwnSpeechChoice(choice);
    gOwnSpeech = static_cast<qint32>(choice);
    SaveOwnSpeech();
    ShowChoice(menu, choice);
    VoiceOutput(2, 0, FillPlaceholders(LoadString(10824), {OwnSpeechName(choice)}));
}

void ApplyStoredOwnSpeech(QMenu* menu)
{
    const OwnSpeech choice = OwnSpeechFromNumber(gOwnSpeech);
    SetOwnSpeechChoice(choice);
    ShowChoice(menu, choice);
}
