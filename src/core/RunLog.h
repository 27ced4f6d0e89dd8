#pragma once
// The run log: one text file per day of the month, Log/LogFile<day>.txt under
// the program's folder, one time-stamped GBK line per event. Written from the
// window thread and both reader threads; a line that cannot be written is
// dropped and the caller never hears of it.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <mutex>

namespace rig {

class TRunLog {
 public:
  // `exeDir` ends with a separator. The file in use starts as `today`'s file,
  // so a file left from the same day of an earlier month is appended to.
  explicit TRunLog(QString exeDir, QDate today = QDate::currentDate());

  // Reads the clock under the lock, so lines reach the files in time order.
  void Write(const QString& text);
  // A line stamped `now`. A line stamped just before a change of day that
  // arrives after it (a late writer at midnight) goes into the new day's
  // file instead of starting the old day's file over; a clock set back by
  // more than a minute does change the file.
  void WriteAt(const QString& text, const QDateTime& now);

  // Path of the file in use (LogFileName).
  QString FileName() const;
  static QString FileNameFor(const QString& exeDir, const QDate& day);

 private:
  mutable std::mutex mutex_;  // one line at a time: concurrent writers lose nothing
  QString exeDir_;
  QString fileName_;
  QDate fileDay_;     // the day fileName_ belongs to
  QDateTime latest_;  // the latest stamp written

  void AppendLocked(const QString& text, const QDateTime& now);
};

// "yyyy-MM-dd HH:mm:ss", or just the date when the time is 00:00:00.
QString LogTimeStamp(const QDateTime& now);

// The process-wide log that WriteLog appends to; nullptr uninstalls it.
void InstallRunLog(TRunLog* log);
TRunLog* InstalledRunLog();

// Appends one line to the installed log; does nothing when none is installed.
void WriteLog(const QString& text);

}  // namespace rig
