#include "mPaths.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(Paths, ParentAndFolderTakeEitherSeparator)
{
    struct Case {
        QString path, parent, folder;
    };
    const Case cases[] = {
        {QStringLiteral("C:\\data\\shop.mdb"), QStringLiteral("C:\\data"), QStringLiteral("C:\\data\\")},
        {QStringLiteral("/home/jana/shop.db"), QStringLiteral("/home/jana"), QStringLiteral("/home/jana/")},
        {QStringLiteral("/home/jana\\x/a.db"), QStringLiteral("/home/jana\\x"), QStringLiteral("/home/jana\\x/")},
        {QStringLiteral("shop.mdb"), QStringLiteral("shop.mdb"), QString()},
        {QStringLiteral("/shop.db"), QString(), QStringLiteral("/")},
        {QStringLiteral("dir/"), QStringLiteral("dir"), QStringLiteral("dir/")},
        {QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParentPath(c.path), c.parent) << c.path.toStdString();
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path.toStdString();
    }
}

TEST(Paths, FileAndParentAreSplitAtTheLastSeparator)
{
    EXPECT_EQ(FileFromPath(QStringLiteral("C:\\docs\\a b.doc")), QStringLiteral("a b.doc"));
    EXPECT_EQ(ParentPath(QStringLiteral("C:\\docs\\a b.doc")), QStringLiteral("C:\\docs"));
    EXPECT_EQ(FileFromPath(QStringLiteral("/home/u/x.odt")), QStringLiteral("x.odt"));
    EXPECT_EQ(ParentPath(QStringLiteral("/home/u/x.odt")), QStringLiteral("/home/u"));
    EXPECT_EQ(FileFromPath(QStringLiteral("x.doc")), QStringLiteral("x.doc"));
    EXPECT_EQ(ParentPath(QStringLiteral("x.doc")), QStringLiteral("x.doc"));
}

TEST(Paths, AFolderEndsInOneSeparator)
{
    EXPECT_EQ(WithSeparator(QStringLiteral("/opt/suite")), QStringLiteral("/opt/suite") + QDir::separator());
    EXPECT_EQ(WithSeparator(QStringLiteral("/opt/suite/")), QStringLiteral("/opt/suite/"));
    EXPECT_EQ(WithSeparator(QStringLiteral("C:\\QTX98\\")), QStringLiteral("C:\\QTX98\\"));
    EXPECT_EQ(WithSeparator(QString()), QString(QDir::separator()));
    EXPECT_EQ(LastSeparator(QStringLiteral("a/b\\c")), 3);
    EXPECT_EQ(LastSeparator(QStringLiteral("a\\b/c")), 3);
    EXPECT_EQ(LastSeparator(QStringLiteral("abc")), -1);
}
