#include "storage/JournalRecovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>

#include "core/DateTimeText.h"
#include "core/DurableFolder.h"
#include "core/GbkText.h"
#include "core/RunLog.h"
#include "core/StationConfig.h"
#include "storage/JournalFormat.h"
#include "storage/RecoveryJournal.h"
#include "storage/SQLiteException.h"

namespace rig {
namespace {

// The removal must outlast a power cut, or a saved test is offered again.
void RemoveDurably(const QString& path, bool* ok) {
  *ok = QFile::remove(path) || !QFile::exists(path);
  SyncFolderOf(path);
}

LeftoverJournal Describe(const QString& path, int station, const JournalScan& scan, int64_t fileBytes) {
  LeftoverJournal j;
  j.Path = path;
  j.Station = station;
  j.Readable = scan.HasRun;
  j.Run = scan.Run;
  j.Run.Station = station;  // the file it was found in decides
  j.ActionCount = scan.ActionCount;
  j.LastActionTime = scan.LastActionTime;
  j.Run.EndTime = scan.ActionCount > 0 ? scan.LastActionTime : scan.Run.StartTime;
  if (scan.ActionCount > 0) j.Run.CountDone = scan.LastAction.Count;
  j.TornEnd = scan.HasRun && scan.GoodBytes < fileBytes;
  j.SavedAs = scan.SavedAs;
  return j;
}

// The saved test the journal's saved-as record names; 0 when none. Throws
// ESQLiteException when SaveData.db cannot be read.
int64_t SavedTestOf(const QString& exeDir, const LeftoverJournal& j) {
  return j.SavedAs.isEmpty() ? 0 : FindSavedTest(exeDir, j.SavedAs);
}

// A journal whose test is saved already is removed, never offered. When
// SaveData.db cannot be read it is offered: RecoverJournal checks again.
bool RemovedAsSaved(const QString& exeDir, const LeftoverJournal& j) {
  int64_t id = 0;
  try {
    id = SavedTestOf(exeDir, j);
  } catch (const ESQLiteException& e) {
    WriteLog(QStringLiteral("工位%1的恢复日志无法与已保存的测试核对（%2）").arg(QString::number(j.Station), e.Message()));
    return false;
  }
  if (id == 0) return false;
  bool removed = false;
  RemoveDurably(j.Path, &removed);
  WriteLog((removed ? QStringLiteral("工位%1的测试已保存过（编号%2），恢复日志已删除：%3")
                    : QStringLiteral("工位%1的测试已保存过（编号%2），但恢复日志无法删除：%3"))
               .arg(QString::number(j.Station), QString::number(id), j.Path));
  return true;
}

// Appends the saved-as record after the journal's last whole record and syncs
// it. A torn end is cut off: it held nothing readable. Without the record the
// test is saved all the same, as before journals had one.
void MarkSavedAs(const QString& path, const JournalScan& scan, const QByteArray& detailKey) {
  QByteArray record;
  JournalEncoder(scan.RunId, scan.Records).AppendSavedAs(record, detailKey);
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  if (::pwrite(fd, record.constData(), record.size(), scan.GoodBytes) == record.size() &&
      ::ftruncate(fd, scan.GoodBytes + record.size()) == 0)
    ::fdatasync(fd);
  ::close(fd);
}

// What the operator was asked about is what is saved.
bool SameTest(const LeftoverJournal& a, const LeftoverJournal& b) {
  const TestSummary& x = a.Run;
  const TestSummary& y = b.Run;
  return a.ActionCount == b.ActionCount && a.LastActionTime == b.LastActionTime && x.Station == y.Station &&
         x.OpenType == y.OpenType && x.OutIndex == y.OutIndex && x.WorkArea == y.WorkArea &&
         x.WorkName == y.WorkName && x.StartTime == y.StartTime && x.EndTime == y.EndTime && x.Mode == y.Mode &&
         x.ParamTexts == y.ParamTexts && x.CountDone == y.CountDone && x.IgnoreRefusals == y.IgnoreRefusals;
}

QString OrUnset(const QString& text) { return text.isEmpty() ? QStringLiteral("未填写") : text; }

}  // namespace

std::vector<LeftoverJournal> FindLeftoverJournals(const QString& exeDir) {
  std::vector<LeftoverJournal> found;
  for (int station = 1; station <= kStationCount; ++station) {
    const QString path = JournalPath(exeDir, station);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) continue;
    LeftoverJournal j = Describe(path, station, ScanJournal(f), f.size());
    f.close();
    if (!RemovedAsSaved(exeDir, j)) found.push_back(std::move(j));
  }
  return found;
}

SaveOutcome RecoverJournal(const QString& exeDir, const LeftoverJournal& journal, const QDateTime& now) {
  SaveOutcome out;
  QFile f(journal.Path);
  if (!f.open(QIODevice::ReadOnly)) {
    out.Error = QStringLiteral("无法打开恢复日志 %1。").arg(journal.Path);
    return out;
  }
  ActionQueue actions;
  const JournalScan scan = ScanJournal(f, [&](ActionRecord&& a, const QDateTime&) {
    actions.push_back(std::make_unique<ActionRecord>(std::move(a)));
  });
  const LeftoverJournal read = Describe(journal.Path, journal.Station, scan, f.size());
  f.close();
  if (!read.Readable) {
    out.Error = QStringLiteral("恢复日志 %1 已损坏，没有可恢复的测试。").arg(journal.Path);
    return out;
  }
  // Killed after its own commit last time: saved, only the journal is left.
  int64_t savedId = 0;
  try {
    savedId = SavedTestOf(exeDir, read);
  } catch (const ESQLiteException& e) {
    out.Error = QStringLiteral("无法确认恢复日志的测试是否已保存：%1").arg(e.Message());
    return out;
  }
  if (savedId != 0) {
    out.Ok = true;
    out.AutoId = savedId;
    out.DetailPath = FromGbk(read.SavedAs);
  } else if (!SameTest(read, journal)) {
    out.Error = QStringLiteral("恢复日志 %1 已与询问时不同，未保存；下次启动时将再次询问。").arg(journal.Path);
    return out;
  } else {
    out = WriteTestRecord(exeDir, read.Run, actions, now,
                          [&](const QByteArray& detailKey) { MarkSavedAs(journal.Path, scan, detailKey); });
    if (!out.Ok) return out;
  }
  bool removed = false;
  RemoveDurably(journal.Path, &removed);
  if (!removed) out.Error = QStringLiteral("测试已保存，但恢复日志 %1 无法删除。").arg(journal.Path);
  return out;
}

bool DiscardJournal(const LeftoverJournal& journal) {
  bool removed = false;
  RemoveDurably(journal.Path, &removed);
  return removed;
}

QString RecoveryQuestion(const LeftoverJournal& j) {
  if (!j.Readable)
    return QStringLiteral("工位%1的恢复日志不完整，没有可恢复的测试。选择“确定”或“取消”都将删除它。").arg(j.Station);
  QString facts = QStringLiteral("开关型号 %1，出厂编号 %2，开始于 %3，已记录 %4 次动作")
                      .arg(OrUnset(j.Run.OpenType), OrUnset(j.Run.OutIndex), DateTimeText(j.Run.StartTime),
                           QString::number(j.ActionCount));
  if (j.ActionCount > 0) facts += QStringLiteral("，最后一次动作于 %1").arg(DateTimeText(j.LastActionTime));
  // Said apart from the facts: an action may have come after the last one counted.
  const QString torn = j.TornEnd ? QStringLiteral("\n（恢复日志末尾不完整，最后一次动作可能未记录）") : QString();
  return QStringLiteral("工位%1有一个未保存的测试（%2）。%3\n选择“确定”将恢复并保存这个测试；选择“取消”将丢弃它。")
      .arg(QString::number(j.Station), facts, torn);
}

}  // namespace rig
