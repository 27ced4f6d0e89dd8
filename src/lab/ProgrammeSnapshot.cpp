#include "lab/ProgrammeSnapshot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "endurance/ProgrammeRules.h"
#include "lab/LabRecord.h"

namespace rig::lab {
namespace {

QString TimeText(const QDateTime& t) { return t.isValid() ? ZonedTimeText(t) : QString(); }

QString WorkName(InspectionWork w) {
  switch (w) {
    case InspectionWork::Nothing: return QStringLiteral("nothing");
    case InspectionWork::Lubrication: return QStringLiteral("lubrication");
    case InspectionWork::Other: return QStringLiteral("other");
  }
  return QStringLiteral("other");
}

QJsonObject BlockJson(const Programme& p, size_t index) {
  const ProgrammeBlock& b = p.Blocks[index];
  const bool timed = b.Cycles.Cycles > 0;  // untimed: no figures rather than zeros
  return {{"Mode", b.Mode},
          {"Count", b.Count},
          {"Done", BlockDone(p, static_cast<int>(index + 1))},
          {"MeanMs", timed ? QJsonValue(b.Cycles.MeanMs) : QJsonValue()},
          {"SpreadMs", timed ? QJsonValue(b.Cycles.SpreadMs()) : QJsonValue()},
          {"SlowestMs", timed ? QJsonValue(b.Cycles.SlowestMs) : QJsonValue()},
          {"VoltageNote", b.VoltageNote},
          {"ConfirmedBy", b.VoltageConfirmedBy},
          {"ConfirmedAt", TimeText(b.VoltageConfirmedAt)}};
}

QJsonObject InspectionJson(const Inspection& i) {
  QJsonArray measurements;
  for (const Measurement& m : i.Measurements)
    measurements.append(QJsonObject{{"name", m.Name}, {"unit", m.Unit}, {"value", m.Value}, {"low", m.Low},
                                    {"high", m.High}, {"margin", m.Margin}});
  return {{"Block", i.Block},        {"Checked", i.Checked}, {"Work", WorkName(i.Work)},
          {"WorkText", i.WorkText},  {"ByWhom", i.ByWhom},   {"At", TimeText(i.At)},
          {"Measurements", measurements}};
}

}  // namespace

ProgrammeSnapshot MakeProgrammeSnapshot(const QString& rigName, const Programme& p, const QDateTime& storedAt) {
  const ProgrammeIdentity& id = p.Identity;
  QJsonObject o{{"ProgrammeId", p.LabId},
                {"RigName", rigName},
                {"LocalId", QString::number(p.Id)},
                {"Version", QString::number(p.Revision)},
                {"Station", p.Station},
                {"Model", id.SwitchModel},
                {"FactoryNumber", id.FactoryNumber},
                {"WorkArea", id.StationText},
                {"Operator", id.OperatorName},
                {"Manufacturer", id.Manufacturer},
                {"Customer", id.Customer},
                {"Remarks", id.Remarks},
                {"Standard", StandardName(p.Standard)},
                {"ClassName", p.ClassName},
                {"Target", p.Target},
                {"Cumulative", CumulativeCount(p)},
                {"Verdict", VerdictTextZh(VerdictOf(p))},
                {"CreatedAt", TimeText(p.CreatedAt)},
                {"EndedAt", TimeText(p.EndedAt)},
                {"UpdatedAt", TimeText(storedAt)}};
  if (p.Failure) {
    o["FailOperation"] = p.Failure->Operation;
    o["FailBlock"] = p.Failure->Block;
    o["FailBreak"] = FailureBreakText(*p.Failure, false);
  }
  QJsonArray blocks, inspections;
  for (size_t b = 0; b < p.Blocks.size(); ++b) blocks.append(BlockJson(p, b));
  for (const Inspection& i : p.Inspections) inspections.append(InspectionJson(i));
  o["Blocks"] = blocks;
  o["Inspections"] = inspections;
  return {p.LabId, p.Revision, QJsonDocument(o).toJson(QJsonDocument::Compact)};
}

}  // namespace rig::lab
