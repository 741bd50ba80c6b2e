#pragma once

// Taking paths apart and putting a folder before a name, where "\" and "/" both separate
// (paths typed by hand or kept from the classic program use "\"). Only texts: no file is
// looked at here.

#include <QString>

// Where the last "\" or "/" stands; -1 without one.
qsizetype LastSeparator(const QString& path);
// The part before the last separator, or the whole text without one.
QString ParentPath(const QString& path);
// The part up to and including the last separator, or the empty text without one.
QString FolderOf(const QString& path);
// The part after the last separator; all of path without one.
QString FileFromPath(const QString& path);
// The folder ready for a name to follow: as it is when it ends in either separator, else
// with the native one added.
QString WithSeparator(const QString& folder);
