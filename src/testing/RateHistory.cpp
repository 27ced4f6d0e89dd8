#include "testing/RateHistory.h"

#include <algorithm>

namespace rig {

void TRateHistory::Reset(int64_t startMs) {
  startMs_ = startMs;
  widthMs_ = kFirstWidthMs;
  used_ = 0;
  buckets_.fill({});
}

int TRateHistory::IndexFor(int64_t atMs) {
  const int64_t offset = std::max<int64_t>(0, atMs - startMs_);
  while (offset / widthMs_ >= kMaxBuckets) Coarsen();
  return static_cast<int>(offset / widthMs_);
}

void TRateHistory::Coarsen() {
  for (int i = 0; i < kMaxBuckets / 2; ++i) {
    const RateBucket& a = buckets_[2 * i];
    const RateBucket& b = buckets_[2 * i + 1];
    buckets_[i] = {a.Cycles + b.Cycles, a.Refusals + b.Refusals};
  }
  std::fill(buckets_.begin() + kMaxBuckets / 2, buckets_.end(), RateBucket{});
  used_ = (used_ + 1) / 2;
  widthMs_ *= 2;
}

void TRateHistory::Add(int64_t atMs, int32_t cycles, int32_t refusals) {
  const int i = IndexFor(atMs);
  used_ = std::max(used_, i + 1);
  buckets_[i].Cycles += cycles;
  buckets_[i].Refusals += refusals;
}

void TRateHistory::ExtendTo(int64_t nowMs) {
  if (nowMs < startMs_) return;
  used_ = std::max(used_, IndexFor(nowMs) + 1);
}

void TMinuteCount::Add(int64_t atMs, int32_t cycles) {
  const int64_t slot = atMs / kSlotMs;
  const size_t place = static_cast<size_t>(slot % kSlots);
  if (stamps_[place] != slot) {
    stamps_[place] = slot;
    counts_[place] = 0;
  }
  counts_[place] += cycles;
}

int32_t TMinuteCount::Sum(int64_t nowMs) const {
  // Slots that begin after now - 60 s hold only cycles of the last minute.
  const int64_t oldest = (nowMs - 60'000) / kSlotMs + 1;
  const int64_t newest = nowMs / kSlotMs;
  int32_t sum = 0;
  for (size_t i = 0; i < stamps_.size(); ++i)
    if (stamps_[i] >= oldest && stamps_[i] <= newest) sum += counts_[i];
  return sum;
}

}  // namespace rig

namespace rig {

std::vector<RatePoint> RatePoints(const TRateHistory& history, int64_t untilMs) {
  std::vector<RatePoint> points;
  const std::span<const RateBucket> buckets = history.Buckets();
  points.reserve(buckets.size());
  const int64_t width = history.WidthMs();
  for (size_t i = 0; i < buckets.size(); ++i) {
    const int64_t from = history.StartMs() + static_cast<int64_t>(i) * width;
    const int64_t span = std::min(untilMs - from, width);
    if (2 * span < width) break;  // only the last bucket can be this short
    points.push_back({(static_cast<double>(from - history.StartMs()) + span / 2.0) / 60'000.0,
                      buckets[i].Cycles * 60'000.0 / static_cast<double>(span), buckets[i].Refusals});
  }
  return points;
}

}  // namespace rig
