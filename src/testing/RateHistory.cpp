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
  const int64_t second = atMs / 1000;
  const size_t slot = static_cast<size_t>(second % 60);
  if (stamps_[slot] != second) {
    stamps_[slot] = second;
    counts_[slot] = 0;
  }
  counts_[slot] += cycles;
}

int32_t TMinuteCount::Sum(int64_t nowMs) const {
  const int64_t now = nowMs / 1000;
  int32_t sum = 0;
  for (size_t i = 0; i < stamps_.size(); ++i)
    if (stamps_[i] > now - 60 && stamps_[i] <= now) sum += counts_[i];
  return sum;
}

}  // namespace rig

namespace rig {

std::vector<RatePoint> RatePoints(const TRateHistory& history, int64_t nowMs) {
  std::vector<RatePoint> points;
  const std::span<const RateBucket> buckets = history.Buckets();
  points.reserve(buckets.size());
  const int64_t width = history.WidthMs();
  for (size_t i = 0; i < buckets.size(); ++i) {
    const int64_t from = history.StartMs() + static_cast<int64_t>(i) * width;
    const int64_t span = std::clamp<int64_t>(nowMs - from, 1, width);
    points.push_back({(static_cast<double>(from - history.StartMs()) + span / 2.0) / 60'000.0,
                      buckets[i].Cycles * 60'000.0 / static_cast<double>(span), buckets[i].Refusals});
  }
  return points;
}

}  // namespace rig
