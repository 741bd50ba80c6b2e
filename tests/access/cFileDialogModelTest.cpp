#include "cFileDialogModel.h"
#include "TestSupport.h"
#include "cVolumeList.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void Touch(const QByteArray& path)
{
    QFile file(QString::fromLocal8Bit(path)); // only for valid names
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.constData();
}

// Waits for the listing a navigation started.
bool Listed(cFileDialogModel& model)
{
    return QTest::qWaitFor([&] { return !model.IsLoading(); }, 5000);
}

QStringList Texts(const cFileDialogModel& model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.Entry(row)->text);
    return texts;
}

class FileDialogModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = QFile::encodeName(m_dir.path());
        QDir dir(m_dir.path());
        for (const char* folder : {"beta", "Alfa", "čaj", "dir 10", "dir 9", ".skryta"})
            ASSERT_TRUE(dir.mkdir(QString::fromUtf8(folder)));
        for (const char* file : {"zeta.mdb", "Data.MDB", "notes.txt", "žluť.mdb", ".hidden.mdb", "a.mdb.bak"})
            Touch(m_root + '/' + file);
        ASSERT_EQ(::symlink((m_root + "/beta").constData(), (m_root + "/link").constData()), 0);
    }

    ScopedLocale m_locale{QStringLiteral("cs_CZ")}; // the user's collation: "č" after "c", "ž" after "z"
    QTemporaryDir m_dir;
    QByteArray m_root;
};

} // namespace

TEST(FileDialogTexts, PathsAreCleanedAndSpokenByLevels)
{
    EXPECT_EQ(cFileDialogModel::CleanFolder("/home//eva/./data/../x/"), QByteArray("/home/eva/x"));
    EXPECT_EQ(cFileDialogModel::CleanFolder("/.."), QByteArray("/"));
    EXPECT_EQ(cFileDialogModel::SpokenPath(QStringLiteral("/home/eva/data")), QStringLiteral(".   .home.   .eva.   .data"));
    EXPECT_TRUE(cFileDialogModel::IsRepresentable("/tmp/žluť"));
    EXPECT_FALSE(cFileDialogModel::IsRepresentable("/tmp/\xff" "a"));
}

TEST(FileDialogTexts, MasksMatchWithoutCaseAndStarDotStarIsEverything)
{
    const auto masks = cFileDialogModel::MaskPatterns(QStringLiteral("*.mdb; *.accdb"));
    ASSERT_EQ(masks.size(), 2);
    EXPECT_TRUE(masks[0].match(QStringLiteral("DATA.MDB")).hasMatch());
    EXPECT_FALSE(masks[0].match(QStringLiteral("data.mdb.bak")).hasMatch());
    EXPECT_TRUE(masks[1].match(QStringLiteral("a.accdb")).hasMatch());
    EXPECT_TRUE(cFileDialogModel::MaskPatterns(QStringLiteral("*.*")).isEmpty());
    EXPECT_TRUE(cFileDialogModel::MaskPatterns(QString()).isEmpty());
}

TEST(FileDialogVolumes, KindsFromFileSystemDeviceAndRemovableFlag)
{
    QTemporaryDir sys;
    QDir block(sys.path());
    ASSERT_TRUE(block.mkpath(QStringLiteral("sdb/sdb1")));
    ASSERT_TRUE(block.mkpath(QStringLiteral("sda/sda1")));
    auto write = [&](const QString& file, const QByteArray& content) {
        QFile out(block.filePath(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    };
    write(QStringLiteral("sdb/removable"), "1\n");
    write(QStringLiteral("sda/removable"), "0\n");
    write(QStringLiteral("sdb/sdb1/partition"), "1\n");
    write(QStringLiteral("sda/sda1/partition"), "1\n");
    // As in sysfs, a partition's own entry is a link into its disk's folder.
    ASSERT_TRUE(QFile::link(block.filePath(QStringLiteral("sdb/sdb1")), block.filePath(QStringLiteral("sdb1"))));
    ASSERT_TRUE(QFile::link(block.filePath(QStringLiteral("sda/sda1")), block.filePath(QStringLiteral("sda1"))));

    EXPECT_EQ(ClassifyVolume("vfat", "/dev/sdb1", "/mnt/stick", sys.path()), VolumeKind::Removable);
    EXPECT_EQ(ClassifyVolume("vfat", "/dev/sdb", "/mnt/stick", sys.path()), VolumeKind::Removable);
    EXPECT_EQ(ClassifyVolume("ext4", "/dev/sda1", "/data", sys.path()), VolumeKind::Fixed);
    EXPECT_EQ(ClassifyVolume("ext4", "/dev/sda1", "/media/eva/backup", sys.path()), VolumeKind::Removable);
    EXPECT_EQ(ClassifyVolume("iso9660", "/dev/sr0", "/media/cd", sys.path()), VolumeKind::CdRom);
    EXPECT_EQ(ClassifyVolume("nfs4", "server:/export", "/net/home", sys.path()), VolumeKind::Network);
    EXPECT_EQ(ClassifyVolume("fuse.sshfs", "eva@host:", "/home/eva/remote", sys.path()), VolumeKind::Network);
    EXPECT_EQ(ClassifyVolume("ext4", "/dev/mapper/root", "/srv", sys.path()), VolumeKind::Fixed);

    EXPECT_EQ(cVolume({"/media/x", VolumeKind::Removable}).Text(), QStringLiteral("/media/x (vyměnitelný disk)"));
    EXPECT_EQ(cVolume({"/", VolumeKind::Fixed}).TypeText(), QStringLiteral("(pevný disk)"));
    EXPECT_EQ(cVolume({"/c", VolumeKind::CdRom}).TypeText(), QStringLiteral("(CD-ROM)"));
    EXPECT_EQ(cVolume({"/n", VolumeKind::Network}).TypeText(), QStringLiteral("(síť)"));
}

TEST(FileDialogVolumes, OnlyVolumesUsersKeepFilesOn)
{
    EXPECT_TRUE(IsUserVolume("overlay", "/"));
    EXPECT_TRUE(IsUserVolume("ext4", "/home"));
    EXPECT_TRUE(IsUserVolume("vfat", "/run/media/eva/STICK"));
    EXPECT_FALSE(IsUserVolume("proc", "/proc"));
    EXPECT_FALSE(IsUserVolume("tmpfs", "/tmp"));
    EXPECT_FALSE(IsUserVolume("ext4", "/boot"));
    EXPECT_FALSE(IsUserVolume("vfat", "/boot/efi"));
    EXPECT_FALSE(IsUserVolume("squashfs", "/snap/core/1"));

    const QList<cVolume> volumes = MountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first().root, QByteArray("/"));
    const QList<cVolume> some{{"/", VolumeKind::Fixed}, {"/media/a", VolumeKind::Removable}};
    EXPECT_EQ(VolumeOf(some, "/media/a/x").root, QByteArray("/media/a"));
    EXPECT_EQ(VolumeOf(some, "/media/ab").root, QByteArray("/"));
}

TEST_F(FileDialogModelTest, FoldersFirstThenMatchingFilesEachSorted)
{
    cFileDialogModel model;
    model.SetMask(QStringLiteral("*.mdb"));
    ASSERT_EQ(model.SetFolder(m_root), cFileDialogModel::Result::Entered);
    EXPECT_TRUE(model.IsLoading());
    ASSERT_TRUE(Listed(model));
    EXPECT_FALSE(model.ListingFailed());
    // The link to a folder is a folder; hidden entries and other types are left out;
    // numbers sort by value.
    const QStringList folders{QStringLiteral("Alfa"), QStringLiteral("beta"), QStringLiteral("čaj"),
                              QStringLiteral("dir 9"), QStringLiteral("dir 10"), QStringLiteral("link")};
    const QStringList files{QStringLiteral("Data.MDB"), QStringLiteral("zeta.mdb"), QStringLiteral("žluť.mdb")};
    EXPECT_EQ(Texts(model), folders + files);
    EXPECT_EQ(model.FolderCount(), 6);
    EXPECT_EQ(model.PathOf(1), m_root + "/beta");

    model.SetMask(QStringLiteral("*.*"));
    ASSERT_TRUE(Listed(model));
    EXPECT_EQ(model.rowCount(), 6 + 5);
}

TEST_F(FileDialogModelTest, GoingUpStandsOnTheFolderLeftAndEndsAtTheVolumes)
{
    cFileDialogModel model;
    ASSERT_EQ(model.SetPath(QString::fromLocal8Bit(m_root) + QStringLiteral("\\čaj")), cFileDialogModel::Result::Entered);
    EXPECT_EQ(model.Folder(), m_root + "/" + QByteArray("čaj"));
    ASSERT_TRUE(Listed(model));
    EXPECT_EQ(model.rowCount(), 0);

    ASSERT_TRUE(model.GoUp());
    ASSERT_TRUE(Listed(model));
    EXPECT_EQ(model.Folder(), m_root);
    EXPECT_EQ(model.Entry(model.PreferredRow())->text, QStringLiteral("čaj"));

    model.SetFolder("/");
    ASSERT_TRUE(Listed(model));
    ASSERT_TRUE(model.GoUp());
    EXPECT_TRUE(model.DriveMode());
    EXPECT_FALSE(model.GoUp());
    ASSERT_GE(model.rowCount(), 1);
    EXPECT_EQ(model.Entry(0)->text, QStringLiteral("/ ") + model.Volumes().first().TypeText());
    EXPECT_EQ(model.PathOf(0), QByteArray("/"));
    EXPECT_EQ(model.PreferredRow(), 0);
    EXPECT_TRUE(model.FolderSpeech().isEmpty());
}

TEST_F(FileDialogModelTest, FoldersThatCannotBeEnteredLeaveTheModelWhereItWas)
{
    cFileDialogModel model;
    ASSERT_EQ(model.SetFolder(m_root), cFileDialogModel::Result::Entered);
    EXPECT_EQ(model.SetFolder(m_root + "/none"), cFileDialogModel::Result::Missing);
    EXPECT_EQ(model.SetFolder(m_root + "/zeta.mdb"), cFileDialogModel::Result::Missing);
    EXPECT_EQ(model.SetPath(QString()), cFileDialogModel::Result::Missing);
    EXPECT_EQ(model.Folder(), m_root);
    if (::geteuid() != 0) { // root reads every folder
        const QByteArray locked = m_root + "/beta";
        QFile::setPermissions(QString::fromLocal8Bit(locked), QFileDevice::Permissions());
        EXPECT_EQ(model.SetFolder(locked), cFileDialogModel::Result::Unreadable);
        QFile::setPermissions(QString::fromLocal8Bit(locked), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                  | QFileDevice::ExeOwner);
    }
    // Relative paths are taken from the current folder.
    EXPECT_EQ(model.SetPath(QStringLiteral("beta/../Alfa")), cFileDialogModel::Result::Entered);
    EXPECT_EQ(model.Folder(), m_root + "/Alfa");
}

TEST_F(FileDialogModelTest, NamesThatAreNotUtf8CanBeEnteredByTheirBytes)
{
    const QByteArray odd = m_root + "/beta/k\xe9" "d";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    cFileDialogModel model;
    ASSERT_EQ(model.SetFolder(m_root + "/beta"), cFileDialogModel::Result::Entered);
    ASSERT_TRUE(Listed(model));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.Entry(0)->text, QStringLiteral("k\uFFFDd"));
    EXPECT_EQ(model.PathOf(0), odd);
    ASSERT_EQ(model.SetFolder(model.PathOf(0)), cFileDialogModel::Result::Entered);
    EXPECT_EQ(model.Folder(), odd);
    EXPECT_FALSE(cFileDialogModel::IsRepresentable(model.Folder()));
    EXPECT_EQ(model.FolderSpeech().value(0).text, cFileDialogModel::SpokenPath(model.FolderText()));
    ::rmdir(odd.constData()); // QDir cannot remove what it cannot name
}

TEST_F(FileDialogModelTest, FolderSpeechAndLookInItems)
{
    cFileDialogModel model;
    ASSERT_EQ(model.SetFolder(m_root + "/beta"), cFileDialogModel::Result::Entered);
    const QString spoken = cFileDialogModel::SpokenPath(QString::fromLocal8Bit(m_root + "/beta"));
    EXPECT_EQ(model.FolderSpeech(), (QList<cSpokenText>{{2, 0, spoken}}));
    EXPECT_EQ(model.FolderSpeech(true), (QList<cSpokenText>{{2, 0, QStringLiteral("Složka: ") + spoken}}));

    int current = -1;
    const QList<cLookInItem> items = model.LookInItems(&current);
    ASSERT_GE(items.size(), 4);
    EXPECT_EQ(items[0].text, QStringLiteral("Plocha"));
    EXPECT_EQ(items[1].text, QStringLiteral("Dokumenty"));
    EXPECT_EQ(items[2].text, model.Volumes().first().Text());
    EXPECT_EQ(items[current].path, m_root + "/beta");
    EXPECT_EQ(items[current].text.trimmed(), QStringLiteral("beta"));
    // Each level one step deeper than the one above it.
    auto indent = [](const QString& text) { return text.size() - text.trimmed().size(); };
    EXPECT_EQ(indent(items[current].text), indent(items[current - 1].text) + 2);

    ASSERT_EQ(model.SetFolder("/"), cFileDialogModel::Result::Entered);
    EXPECT_EQ(model.FolderSpeech(), (QList<cSpokenText>{{4, 0, QString()},
                                                         {1, 0, QStringLiteral("Kořen")},
                                                         {1, 1, QStringLiteral("/")}}));
    model.LookInItems(&current);
    EXPECT_EQ(current, 2);
}

TEST_F(FileDialogModelTest, OnlyTheLastOfQuickMovesIsDelivered)
{
    cFileDialogModel model;
    QSignalSpy finished(&model, &cFileDialogModel::ListingFinished);
    model.SetFolder(m_root);
    model.SetFolder(m_root + "/beta");
    model.SetFolder(m_root);
    ASSERT_TRUE(Listed(model));
    QTest::qWait(50);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(model.rowCount(), 6 + 5);
}

TEST_F(FileDialogModelTest, AFolderThatDisappearsIsLeftForTheNearestThatExists)
{
    const QByteArray deep = m_root + "/beta/x/y";
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(deep)));
    cFileDialogModel model;
    QSignalSpy lost(&model, &cFileDialogModel::FolderLost);
    ASSERT_EQ(model.SetFolder(deep), cFileDialogModel::Result::Entered);
    ASSERT_TRUE(Listed(model));
    ASSERT_TRUE(QDir(QString::fromLocal8Bit(m_root + "/beta/x")).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.size() == 1; }, 5000));
    EXPECT_EQ(model.Folder(), m_root + "/beta");
    EXPECT_FALSE(model.RecoverLostFolder());
}
