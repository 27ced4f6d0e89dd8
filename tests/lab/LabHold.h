#pragma once
// Another connection holding what an uploader needs (a table lock, the
// schema's advisory lock) in an open transaction, and on request the
// server's processes stopped with SIGSTOP. All is let go on Release() or,
// so that a test whose uploader cannot be stopped still ends, after
// `longest`.
#include <sys/types.h>

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "lab/LabSettings.h"

namespace rigtest {

class LabHold {
 public:
  LabHold(const rig::lab::LabSettings& settings, const QString& sql, std::chrono::milliseconds longest);
  ~LabHold() { Release(); }
  LabHold(const LabHold&) = delete;
  LabHold& operator=(const LabHold&) = delete;

  // The processes stay stopped until the hold ends.
  void Freeze(const std::vector<pid_t>& pids);
  // Thaws what was frozen, ends the transaction and waits for that.
  void Release();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  std::vector<pid_t> frozen_;
  std::thread watch_;
};

// The backend of `settings`' database that waits for a lock, 0 when none.
int BackendWaitingForALock(const rig::lab::LabSettings& settings);

// The server's main process (from its folder's postmaster.pid), 0 if unknown.
pid_t ServerProcess(const QString& serverDir);

}  // namespace rigtest
