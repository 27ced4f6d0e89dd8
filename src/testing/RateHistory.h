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

// Cycles completed in the last minute, from 100 ms slots. A slot that
// reaches back past the minute is left out, so the sum never counts a cycle
// older than 60 s (it may miss the cycles of the oldest 100 ms).
class TMinuteCount {
 public:
  static constexpr int64_t kSlotMs = 100;
  static constexpr int kSlots = 600;

  void Reset() { stamps_.fill(-1); }
  void Add(int64_t atMs, int32_t cycles);
  // Cycles in the 60 seconds up to `nowMs`.
  int32_t Sum(int64_t nowMs) const;

 private:
  std::array<int64_t, kSlots> stamps_ = Empty();  // the slot number each place holds
  std::array<int32_t, kSlots> counts_{};
  static std::array<int64_t, kSlots> Empty() {
    std::array<int64_t, kSlots> a;
    a.fill(-1);
    return a;
  }
};

}  // namespace rig

namespace rig {

// One point of the rate chart: the middle of a bucket, in minutes from the
// start, and its cycles over its own time. The last bucket counts over the
// part of it up to `untilMs` (now, or the run's end), and is left out until
// half of it has passed: a few cycles over a moment are no rate.
struct RatePoint {
  double Minutes = 0;
  double PerMinute = 0;
  int32_t Refusals = 0;
};
std::vector<RatePoint> RatePoints(const TRateHistory& history, int64_t untilMs);

}  // namespace rig
