// The receive scan per batch: a line full of 8-byte action statuses (13-byte
// frames) read in batches of 1 to 2048 bytes, the way the reader delivers
// them, with and without the run log that records every batch.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <vector>

#include "protocol/ReceiveBuffer.h"
#include "core/RunLog.h"
#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "protocol/ReceivePath.h"

namespace {

// Back-to-back action statuses of station 1, enough for any batch size.
std::vector<uint8_t> StatusStream(size_t atLeast) {
  std::vector<uint8_t> stream;
  for (int32_t count = 1; stream.size() < atLeast; ++count) {
    uint8_t payload[rig::kActionStatusLength] = {};
    rig::WriteInt32Le(payload, count);
    payload[4] = count % 2 ? 0x15 : 0x00;
    const QByteArray frame = rig::BuildFrame(1, rig::kCodeStatus, payload, rig::kActionStatusLength);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  return stream;
}

void Feed(benchmark::State& state) {
  const auto batch = static_cast<size_t>(state.range(0));
  const std::vector<uint8_t> stream = StatusStream(1 << 20);
  rig::ReceiveBuffer rx;
  int64_t frames = 0;
  const rig::FrameDelivery deliver = [&frames] {
    ++frames;
    return true;
  };
  size_t at = 0;
  for (auto _ : state) {
    if (at + batch > stream.size()) at = 0;  // a batch may end inside a frame: it waits in the buffer
    rig::ReceiveBatch(1, rx, stream.data() + at, static_cast<int>(batch), deliver);
    at += batch;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(batch));
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_ReceiveBatch(benchmark::State& state) { Feed(state); }
BENCHMARK(BM_ReceiveBatch)->RangeMultiplier(4)->Range(1, 2048)->Arg(13)->Arg(230);

// As the program runs: every batch also becomes a "收到 ..." line in the log.
void BM_ReceiveBatchLogged(benchmark::State& state) {
  QTemporaryDir dir;
  rig::TRunLog log(dir.path() + QLatin1Char('/'));
  rig::InstallRunLog(&log);
  Feed(state);
  rig::InstallRunLog(nullptr);
}
// A bounded number of lines: the log file keeps every one.
BENCHMARK(BM_ReceiveBatchLogged)->Arg(13)->Arg(230)->Arg(2048)->Iterations(5000);

}  // namespace
