#include "cFileDialogModel.h"

#include "mStringTable.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const QByteArray& path)
{
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArray ParentOf(const QByteArray& folder)
{
    const qsizetype slash = folder.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : folder.left(slash);
}

QByteArray Join(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

cFileDialogModel::cFileDialogModel(QObject* parent)
    : QAbstractListModel(parent)
{
    m_volumes = MountedVolumes();
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &cFileDialogModel::WatchedFolderChanged);
}

cFileDialogModel::~cFileDialogModel()
{
    ReapJobs(true);
}

int cFileDialogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant cFileDialogModel::data(const QModelIndex& index, int role) const
{
    const cFolderEntry* entry = Entry(index.row());
    if (!entry || index.parent().isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return entry->text;
    case Qt::UserRole:
        return entry->folder;
    default:
        return {};
    }
}

const cFolderEntry* cFileDialogModel::Entry(int row) const
{
    return row >= 0 && row < int(m_entries.size()) ? &m_entries[size_t(row)] : nullptr;
}

QByteArray cFileDialogModel::PathOf(int row) const
{
    const cFolderEntry* entry = Entry(row);
    if (!entry)
        return {};
    return m_driveMode ? entry->name : Join(m_folder, entry->name);
}

QString cFileDialogModel::FolderText() const
{
    return QFile::decodeName(m_folder);
}

QByteArray cFileDialogModel::CleanFolder(const QByteArray& path)
{
    QList<QByteArray> levels;
    for (const QByteArray& level : path.split('/')) {
        if (level.isEmpty() || level == ".")
            continue;
        if (level == "..") {
            if (!levels.isEmpty())
                levels.removeLast();
            continue;
        }
        levels.append(level);
    }
    return '/' + levels.join('/');
}

bool cFileDialogModel::IsRepresentable(const QByteArray& path)
{
    return QFile::encodeName(QFile::decodeName(path)) == path;
}

QString cFileDialogModel::SpokenPath(const QString& folder)
{
    QString text = folder;
    text.replace(u'\\', u'/');
    return text.replace(u'/', QStringLiteral(".   ."));
}

cFileDialogModel::Result cFileDialogModel::SetPath(const QString& path)
{
    QString text = path;
    text.replace(u'\\', u'/');
    if (text.trimmed().isEmpty())
        return Result::Missing;
    QByteArray bytes = QFile::encodeName(text);
    if (!bytes.startsWith('/'))
        bytes = Join(m_folder.isEmpty() ? QFile::encodeName(QDir::homePath()) : m_folder, bytes);
    return SetFolder(bytes);
}

cFileDialogModel::Result cFileDialogModel::SetFolder(const QByteArray& folder)
{
    return Enter(folder, QByteArray());
}

cFileDialogModel::Result cFileDialogModel::Enter(const QByteArray& folder, const QByteArray& selectName)
{
    const QByteArray clean = CleanFolder(folder);
    if (!IsFolder(clean))
        return Result::Missing;
    if (::access(clean.constData(), R_OK | X_OK) != 0)
        return Result::Unreadable;
    m_folder = clean;
    m_driveMode = false;
    m_volumes = MountedVolumes();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (IsRepresentable(m_folder))
        m_watcher.addPath(FolderText());
    emit FolderChanged();
    StartListing(selectName);
    return Result::Entered;
}

bool cFileDialogModel::GoUp()
{
    if (m_driveMode)
        return false;
    if (m_folder == "/" || m_folder.isEmpty()) {
        SetDriveMode();
        return true;
    }
    const QByteArray left = m_folder.mid(m_folder.lastIndexOf('/') + 1);
    QByteArray parent = ParentOf(m_folder);
    // A parent that cannot be read is passed over to the nearest one that can.
    while (parent != "/" && (!IsFolder(parent) || ::access(parent.constData(), R_OK | X_OK) != 0))
        parent = ParentOf(parent);
    // The list then stands on the folder we came from.
    if (Enter(parent, left) != Result::Entered)
        SetDriveMode();
    return true;
}

void cFileDialogModel::SetDriveMode()
{
    ++m_generation; // a listing still running is of no use now
    ReapJobs(false);
    if (!m_jobs.empty())
        m_jobs.back().cancel->store(true);
    m_volumes = MountedVolumes();
    beginResetModel();
    m_entries.clear();
    for (const cVolume& volume : m_volumes)
        m_entries.push_back(cFolderEntry{volume.root, volume.Text(), true});
    m_driveMode = true;
    m_loading = false;
    m_listingFailed = false;
    m_folderCount = int(m_entries.size());
    const cVolume current = VolumeOf(m_volumes, m_folder);
    m_preferredRow = 0;
    for (int row = 0; row < int(m_volumes.size()); ++row)
        if (m_volumes[row].root == current.root)
            m_preferredRow = row;
    endResetModel();
    emit FolderChanged();
    emit ListingFinished();
}

void cFileDialogModel::Refresh()
{
    if (m_driveMode)
        SetDriveMode();
    else if (HasFolder())
        StartListing(QByteArray());
}

QList<QRegularExpression> cFileDialogModel::MaskPatterns(const QString& mask)
{
    QList<QRegularExpression> patterns;
    for (QString part : mask.split(u';', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.isEmpty())
            continue;
        // Programs here carry no ".exe": asked for one, the user may pick any file.
        if (part == QStringLiteral("*.*") || part == QStringLiteral("*")
            || part.compare(QStringLiteral("*.exe"), Qt::CaseInsensitive) == 0)
            return {}; // every file, also those without a dot
        patterns.append(QRegularExpression::fromWildcard(part, Qt::CaseInsensitive));
    }
    return patterns;
}

void cFileDialogModel::SetMask(const QString& mask)
{
    m_masks = MaskPatterns(mask);
    if (!m_driveMode && HasFolder())
        StartListing(QByteArray());
}

std::vector<cFolderEntry> cFileDialogModel::ListFolder(const QByteArray& folder, const QList<QRegularExpression>& masks,
                                                       const std::atomic<bool>* cancel, bool* ok, int* folderCount)
{
    std::vector<cFolderEntry> entries;
    *ok = false;
    *folderCount = 0;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return entries;
    const int fd = ::dirfd(dir);
    size_t seen = 0;
    while (const dirent* item = ::readdir(dir)) {
        if ((++seen & 1023) == 0 && cancel && cancel->load()) {
            ::closedir(dir);
            return {};
        }
        const QByteArray name(item->d_name);
        if (name.startsWith('.'))
            continue;
        bool isFolder = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
            struct stat info {};
            isFolder = ::fstatat(fd, item->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        cFolderEntry entry{name, QFile::decodeName(name), isFolder};
        if (!isFolder && !masks.isEmpty()
            && std::none_of(masks.cbegin(), masks.cend(),
                            [&](const QRegularExpression& mask) { return mask.match(entry.text).hasMatch(); }))
            continue;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    *ok = true;

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const cFolderEntry& entry : entries)
        keys.push_back(collator.sortKey(entry.text));
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (entries[a].folder != entries[b].folder)
            return entries[a].folder;
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : entries[a].name < entries[b].name;
    });
    std::vector<cFolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const size_t index : order) {
        *folderCount += entries[index].folder ? 1 : 0;
        sorted.push_back(std::move(entries[index]));
    }
    return sorted;
}

void cFileDialogModel::StartListing(const QByteArray& selectName)
{
    ReapJobs(false);
    if (!m_jobs.empty())
        m_jobs.back().cancel->store(true);
    const quint64 generation = ++m_generation;
    beginResetModel();
    m_entries.clear();
    m_folderCount = 0;
    m_preferredRow = 0;
    m_loading = true;
    m_listingFailed = false;
    endResetModel();

    Job job{{}, std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false)};
    job.thread = std::thread([this, folder = m_folder, masks = m_masks, cancel = job.cancel, done = job.done,
                              generation, selectName] {
        bool ok = false;
        int folders = 0;
        auto entries =
            std::make_shared<std::vector<cFolderEntry>>(ListFolder(folder, masks, cancel.get(), &ok, &folders));
        if (!cancel->load())
            QMetaObject::invokeMethod(
                this, [this, generation, entries, ok, folders, selectName] { Deliver(generation, entries, ok, folders, selectName); },
                Qt::QueuedConnection);
        done->store(true);
    });
    m_jobs.push_back(std::move(job));
}

void cFileDialogModel::Deliver(quint64 generation, std::shared_ptr<std::vector<cFolderEntry>> entries, bool ok,
                               int folderCount, const QByteArray& selectName)
{
    ReapJobs(false);
    if (generation != m_generation)
        return;
    m_loading = false;
    m_listingFailed = !ok;
    m_preferredRow = 0;
    if (!entries->empty()) {
        beginInsertRows(QModelIndex(), 0, int(entries->size()) - 1);
        m_entries = std::move(*entries);
        m_folderCount = folderCount;
        endInsertRows();
    }
    if (!selectName.isEmpty())
        for (int row = 0; row < m_folderCount; ++row)
            if (m_entries[size_t(row)].name == selectName)
                m_preferredRow = row;
    emit ListingFinished();
}

void cFileDialogModel::ReapJobs(bool all)
{
    for (auto job = m_jobs.begin(); job != m_jobs.end();) {
        if (all)
            job->cancel->store(true);
        if (all || job->done->load()) {
            job->thread.join();
            job = m_jobs.erase(job);
        } else {
            ++job;
        }
    }
}

void cFileDialogModel::WatchedFolderChanged()
{
    RecoverLostFolder();
}

bool cFileDialogModel::RecoverLostFolder()
{
    if (m_driveMode || !HasFolder() || IsFolder(m_folder))
        return false;
    QByteArray folder = ParentOf(m_folder);
    while (folder != "/" && SetFolder(folder) != Result::Entered)
        folder = ParentOf(folder);
    if (folder == "/" && SetFolder(folder) != Result::Entered)
        SetDriveMode();
    emit FolderLost();
    return true;
}

bool cFileDialogModel::IsVolumeRoot(const QByteArray& folder) const
{
    return folder == "/"
           || std::any_of(m_volumes.cbegin(), m_volumes.cend(), [&](const cVolume& v) { return v.root == folder; });
}

QList<cSpokenText> cFileDialogModel::FolderSpeech(bool named) const
{
    if (m_driveMode || !HasFolder())
        return {};
    if (IsVolumeRoot(m_folder))
        return {{4, 0, QString()}, {1, 0, LoadString(809)}, {1, 1, FolderText()}};
    const QString text = SpokenPath(FolderText());
    return {{2, 0, named ? FillPlaceholders(LoadString(810), {text}) : text}};
}

QList<cLookInItem> cFileDialogModel::LookInItems(int* current) const
{
    QList<cLookInItem> items;
    items.append({QStringLiteral("Plocha"),
                  QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))});
    items.append({QStringLiteral("Dokumenty"),
                  QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))});
    const cVolume here = VolumeOf(m_volumes, m_folder);
    int currentRow = -1;
    for (const cVolume& volume : m_volumes) {
        items.append({volume.Text(), volume.root});
        if (volume.root != here.root || !HasFolder())
            continue;
        currentRow = int(items.size()) - 1;
        if (m_driveMode)
            continue;
        QByteArray path = volume.root;
        const QByteArray below = m_folder.mid(volume.root.size());
        int depth = 0;
        for (const QByteArray& level : below.split('/')) {
            if (level.isEmpty())
                continue;
            path = Join(path, level);
            ++depth;
            items.append({QString(2 * depth, u' ') + QFile::decodeName(level), path});
            currentRow = int(items.size()) - 1;
        }
    }
    if (current)
        *current = currentRow;
    return items;
}
