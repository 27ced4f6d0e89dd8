#pragma once
// The thread of a lab worker (the uploader, the live writer), stopped
// without the one stopping it — often the window — waiting on the server's
// goodwill: once its owner has asked it to end, Join gives it 50 ms, then
// cancels the statement under way, gives it a grace, then cuts the socket.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "lab/LabInterrupt.h"

namespace rig::lab {

class LabThread {
 public:
  LabThread() = default;
  LabThread(const LabThread&) = delete;
  LabThread& operator=(const LabThread&) = delete;

  bool Started() const { return thread_.joinable(); }
  // Runs `run` on a thread of its own, the interrupt rearmed first.
  void Start(std::function<void()> run);
  // Waits for the run to end as above, then joins; nothing when not started.
  void Join(std::chrono::milliseconds grace);
  // For the worker's connection to attach to.
  LabInterrupt& Interrupt() { return interrupt_; }

 private:
  LabInterrupt interrupt_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace rig::lab
