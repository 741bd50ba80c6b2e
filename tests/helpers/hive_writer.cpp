// Writes <count> values named <prefix>0.. into the hive named by QUARNEL_REGISTRY; with
// the prefix "columns", rewrites the definition of column 1 <count> times instead, every
// one of its values ending in the number of the rewrite.
#include "cSetting.h"
#include "modRegistry.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    for (int i = 0; i < count; ++i) {
        if (prefix == QLatin1String("columns")) {
            const QString n = QString::number(i);
            cColumnDefinition column;
            column.setFieldName(QStringLiteral("F") + n);
            column.setCaption(QStringLiteral("C") + n);
            column.setWidth(n);
            column.setAction(QStringLiteral("A") + n);
            column.setFormat(QStringLiteral("#") + n);
            column.setVisible(QStringLiteral("V") + n);
            cSetting().SetColumnDef(1, column);
        } else {
            SaveRegSetting(QStringLiteral("Software\\Korvi\\dBase"), QStringLiteral("Race"), prefix + QString::number(i),
                           QStringLiteral("%1-%2").arg(prefix).arg(i));
        }
    }
    return 0;
}
