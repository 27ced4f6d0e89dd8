#include "storage/SavedTestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/GbkText.h"

namespace rig {

QString ResolveDetailPath(const QString& exeDir, const QByteArray& storedPath) {
  const QString stored = FromGbk(storedPath);
  if (stored.isEmpty() || QFileInfo(stored).isFile()) return stored;
  // Both separators: rows written on Windows use backslashes.
  const QStringList parts = stored.split(QRegularExpression(QStringLiteral("[/\\\\]")), Qt::SkipEmptyParts);
  if (parts.size() >= 2) {
    const QString local = exeDir + parts[parts.size() - 2] + QLatin1Char('/') + parts.last();
    if (QFileInfo(local).isFile()) return local;
  }
  return stored;
}

bool IsDetailFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile() || info.isSymLink() || !path.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive)) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = file.read(16);
  return head.isEmpty() || head == QByteArray("SQLite format 3\0", 16);
}

}  // namespace rig
