#include "station/StationEventWatch.h"

#include <QStringList>

namespace rig {
namespace {

const char* const kBreakNames[3] = {"A1", "B1", "C1"};

QString RefusalDetail(const RunWatchFigures& f, int32_t newActions) {
  QStringList marks;
  for (int b = 0; b < 3; ++b)
    if (!f.LastMarks[b].isEmpty()) marks << QLatin1String(kBreakNames[b]) + f.LastMarks[b];
  // Under 忽略拒动作 nothing is marked: the positions told.
  QString what = marks.isEmpty() ? QStringLiteral("位置与应有的不符") : marks.join(QLatin1Char(' '));
  QString detail = QStringLiteral("%1（第%2次）").arg(what).arg(f.LastRefusalCount);
  if (newActions > 1) detail += QStringLiteral("，共%1个动作").arg(newActions);
  return detail;
}

}  // namespace

std::vector<RigEvent> TStationEventWatch::Follow(const RunWatchFigures& f) {
  std::vector<RigEvent> out;
  auto add = [&](RigEventKind kind, QString detail) {
    RigEvent e;
    e.Station = station_;
    e.Kind = kind;
    e.Detail = std::move(detail);
    out.push_back(std::move(e));
  };
  const bool lost = f.Link == LinkState::Lost || f.Reconnecting;
  const bool finished = f.HasRun && f.Run == RunState::Ended && f.Ending == RunEnding::Finished;
  // A run that started since the last look counts from nothing, however
  // far it got before this look.
  if (seen_ && f.Runs != runs_) {
    refused_ = 0;
    finished_ = false;
  }
  // The first look is the state the program found: nothing has happened yet.
  if (seen_) {
    if (f.RefusedActions > refused_) add(RigEventKind::Refusal, RefusalDetail(f, f.RefusedActions - refused_));
    if (f.Silent && !silent_)
      add(RigEventKind::Silent, QStringLiteral("控制器已%1秒没有报告动作").arg(f.SilentForMs / 1000));
    if (lost && !lost_)
      add(RigEventKind::LineLost, f.HasRun && (f.Run == RunState::Running || f.Ending == RunEnding::LineCut)
                                      ? QStringLiteral("测试中断，第%1次").arg(f.CountDone)
                                      : QString());
    if (finished && !finished_) {
      add(RigEventKind::Finished, f.Plan.Life ? QStringLiteral("%1/%2次").arg(f.CountDone).arg(f.Plan.SetCount)
                                              : QStringLiteral("%1个动作").arg(f.ActionsDone));
    }
  }
  seen_ = true;
  runs_ = f.Runs;
  refused_ = f.RefusedActions;  // a new run starts again from 0
  silent_ = f.Silent;
  lost_ = lost;
  finished_ = finished;
  return out;
}

}  // namespace rig
