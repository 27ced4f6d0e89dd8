#include "station/RunWatchTexts.h"

#include <QDateTime>
#include <QStringList>
#include <algorithm>

namespace rig {
namespace {

const QString kNone = QStringLiteral("—");
const QLatin1String kBreakNames[3] = {QLatin1String("A1"), QLatin1String("B1"), QLatin1String("C1")};

QString RateNumber(double perMinute) { return QString::number(perMinute, 'f', 1); }

QString RunWords(const RunWatchFigures& f) {
  if (f.Silent) return QStringLiteral("控制器无响应 %1").arg(DurationText(f.SilentForMs));
  if (f.Paused) return QStringLiteral("拒动作，等待继续测试");
  if (f.ResumedAfterMs) return QStringLiteral("已恢复，停了 %1").arg(DurationText(*f.ResumedAfterMs));
  switch (f.Run) {
    case RunState::Idle: return QStringLiteral("空闲");
    case RunState::StartRequested: return QStringLiteral("等待控制器应答开始");
    case RunState::Running: return QStringLiteral("运行中");
    case RunState::Ended: break;
  }
  switch (f.Ending) {
    case RunEnding::Cancelled: return QStringLiteral("测试已取消，未保存");
    case RunEnding::Finished: return QStringLiteral("测试已结束，未保存");
    case RunEnding::NotStarted: return QStringLiteral("收到的动作，未保存");
    case RunEnding::LineCut:
    case RunEnding::None: break;
  }
  return QStringLiteral("测试已停止，未保存");
}

// "45秒", "1分1秒", "26小时3分": as a sentence in the log says it.
QString SpokenDuration(int64_t ms) {
  const int64_t s = ms / 1000;
  if (s < 60) return QStringLiteral("%1秒").arg(s);
  if (s < 3600) return QStringLiteral("%1分%2秒").arg(s / 60).arg(s % 60);
  return QStringLiteral("%1小时%2分").arg(s / 3600).arg(s % 3600 / 60);
}

int Percent10(int32_t done, int32_t of) { return of > 0 ? int(int64_t(done) * 1000 / of) : 0; }

}  // namespace

QString DurationText(int64_t ms) {
  const int64_t s = std::max<int64_t>(0, ms / 1000);
  const QString hms = QStringLiteral("%1:%2:%3")
                          .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                          .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                          .arg(s % 60, 2, 10, QLatin1Char('0'));
  return s >= 86400 ? QStringLiteral("%1天 %2").arg(s / 86400).arg(hms) : hms;
}

QString DayTimeText(int64_t wallMs) {
  return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("MM-dd HH:mm"));
}

QString LinkWords(const RunWatchFigures& f) {
  if (f.Reconnecting) return QStringLiteral("线路中断，正在重新连接");
  switch (f.Link) {
    case LinkState::Closed: return QStringLiteral("串口未打开");
    case LinkState::Open: return QStringLiteral("串口已打开，未连接");
    case LinkState::Connecting: return QStringLiteral("正在连接");
    case LinkState::Connected: return QStringLiteral("已连接");
    case LinkState::Lost: return QStringLiteral("线路中断");
  }
  return {};
}

RunWatchTexts TextsOf(const RunWatchFigures& f) {
  RunWatchTexts t;
  const RunPlan& plan = f.Plan;
  if (!f.HasRun) {
    t.Progress = QStringLiteral("没有测试");
  } else if (plan.Life) {
    t.ProgressMaximum = std::max(1, plan.SetCount);
    t.ProgressValue = std::clamp(f.CountDone, 0, t.ProgressMaximum);
    const int p = Percent10(t.ProgressValue, plan.SetCount);
    t.Progress = QStringLiteral("%1 / %2 次（%3.%4%）").arg(f.CountDone).arg(plan.SetCount).arg(p / 10).arg(p % 10);
  } else {
    t.ProgressMaximum = std::max(1, plan.ActionsPerCycle);
    t.ProgressValue = std::clamp(f.ActionsDone, 0, t.ProgressMaximum);
    QStringList refused;
    for (int b = 0; b < 3; ++b)
      if (!f.LastMarks[b].isEmpty()) refused << QStringLiteral("%1%2").arg(kBreakNames[b]).arg(f.LastMarks[b]);
    const QString outcome = f.ActionsDone == 0 ? QStringLiteral("等待动作")
                            : refused.isEmpty() ? QStringLiteral("动作正常")
                                                : refused.join(QStringLiteral("，"));
    t.Progress = QStringLiteral("操作实验 第%1步，共%2步：%3")
                     .arg(f.ActionsDone)
                     .arg(plan.ActionsPerCycle)
                     .arg(outcome);
  }
  t.Elapsed = QStringLiteral("已运行：") + (f.HasRun ? DurationText(f.ElapsedMs) : kNone);
  const QString rate = f.CyclesLastMinute ? QStringLiteral("%1 次/分").arg(*f.CyclesLastMinute) : kNone;
  t.Rate = QStringLiteral("速率：") + rate;
  t.SetRate = QStringLiteral("设定：") +
              (f.ExpectedRatePerMinute ? RateNumber(*f.ExpectedRatePerMinute) + QStringLiteral(" 次/分") : kNone);
  t.Left = QStringLiteral("剩余：") + (f.LeftMs ? QStringLiteral("约 ") + DurationText(*f.LeftMs) : kNone);
  t.EndAt = QStringLiteral("预计结束：") + (f.EndAtMs ? DayTimeText(*f.EndAtMs) : kNone);
  t.Link = QStringLiteral("通信：") + LinkWords(f);
  t.State = QStringLiteral("状态：") + RunWords(f);
  t.Alarm = f.Silent || f.Reconnecting || f.Link == LinkState::Lost;
  for (int b = 0; b < 3; ++b)
    t.Refusals[b] = {QString::number(f.Refusals[b].Closings), QString::number(f.Refusals[b].Openings)};
  t.RefusedActions = QStringLiteral("拒动作：") +
                     (f.RefusedActions ? QStringLiteral("%1个动作").arg(f.RefusedActions) : QStringLiteral("无"));
  if (f.RefusedActions > 0) {
    const int32_t marked = f.RefusedActions - f.JudgedActions;
    t.RefusalsFoundBy = f.JudgedActions == 0 ? QStringLiteral("拒动作由拒动作检查标记")
                        : marked == 0 ? QStringLiteral("拒动作按断口位置判定（忽略拒动作时控制器不等待，也不标记）")
                                      : QStringLiteral("%1个动作由拒动作检查标记，%2个按断口位置判定")
                                            .arg(marked)
                                            .arg(f.JudgedActions);
  }
  if (f.LastRefusalAtMs) {
    t.LastRefusal = QStringLiteral("最后一次：第%1次").arg(f.LastRefusalCount);
    t.LastRefusalAt = DayTimeText(*f.LastRefusalAtMs);
  }
  return t;
}

QString SilenceLogLine(int station, int64_t quietMs) {
  return QStringLiteral("工位%1：控制器已%2没有报告动作，测试仍在进行").arg(station).arg(SpokenDuration(quietMs));
}

QString ResumeLogLine(int station, int64_t quietMs, bool finished) {
  return QStringLiteral("工位%1：控制器恢复报告动作（停了%2）%3")
      .arg(station)
      .arg(SpokenDuration(quietMs), finished ? QStringLiteral("，测试已结束") : QString());
}

QString StatusLine(int station, const RunWatchFigures& f) {
  QString line = QStringLiteral("工位%1：").arg(station);
  if (f.Link != LinkState::Connected || f.Reconnecting) line += LinkWords(f) + QStringLiteral("，");
  line += RunWords(f);
  if (f.HasRun && f.Plan.Life && f.Run != RunState::Idle) {
    line += QStringLiteral(" %1/%2次").arg(f.CountDone).arg(f.Plan.SetCount);
    if (f.CyclesLastMinute) line += QStringLiteral(" %1次/分").arg(*f.CyclesLastMinute);
  }
  if (f.HasRun && f.Run != RunState::Idle && f.RefusedActions)
    line += QStringLiteral(" 拒动作%1个动作").arg(f.RefusedActions);
  return line;
}

}  // namespace rig
