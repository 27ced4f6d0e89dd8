#pragma once
// When the next message may go to a webhook: messages at least 60 s /
// PerMinute apart (events that come meanwhile are merged into the next
// one), and after failures growing pauses. Pure: times are given.
#include <chrono>
#include <cstdint>

#include "lab/LabUploader.h"

namespace rig::lab {

struct AlertPacing {
  int PerMinute = 20;
  RetryPauses Retry{std::chrono::milliseconds(2000), std::chrono::milliseconds(300000)};
};

class AlertPacer {
 public:
  explicit AlertPacer(AlertPacing pacing) : pacing_(pacing) {}
  int64_t NextAt() const { return nextAt_; }  // ms on the caller's clock
  int Failures() const { return failures_; }
  void Delivered(int64_t nowMs);
  void Failed(int64_t nowMs);

 private:
  int64_t Gap() const;
  AlertPacing pacing_;
  int64_t nextAt_ = 0;
  int failures_ = 0;
};

}  // namespace rig::lab
