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
  QString Rate;      // "速率：2.9 次/分", over the last minute
  QString SetRate;   // "设定：3.0 次/分", as the delays set it
  QString Left;      // "剩余：约 03:04:05"
  QString EndAt;     // "预计结束：12月09日 14:30"
  QString Link;      // "通信：已连接"
  QString State;     // "状态：运行中"
  bool Alarm = false;  // the state line is a warning (silent controller, lost line)
  // Per break A1, B1, C1: refused closings and refused openings.
  std::array<std::array<QString, 2>, 3> Refusals;
  QString LastRefusal;    // "第1234次" or "无"
  QString LastRefusalAt;  // "12-07 15:30:02"
  bool operator==(const RunWatchTexts&) const = default;
};

// "02:03:04", "1天 02:03:04".
QString DurationText(int64_t ms);
// "已连接", "正在重新连接", "串口未打开" and so on.
QString LinkWords(const RunWatchFigures& f);
RunWatchTexts TextsOf(const RunWatchFigures& f);
// The run log's lines when a controller goes silent and when it comes back,
// with how long it has been quiet: "工位1：控制器已1分1秒没有报告动作，测试仍在进行".
QString SilenceLogLine(int station, int64_t quietMs);
QString ResumeLogLine(int station, int64_t quietMs);
// One station in the window's status bar: "工位1：运行中 1234/10000次 2.9次/分".
QString StatusLine(int station, const RunWatchFigures& f);

}  // namespace rig
