#pragma once
// The file dialog's list without its widgets; folders are read off the window's thread.
#include "cVolumeList.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QFileSystemWatcher>
#include <QRegularExpression>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// One entry of the file dialog's list: a folder, a file or (in drive mode) a volume.
// name holds the bytes the file system uses, so names that are not valid UTF-8 can still
// be entered; text is what is shown and spoken.
struct cFolderEntry {
    QByteArray name;
    QString text;
    bool folder = false;
};

// One call of VoiceOutput: how a folder is announced.
struct cSpokenText {
    qint32 mode = 2;
    qint32 param = 0;
    QString text;
    bool operator==(const cSpokenText&) const = default;
};

// An entry of the look-in list and the folder it leads to.
struct cLookInItem {
    QString text;
    QByteArray path;
};

// The file dialog's list without the widgets: the current folder (its subfolders first,
// then the files matching the mask), or the volumes in drive mode. Folders are read in a
// background thread and delivered sorted in one step, so a folder of any size never
// holds up the keyboard.
class cFileDialogModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Result { Entered, Missing, Unreadable };

    explicit cFileDialogModel(QObject* parent = nullptr);
    ~cFileDialogModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // A path as callers and users give it ("\" and "/" both separate, relative to the
    // current folder); the folder stays as it was unless the result is Entered.
    Result SetPath(const QString& path);
    Result SetFolder(const QByteArray& folder);
    // The parent folder; from "/" the list of volumes. False when already there.
    bool GoUp();
    void SetDriveMode();
    void Refresh();
    // When the current folder no longer exists (deleted, volume unmounted): moves to the
    // nearest folder above it that does and emits FolderLost. False when nothing was lost.
    bool RecoverLostFolder();
    // "*.mdb", several separated by ";"; empty or "*.*" is every file.
    void SetMask(const QString& mask);

    QByteArray Folder() const { return m_folder; }
    QString FolderText() const;
    bool HasFolder() const { return !m_folder.isEmpty(); }
    bool DriveMode() const { return m_driveMode; }
    bool IsLoading() const { return m_loading; }
    // True when the last listing could not read the folder.
    bool ListingFailed() const { return m_listingFailed; }
    int FolderCount() const { return m_folderCount; }
    const cFolderEntry* Entry(int row) const;
    // The folder plus "/" plus the entry's name (the volume's root in drive mode).
    QByteArray PathOf(int row) const;
    // The row the list should stand on after the last listing (the folder just left
    // when going up), 0 otherwise.
    int PreferredRow() const { return m_preferredRow; }

    QList<cVolume> Volumes() const { return m_volumes; }
    bool IsVolumeRoot(const QByteArray& folder) const;
    // How the current folder is announced: a volume root as stop, "Kořen", the root;
    // any other folder as its levels with pauses between them, inside "Složka: %1" when
    // named.
    QList<cSpokenText> FolderSpeech(bool named = false) const;
    // "Plocha", "Dokumenty", the volumes, and below the current volume the levels of the
    // current folder; current receives the row of the current folder.
    QList<cLookInItem> LookInItems(int* current = nullptr) const;

    // The folder with every separator replaced by ".   ." so speech pauses between levels.
    static QString SpokenPath(const QString& folder);
    // Bytes a QString carries unchanged (valid in the file name encoding).
    static bool IsRepresentable(const QByteArray& path);
    // "/" joined, without "." and ".." levels, without a trailing separator.
    static QByteArray CleanFolder(const QByteArray& path);
    // The folder's entries as the list shows them, folders first, each part sorted by
    // the user's collation; hidden (dot) entries left out. ok is false when the folder
    // cannot be read. Stops early when cancel becomes true.
    static std::vector<cFolderEntry> ListFolder(const QByteArray& folder, const QList<QRegularExpression>& masks,
                                                const std::atomic<bool>* cancel, bool* ok, int* folderCount);
    static QList<QRegularExpression> MaskPatterns(const QString& mask);

signals:
    // The folder or drive mode changed; the rows are being read.
    void FolderChanged();
    // The rows of the current folder are all there.
    void ListingFinished();
    // The current folder disappeared (deleted or unmounted); the model moved to the
    // nearest folder that still exists.
    void FolderLost();

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> done;
    };
    Result Enter(const QByteArray& folder, const QByteArray& selectName);
    void StartListing(const QByteArray& selectName);
    void Deliver(quint64 generation, std::shared_ptr<std::vector<cFolderEntry>> entries, bool ok, int folderCount,
                 const QByteArray& selectName);
    void ReapJobs(bool all);
    void WatchedFolderChanged();

    QByteArray m_folder;
    bool m_driveMode = false;
    bool m_loading = false;
    bool m_listingFailed = false;
    int m_folderCount = 0;
    int m_preferredRow = 0;
    QList<QRegularExpression> m_masks;
    std::vector<cFolderEntry> m_entries;
    QList<cVolume> m_volumes;
    quint64 m_generation = 0;
    std::vector<Job> m_jobs;
    QFileSystemWatcher m_watcher;
};
