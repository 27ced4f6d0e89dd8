#include "report/ReportTexts.h"

#include <algorithm>

#include "storage/ModeTexts.h"
#include "testing/PositionJudge.h"

namespace rig {
namespace {

struct ParamSpec {
  int Mode;
  struct {
    const char16_t* Caption;
    const char16_t* Unit;
  } P[5];  // nullptr caption: unused
};

// Captions and units of the station panel's entry rows.
constexpr ParamSpec kParams[] = {
    {1, {{u"持续", u"ms"}}},
    {2, {{u"持续", u"ms"}}},
    {3, {{u"合延时", u"ms"}}},
    {4, {{u"分延时", u"ms"}}},
    {5, {{u"分延时", u"ms"}, {u"合延时", u"ms"}}},
    {17, {{u"分延时", u"s"}, {u"合延时", u"s"}, {u"设定次数", u"次"}}},
    {18, {{u"合延时", u"ms"}, {u"分延时", u"s"}, {u"设定次数", u"次"}}},
    {19, {{u"分延时", u"ms"}, {u"合延时", u"s"}, {u"设定次数", u"次"}}},
    {20, {{u"分延时", u"ms"}, {u"合延时", u"ms"}, {u"分延时", u"s"}, {u"合延时", u"s"}, {u"设定次数", u"次"}}},
};

QString Step(int mode, int actionNo) {
  const std::optional<ContactState> p = ExpectedPosition(mode, actionNo);
  return p == ContactState::Closed ? QStringLiteral("合") : QStringLiteral("分");
}

}  // namespace

std::vector<ParameterText> ModeParameters(int mode, const std::array<int, 5>& params) {
  std::vector<ParameterText> out;
  for (const ParamSpec& spec : kParams) {
    if (spec.Mode != mode) continue;
    const int steps = ActionsPerRun(mode);
    for (int i = 0; i < 5 && spec.P[i].Caption; ++i) {
      // Delays follow the actions in order; a single action has a duration.
      QString where;
      if (steps == 1) where = QStringLiteral("动作持续时间");
      else if (i < steps) where = QStringLiteral("第 %1 个动作（%2）后").arg(i + 1).arg(Step(mode, i + 1));
      out.push_back({QString::fromUtf16(spec.P[i].Caption), params[i], QString::fromUtf16(spec.P[i].Unit), where});
    }
  }
  return out;
}

QString ParametersText(int mode, const std::array<int, 5>& params) {
  QStringList parts;
  for (const ParameterText& p : ModeParameters(mode, params))
    parts << QStringLiteral("%1 %2 %3").arg(p.Caption).arg(p.Value).arg(p.Unit);
  return parts.join(QStringLiteral("，"));
}

QString SequenceText(int mode, const std::array<int, 5>& params) {
  const std::vector<ParameterText> p = ModeParameters(mode, params);
  const int steps = ActionsPerRun(mode);
  if (p.empty() || steps == 0) return QString();
  if (steps == 1) return QStringLiteral("%1（持续 %2 %3）").arg(Step(mode, 1)).arg(p[0].Value).arg(p[0].Unit);
  const bool life = IsLifeMode(mode);
  QString out = Step(mode, 1);
  for (int i = 0; i < steps; ++i) {
    const bool last = i == steps - 1;
    if (last && !life) break;  // an operation test ends with its last action
    out += QStringLiteral(" –%1 %2– ").arg(p[i].Value).arg(p[i].Unit);
    out += last ? QStringLiteral("循环") : Step(mode, i + 2);
  }
  return out;
}

QString CountMeaningText(int mode) {
  if (!IsLifeMode(mode)) return QString();
  const int steps = ActionsPerRun(mode);
  QStringList words;
  for (int i = 1; i <= steps; ++i) words << Step(mode, i);
  return QStringLiteral("1 次 = 1 个循环（%1，%2 个动作）").arg(words.join(QStringLiteral("、"))).arg(steps);
}

QString CompletionText(int mode, const std::array<int, 5>& params, int endCount, int lastActionNo) {
  if (IsLifeMode(mode)) {
    const int set = SetCount(mode, params);
    if (set > 0 && endCount < set) return QStringLiteral("试验未完成（%1/%2 次）").arg(endCount).arg(set);
    return QStringLiteral("已完成");
  }
  const int steps = ActionsPerRun(mode);
  if (steps > 0 && lastActionNo < steps)
    return QStringLiteral("试验未完成（%1/%2 个动作）").arg(std::max(lastActionNo, 0)).arg(steps);
  return QStringLiteral("已完成");
}

int SetCount(int mode, const std::array<int, 5>& params) {
  if (!IsLifeMode(mode)) return -1;
  return mode == 20 ? params[4] : params[2];
}

QString RefusalOptionText(bool ignore) {
  return ignore ? QStringLiteral("忽略拒动作") : QStringLiteral("不忽略拒动作");
}

QString StationText(int station) {
  return station == 1 || station == 2 ? QStringLiteral("工位%1").arg(station) : QString();
}

QDateTime StoredDateTime(const QString& text) {
  return QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DurationText(const QString& start, const QString& end) {
  const QDateTime from = StoredDateTime(start), to = StoredDateTime(end);
  if (!from.isValid() || !to.isValid() || to < from) return QString();
  const qint64 s = from.secsTo(to);
  return QStringLiteral("%1 小时 %2 分 %3 秒")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString StationWithAreaText(int station, const QString& workArea) {
  const QString number = StationText(station);
  const QString area = workArea.trimmed();
  // "2" or "工位2" typed into the station edit says nothing more.
  if (area.isEmpty() || area == number || area == QString::number(station)) return number.isEmpty() ? area : number;
  return number.isEmpty() ? area : QStringLiteral("%1（%2）").arg(number, area);
}

QString ProposedFileName(const SavedTest& test, const QString& what, const QString& suffix) {
  QString name = test.ReportNumber.trimmed();
  if (name.isEmpty()) {
    name = test.OutIndex.trimmed().isEmpty() ? QStringLiteral("未编号") : test.OutIndex.trimmed();
    const QDateTime start = StoredDateTime(test.StartText);
    if (start.isValid()) name += QLatin1Char('_') + start.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  }
  return SafeFileName(name) + QLatin1Char('_') + what + QLatin1Char('.') + suffix;
}

QString SafeFileName(QString name) {
  static const QString kBad = QStringLiteral("\\/:*?\"<>|");
  for (QChar& c : name) {
    if (kBad.contains(c) || c.unicode() < 0x20) c = QLatin1Char('_');
  }
  return name;
}

}  // namespace rig
