#include "lab/LabOverview.h"

#include <libpq-fe.h>

#include <algorithm>

#include "lab/LabConnection.h"
#include "lab/RigEventText.h"

namespace rig::lab {
namespace {

QString LinkWords(const QString& link) {
  if (link == QLatin1String("connected")) return QStringLiteral("已连接");
  if (link == QLatin1String("connecting")) return QStringLiteral("正在连接");
  if (link == QLatin1String("lost")) return QStringLiteral("线路中断");
  if (link == QLatin1String("open")) return QStringLiteral("串口已打开，未连接");
  return QStringLiteral("串口未打开");
}

QString StateWords(const OverviewRow& r) {
  if (r.SilentSeconds > 0) return QStringLiteral("控制器无响应 %1 秒").arg(r.SilentSeconds);
  static const std::pair<const char*, const char16_t*> kStates[] = {
      {"idle", u"空闲"},           {"waiting", u"等待控制器应答开始"}, {"running", u"运行中"},
      {"paused", u"拒动作，等待继续测试"}, {"finished", u"测试已结束"},      {"cancelled", u"测试已取消"},
      {"stopped", u"测试已停止"},    {"received", u"收到的动作"}};
  for (const auto& [name, words] : kStates)
    if (r.RunState == QLatin1String(name)) return QString::fromUtf16(words);
  return r.RunState;
}

QString LeftWords(std::optional<int> seconds) {
  if (!seconds) return QString();
  const int s = *seconds;
  if (s >= 86400) return QStringLiteral("%1天%2小时").arg(s / 86400).arg(s % 86400 / 3600);
  if (s >= 3600) return QStringLiteral("%1小时%2分").arg(s / 3600).arg(s % 3600 / 60);
  return QStringLiteral("%1分").arg(std::max(1, s / 60));
}

bool NeedsAttention(const OverviewRow& r) {
  return r.AgeSeconds >= kNoWordAfterSeconds || r.SilentSeconds > 0 || r.Link == QLatin1String("lost") ||
         r.RunState == QLatin1String("paused");
}

}  // namespace

std::vector<OverviewRow> FetchOverview(const LabSettings& settings, int connectSeconds) {
  LabConnection c(settings, connectSeconds, [] { return false; });
  c.Exec("SET statement_timeout = 10000");
  PgResult r = c.Query(
      "SELECT l.rig_name, l.station, extract(epoch FROM now() - l.updated_at)::bigint, l.link, l.run_state, "
      "l.count_done, l.count_set, coalesce(l.seconds_left::text, ''), l.refusals, l.silent_seconds, "
      "l.pending_uploads, coalesce(e.kind, ''), coalesce(to_char(e.happened_at AT TIME ZONE 'UTC', "
      "'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), ''), coalesce(e.detail, ''), l.programme, l.block "
      "FROM lab_live l LEFT JOIN LATERAL (SELECT kind, happened_at, detail FROM lab_events e "
      "WHERE e.rig_name = l.rig_name AND e.station = l.station ORDER BY happened_at DESC LIMIT 1) e ON true");
  std::vector<OverviewRow> rows;
  const auto text = [&](int row, int col) { return QString::fromUtf8(PQgetvalue(r.get(), row, col)); };
  for (int i = 0; i < PQntuples(r.get()); ++i) {
    OverviewRow o;
    o.RigName = text(i, 0);
    o.Station = text(i, 1).toInt();
    o.AgeSeconds = text(i, 2).toLongLong();
    o.Link = text(i, 3);
    o.RunState = text(i, 4);
    o.CountDone = text(i, 5).toInt();
    o.CountSet = text(i, 6).toInt();
    if (!text(i, 7).isEmpty()) o.SecondsLeft = text(i, 7).toInt();
    o.Refusals = text(i, 8).toInt();
    o.SilentSeconds = text(i, 9).toInt();
    o.PendingUploads = text(i, 10).toInt();
    o.LastKind = text(i, 11);
    o.LastAt = QDateTime::fromString(text(i, 12), Qt::ISODate);
    o.LastDetail = text(i, 13);
    o.Programme = text(i, 14);
    o.Block = text(i, 15);
    rows.push_back(std::move(o));
  }
  return rows;
}

QString NoWordText(int64_t ageSeconds) {
  if (ageSeconds < kNoWordAfterSeconds) return QString();
  return QStringLiteral("已 %1 分钟无消息").arg(ageSeconds / 60);
}

std::vector<OverviewLine> OverviewLines(std::vector<OverviewRow> rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const OverviewRow& a, const OverviewRow& b) {
    const bool aa = NeedsAttention(a), ba = NeedsAttention(b);
    if (aa != ba) return aa;
    if (a.RigName != b.RigName) return a.RigName < b.RigName;
    return a.Station < b.Station;
  });
  std::vector<OverviewLine> lines;
  for (const OverviewRow& r : rows) {
    OverviewLine l;
    l.Rig = r.RigName;
    l.Station = QStringLiteral("工位%1").arg(r.Station);
    l.Link = LinkWords(r.Link);
    l.State = StateWords(r);
    if (r.Refusals > 0) l.State += QStringLiteral("，拒动作%1个").arg(r.Refusals);
    l.Count = r.CountSet > 0 ? QStringLiteral("%1/%2次").arg(r.CountDone).arg(r.CountSet)
                             : QStringLiteral("%1次").arg(r.CountDone);
    l.Left = LeftWords(r.SecondsLeft);
    if (!r.Programme.isEmpty()) l.Programme = r.Programme + QStringLiteral("，") + r.Block;
    if (const std::optional<RigEventKind> kind = KindFromName(r.LastKind)) {
      l.LastEvent = r.LastAt.toLocalTime().toString(QStringLiteral("MM-dd HH:mm ")) + KindWords(*kind);
      if (!r.LastDetail.isEmpty()) l.LastEvent += QStringLiteral("：") + r.LastDetail;
    }
    l.NoWord = NoWordText(r.AgeSeconds);
    l.Attention = NeedsAttention(r);
    lines.push_back(std::move(l));
  }
  return lines;
}

}  // namespace rig::lab
