// What a programme's operator steps cost on the window thread: starting a
// block (the panel set, the run stored durably in Programmes.db, the start
// command through the gate) and recording an inspection (stored durably).
// Each must stay well under 100 ms. And the programme's outputs for a whole
// M2 programme of 10,000 operations (five blocks, an inspection with
// measurements after each of the first four): the report must take under
// 2 s; the workbook and the CSV are measured beside it.
//
//   build/bin/ProgrammeBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include "../tests/endurance/ProgrammeSamples.h"
#include "../tests/station/FakeStationView.h"
#include "../tests/support/ModelStates.h"
#include "../tests/support/RecordingNotifier.h"
#include "../tests/support/RecordingWriter.h"
#include "endurance/ProgrammeExport.h"
#include "endurance/ProgrammeReport.h"
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
    s.runner.Attach(p);
    Inspection i{1, QStringLiteral("外观、紧固件"), InspectionWork::Lubrication, {}, QStringLiteral("李工"), {},
                 {{QStringLiteral("合闸时间"), QStringLiteral("ms"), 41.5, 30, 50, 2}}};
    state.ResumeTiming();
    if (!s.runner.RecordInspection(i).isEmpty()) state.SkipWithError("not recorded");
  }
}
BENCHMARK(RecordInspection)->Unit(benchmark::kMillisecond)->UseRealTime();

// A finished M2 programme: 10,000 operations in five blocks, 13 values measured at each inspection.
const Programme& TenThousand() {
  static const Programme p = rigtest::SampleProgramme({false, 10});
  return p;
}

void ProgrammeReportPdf(benchmark::State& state) {
  QTemporaryDir dir;
  for (auto _ : state) WriteProgrammeReport(TenThousand(), dir.path() + "/report.pdf", {QStringLiteral("HX4417-P00001")});
  if (CumulativeCount(TenThousand()) != 10000) state.SkipWithError("not a 10,000-operation programme");
}
BENCHMARK(ProgrammeReportPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void ProgrammeWorkbook(benchmark::State& state) {
  QTemporaryDir dir;
  for (auto _ : state) WriteProgrammeXlsx(TenThousand(), QStringLiteral("HX4417-P00001"), dir.path() + "/record.xlsx");
}
BENCHMARK(ProgrammeWorkbook)->Unit(benchmark::kMillisecond)->UseRealTime();

void ProgrammeCsvFile(benchmark::State& state) {
  QTemporaryDir dir;
  for (auto _ : state) WriteProgrammeCsv(TenThousand(), QStringLiteral("HX4417-P00001"), dir.path() + "/record.csv");
}
BENCHMARK(ProgrammeCsvFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts for the PDF
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
