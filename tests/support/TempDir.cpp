#include "support/TempDir.h"

#include <QFile>

namespace rigtest {

TempDir::TempDir() : dir_(QDir::tempPath() + QStringLiteral("/rigtest-XXXXXX")) {}

QByteArray TempDir::Read(const QString& name) const {
  QFile f(File(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempDir::Write(const QString& name, const QByteArray& bytes) const {
  QFile f(File(name));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

}  // namespace rigtest
