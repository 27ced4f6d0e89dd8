#include "lab/LabRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QUuid>
#include <cstdlib>

#include "core/DateTimeText.h"
#include "storage/RecordStore.h"
#include "testing/RefusalTally.h"

namespace rig::lab {

QByteArray CopyField(const QString& text) {
  QByteArray out;
  const QByteArray utf8 = text.toUtf8();
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

QByteArray CopyActionLines(const ActionQueue& actions) {
  QByteArray out;
  out.reserve(static_cast<qsizetype>(actions.size()) * 40);
  int64_t seq = 0;
  for (const auto& a : actions) {
    if (!a) continue;
    out += QByteArray::number(++seq);
    out += '\t';
    out += QByteArray::number(a->Count);
    out += '\t';
    out += QByteArray::number(a->ActionNo);
    for (uint8_t closed : a->Closed) out += closed ? "\t1" : "\t0";
    for (const QString& mark : a->Marks) {
      out += '\t';
      out += CopyField(mark);
    }
    out += '\n';
  }
  return out;
}

QString ZonedTimeText(const QDateTime& t) {
  const int offset = t.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return DateTimeText(t) + QStringLiteral("%1%2:%3")
                               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QDateTime ParseLabTime(const QString& text) {
  const QDateTime local = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  if (!local.isValid() || text.size() == 19) return local;
  const QTime offset = QTime::fromString(text.mid(20), QStringLiteral("HH:mm"));
  if (text.size() != 25 || !offset.isValid() || (text[19] != QLatin1Char('+') && text[19] != QLatin1Char('-')))
    return QDateTime();
  const int seconds = (text[19] == QLatin1Char('-') ? -1 : 1) * offset.msecsSinceStartOfDay() / 1000;
  return QDateTime(local.date(), local.time(), QTimeZone(seconds));
}

LabTestRecord MakeLabRecord(const QString& rigName, const JustSavedTest& saved, const QString& savedAt) {
  LabTestRecord r;
  r.TestId = QUuid::createUuid().toString(QUuid::WithoutBraces);
  r.RigName = rigName;
  r.LocalId = saved.Outcome.AutoId;
  r.Station = saved.Test.Station;
  r.OpenType = saved.Test.OpenType;
  r.OutIndex = saved.Test.OutIndex;
  r.WorkArea = saved.Test.WorkArea;
  r.WorkName = saved.Test.WorkName;
  r.StartTime = saved.Test.StartTime.isValid() ? ZonedTimeText(saved.Test.StartTime) : QString();
  r.EndTime = saved.Test.EndTime.isValid() ? ZonedTimeText(saved.Test.EndTime) : QString();
  r.SavedAt = savedAt;
  r.Mode = saved.Test.Mode;
  r.Params = saved.Params;
  r.CountDone = saved.Test.CountDone;
  r.IgnoreRefusals = saved.Test.IgnoreRefusals;
  r.DetailName = saved.Outcome.DetailPath;
  r.ActionLines = CopyActionLines(saved.Actions);
  r.ActionCount = r.ActionLines.count('\n');
  const RefusalTally tally = TallyRefusals(saved.Test.Mode, saved.Actions);
  r.RefusedClosings = tally.Closings;
  r.RefusedOpenings = tally.Openings;
  r.RefusalsFoundBy = tally.Marked > 0 ? (tally.FromPositions > 0 ? QStringLiteral("both") : QStringLiteral("marked"))
                                       : (tally.FromPositions > 0 ? QStringLiteral("positions") : QString());
  return r;
}

QByteArray LabTestRecord::SummaryJson() const {
  QJsonArray params, closings, openings;
  for (int p : Params) params.append(p);
  for (int n : RefusedClosings) closings.append(n);
  for (int n : RefusedOpenings) openings.append(n);
  const QJsonObject o{{"TestId", TestId},       {"RigName", RigName},
                      {"LocalId", QString::number(LocalId)},
                      {"Station", Station},     {"OpenType", OpenType},
                      {"OutIndex", OutIndex},   {"WorkArea", WorkArea},
                      {"WorkName", WorkName},   {"StartTime", StartTime},
                      {"EndTime", EndTime},     {"SavedAt", SavedAt},
                      {"Mode", Mode},           {"Params", params},
                      {"CountDone", CountDone}, {"IgnoreRefusals", IgnoreRefusals},
                      {"DetailName", DetailName}, {"ActionCount", QString::number(ActionCount)},
                      {"RefusedClosings", closings}, {"RefusedOpenings", openings},
                      {"RefusalsFoundBy", RefusalsFoundBy}};
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

LabTestRecord LabTestRecord::FromJson(const QByteArray& json, QByteArray actionLines) {
  const QJsonObject o = QJsonDocument::fromJson(json).object();
  LabTestRecord r;
  r.TestId = o["TestId"].toString();
  r.RigName = o["RigName"].toString();
  r.LocalId = o["LocalId"].toString().toLongLong();
  r.Station = o["Station"].toInt();
  r.OpenType = o["OpenType"].toString();
  r.OutIndex = o["OutIndex"].toString();
  r.WorkArea = o["WorkArea"].toString();
  r.WorkName = o["WorkName"].toString();
  r.StartTime = o["StartTime"].toString();
  r.EndTime = o["EndTime"].toString();
  r.SavedAt = o["SavedAt"].toString();
  r.Mode = o["Mode"].toInt();
  const QJsonArray params = o["Params"].toArray();
  for (int i = 0; i < 5 && i < params.size(); ++i) r.Params[i] = params[i].toInt();
  r.CountDone = o["CountDone"].toInt();
  r.IgnoreRefusals = o["IgnoreRefusals"].toBool();
  r.DetailName = o["DetailName"].toString();
  r.ActionCount = o["ActionCount"].toString().toLongLong();
  // Records queued by an older program carry no refusal figures: zeros.
  for (int b = 0; b < 3; ++b) {
    r.RefusedClosings[b] = o["RefusedClosings"].toArray().at(b).toInt();
    r.RefusedOpenings[b] = o["RefusedOpenings"].toArray().at(b).toInt();
  }
  r.RefusalsFoundBy = o["RefusalsFoundBy"].toString();
  r.ActionLines = std::move(actionLines);
  return r;
}

}  // namespace rig::lab
