#include "endurance/SwitchHistoryTexts.h"

#include "endurance/ProgrammeRules.h"
#include "storage/ModeTexts.h"

namespace rig {

QStringList SwitchHistoryHeaders() {
  return {QStringLiteral("时间"), QStringLiteral("类型"),     QStringLiteral("试验台"),
          QStringLiteral("工位"), QStringLiteral("型号"),     QStringLiteral("出厂编号"),
          QStringLiteral("方式/等级"), QStringLiteral("次数"), QStringLiteral("结果")};
}

QStringList SwitchHistoryCells(const SwitchHistoryItem& item) {
  const bool programme = item.What == SwitchHistoryItem::Kind::Programme;
  QString way, count;
  if (programme) {
    way = item.ClassName;
    count = QStringLiteral("%1/%2").arg(CountText(item.Count), CountText(item.Target));
  } else {
    way = SavedModeText(item.Mode);
    count = IsLifeMode(item.Mode) ? CountText(item.Count) : QStringLiteral("-");
  }
  return {item.Start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
          programme ? QStringLiteral("试验方案") : QStringLiteral("试验"),
          item.RigName.isEmpty() ? QStringLiteral("本机") : item.RigName,
          item.Station > 0 ? QStringLiteral("工位%1").arg(item.Station) : QString(),
          item.Model,
          item.FactoryNumber,
          way,
          count,
          item.Outcome};
}

}  // namespace rig
