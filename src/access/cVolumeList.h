#pragma once
// The mounted volumes the file dialogs list as drives; no widgets, read fresh on each call.
#include <QByteArray>
#include <QList>
#include <QString>

// The "drives" of the file dialogs: the mounted volumes a user keeps files on.
enum class VolumeKind { Removable, Fixed, CdRom, Network };

struct cVolume {
    QByteArray root; // mount point as the file system names it
    VolumeKind kind = VolumeKind::Fixed;

    QString RootText() const;
    // "(pevný disk)" and the like.
    QString TypeText() const;
    // The root, a blank and the type text: how the volume is listed and spoken.
    QString Text() const;
};

// String id of a volume kind's type text (811 to 814).
int VolumeTypeStringId(VolumeKind kind);

// Kind of a volume from its file system type and device; sysBlock is the folder that
// holds the block devices' "removable" flags (normally /sys/class/block).
VolumeKind ClassifyVolume(const QByteArray& fsType, const QByteArray& device, const QByteArray& root,
                          const QString& sysBlock = QStringLiteral("/sys/class/block"));

// Whether a mount is one a user stores files on, not a kernel or packaging mount.
bool IsUserVolume(const QByteArray& fsType, const QByteArray& root);

// "/" first, then the other user volumes by their roots. Read fresh on every call, so a
// volume that has gone is gone from the list.
QList<cVolume> MountedVolumes();

// The volume that holds path (the longest root that is a prefix of it); "/" when none.
cVolume VolumeOf(const QList<cVolume>& volumes, const QByteArray& path);
