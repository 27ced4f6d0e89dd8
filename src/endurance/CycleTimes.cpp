#include "endurance/CycleTimes.h"

#include <algorithm>
#include <cmath>

#include "endurance/ProgrammeRules.h"

namespace rig {

void CycleStats::Add(double ms) {
  ++Cycles;
  const double delta = ms - MeanMs;
  MeanMs += delta / static_cast<double>(Cycles);
  SumSquares += delta * (ms - MeanMs);
  SlowestMs = std::max(SlowestMs, ms);
}

double CycleStats::SpreadMs() const { return Cycles > 1 ? std::sqrt(SumSquares / static_cast<double>(Cycles - 1)) : 0; }

std::optional<double> TCycleClock::Action(int32_t count, bool firstOfCycle, int64_t arrivedMs) {
  if (!firstOfCycle) return std::nullopt;
  if (!last_) {
    last_ = Mark{count, arrivedMs};
    return std::nullopt;  // where a cycle began is not known: wait for the next one
  }
  const bool next = count == last_->Count + 1;
  const double ms = static_cast<double>(arrivedMs - last_->At);
  last_ = Mark{count, arrivedMs};
  if (!next || ms < 0) return std::nullopt;  // counts lost on the line, or a clock set back
  return ms;
}

QString DriftWarning(const std::vector<CycleStats>& blocks, double limit, int64_t minCycles) {
  if (blocks.size() < 2 || blocks[0].Cycles < minCycles || blocks[0].MeanMs <= 0) return QString();
  for (size_t b = blocks.size(); b-- > 1;) {
    if (blocks[b].Cycles < minCycles) continue;
    const double drift = blocks[b].MeanMs / blocks[0].MeanMs - 1;
    if (drift <= limit) return QString();  // the latest measured block is within the limit
    return QStringLiteral("第%1段平均循环时间比第1段长%2%（限值%3%）")
        .arg(b + 1)
        .arg(static_cast<int>(std::lround(drift * 100)))
        .arg(static_cast<int>(std::lround(limit * 100)));
  }
  return QString();
}

QString CycleStatsText(const CycleStats& s) {
  if (s.Cycles == 0) return QStringLiteral("尚无测得的循环");
  return QStringLiteral("平均 %1 s，离散 %2 s，最慢 %3 s（%4个循环）")
      .arg(s.MeanMs / 1000, 0, 'f', 2)
      .arg(s.SpreadMs() / 1000, 0, 'f', 2)
      .arg(s.SlowestMs / 1000, 0, 'f', 2)
      .arg(CountText(s.Cycles));
}

}  // namespace rig
