#pragma once
// The twenty integer parameters of a station's panel, numbered 1 to 20 in
// payload order, with the edit that holds each one on either station, its
// initial text and the range its exit check enforces.
#include <QString>
#include <span>

#include "protocol/ParameterBlock.h"  // kParameterCount: one count for panel and wire

namespace rig {

// One range per exit handler: Edit5Exit, Edit7Exit, Edit10Exit, Edit18Exit.
enum class ParameterRange { Duration, DelayMs, DelaySeconds, SetCount };

struct ParameterRangeInfo {
  int Low;
  int High;
};

ParameterRangeInfo RangeBounds(ParameterRange range);
// "[1,30000]": the edit's hint.
QString RangeHint(ParameterRange range);
// "只能输入1-30000的数字": the notice when a value is out of range.
QString RangeMessage(ParameterRange range);

struct ParameterDef {
  int Number;           // 1..20
  int Mode;             // the test mode it belongs to
  int EditNumber[2];    // component number of its edit on station 1 and 2 (Edit5 / Edit29 ...)
  ParameterRange Range;
  const char* Initial;  // the edit's text when the program starts
  bool ShowsHint;       // the 单分单合 and 合分 set counts carry the hint but do not show it
};

// In parameter-number order.
std::span<const ParameterDef> Parameters();
// nullptr outside 1..20.
const ParameterDef* FindParameter(int number);

enum class ExitCheckResult {
  Accepted,    // inside the range
  NotANumber,  // empty or beyond 32 bits: silently left as it is
  OutOfRange,  // the range message is due
};

ExitCheckResult CheckParameterText(const QString& text, ParameterRange range);

// Text to integer the way the parameter edits are read everywhere (exit
// check, start command): decimal (or "$"/"0x" hexadecimal), 32-bit signed.
bool ParseParameterText(const QString& text, int* value);

}  // namespace rig
