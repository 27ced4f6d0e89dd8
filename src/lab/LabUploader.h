#pragma once
// The uploader thread: takes the oldest test from the outbox, sends it, and
// only once the server has committed it removes it from the outbox; with no
// test waiting it sends the programme snapshots, then the rig's events, the
// same way. While
// the server cannot be reached it waits with growing pauses and keeps every
// test. Nothing here ever runs on the window thread except Wake(),
// Status() and Stop(), which never wait on the network.
#include <QDateTime>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "lab/LabThread.h"
#include "lab/LabSettings.h"
#include "lab/LabUpload.h"

namespace rig::lab {

class LabConnection;
class LabError;
class LabOutbox;
class ProgrammeOutbox;

struct LabStatus {
  enum class State { Off, Connecting, Synced, Pending, Unreachable, Failing };
  State Now = State::Off;
  int Pending = 0;   // tests in the outbox
  QString Problem;   // for Unreachable and Failing
  int64_t Uploaded = 0;  // tests this uploader stored
  QDateTime OldestSaved;  // when the oldest pending test was saved (invalid: unknown)
  int Aside = 0;          // tests the server refused, kept in the outbox
  QString LastAside;      // why the newest of them was refused
  int ProgrammesAside = 0;      // programme snapshots the server refused, kept
  QString LastProgrammeAside;   // why the newest of them was refused
};

// The main window's one line: "实验室数据库：正在连接……" (until the server
// first answered or failed), "实验室数据库：已同步", "实验室数据库：待上传 N 个测试",
// "实验室数据库：无法连接：…", "实验室数据库：上传失败：…"; empty when off.
// Pending tests say how long the oldest has waited at `now`; tests and
// programmes set aside are counted after.
QString LabStatusText(const LabStatus& status, const QDateTime& now = QDateTime::currentDateTime());

// "3 分钟", "2 小时", "5 天": how long a test has waited.
QString WaitedText(qint64 seconds);

struct RetryPauses {
  std::chrono::milliseconds First{1000};
  std::chrono::milliseconds Longest{60000};
  // The pause after `failures` failures in a row (1, 2, ...): First, doubling, at most Longest.
  std::chrono::milliseconds After(int failures) const;
};

// How long the uploader may wait on the server. A table another connection
// holds or a server that does not answer fails the upload (it is tried
// again later) instead of holding the uploader.
struct UploadLimits {
  int ConnectSeconds = 5;
  std::chrono::milliseconds Lock{10000};        // each wait for a lock
  std::chrono::milliseconds Statement{120000};  // each statement, a long COPY included
  // Stop(): an idle uploader ends at once; a busy one is cancelled, and
  // cut off if it has not ended this long after.
  std::chrono::milliseconds StopGrace{1000};
};

class LabUploader {
 public:
  LabUploader(LabSettings settings, QString outboxPath, RetryPauses pauses = {}, UploadLimits limits = {});
  ~LabUploader();
  LabUploader(const LabUploader&) = delete;
  LabUploader& operator=(const LabUploader&) = delete;

  // For tests: called at points inside each upload, on the uploader thread.
  void SetHook(UploadHook hook) { hook_ = std::move(hook); }

  // Run on the uploader thread with a working connection, before the
  // outbox is sent: once after start-up (`asked` false) and after each
  // RequestReconcile() (true). Throws like an upload; it is then run again
  // after the next connection. Set before Start().
  using ReconcileTask = std::function<void(LabConnection&, LabOutbox&, bool asked)>;
  void SetReconcile(ReconcileTask task) { reconcile_ = std::move(task); }
  // Never waits: the thread runs the task when it next can.
  void RequestReconcile();

  void Start();
  // Asks the thread to end and joins it, within about StopGrace whatever the
  // server does: an upload under way is cancelled or cut off, the server
  // rolls it back and the outbox keeps the test.
  void Stop();
  // A test was added to the outbox: try now rather than after the pause.
  void Wake();
  // An event or a programme snapshot was added to the outbox: sent once no test waits.
  void WakeForEvents();
  LabStatus Status() const;

 private:
  void Run();
  void Publish(LabStatus::State state, int pending, const QString& problem);
  // The outbox's oldest pending test and the tests set aside, into the status.
  void PublishOutbox(const LabOutbox& outbox, const ProgrammeOutbox& programmes);
  // Sets the test just refused aside; false when it could not.
  bool SetAside(LabOutbox& outbox, const LabTestRecord& refused, const LabError& refusal);
  // Sleeps until woken, stopped or `pause` has passed.
  void Pause(std::chrono::milliseconds pause);

  const LabSettings settings_;
  const QString outboxPath_;
  const RetryPauses pauses_;
  const UploadLimits limits_;
  UploadHook hook_;
  ReconcileTask reconcile_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  int reconcilesAsked_ = 0;  // RequestReconcile() calls
  int reconcilesDone_ = -1;  // the asks answered; -1: not even the start-up one
  LabStatus status_;
  LabThread thread_;
};

}  // namespace rig::lab
