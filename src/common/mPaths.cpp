#include "mPaths.h"

#include <QDir>

#include <algorithm>

qsizetype LastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
}

QString ParentPath(const QString& path)
{
    const qsizetype at = LastSeparator(path);
    return at < 0 ? path : path.left(at);
}

QString FolderOf(const QString& path)
{
    const qsizetype at = LastSeparator(path);
    return at < 0 ? QString() : path.left(at + 1);
}

QString FileFromPath(const QString& path)
{
    const qsizetype at = LastSeparator(path);
    return at < 0 ? path : path.mid(at + 1);
}

QString WithSeparator(const QString& folder)
{
    if (folder.endsWith(u'\\') || folder.endsWith(u'/'))
        return folder;
    return folder + QDir::separator();
}
