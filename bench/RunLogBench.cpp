// WriteLog per line: the log file is opened, appended to and closed for every
// line, so the cost is mostly the file system's.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "core/RunLog.h"

namespace {

void BM_WriteLog(benchmark::State& state) {
  QTemporaryDir dir;
  rig::TRunLog log(dir.path() + QLatin1Char('/'));
  rig::InstallRunLog(&log);
  // A received batch of `range(0)` bytes as the receive path logs it.
  QString line = QStringLiteral("收到");
  for (int i = 0; i < state.range(0); ++i) line += QStringLiteral(" A3");
  for (auto _ : state) rig::WriteLog(line);
  rig::InstallRunLog(nullptr);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_WriteLog)->Arg(13)->Arg(230)->Arg(2048)->Iterations(5000);

}  // namespace
