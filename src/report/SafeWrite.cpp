#include "report/SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

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
  RefuseFolderTarget(path);  // before any work
  // Beside the target, not in the system temp folder: a run killed half way
  // leaves its remains where the output was going, for the next run or the
  // folder's owner to clean, and the finished file never crosses a disk.
  const QFileInfo target(path);
  QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral("-XXXXXX.part"));
  if (!temp.open()) throw ReportError{CannotWrite(temp.fileTemplate(), temp.errorString())};
  temp.close();  // kept by name; QTemporaryFile removes it on every way out
  write(temp.fileName());
  // The finished file goes to its place like every other output, with the
  // permissions a new file normally gets.
  QFile done(temp.fileName());
  if (!done.open(QIODevice::ReadOnly)) throw ReportError{CannotWrite(path, done.errorString())};
  WriteFileSafely(path, done.readAll());
}

}  // namespace rig
