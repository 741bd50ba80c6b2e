#include "cVolumeList.h"

#include "mStringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace {

bool HasPrefixFolder(const QByteArray& path, const QByteArray& folder)
{
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

QByteArray ReadFlag(const QString& file)
{
    QFile flag(file);
    return flag.open(QIODevice::ReadOnly) ? flag.read(8).trimmed() : QByteArray();
}

} // namespace

QString cVolume::RootText() const
{
    return QFile::decodeName(root);
}

QString cVolume::TypeText() const
{
    return LoadString(VolumeTypeStringId(kind));
}

QString cVolume::Text() const
{
    return RootText() + u' ' + TypeText();
}

int VolumeTypeStringId(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::Removable:
        return 811;
    case VolumeKind::Fixed:
        return 812;
    case VolumeKind::CdRom:
        return 813;
    case VolumeKind::Network:
        return 814;
    }
    return 812;
}

VolumeKind ClassifyVolume(const QByteArray& fsType, const QByteArray& device, const QByteArray& root,
                          const QString& sysBlock)
{
    static const QList<QByteArray> network{"nfs",  "nfs4",  "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs",
                                           "9p",   "davfs", "fuse.davfs2", "afs", "ceph", "glusterfs",
                                           "fuse.glusterfs", "fuse.rclone", "fuse.gvfsd-fuse"};
    if (network.contains(fsType))
        return VolumeKind::Network;
    if (fsType == "iso9660" || fsType == "udf" || device.startsWith("/dev/sr"))
        return VolumeKind::CdRom;
    if (device.startsWith("/dev/")) {
        const QString name = QFile::decodeName(device.mid(5));
        if (!name.contains(u'/')) {
            // A partition's flag is its disk's, one folder up in the real sysfs tree.
            const QString entry = sysBlock + u'/' + name;
            const QString disk = QFileInfo::exists(entry + QStringLiteral("/partition"))
                                     ? QFileInfo(entry).canonicalFilePath() + QStringLiteral("/..")
                                     : entry;
            if (ReadFlag(disk + QStringLiteral("/removable")) == "1")
                return VolumeKind::Removable;
        }
    }
    // Desktops mount sticks and card readers there, also those whose flag says fixed.
    if (HasPrefixFolder(root, "/media") || HasPrefixFolder(root, "/run/media"))
        return VolumeKind::Removable;
    return VolumeKind::Fixed;
}

bool IsUserVolume(const QByteArray& fsType, const QByteArray& root)
{
    if (root == "/")
        return true;
    static const QList<QByteArray> system{"proc",    "sysfs",  "devtmpfs", "devpts", "tmpfs",   "cgroup", "cgroup2",
                                          "securityfs", "pstore", "debugfs", "tracefs", "mqueue", "hugetlbfs",
                                          "configfs", "fusectl", "bpf",     "autofs",  "squashfs", "binfmt_misc",
                                          "efivarfs", "rpc_pipefs", "nsfs",  "ramfs",   "overlay", "fuse.portal"};
    if (system.contains(fsType))
        return false;
    for (const char* folder : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib", "/etc"})
        if (HasPrefixFolder(root, folder) && !HasPrefixFolder(root, "/run/media"))
            return false;
    return true;
}

QList<cVolume> MountedVolumes()
{
    QList<cVolume> volumes;
    volumes.append(cVolume{"/", VolumeKind::Fixed});
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        const QByteArray root = QFile::encodeName(storage.rootPath());
        if (!storage.isValid() || !IsUserVolume(storage.fileSystemType(), root))
            continue;
        const VolumeKind kind = ClassifyVolume(storage.fileSystemType(), storage.device(), root);
        if (root == "/")
            volumes.first().kind = kind;
        else if (std::none_of(volumes.cbegin(), volumes.cend(), [&](const cVolume& v) { return v.root == root; }))
            volumes.append(cVolume{root, kind});
    }
    std::sort(volumes.begin() + 1, volumes.end(), [](const cVolume& a, const cVolume& b) { return a.root < b.root; });
    return volumes;
}

cVolume VolumeOf(const QList<cVolume>& volumes, const QByteArray& path)
{
    cVolume best{"/", VolumeKind::Fixed};
    int bestLength = -1;
    for (const cVolume& volume : volumes) {
        if (HasPrefixFolder(path, volume.root) && volume.root.size() > bestLength) {
            best = volume;
            bestLength = int(volume.root.size());
        }
    }
    return best;
}
