// Shows one accessible file dialog, for auditing it the way a screen reader sees it:
//   a11y-audit --max-unnamed 0 file_dialog_probe [KIND] [FOLDER]
#include "fFileOpen.h"
#include "modCommon.h"
#include "modDialogs.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CreateVoice();
    InstallFileDialogs();
    const qint32 kind = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : DialogKind::FileSave;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::homePath();
    const QString text = kind <= 9 ? QStringLiteral("*.mdb|%1|Otevření souboru").arg(folder)
                                   : QStringLiteral("*.mdb|nova.mdb|%1|Uložení souboru").arg(folder);
    return ShowAccessibleDialog(kind, text) + 1;
}
