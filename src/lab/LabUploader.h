#pragma once
// The uploader thread: takes the oldest test from the outbox, sends it, and
// only once the server has committed it removes it from the outbox. While
// the server cannot be reached it waits with growing pauses and keeps every
// test. Nothing here ever runs on the window thread except Wake(),
// Status() and Stop(), which never touch the network.
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "lab/LabSettings.h"
#include "lab/LabUpload.h"

namespace rig::lab {

struct LabStatus {
  enum class State { Off, Synced, Pending, Unreachable, Failing };
  State Now = State::Off;
  int Pending = 0;   // tests in the outbox
  QString Problem;   // for Unreachable and Failing
  int64_t Uploaded = 0;  // tests this uploader stored
};

// The main window's one line: "实验室数据库：已同步", "实验室数据库：待上传 N 个测试",
// "实验室数据库：无法连接：…", "实验室数据库：上传失败：…"; empty when off.
QString LabStatusText(const LabStatus& status);

struct RetryPauses {
  std::chrono::milliseconds First{1000};
  std::chrono::milliseconds Longest{60000};
  // The pause after `failures` failures in a row (1, 2, ...): First, doubling, at most Longest.
  std::chrono::milliseconds After(int failures) const;
};

class LabUploader {
 public:
  LabUploader(LabSettings settings, QString outboxPath, RetryPauses pauses = {});
  ~LabUploader();
  LabUploader(const LabUploader&) = delete;
  LabUploader& operator=(const LabUploader&) = delete;

  // For tests: called at points inside each upload, on the uploader thread.
  void SetHook(UploadHook hook) { hook_ = std::move(hook); }

  void Start();
  // Asks the thread to end and joins it; an upload under way is abandoned
  // (the server rolls it back) once its current network call returns.
  void Stop();
  // A test was added to the outbox: try now rather than after the pause.
  void Wake();
  LabStatus Status() const;

 private:
  void Run();
  void Publish(LabStatus::State state, int pending, const QString& problem);
  // Sleeps until woken, stopped or `pause` has passed.
  void Pause(std::chrono::milliseconds pause);

  const LabSettings settings_;
  const QString outboxPath_;
  const RetryPauses pauses_;
  UploadHook hook_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  LabStatus status_;
  std::thread thread_;
};

}  // namespace rig::lab
