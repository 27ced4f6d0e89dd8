#pragma once
// Writing an output file so that nothing half written is ever left under its
// name: the content goes to a temporary file beside it, which replaces the
// target only once it is complete.
#include <QByteArray>
#include <QString>
#include <functional>

namespace rig {

// Writes `bytes` to `path` through a temporary file. Throws ReportError
// naming the file when it cannot be written.
void WriteFileSafely(const QString& path, const QByteArray& bytes);

// For writers that need a file name (libxlsxwriter): `write` fills a
// temporary file it is given (".NAME-XXXXXX.part" in the target's folder), which then goes to `path` as WriteFileSafely
// does; the temporary file is removed in every case. Throws ReportError
// naming `path` when the target cannot be written.
void WriteThroughTempFile(const QString& path, const std::function<void(const QString& tempPath)>& write);

// "无法写入文件：PATH（reason）"
QString CannotWrite(const QString& path, const QString& reason);

}  // namespace rig
