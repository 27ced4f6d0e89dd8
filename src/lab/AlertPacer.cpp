#include "lab/AlertPacer.h"

#include <algorithm>

namespace rig::lab {

int64_t AlertPacer::Gap() const { return 60000 / std::max(1, pacing_.PerMinute); }

void AlertPacer::Delivered(int64_t nowMs) {
  failures_ = 0;
  nextAt_ = nowMs + Gap();
}

void AlertPacer::Failed(int64_t nowMs) {
  ++failures_;
  nextAt_ = nowMs + std::max<int64_t>(Gap(), pacing_.Retry.After(failures_).count());
}

}  // namespace rig::lab
