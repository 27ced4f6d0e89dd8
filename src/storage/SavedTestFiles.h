#pragma once
// Finding and removing the detail file a TestInfo row names.
#include <QByteArray>
#include <QString>

namespace rig {

// The detail file of a row's DetailSaveDBName (GBK bytes as stored). When the
// stored path names no file (the program folder moved, or the row comes from
// an installation on another system), the same day folder and file name under
// `exeDir` is used if that exists. Otherwise the stored path as text.
QString ResolveDetailPath(const QString& exeDir, const QByteArray& storedPath);

// True when `path` is a file that may be deleted as a detail file: a regular
// file named *.db that is empty or an SQLite database. A damaged SaveData.db
// must not be able to delete anything else.
bool IsDetailFile(const QString& path);

}  // namespace rig
