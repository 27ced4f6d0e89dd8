// What the live view costs. Per received action status on the window
// thread (test control, the station panel's count and breaks, the queue):
// with and without the live view listening. Per tick of the window's 200 ms
// timer: the figures, their words and the redraw of one station's view.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "protocol/StationWriter.h"
#include "station/CommandGate.h"
#include "station/RunWatch.h"
#include "station/StationController.h"
#include "station/StationTestControl.h"
#include "testing/TestModes.h"
#include "ui/RunWatchPanel.h"
#include "ui/StationPanel.h"

namespace {

class Quiet : public rig::INotifier {
 public:
  void Notice(const QString&, rig::NoticeIcon) override {}
  void Error(const QString&) override {}
  bool Confirm(const QString&) override { return false; }
  rig::UnsavedChoice AskUnsaved(const QString&) override { return rig::UnsavedChoice::Cancel; }
};

class Nowhere : public rig::IStationWriter {
 public:
  bool Write(const QByteArray&) override { return true; }
};

// Station 1 on its real panel, a 单分单合 life test running.
struct Station {
  rig::StationShared shared;
  Quiet notifier;
  Nowhere wire;
  rig::TStationPanel panel{rig::StationDesign(1)};
  rig::TStationController controller{1, shared, panel, notifier};
  rig::TCommandGate gate{1, shared.Model};
  rig::TStationTestControl control{controller, gate};
  int64_t now = 1'796'000'000'000;
  rig::TRunWatch watch{1, shared, [this] { return now; }};

  explicit Station(bool watched) {
    gate.SetWriter(&wire);
    if (watched) control.AddRunObserver(&watch);
    panel.CheckMode(rig::kLifeOpenThenClose);
    panel.SetParameterText(9, QStringLiteral("32000"));
    shared.Model.On(rig::StationEvent::PortOpened);
    shared.Model.On(rig::StationEvent::LinkAccepted);
    shared.Model.On(rig::StationEvent::StartPressed);
    control.StartTest();
  }
  // The next action status of the run, as the dispatcher hands it over.
  void Action(int64_t i) {
    uint8_t frame[rig::kFrameOverhead + rig::kActionStatusLength] = {1, rig::kCodeStatus, rig::kActionStatusLength, 0};
    rig::WriteInt32Le(frame + rig::kFrameHeaderSize, static_cast<int32_t>(i / 2 % 32000 + 1));
    frame[rig::kFrameHeaderSize + 4] = i % 2 ? 0x15 : 0x00;
    now += 10'000;
    control.OnStatusFrame(frame, static_cast<int>(sizeof frame));
    if (shared.Actions.size() > 100'000) shared.Actions.clear();  // a saved test leaves the queue
  }
};

void BM_ActionStatus(benchmark::State& state) {
  Station station(state.range(0) != 0);
  int64_t i = 0;
  for (auto _ : state) station.Action(i++);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(0) ? "live view listening" : "no live view");
}
BENCHMARK(BM_ActionStatus)->Arg(0)->Arg(1);

// The live view's own part of it: what it does with one queued action.
void BM_WatchHearsAction(benchmark::State& state) {
  Station station(false);
  rig::ActionRecord record;
  int64_t i = 0;
  for (auto _ : state) {
    record.Count = static_cast<int32_t>(++i / 2);
    record.Marks[1] = i % 1000 == 0 ? QStringLiteral("拒合") : QString();
    station.now += 10'000;
    station.watch.ActionQueued(record);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WatchHearsAction);

// One station's share of the window's tick, after `range(0)` actions.
void BM_WatchTick(benchmark::State& state) {
  Station station(true);
  for (int64_t i = 0; i < state.range(0); ++i) station.Action(i);
  rig::TRunWatchPanel& view = station.panel.RunWatch();
  for (auto _ : state) {
    station.now += 200;
    station.watch.Poll();
    view.Draw(station.watch.Figures(), station.watch);
  }
  state.counters["chart draws"] = view.ChartDraws();
}
BENCHMARK(BM_WatchTick)->Arg(1'000)->Arg(128'000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
