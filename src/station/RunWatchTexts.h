#pragma once
// The live view's figures in words, as the station panel and the status bar
// show them. Pure functions: tested without a window.
#include <QString>
#include <array>
#include <cstdint>

#include "station/RunWatch.h"

namespace rig {

struct RunWatchTexts {
  int ProgressValue = 0;
  int ProgressMaximum = 1;
  QString Progress;  // on the bar: "1234 / 10000 次（12.3%）"
  QString Elapsed;   // "已运行：1天 02:03:04"
  QString Rate;      // "速率：3 次/分", the cycles of the last minute
  QString SetRate;   // "设定：3.0 次/分", as the delays set it
  QString Left;      // "剩余：约 03:04:05"
  QString EndAt;     // "预计结束：12-09 14:30"
  QString Link;      // "通信：已连接"
  QString State;     // "状态：运行中"
  bool Alarm = false;  // the state line is a warning (silent controller, lost line)
  // Per break A1, B1, C1: refused closings and refused openings.
  std::array<std::array<QString, 2>, 3> Refusals;
  QString RefusedActions;  // "拒动作：3个动作" (actions, however many breaks refused) or "拒动作：无"
  QString RefusalsFoundBy;  // how they were found, for the table's tool tip; empty when none
  QString LastRefusal;     // "最后一次：第1234次", empty when none
  QString LastRefusalAt;   // "12-07 15:30"
  bool operator==(const RunWatchTexts&) const = default;
};

// "02:03:04", "1天 02:03:04".
QString DurationText(int64_t ms);
// A time of day on the panel, one form for every such time: "12-07 15:30".
QString DayTimeText(int64_t wallMs);
// "已连接", "正在重新连接", "串口未打开" and so on.
QString LinkWords(const RunWatchFigures& f);
RunWatchTexts TextsOf(const RunWatchFigures& f);
// The run log's lines when a controller goes silent and when it comes back,
// with how long it has been quiet: "工位1：控制器已1分1秒没有报告动作，测试仍在进行".
QString SilenceLogLine(int station, int64_t quietMs);
// `finished`: the end of the test came with (or as) the controller's return.
QString ResumeLogLine(int station, int64_t quietMs, bool finished = false);
// One station in the window's status bar: "工位1：运行中 1234/10000次 3次/分 拒动作2个动作".
QString StatusLine(int station, const RunWatchFigures& f);

}  // namespace rig
