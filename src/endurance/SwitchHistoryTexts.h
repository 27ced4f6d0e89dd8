#pragma once
// A switch's history as its window lists it: one line of texts per item.
#include <QStringList>

#include "endurance/SwitchHistory.h"

namespace rig {

// 时间, 类型, 试验台, 工位, 型号, 出厂编号, 方式/等级, 次数, 结果.
QStringList SwitchHistoryHeaders();
// The item's cells in the order of the headers: "试验" / "试验方案", "本机"
// for this rig's own, a test's mode and count ("-" for an operation test),
// a programme's class and "累计/目标" count.
QStringList SwitchHistoryCells(const SwitchHistoryItem& item);

}  // namespace rig
