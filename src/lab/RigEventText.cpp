#include "lab/RigEventText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <array>

namespace rig::lab {
namespace {

struct KindRow {
  RigEventKind Kind;
  const char* Name;
  const char16_t* Words;
};

constexpr std::array<KindRow, 6> kKinds = {{
    {RigEventKind::Refusal, "refusal", u"拒动作"},
    {RigEventKind::Silent, "silent", u"控制器无响应"},
    {RigEventKind::LineLost, "line_lost", u"线路中断"},
    {RigEventKind::Finished, "finished", u"测试结束"},
    {RigEventKind::Saved, "saved", u"测试已保存"},
    {RigEventKind::SaveFailed, "save_failed", u"保存失败"},
}};

const KindRow& RowOf(RigEventKind kind) {
  for (const KindRow& r : kKinds)
    if (r.Kind == kind) return r;
  return kKinds[0];
}

}  // namespace

QString KindName(RigEventKind kind) { return QLatin1String(RowOf(kind).Name); }

std::optional<RigEventKind> KindFromName(const QString& name) {
  for (const KindRow& r : kKinds)
    if (name == QLatin1String(r.Name)) return r.Kind;
  return std::nullopt;
}

QString KindWords(RigEventKind kind) { return QString::fromUtf16(RowOf(kind).Words); }

QString EventLine(const RigEvent& e) {
  QString line = QStringLiteral("%1 工位%2 %3 %4")
                     .arg(e.RigName)
                     .arg(e.Station)
                     .arg(e.HappenedAt.toLocalTime().toString(QStringLiteral("MM-dd HH:mm")), KindWords(e.Kind));
  if (!e.Detail.isEmpty()) line += QStringLiteral("：") + e.Detail;
  return line;
}

QByteArray EventJson(const RigEvent& e) {
  QJsonObject o;
  o[QStringLiteral("event_id")] = e.EventId;
  o[QStringLiteral("rig_name")] = e.RigName;
  o[QStringLiteral("station")] = e.Station;
  o[QStringLiteral("happened_at")] = e.HappenedAt.toString(Qt::ISODateWithMs);
  o[QStringLiteral("kind")] = KindName(e.Kind);
  o[QStringLiteral("test_id")] = e.TestId;
  o[QStringLiteral("detail")] = e.Detail;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<RigEvent> EventFromJson(const QByteArray& json) {
  const QJsonObject o = QJsonDocument::fromJson(json).object();
  const std::optional<RigEventKind> kind = KindFromName(o.value(QStringLiteral("kind")).toString());
  if (!kind) return std::nullopt;
  RigEvent e;
  e.EventId = o.value(QStringLiteral("event_id")).toString();
  e.RigName = o.value(QStringLiteral("rig_name")).toString();
  e.Station = o.value(QStringLiteral("station")).toInt();
  e.HappenedAt = QDateTime::fromString(o.value(QStringLiteral("happened_at")).toString(), Qt::ISODateWithMs);
  e.Kind = *kind;
  e.TestId = o.value(QStringLiteral("test_id")).toString();
  e.Detail = o.value(QStringLiteral("detail")).toString();
  return e;
}

}  // namespace rig::lab
