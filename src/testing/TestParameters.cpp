#include "testing/TestParameters.h"

#include <array>

#include "core/IniFile.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

using R = ParameterRange;

constexpr std::array<ParameterDef, kParameterCount> kParameters{{
    {1, kSingleClose, {5, 29}, R::Duration, "300", true},
    {2, kSingleOpen, {6, 30}, R::Duration, "300", true},
    {3, kCloseOpen, {7, 31}, R::DelayMs, "300", true},
    {4, kOpenClose, {8, 32}, R::DelayMs, "300", true},
    {5, kOpenCloseOpen, {9, 33}, R::DelayMs, "300", true},
    {6, kOpenCloseOpen, {11, 34}, R::DelayMs, "300", true},
    {7, kLifeOpenThenClose, {10, 35}, R::DelaySeconds, "10", true},
    {8, kLifeOpenThenClose, {17, 36}, R::DelaySeconds, "10", true},
    {9, kLifeOpenThenClose, {18, 37}, R::SetCount, "500", false},
    {10, kLifeCloseOpen, {12, 38}, R::DelayMs, "300", true},
    {11, kLifeCloseOpen, {13, 39}, R::DelaySeconds, "10", true},
    {12, kLifeCloseOpen, {14, 40}, R::SetCount, "500", false},
    {13, kLifeOpenClose, {15, 41}, R::DelayMs, "300", true},
    {14, kLifeOpenClose, {16, 42}, R::DelaySeconds, "10", true},
    {15, kLifeOpenClose, {19, 43}, R::SetCount, "500", true},
    {16, kLifeOpenCloseOpen, {20, 44}, R::DelayMs, "300", true},
    {17, kLifeOpenCloseOpen, {21, 45}, R::DelayMs, "300", true},
    {18, kLifeOpenCloseOpen, {22, 46}, R::DelaySeconds, "10", true},
    {19, kLifeOpenCloseOpen, {23, 47}, R::DelaySeconds, "10", true},
    {20, kLifeOpenCloseOpen, {24, 48}, R::SetCount, "500", true},
}};

}  // namespace

ParameterRangeInfo RangeBounds(ParameterRange range) {
  switch (range) {
    case R::Duration: return {1, 30000};
    case R::DelayMs: return {1, 200000};
    case R::DelaySeconds: return {1, 3000};
    case R::SetCount: return {1, 32000};
  }
  return {1, 0};
}

QString RangeHint(ParameterRange range) {
  const ParameterRangeInfo b = RangeBounds(range);
  return QStringLiteral("[%1,%2]").arg(b.Low).arg(b.High);
}

QString RangeMessage(ParameterRange range) {
  const ParameterRangeInfo b = RangeBounds(range);
  return QStringLiteral("只能输入%1-%2的数字").arg(b.Low).arg(b.High);
}

std::span<const ParameterDef> Parameters() { return kParameters; }

const ParameterDef* FindParameter(int number) {
  if (number < 1 || number > kParameterCount) return nullptr;
  return &kParameters[number - 1];
}

bool ParseParameterText(const QString& text, int* value) {
  const std::optional<int> v = ParseIniInteger(text);
  if (!v) return false;
  *value = *v;
  return true;
}

ExitCheckResult CheckParameterText(const QString& text, ParameterRange range) {
  int value = 0;
  if (!ParseParameterText(text, &value)) return ExitCheckResult::NotANumber;
  const ParameterRangeInfo b = RangeBounds(range);
  return (value < b.Low || value > b.High) ? ExitCheckResult::OutOfRange : ExitCheckResult::Accepted;
}

}  // namespace rig
