#include "core/RunLog.h"

#include <QDir>
#include <QFile>
#include <atomic>

#include "core/GbkText.h"

namespace rig {
namespace {
std::atomic<TRunLog*> g_installed{nullptr};
}

TRunLog::TRunLog(QString exeDir, QDate today)
    : exeDir_(std::move(exeDir)), fileName_(FileNameFor(exeDir_, today)), fileDay_(today) {}

QString TRunLog::FileNameFor(const QString& exeDir, const QDate& day) {
  return exeDir + QStringLiteral("Log/LogFile%1.txt").arg(day.day());
}

QString TRunLog::FileName() const {
  std::lock_guard lock(mutex_);
  return fileName_;
}

void TRunLog::Write(const QString& text) {
  std::lock_guard lock(mutex_);
  AppendLocked(text, QDateTime::currentDateTime());
}

void TRunLog::WriteAt(const QString& text, const QDateTime& now) {
  std::lock_guard lock(mutex_);
  AppendLocked(text, now);
}

void TRunLog::AppendLocked(const QString& text, const QDateTime& now) {
  const QByteArray line = ToGbk(LogTimeStamp(now) + QStringLiteral("  ") + text + QStringLiteral("\r\n"));
  if (!QDir().mkpath(exeDir_ + QStringLiteral("Log"))) return;
  const bool lateLine = now.date() < fileDay_ && latest_.isValid() && now.secsTo(latest_) < 60;
  if (now.date() != fileDay_ && !lateLine) {
    // First line of a new day: the file of this day a month ago starts over.
    const QString path = FileNameFor(exeDir_, now.date());
    if (path != fileName_) QFile::remove(path);
    fileName_ = path;
    fileDay_ = now.date();
  }
  if (!latest_.isValid() || now > latest_) latest_ = now;
  QFile file(fileName_);
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
