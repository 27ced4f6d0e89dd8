#include "testing/PositionJudge.h"

#include "testing/TestModes.h"

namespace rig {
namespace {

constexpr ContactState kOpen = ContactState::Open;
constexpr ContactState kClosed = ContactState::Closed;

// What each mode's actions do, in order. A life test repeats its sequence;
// an operation test runs it once.
struct Sequence {
  int Mode;
  int Length;
  ContactState Steps[4];
};

constexpr Sequence kSequences[] = {
    {kSingleClose, 1, {kClosed}},
    {kSingleOpen, 1, {kOpen}},
    {kCloseOpen, 2, {kClosed, kOpen}},
    {kOpenClose, 2, {kOpen, kClosed}},
    {kOpenCloseOpen, 3, {kOpen, kClosed, kOpen}},
    {kLifeOpenThenClose, 2, {kOpen, kClosed}},
    {kLifeCloseOpen, 2, {kClosed, kOpen}},
    {kLifeOpenClose, 2, {kOpen, kClosed}},
    {kLifeOpenCloseOpen, 4, {kOpen, kClosed, kOpen, kClosed}},
};

const Sequence* SequenceOf(int mode) {
  for (const Sequence& s : kSequences)
    if (s.Mode == mode) return &s;
  return nullptr;
}

}  // namespace

std::optional<ContactState> ExpectedPosition(int mode, int32_t actionNo) {
  const Sequence* s = SequenceOf(mode);
  if (!s) return std::nullopt;
  if (IsLifeMode(mode)) {
    // Cycles repeat; the remainder is taken so that 0 and negative numbers
    // fall on the step they would in an endless sequence.
    const int step = static_cast<int>(((int64_t{actionNo} - 1) % s->Length + s->Length) % s->Length);
    return s->Steps[step];
  }
  // A single close or open is one action whatever is reported after it.
  if (s->Length == 1) return s->Steps[0];
  if (actionNo < 1 || actionNo > s->Length) return std::nullopt;
  return s->Steps[actionNo - 1];
}

BreakDeviations Deviations(ContactState expected, const BreakPositions& positions) {
  BreakDeviations out{};
  const Deviation wrong = expected == kClosed ? Deviation::RefusedClose : Deviation::RefusedOpen;
  for (int b = 0; b < kBreakCount; ++b) out[b] = positions[b] == expected ? Deviation::None : wrong;
  return out;
}

std::optional<BreakDeviations> JudgeAction(int mode, int32_t actionNo, const BreakPositions& positions) {
  const std::optional<ContactState> expected = ExpectedPosition(mode, actionNo);
  if (!expected) return std::nullopt;
  return Deviations(*expected, positions);
}

QString DeviationText(Deviation d) {
  switch (d) {
    case Deviation::RefusedClose: return QStringLiteral("拒合");
    case Deviation::RefusedOpen: return QStringLiteral("拒分");
    case Deviation::None: break;
  }
  return QString();
}

int ActionsPerRun(int mode) {
  const Sequence* s = SequenceOf(mode);
  return s ? s->Length : 0;
}

}  // namespace rig
