#include "report/ReportTexts.h"

#include "storage/ModeTexts.h"

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

}  // namespace

std::vector<ParameterText> ModeParameters(int mode, const std::array<int, 5>& params) {
  std::vector<ParameterText> out;
  for (const ParamSpec& spec : kParams) {
    if (spec.Mode != mode) continue;
    for (int i = 0; i < 5 && spec.P[i].Caption; ++i)
      out.push_back({QString::fromUtf16(spec.P[i].Caption), params[i], QString::fromUtf16(spec.P[i].Unit)});
  }
  return out;
}

QString ParametersText(int mode, const std::array<int, 5>& params) {
  QStringList parts;
  for (const ParameterText& p : ModeParameters(mode, params))
    parts << QStringLiteral("%1 %2 %3").arg(p.Caption).arg(p.Value).arg(p.Unit);
  return parts.join(QStringLiteral("，"));
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

QString ProposedFileName(const QString& outIndex, const QString& startText, const QString& what,
                         const QString& suffix) {
  QString number = outIndex.trimmed().isEmpty() ? QStringLiteral("未编号") : outIndex.trimmed();
  static const QString kBad = QStringLiteral("\\/:*?\"<>|");
  for (QChar& c : number) {
    if (kBad.contains(c) || c.unicode() < 0x20) c = QLatin1Char('_');
  }
  const QDateTime start = StoredDateTime(startText);
  QString name = number;
  if (start.isValid()) name += QLatin1Char('_') + start.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  return name + QLatin1Char('_') + what + QLatin1Char('.') + suffix;
}

}  // namespace rig
