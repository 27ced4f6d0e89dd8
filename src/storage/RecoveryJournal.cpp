#include "storage/RecoveryJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/DurableFolder.h"
#include "storage/JournalFormat.h"

namespace rig {
namespace {

using Clock = std::chrono::steady_clock;

struct Command {
  enum Kind : uint8_t { kBegin, kAppend, kClear, kOverflow, kSavedAs } kind = kAppend;
  ActionRecord action;
  QDateTime when;
  QByteArray detailKey;  // kSavedAs only
  std::shared_ptr<const TestSummary> run;  // kBegin only: one pointer, not 24 texts per record
};

// An open journal file. The sync thread keeps its own reference, so the
// writer may move on to a new file while a sync of the old one finishes.
struct JournalFile {
  explicit JournalFile(int d) : fd(d) {}
  ~JournalFile() { ::close(fd); }
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;
  int fd;
};

// Each kind is told once per run.
enum Trouble : unsigned {
  kOpenTrouble = 1,
  kWriteTrouble = 2,
  kResumed = 4,
  kGaveUp = 8,
  kOverflow = 16,
  kSyncTrouble = 32,
  kRemoveTrouble = 64,
};

QString ErrorText(int err) { return QString::fromStdString(std::error_code(err, std::generic_category()).message()); }

}  // namespace

QString JournalFolder(const QString& exeDir) { return exeDir + QStringLiteral("Journal"); }

QString JournalPath(const QString& exeDir, int station) {
  return JournalFolder(exeDir) + QStringLiteral("/Station%1.journal").arg(station);
}

struct RecoveryJournal::Impl {
  Impl(const QString& exeDir, int station, JournalOptions options)
      : folder(JournalFolder(exeDir)),
        path(JournalPath(exeDir, station)),
        nativePath(QFile::encodeName(path)),
        station(station),
        options(options) {
    writer = std::thread([this] { WriterLoop(); });
    syncer = std::thread([this] { SyncLoop(); });
  }

  ~Impl() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    writerWake.notify_one();
    writer.join();
    {
      std::lock_guard lock(mutex);
      writerDone = true;
    }
    syncWake.notify_one();
    syncer.join();
  }

  // ---- window thread ----

  void Push(Command&& c) {
    bool wake = false;
    {
      std::lock_guard lock(mutex);
      if (c.kind == Command::kBegin || c.kind == Command::kClear) {
        overflowed = false;  // a new run or a new journal of it starts whole
      } else if (c.kind != Command::kAppend) {
        // A saved-as record is written even past the bound: it says what the
        // journal's whole beginning became.
      } else if (overflowed) {
        return;
      } else if (pending.size() >= options.MaxQueuedRecords) {
        // The disk cannot keep up: keep the beginning whole rather than
        // leave a gap; later actions of this run are not journaled.
        overflowed = true;
        c = Command{};
        c.kind = Command::kOverflow;
      }
      // Only the first record of a group wakes the writer: it takes the
      // whole group when it gets the lock.
      wake = pending.empty();
      pending.push_back(std::move(c));
      ++queued;
    }
    if (wake) writerWake.notify_one();
  }

  // ---- writer thread ----

  void WriterLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
      auto ready = [this] { return stopping || !pending.empty(); };
      if (unwritten.isEmpty())
        writerWake.wait(lock, ready);
      else
        writerWake.wait_until(lock, nextTry, ready);
      const bool stop = stopping;
      batch.swap(pending);  // the emptied batch goes back with its capacity
      const uint64_t last = queued;
      lock.unlock();

      for (Command& c : batch) Process(c);
      batch.clear();
      if (!unwritten.isEmpty() && (stop || Clock::now() >= nextTry)) WriteOut();
      if (stop && !unwritten.isEmpty()) GiveUp(QStringLiteral("程序退出时仍无法写入"));

      lock.lock();
      if (unwritten.isEmpty()) {
        written = last;
        if (options.Durable && file) {
          syncFile = file;
          syncTarget = last;
          syncWake.notify_one();
        } else {
          Settle(last);
        }
      }
      if (stop && pending.empty()) return;
    }
  }

  void Process(Command& c) {
    switch (c.kind) {
      case Command::kBegin:
        {
          std::lock_guard lock(mutex);
          reported = 0;
          trouble = false;
          lastTrouble.clear();
        }
        RemoveFile();
        run = std::move(c.run);
        stopped = false;
        OpenFile();
        break;
      case Command::kAppend:
        if (!run || stopped) return;
        if (!file && !OpenFile()) return;
        encoder.AppendAction(unwritten, c.action, c.when);
        if (failing) KeepWithinBound();
        break;
      case Command::kSavedAs:
        // Also when the journal stopped growing: its beginning is in the save.
        if (!run || !file) return;
        encoder.AppendSavedAs(unwritten, c.detailKey);
        if (failing) KeepWithinBound();
        break;
      case Command::kClear:
        RemoveFile();
        stopped = false;
        break;
      case Command::kOverflow:
        Report(kOverflow, QStringLiteral("工位%1恢复日志跟不上动作的速度，已停止记录；程序意外退出或断电后只能恢复此前的动作。")
                              .arg(station));
        stopped = true;
        break;
    }
  }

  // A new file holding the run's summary; the folder entry is synced so the
  // file is found after a power cut.
  bool OpenFile() {
    // The Journal folder's own entry must be durable too, or a first test
    // on a fresh installation has nowhere to be found after a power cut.
    if (!(options.Durable ? MakeFolderDurably(folder) : QDir().mkpath(folder))) {
      Report(kOpenTrouble, QStringLiteral("工位%1恢复日志无法创建文件夹 %2；测试继续，但程序意外退出或断电后本次测试无法恢复。")
                               .arg(station)
                               .arg(QDir::toNativeSeparators(folder)));
      stopped = true;
      return false;
    }
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      const int err = errno;
      Report(kOpenTrouble, QStringLiteral("工位%1恢复日志无法创建（%2：%3）；测试继续，但程序意外退出或断电后本次测试无法恢复。")
                               .arg(station)
                               .arg(QDir::toNativeSeparators(path), ErrorText(err)));
      stopped = true;
      return false;
    }
    file = std::make_shared<JournalFile>(fd);
    fileEnd = 0;
    SyncFolder();
    encoder = JournalEncoder(QRandomGenerator::global()->generate64());
    unwritten = encoder.FileHeader();
    encoder.AppendSummary(unwritten, *run);
    return true;
  }

  void RemoveFile() {
    file.reset();
    unwritten.clear();
    failing = false;
    if (::unlink(nativePath.constData()) == 0) {
      SyncFolder();
    } else if (const int err = errno; err != ENOENT && err != ENOTDIR) {
      Report(kRemoveTrouble, QStringLiteral("工位%1恢复日志无法删除（%2：%3），下次启动时可能再次提示恢复已保存的测试。")
                                 .arg(station)
                                 .arg(QDir::toNativeSeparators(path), ErrorText(err)));
    }
  }

  void SyncFolder() {
    if (!options.Durable) return;
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    if (::fsync(fd) != 0) ReportSyncTrouble(errno);
    ::close(fd);
  }

  // Writes what is waiting. A short or failed write (disk full) keeps the
  // rest for the next try: the bytes continue where the file ends, so the
  // records on disk stay a whole beginning of the run.
  void WriteOut() {
    qsizetype done = 0;
    int err = 0;
    while (done < unwritten.size()) {
      const ssize_t n = ::pwrite(file->fd, unwritten.constData() + done, unwritten.size() - done, fileEnd);
      if (n > 0) {
        done += n;
        fileEnd += n;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        err = n < 0 ? errno : ENOSPC;
        break;
      }
    }
    unwritten.remove(0, done);
    if (unwritten.isEmpty()) {
      if (failing) Report(kResumed, QStringLiteral("工位%1恢复日志已恢复写入，未丢失动作。").arg(station));
      failing = false;
      return;
    }
    failing = true;
    nextTry = Clock::now() + options.RetryInterval;
    Report(kWriteTrouble, QStringLiteral("工位%1恢复日志写入失败（%2：%3）；测试继续，磁盘可写时补写。")
                              .arg(station)
                              .arg(QDir::toNativeSeparators(path), ErrorText(err)));
    KeepWithinBound();
  }

  // What waits for a disk that stays full may not grow without end.
  void KeepWithinBound() {
    if (static_cast<size_t>(unwritten.size()) > options.MaxUnwrittenBytes)
      GiveUp(QStringLiteral("磁盘无法写入，未写入的记录超过 %1 字节").arg(options.MaxUnwrittenBytes));
  }

  void GiveUp(const QString& why) {
    unwritten.clear();
    failing = false;
    stopped = true;
    Report(kGaveUp, QStringLiteral("工位%1恢复日志已停止记录（%2）；程序意外退出或断电后只能恢复此前的动作。").arg(station).arg(why));
  }

  // ---- sync thread ----

  void SyncLoop() {
    std::unique_lock lock(mutex);
    uint64_t synced = 0;
    for (;;) {
      syncWake.wait(lock, [&] { return syncTarget > synced || writerDone; });
      if (syncTarget <= synced) return;  // the writer is done and all is synced
      const std::shared_ptr<JournalFile> f = syncFile;
      const uint64_t target = syncTarget;
      lock.unlock();
      if (::fdatasync(f->fd) != 0) ReportSyncTrouble(errno);
      lock.lock();
      synced = target;
      if (syncTarget == target) syncFile.reset();  // a removed journal is not held open
      Settle(target);
    }
  }

  void ReportSyncTrouble(int err) {
    Report(kSyncTrouble, QStringLiteral("工位%1恢复日志无法同步到磁盘（%2：%3），断电后可能丢失部分动作。")
                             .arg(station)
                             .arg(QDir::toNativeSeparators(path), ErrorText(err)));
  }

  // ---- shared ----

  // Called with the mutex held.
  void Settle(uint64_t ticket) {
    if (ticket > settled) settled = ticket;
    settledCv.notify_all();
  }

  // Called without the mutex; the handler runs without it too.
  void Report(Trouble kind, const QString& text) {
    TroubleHandler h;
    {
      std::lock_guard lock(mutex);
      if (kind != kResumed) {
        trouble = true;
        lastTrouble = text;
      }
      if (reported & kind) return;
      reported |= kind;
      h = handler;
    }
    if (h) h(text);
  }

  const QString folder;
  const QString path;
  const QByteArray nativePath;
  const int station;
  const JournalOptions options;

  // Shared, under `mutex`.
  mutable std::mutex mutex;
  std::condition_variable writerWake, syncWake, settledCv;
  std::vector<Command> pending;
  bool overflowed = false;
  bool stopping = false;
  bool writerDone = false;
  uint64_t queued = 0, written = 0, settled = 0;
  std::shared_ptr<JournalFile> syncFile;
  uint64_t syncTarget = 0;
  TroubleHandler handler;
  unsigned reported = 0;
  bool trouble = false;
  QString lastTrouble;

  // Writer thread only.
  std::vector<Command> batch;
  std::shared_ptr<const TestSummary> run;
  bool stopped = false;  // this journal stopped growing; it keeps its whole beginning
  std::shared_ptr<JournalFile> file;
  int64_t fileEnd = 0;
  JournalEncoder encoder;
  QByteArray unwritten;
  bool failing = false;
  Clock::time_point nextTry;

  std::thread writer, syncer;
};

RecoveryJournal::RecoveryJournal(const QString& exeDir, int station, JournalOptions options)
    : impl_(std::make_unique<Impl>(exeDir, station, options)) {}

RecoveryJournal::~RecoveryJournal() = default;

void RecoveryJournal::SetTroubleHandler(TroubleHandler handler) {
  std::lock_guard lock(impl_->mutex);
  impl_->handler = std::move(handler);
}

void RecoveryJournal::BeginRun(const TestSummary& run) {
  Command c;
  c.kind = Command::kBegin;
  c.run = std::make_shared<const TestSummary>(run);
  impl_->Push(std::move(c));
}

void RecoveryJournal::Append(const ActionRecord& action, const QDateTime& when) {
  Command c;
  c.action = action;
  c.when = when;
  impl_->Push(std::move(c));
}

void RecoveryJournal::MarkSaving(const QByteArray& detailKey, int timeoutMs) {
  Command c;
  c.kind = Command::kSavedAs;
  c.detailKey = detailKey;
  impl_->Push(std::move(c));
  Flush(timeoutMs);
}

void RecoveryJournal::Clear() {
  Command c;
  c.kind = Command::kClear;
  impl_->Push(std::move(c));
}

bool RecoveryJournal::Flush(int timeoutMs) {
  std::unique_lock lock(impl_->mutex);
  const uint64_t target = impl_->queued;
  return impl_->settledCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return impl_->settled >= target; });
}

JournalStatus RecoveryJournal::Status() const {
  std::lock_guard lock(impl_->mutex);
  JournalStatus s;
  s.Trouble = impl_->trouble;
  s.LastTrouble = impl_->lastTrouble;
  s.Queued = impl_->queued;
  s.Written = impl_->written;
  s.Settled = impl_->settled;
  return s;
}

QString RecoveryJournal::FilePath() const { return impl_->path; }

}  // namespace rig
