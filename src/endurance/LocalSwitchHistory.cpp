#include "endurance/LocalSwitchHistory.h"

#include <QFile>
#include <algorithm>
#include <tuple>

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "report/SavedTest.h"
#include "storage/TestSearch.h"

namespace rig {
namespace {

bool SameText(const QString& stored, const QString& wanted) {
  return stored.trimmed().compare(wanted.trimmed(), Qt::CaseInsensitive) == 0;
}

// "B1拒合2次，C1拒分1次", or that there were none, as the report counts them:
// a stored mark, or where there is none, what the position rule finds.
QString RefusalsText(const RefusalCounts& c) {
  static const char16_t* const kBreaks[] = {u"A1", u"B1", u"C1"};
  QStringList parts;
  for (int b = 0; b < 3; ++b) {
    const QString name = QString::fromUtf16(kBreaks[b]);
    if (c.Closings[b]) parts << QStringLiteral("%1拒合%2次").arg(name).arg(c.Closings[b]);
    if (c.Openings[b]) parts << QStringLiteral("%1拒分%2次").arg(name).arg(c.Openings[b]);
    if (c.Others[b]) parts << QStringLiteral("%1拒动%2次").arg(name).arg(c.Others[b]);
  }
  if (!parts.isEmpty()) return parts.join(QStringLiteral("，"));
  if (c.Actions == 0) return QStringLiteral("无动作记录");
  return c.UnjudgedActions == 0 ? QStringLiteral("无拒动作") : QStringLiteral("已判定的动作中无拒动作");
}

QString TestOutcome(const QString& exeDir, const QString& autoId) {
  try {
    return RefusalsText(CountSavedRefusals(exeDir, autoId));
  } catch (const ReportError& e) {
    return QStringLiteral("明细无法读取：") + e.Message;
  }
}

QDateTime StoredTime(const QString& text) {
  return QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void AddTests(const QString& exeDir, const SwitchHistoryQuery& query, std::vector<SwitchHistoryItem>& items) {
  if (!QFile::exists(exeDir + QStringLiteral("SaveData.db"))) return;
  // The saved-test search finds the candidates (the number anywhere in the
  // text, as GBK); only whole matches are kept.
  SearchFilter filter;
  filter.OutIndex = query.FactoryNumber.trimmed();
  filter.OpenType = query.Model.trimmed();
  filter.From = QDate(1900, 1, 1);
  filter.To = QDate(9999, 12, 30);
  filter.Ascending = true;
  for (const SearchRow& row : SearchTests(exeDir, filter)) {
    if (!MatchesSwitch(query, row.OutIndex, row.OpenType)) continue;
    SwitchHistoryItem item;
    item.What = SwitchHistoryItem::Kind::Test;
    item.Station = row.Station;
    item.Model = row.OpenType;
    item.FactoryNumber = row.OutIndex;
    item.Start = StoredTime(row.StartTestTime);
    item.End = StoredTime(row.EndTestTime);
    item.Mode = row.Mode;
    item.Count = row.DoneCount.toInt();  // "-" for an operation test: 0
    item.LocalId = row.AutoID.toLongLong();
    item.Outcome = TestOutcome(exeDir, row.AutoID);
    items.push_back(std::move(item));
  }
}

void AddProgrammes(const QString& exeDir, const SwitchHistoryQuery& query, std::vector<SwitchHistoryItem>& items) {
  for (const Programme& p : TProgrammeStore(exeDir).OfSwitch(query.FactoryNumber.trimmed())) {
    if (!MatchesSwitch(query, p.Identity.FactoryNumber, p.Identity.SwitchModel)) continue;
    SwitchHistoryItem item;
    item.What = SwitchHistoryItem::Kind::Programme;
    item.Station = p.Station;
    item.Model = p.Identity.SwitchModel;
    item.FactoryNumber = p.Identity.FactoryNumber;
    item.Start = p.CreatedAt;
    item.End = p.EndedAt;
    if (!p.Blocks.empty()) item.Mode = p.Blocks.front().Mode;
    item.Count = CumulativeCount(p);
    item.ClassName = p.ClassName;
    item.Target = p.Target;
    item.Outcome = VerdictTextZh(VerdictOf(p));
    item.LocalId = p.Id;
    items.push_back(std::move(item));
  }
}

}  // namespace

bool MatchesSwitch(const SwitchHistoryQuery& query, const QString& factoryNumber, const QString& model) {
  if (query.FactoryNumber.trimmed().isEmpty() || !SameText(factoryNumber, query.FactoryNumber)) return false;
  return query.Model.trimmed().isEmpty() || SameText(model, query.Model);
}

void SortHistory(std::vector<SwitchHistoryItem>& items) {
  auto key = [](const SwitchHistoryItem& i) {
    return std::make_tuple(i.Start, i.What == SwitchHistoryItem::Kind::Programme ? 0 : 1, !i.RigName.isEmpty(),
                           i.RigName, i.LocalId);
  };
  std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
}

std::vector<SwitchHistoryItem> LocalSwitchHistory(const QString& exeDir, const SwitchHistoryQuery& query) {
  std::vector<SwitchHistoryItem> items;
  if (query.FactoryNumber.trimmed().isEmpty()) return items;
  AddTests(exeDir, query, items);
  AddProgrammes(exeDir, query, items);
  SortHistory(items);
  return items;
}

}  // namespace rig
