// Writes <count> values named <prefix>0.. into the hive named by QUARNEL_REGISTRY.
#include "modRegistry.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    for (int i = 0; i < count; ++i)
        SaveRegSetting(QStringLiteral("Software\\Korvi\\dBase"), QStringLiteral("Race"), prefix + QString::number(i),
                       QStringLiteral("%1-%2").arg(prefix).arg(i));
    return 0;
}
