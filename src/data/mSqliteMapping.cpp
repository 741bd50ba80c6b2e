#include "mSqliteMapping.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace {

// A device the kernel does not call fixed, or one we cannot find, counts as removable.
bool Removable(const QByteArray& device)
{
    const QString node = QFileInfo(QString::fromLocal8Bit(device)).canonicalFilePath();
    if (node.isEmpty())
        return true;
    QString folder = QFileInfo(QStringLiteral("/sys/class/block/") + QFileInfo(node).fileName()).canonicalFilePath();
    // A partition has no flag of its own; its disk, one folder up, has.
    for (int up = 0; up < 2 && !folder.isEmpty(); ++up, folder = QFileInfo(folder).path()) {
        QFile flag(folder + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() != "0";
    }
    return true;
}

} // namespace

bool MayMapDatabaseFile(const QString& path)
{
    static const std::array<QByteArray, 6> disks{"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs"};
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (!storage.isValid())
        return false;
    const QByteArray type = storage.fileSystemType();
    if (type == "tmpfs")
        return true;
    return std::find(disks.begin(), disks.end(), type) != disks.end() && !Removable(storage.device());
}
