#include "fFileOpenSnd.h"

#include "mPrepareForm.h"
#include "mStringTable.h"
#include "modCommon.h"
#include "sMain.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

fFileOpenSnd::fFileOpenSnd(QWidget* parent)
    : fFileOpen(parent)
{
    setObjectName(QStringLiteral("fFileOpenSnd"));
    SetWindowCode(this, WindowCode::SoundFile);
    optSnd = new QGroupBox(LoadString(802), this);
    optSnd->setObjectName(QStringLiteral("optSnd"));
    auto* row = new QVBoxLayout(optSnd); // one a line: the masks are long
    const QStringList masks = SoundMasks();
    for (int index = 0; index < masks.size(); ++index) {
        auto* option = new QRadioButton(masks.at(index), optSnd);
        option->setObjectName(QStringLiteral("optSnd%1").arg(index));
        option->setAccessibleName(masks.at(index));
        row->addWidget(option);
        optSndButtons.append(option);
        connect(option, &QRadioButton::toggled, this, [this, option](bool on) {
            if (!on)
                return;
            VoiceEcho(2, 0, option->text());
            ChooseMask(option->text());
        });
    }
    ExtraRow()->addWidget(optSnd, ExtraRow()->rowCount(), 0, 1, ExtraRow()->columnCount());
    ApplyFontToForm(this, gFont);
}

fFileOpenSnd::~fFileOpenSnd() = default;

QStringList fFileOpenSnd::SoundMasks()
{
    return {QStringLiteral("*.wav;*.mp3;*.ogg;*.flac"), QStringLiteral("*.wav"), QStringLiteral("*.mp3"),
            QStringLiteral("*.ogg"), QStringLiteral("*.flac")};
}
