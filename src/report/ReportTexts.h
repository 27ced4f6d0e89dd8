#pragma once
// The texts a report and an export show for a saved test: mode with its
// parameters and units, set count, duration, refusal option, file names.
#include <QDateTime>
#include <QString>
#include <vector>

#include "report/SavedTest.h"

namespace rig {

struct ParameterText {
  QString Caption;  // "分延时"
  int Value = 0;
  QString Unit;     // "ms", "s", "次"
};

// Every parameter a mode uses, in the order of the station panel.
std::vector<ParameterText> ModeParameters(int mode, const std::array<int, 5>& params);

// "分延时 300 ms，合延时 300 ms"; empty for a code that is no mode.
QString ParametersText(int mode, const std::array<int, 5>& params);

// The set count of a life test (Param3, Param5 for mode 20); -1 for an operation test.
int SetCount(int mode, const std::array<int, 5>& params);

QString RefusalOptionText(bool ignore);  // "忽略拒动作" / "不忽略拒动作"
QString StationText(int station);        // "工位1"; empty when unknown

// A stored date-time text; invalid when it is not one.
QDateTime StoredDateTime(const QString& text);
// "2 小时 35 分 03 秒"; empty when either time is not valid or end < start.
QString DurationText(const QString& start, const QString& end);

// A file name proposed for a test's report or export: factory number and
// start time, characters no file system takes replaced: "F07_20181107-140509_报告.pdf".
QString ProposedFileName(const QString& outIndex, const QString& startText, const QString& what,
                         const QString& suffix);

}  // namespace rig
