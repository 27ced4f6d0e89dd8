#pragma once
// A run's pace over its whole length in a fixed amount of memory: cycles and
// refusals summed into time buckets. When the buckets run out, neighbours
// are merged and each bucket covers twice the time, so a run of days keeps
// the same 120 buckets as a run of minutes.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace rig {

struct RateBucket {
  int32_t Cycles = 0;
  int32_t Refusals = 0;  // actions with at least one refused break
};

class TRateHistory {
 public:
  static constexpr int kMaxBuckets = 120;
  static constexpr int64_t kFirstWidthMs = 10'000;

  void Reset(int64_t startMs);
  // Something happened at `atMs`; times before the start count at the start.
  void Add(int64_t atMs, int32_t cycles, int32_t refusals);
  // Buckets up to `nowMs` exist, empty where nothing happened: a silent
  // controller shows as a drop to zero.
  void ExtendTo(int64_t nowMs);

  int64_t StartMs() const { return startMs_; }
  int64_t WidthMs() const { return widthMs_; }
  std::span<const RateBucket> Buckets() const { return {buckets_.data(), static_cast<size_t>(used_)}; }

 private:
  // The bucket `atMs` falls in, coarsening until it fits.
  int IndexFor(int64_t atMs);
  void Coarsen();

  int64_t startMs_ = 0;
  int64_t widthMs_ = kFirstWidthMs;
  int used_ = 0;
  std::array<RateBucket, kMaxBuckets> buckets_{};
};

// Cycles completed in the last minute, from one-second slots.
class TMinuteCount {
 public:
  void Reset() { stamps_.fill(-1); }
  void Add(int64_t atMs, int32_t cycles);
  // Cycles in the 60 seconds up to `nowMs`.
  int32_t Sum(int64_t nowMs) const;

 private:
  std::array<int64_t, 60> stamps_ = Empty();  // the second each slot holds
  std::array<int32_t, 60> counts_{};
  static std::array<int64_t, 60> Empty() {
    std::array<int64_t, 60> a;
    a.fill(-1);
    return a;
  }
};

}  // namespace rig

namespace rig {

// One point of the rate chart: the middle of a bucket, in minutes from the
// start, and the cycles per minute in it (the last bucket over the part of
// it that has passed).
struct RatePoint {
  double Minutes = 0;
  double PerMinute = 0;
  int32_t Refusals = 0;
};
std::vector<RatePoint> RatePoints(const TRateHistory& history, int64_t nowMs);

}  // namespace rig
