#include "report/SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "report/ReportError.h"

namespace rig {

QString CannotWrite(const QString& path, const QString& reason) {
  return QStringLiteral("无法写入文件：%1（%2）").arg(QDir::toNativeSeparators(path), reason);
}

namespace {

void RefuseFolderTarget(const QString& path) {
  if (QFileInfo(path).isDir()) throw ReportError{CannotWrite(path, QStringLiteral("这是一个文件夹"))};
  if (!QFileInfo(path).dir().exists()) throw ReportError{CannotWrite(path, QStringLiteral("文件夹不存在"))};
}

}  // namespace

void WriteFileSafely(const QString& path, const QByteArray& bytes) {
  RefuseFolderTarget(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) throw ReportError{CannotWrite(path, file.errorString())};
  if (file.write(bytes) != bytes.size() || !file.commit()) throw ReportError{CannotWrite(path, file.errorString())};
}

void WriteThroughTempFile(const QString& path, const std::function<void(const QString& tempPath)>& write) {
  RefuseFolderTarget(path);
  const QFileInfo target(path);
  QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
  if (!temp.open()) throw ReportError{CannotWrite(path, temp.errorString())};
  const QString tempPath = temp.fileName();
  temp.close();  // kept by name; QTemporaryFile removes it on every way out
  write(tempPath);
  if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
    throw ReportError{CannotWrite(path, QString::fromLocal8Bit(std::strerror(errno)))};
  temp.setAutoRemove(false);  // it is the target now
}

}  // namespace rig
