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
  QString Where;    // "第 1 个动作（分）后", "每个动作", "" for the set count
};

// Every parameter a mode uses, in the order of the station panel.
std::vector<ParameterText> ModeParameters(int mode, const std::array<int, 5>& params);

// "分延时 300 ms，合延时 300 ms"; empty for a code that is no mode.
QString ParametersText(int mode, const std::array<int, 5>& params);

// The operating sequence as the mode runs it, each delay between the
// actions it separates: "分 –350 ms– 合 –420 ms– 分" for an operation test,
// "分 –300 ms– 合 –200 ms– 分 –3 s– 合 –4 s– 循环" for a life test; a single
// close or open with its duration. Empty for a code that is no mode.
QString SequenceText(int mode, const std::array<int, 5>& params);

// What one count means: "1 次 = 1 个循环（分、合，2 个动作）" for a life
// test; empty for an operation test, which runs its sequence once.
QString CountMeaningText(int mode);

// "已完成", or "试验未完成（5000/6000 次）" for a life test stopped before its
// set count, "试验未完成（2/3 个动作）" for an operation test cut short.
// `endCount` is the count the test reached, `lastActionNo` the highest action
// number stored.
QString CompletionText(int mode, const std::array<int, 5>& params, int endCount, int lastActionNo);

// The set count of a life test (Param3, Param5 for mode 20); -1 for an operation test.
int SetCount(int mode, const std::array<int, 5>& params);

QString RefusalOptionText(bool ignore);  // "忽略拒动作" / "不忽略拒动作"
QString StationText(int station);        // "工位1"; empty when unknown

// A stored date-time text; invalid when it is not one.
QDateTime StoredDateTime(const QString& text);
// "2 小时 35 分 03 秒"; empty when either time is not valid or end < start.
QString DurationText(const QString& start, const QString& end);

// "工位2", with the entered station text when it says more: "工位2（三号台）".
QString StationWithAreaText(int station, const QString& workArea);

// A file name proposed for a test's report or export: the report number
// (else the factory number and start time), characters no file system takes
// replaced: "HX4417-00042_报告.pdf", "F07_20181107-140509_报告.pdf".
QString ProposedFileName(const SavedTest& test, const QString& what, const QString& suffix);
// `name` with the characters no file system takes replaced by "_".
QString SafeFileName(QString name);

}  // namespace rig
