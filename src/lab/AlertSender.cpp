#include "lab/AlertSender.h"

#include <QDateTime>
#include <QElapsedTimer>

#include "core/RunLog.h"
#include "lab/EventOutbox.h"
#include "storage/SQLiteException.h"

namespace rig::lab {
namespace {

// Events in one message at most; more wait for the next.
constexpr int kEventsPerMessage = 50;

int64_t SteadyMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

}  // namespace

AlertSender::AlertSender(AlertSettings settings, QString outboxPath, AlertPacing pacing,
                         std::chrono::milliseconds timeout)
    : settings_(std::move(settings)),
      outboxPath_(std::move(outboxPath)),
      timeout_(timeout),
      pacer_((pacing.PerMinute = settings_.PerMinute, pacing)) {}

AlertSender::~AlertSender() { Stop(); }

void AlertSender::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return;
  stopping_ = false;
  abort_.Rearm();
  thread_ = std::thread([this] { Run(); });
}

void AlertSender::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  abort_.Abort();
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void AlertSender::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

AlertStatus AlertSender::Status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

bool AlertSender::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void AlertSender::Pause(int64_t ms) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(ms, 1)), [this] { return stopping_ || woken_; });
  woken_ = false;
}

void AlertSender::Run() {
  EventOutbox outbox(outboxPath_);
  QString lastProblem;
  while (!Stopping()) {
    const int64_t wait = pacer_.NextAt() - SteadyMs();
    if (wait > 0) {
      // Not yet: events coming meanwhile join the next message.
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stopping_; });
      continue;
    }
    std::vector<RigEvent> events;
    try {
      events = outbox.WaitingForAlert(kEventsPerMessage);
    } catch (const ESQLiteException&) {
      Pause(5000);
      continue;
    }
    if (events.empty()) {
      Pause(30000);
      continue;
    }
    const QString text = AlertText(events);
    const QString problem = PostAlert(BuildAlertPost(settings_, text, events, QDateTime::currentMSecsSinceEpoch()),
                                      settings_.Kind, timeout_, &abort_);
    if (Stopping()) break;  // abandoned: the events stay for next time
    if (problem.isEmpty()) {
      try {
        outbox.AlertDone(events);
      } catch (const ESQLiteException&) {
        // Sent but still in the outbox: they will be sent once more.
      }
      pacer_.Delivered(SteadyMs());
      if (!lastProblem.isEmpty()) WriteLog(QStringLiteral("告警推送已恢复。"));
      lastProblem.clear();
      std::lock_guard lock(mutex_);
      ++status_.Messages;
      status_.Events += static_cast<int64_t>(events.size());
      status_.Failures = 0;
      status_.Problem.clear();
    } else {
      pacer_.Failed(SteadyMs());
      // One line per new problem, not one per retry.
      if (problem != lastProblem) WriteLog(QStringLiteral("告警推送失败，稍后重试：") + problem);
      lastProblem = problem;
      std::lock_guard lock(mutex_);
      status_.Failures = pacer_.Failures();
      status_.Problem = problem;
    }
  }
}

}  // namespace rig::lab
