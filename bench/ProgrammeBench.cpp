// What a programme's operator steps cost on the window thread: starting a
// block (the panel set, the run stored durably in Programmes.db, the start
// command through the gate) and recording an inspection (stored durably).
// Each must stay well under 100 ms.
//
//   build/bin/ProgrammeBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "../tests/station/FakeStationView.h"
#include "../tests/support/ModelStates.h"
#include "../tests/support/RecordingNotifier.h"
#include "../tests/support/RecordingWriter.h"
#include "endurance/ProgrammeRunner.h"
#include "station/CommandGate.h"
#include "station/GlobVar.h"
#include "station/StationController.h"
#include "station/StationTestControl.h"

using namespace rig;

namespace {

// One connected station whose commands go nowhere.
struct BenchStation {
  QTemporaryDir dir;
  StationShared shared;
  rigtest::FakeStationView view;
  rigtest::RecordingNotifier notifier;
  rigtest::RecordingWriter wire;
  TStationController controller{1, shared, view, notifier};
  TCommandGate gate{1, shared.Model};
  TStationTestControl control{controller, gate};
  TProgrammeRunner runner{controller, control, dir.path() + "/"};
  BenchStation() {
    gate.SetWriter(&wire);
    rigtest::Connected(shared.Model);
    shared.Model.On(StationEvent::HandshakeSent);
    shared.Model.On(StationEvent::FirstReportLoaded);
  }
};

Programme M2() { return PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2")); }

void StartBlock(benchmark::State& state) {
  BenchStation s;
  for (auto _ : state) {
    state.PauseTiming();
    s.runner.Detach();
    s.runner.Attach(M2());
    s.wire.writes.clear();
    state.ResumeTiming();
    const QString why = s.runner.StartNextBlock();
    state.PauseTiming();
    if (!why.isEmpty() || s.wire.writes.empty()) state.SkipWithError("the block did not start");
    s.control.CancelTest();  // stored as it ends, outside the measure
    state.ResumeTiming();
  }
}
BENCHMARK(StartBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

void RecordInspection(benchmark::State& state) {
  BenchStation s;
  for (auto _ : state) {
    state.PauseTiming();
    Programme p = M2();
    p.Runs.push_back({0, 1, QDateTime::currentDateTime(), 0, 2000, false});
    s.runner.Detach();
    s.runner.Attach(p);
    Inspection i{1, QStringLiteral("外观、紧固件"), InspectionWork::Lubrication, {}, QStringLiteral("李工"), {},
                 {{QStringLiteral("合闸时间"), QStringLiteral("ms"), 41.5, 30, 50, 2}}};
    state.ResumeTiming();
    if (!s.runner.RecordInspection(i).isEmpty()) state.SkipWithError("not recorded");
  }
}
BENCHMARK(RecordInspection)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
