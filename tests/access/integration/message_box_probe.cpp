// Shows one accessible message box, for auditing it the way a screen reader sees it:
//   a11y-audit --max-unnamed 0 message_box_probe [KIND]
#include "modCommon.h"
#include "modDialogs.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CreateVoice();
    const qint32 kind = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : DialogKind::YesNoCancel;
    return ShowAccessibleDialog(kind, QStringLiteral("Uložit změny v záznamu?|Quarnel")) + 1;
}
