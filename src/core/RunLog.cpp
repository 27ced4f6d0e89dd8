#include "core/RunLog.h"

#include <QDir>
#include <QFile>
#include <atomic>

#include "core/GbkText.h"

namespace rig {
namespace {
std::atomic<TRunLog*> g_installed{nullptr};
}

TRunLog::TRunLog(QString exeDir, QDate today) : exeDir_(std::move(exeDir)), fileName_(FileNameFor(exeDir_, today)) {}

QString TRunLog::FileNameFor(const QString& exeDir, const QDate& day) {
  return exeDir + QStringLiteral("Log/LogFile%1.txt").arg(day.day());
}

QString TRunLog::FileName() const {
  std::lock_guard lock(mutex_);
  return fileName_;
}

void TRunLog::Write(const QString& text) { WriteAt(text, QDateTime::currentDateTime()); }

void TRunLog::WriteAt(const QString& text, const QDateTime& now) {
  const QByteArray line = ToGbk(LogTimeStamp(now) + QStringLiteral("  ") + text + QStringLiteral("\r\n"));
  std::lock_guard lock(mutex_);
  if (!QDir().mkpath(exeDir_ + QStringLiteral("Log"))) return;
  const QString path = FileNameFor(exeDir_, now.date());
  if (path != fileName_) {
    // First line of a new day: the file of this day a month ago starts over.
    QFile::remove(path);
    fileName_ = path;
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
  file.write(line);
}

QString LogTimeStamp(const QDateTime& now) {
  const QTime t = now.time();
  if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return now.toString(QStringLiteral("yyyy-MM-dd"));
  return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void InstallRunLog(TRunLog* log) { g_installed.store(log); }

TRunLog* InstalledRunLog() { return g_installed.load(); }

void WriteLog(const QString& text) {
  if (TRunLog* log = g_installed.load()) log->Write(text);
}

}  // namespace rig
