#include "endurance/Programme.h"

#include <QLocale>
#include <array>

#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

constexpr std::array<EnduranceClass, 2> kBreakerClasses{{{u"M1", 2000}, {u"M2", 10000}}};
constexpr std::array<EnduranceClass, 3> kDisconnectorClasses{{{u"M0", 1000}, {u"M1", 2000}, {u"M2", 10000}}};
constexpr int32_t kPresetBlock = 2000;

QString Thousands(int64_t n) { return QLocale(QLocale::English).toString(static_cast<qlonglong>(n)); }

}  // namespace

std::span<const EnduranceClass> ClassesOf(EnduranceStandard standard) {
  switch (standard) {
    case EnduranceStandard::Breaker: return kBreakerClasses;
    case EnduranceStandard::Disconnector: return kDisconnectorClasses;
    case EnduranceStandard::Custom: break;
  }
  return {};
}

QString StandardName(EnduranceStandard standard) {
  switch (standard) {
    case EnduranceStandard::Breaker: return QStringLiteral("IEC 62271-100 / GB/T 1984");
    case EnduranceStandard::Disconnector: return QStringLiteral("IEC 62271-102");
    case EnduranceStandard::Custom: break;
  }
  return QStringLiteral("自定义");
}

MeasurementJudgement Judge(const Measurement& m) {
  if (m.Value < m.Low || m.Value > m.High) return MeasurementJudgement::Fail;
  if (m.Value - m.Low < m.Margin || m.High - m.Value < m.Margin) return MeasurementJudgement::Marginal;
  return MeasurementJudgement::Pass;
}

QString JudgementText(MeasurementJudgement j) {
  switch (j) {
    case MeasurementJudgement::Pass: return QStringLiteral("合格");
    case MeasurementJudgement::Marginal: return QStringLiteral("临界");
    case MeasurementJudgement::Fail: break;
  }
  return QStringLiteral("不合格");
}

std::vector<std::pair<int, int32_t>> DefaultDelays(int mode) {
  std::vector<std::pair<int, int32_t>> delays;
  for (const ParameterDef& p : Parameters())
    if (p.Mode == mode && p.Range != ParameterRange::SetCount) delays.emplace_back(p.Number, QByteArray(p.Initial).toInt());
  return delays;
}

Programme PresetProgramme(EnduranceStandard standard, const QString& className, int mode, int32_t customTarget) {
  Programme p;
  p.Standard = standard;
  p.ClassName = className;
  for (const EnduranceClass& c : ClassesOf(standard))
    if (QString::fromUtf16(c.Name) == className) p.Target = c.Operations;
  if (standard == EnduranceStandard::Custom) p.Target = customTarget;
  for (int32_t left = p.Target; left > 0; left -= kPresetBlock) {
    ProgrammeBlock b;
    b.Mode = mode;
    b.Delays = DefaultDelays(mode);
    b.Count = std::min(left, kPresetBlock);
    p.Blocks.push_back(b);
  }
  return p;
}

std::optional<ProgrammeProblem> CheckProgramme(const Programme& p) {
  const auto problem = [](QString field, QString message) {
    return std::optional<ProgrammeProblem>(ProgrammeProblem{std::move(field), std::move(message)});
  };
  if (p.Standard != EnduranceStandard::Custom) {
    bool known = false;
    for (const EnduranceClass& c : ClassesOf(p.Standard)) known |= QString::fromUtf16(c.Name) == p.ClassName;
    if (!known) return problem(QStringLiteral("等级"), QStringLiteral("%1没有等级“%2”").arg(StandardName(p.Standard), p.ClassName));
  } else if (p.ClassName.trimmed().isEmpty()) {
    return problem(QStringLiteral("等级"), QStringLiteral("请填写等级名称"));
  }
  if (p.Target <= 0) return problem(QStringLiteral("目标次数"), QStringLiteral("目标次数必须大于0"));
  if (p.Blocks.empty()) return problem(QStringLiteral("试验段"), QStringLiteral("试验方案至少要有一段"));
  const ParameterRangeInfo counts = RangeBounds(ParameterRange::SetCount);
  int64_t total = 0;
  for (size_t i = 0; i < p.Blocks.size(); ++i) {
    const ProgrammeBlock& b = p.Blocks[i];
    const QString block = QStringLiteral("第%1段").arg(i + 1);
    if (!IsLifeMode(b.Mode)) return problem(block + QStringLiteral("试验方式"), QStringLiteral("只能选寿命试验"));
    if (b.Count < counts.Low || b.Count > counts.High)
      return problem(block + QStringLiteral("次数"), RangeMessage(ParameterRange::SetCount));
    for (const auto& [number, value] : b.Delays) {
      const ParameterDef* def = FindParameter(number);
      if (!def || def->Mode != b.Mode || def->Range == ParameterRange::SetCount)
        return problem(block + QStringLiteral("参数%1").arg(number), QStringLiteral("不是这种试验方式的延时"));
      const ParameterRangeInfo r = RangeBounds(def->Range);
      if (value < r.Low || value > r.High) return problem(block + QStringLiteral("参数%1").arg(number), RangeMessage(def->Range));
    }
    total += b.Count;
  }
  if (total < p.Target)
    return problem(QStringLiteral("试验段"), QStringLiteral("各段次数之和（%1）少于%2的%3次")
                                               .arg(Thousands(total), p.ClassName, Thousands(p.Target)));
  return std::nullopt;
}

}  // namespace rig
