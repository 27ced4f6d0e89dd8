#pragma once
// The alert thread: takes the events waiting for the group chat from the
// outbox, merges those that came together into one message, posts it and
// only once the webhook took it lets them go. Messages keep the pace the
// settings allow; a webhook that fails (HTTP error, timeout, the platform's
// error code) is tried again after growing pauses and the events stay in
// the outbox meanwhile, across restarts too. Start, Wake and Stop are for
// the window thread and never wait on the network.
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "lab/AlertPacer.h"
#include "lab/AlertPost.h"
#include "lab/AlertSettings.h"

namespace rig::lab {

struct AlertStatus {
  int64_t Messages = 0;  // messages the webhook took
  int64_t Events = 0;    // events in them
  int Failures = 0;      // in a row, now
  QString Problem;       // the last failure, while failing
};

class AlertSender {
 public:
  AlertSender(AlertSettings settings, QString outboxPath, AlertPacing pacing = {},
              std::chrono::milliseconds timeout = std::chrono::seconds(10));
  ~AlertSender();
  AlertSender(const AlertSender&) = delete;
  AlertSender& operator=(const AlertSender&) = delete;

  void Start();
  // Ends the thread at once: a POST under way is abandoned (its events stay
  // in the outbox and go again next time).
  void Stop();
  void Wake();
  AlertStatus Status() const;

 private:
  void Run();
  bool Stopping() const;
  // Sleeps until woken, stopped or `ms` passed.
  void Pause(int64_t ms);

  const AlertSettings settings_;
  const QString outboxPath_;
  const std::chrono::milliseconds timeout_;
  AlertPacer pacer_;
  AlertAbort abort_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  AlertStatus status_;
  std::thread thread_;
};

}  // namespace rig::lab
