#include "lab/LabThread.h"

namespace rig::lab {

void LabThread::Start(std::function<void()> run) {
  if (thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  interrupt_.Rearm();
  thread_ = std::thread([this, run = std::move(run)] {
    run();
    std::lock_guard lock(mutex_);
    running_ = false;
    ended_.notify_all();
  });
}

void LabThread::Join(std::chrono::milliseconds grace) {
  if (!thread_.joinable()) return;
  const auto ends = [this](std::chrono::milliseconds within) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, within, [this] { return !running_; });
  };
  if (!ends(std::chrono::milliseconds(50))) {
    interrupt_.Cancel();
    if (!ends(grace)) interrupt_.Cut();
  }
  thread_.join();
}

}  // namespace rig::lab
