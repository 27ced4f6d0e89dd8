#include "testing/RefusalTally.h"

#include "testing/PositionJudge.h"

namespace rig {

RefusalTally TallyRefusals(int mode, const ActionQueue& actions) {
  RefusalTally t;
  const QString close = DeviationText(Deviation::RefusedClose), open = DeviationText(Deviation::RefusedOpen);
  for (const auto& a : actions) {
    if (!a) continue;
    BreakPositions positions;
    for (int b = 0; b < kBreakCount; ++b) positions[b] = a->Closed[b] ? ContactState::Closed : ContactState::Open;
    const std::optional<BreakDeviations> judged = JudgeAction(mode, a->ActionNo, positions);
    bool marked = false;
    for (int b = 0; b < kBreakCount; ++b) {
      const QString mark = a->Marks[b].trimmed();
      marked |= !mark.isEmpty();
      Deviation found = Deviation::None;
      if (mark == close) found = Deviation::RefusedClose;
      else if (mark == open) found = Deviation::RefusedOpen;
      else if (mark.isEmpty() && judged) found = (*judged)[b];
      if (found == Deviation::None) continue;
      ++(found == Deviation::RefusedClose ? t.Closings : t.Openings)[b];
      ++(mark.isEmpty() ? t.FromPositions : t.Marked);
    }
    if (!judged && !marked) ++t.Unjudged;
  }
  return t;
}

}  // namespace rig
