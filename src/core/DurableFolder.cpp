#include "core/DurableFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rig {

bool SyncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool SyncFolderOf(const QString& path) { return SyncFolder(QFileInfo(path).absolutePath()); }

bool MakeFolderDurably(const QString& folder) {
  const QString target = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  // The levels that are missing now, deepest first.
  QStringList missing;
  for (QString level = target; !QFileInfo::exists(level);) {
    missing.append(level);
    const QString parent = QFileInfo(level).absolutePath();
    if (parent == level) break;
    level = parent;
  }
  if (!QDir().mkpath(target)) return false;
  if (missing.isEmpty()) {
    SyncFolderOf(target);
    return true;
  }
  // Shallowest first: each level's entry is durable before its children's.
  for (auto level = missing.crbegin(); level != missing.crend(); ++level) SyncFolderOf(*level);
  return true;
}

}  // namespace rig
