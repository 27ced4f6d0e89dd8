#pragma once
// A folder for the files a fuzz target writes for every input: in memory
// where there is a tmpfs, so the disk does not set the pace.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace rigfuzz {

// The folder's path, ending with '/'; made on first use, kept for the run.
inline const QString& ScratchDir() {
  static QTemporaryDir* dir = new QTemporaryDir(
      (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
      QStringLiteral("/rig-fuzz-XXXXXX"));
  static const QString path = dir->path() + QLatin1Char('/');
  return path;
}

}  // namespace rigfuzz
