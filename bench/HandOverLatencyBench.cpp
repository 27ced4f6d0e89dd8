// From the moment an action status is written to the line to the moment the
// window thread holds it as a frame: the reader's 20 ms poll, the receive
// scan and the blocking hand-over, over a pseudo-terminal. Frames are written
// at irregular moments, as a controller's actions fall, so the wait for the
// next poll is spread over the whole period. Reported as the median and the
// 99th percentile of the frames' latencies.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"
#include "protocol/ReceiveBuffer.h"
#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "protocol/ReceivePath.h"
#include "serial/SerialComm.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_LineToWindowThread(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "rig_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
  const int frames = static_cast<int>(state.range(0));

  rig::sim::TPseudoTerminal line;
  if (!line.Open()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  std::vector<Clock::time_point> written(static_cast<size_t>(frames));
  std::vector<double> latencyMs;
  std::mutex writtenMutex;
  QObject window;
  rig::ReceiveBuffer rx;
  rig::TSerialComm comm;
  comm.SetReceiveCallback([&](const uint8_t* data, int count) {
    rig::ReceiveBatch(1, rx, data, count, [&] {
      return comm.HandOver(&window, [&] {
        const auto now = Clock::now();
        const int32_t n = rig::ReadInt32Le(rx.FrameBuffer.data() + rig::kFrameHeaderSize);
        std::lock_guard lock(writtenMutex);
        latencyMs.push_back(std::chrono::duration<double, std::milli>(now - written[static_cast<size_t>(n)]).count());
      });
    });
  });
  if (!comm.Open(line.SlavePath(), 115200, 8, 0, 0, 0)) {
    state.SkipWithError("cannot open the line");
    return;
  }

  for (auto _ : state) {
    latencyMs.clear();
    std::atomic<bool> done{false};
    std::thread controller([&] {
      std::mt19937 random(7);
      std::uniform_int_distribution<int> gapUs(1000, 9000);  // a few actions per poll period
      for (int32_t n = 0; n < frames; ++n) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        uint8_t payload[rig::kActionStatusLength] = {};
        rig::WriteInt32Le(payload, n);
        const QByteArray frame = rig::BuildFrame(1, rig::kCodeStatus, payload, rig::kActionStatusLength);
        {
          std::lock_guard lock(writtenMutex);
          written[static_cast<size_t>(n)] = Clock::now();
        }
        if (::write(line.MasterFd(), frame.constData(), static_cast<size_t>(frame.size())) != frame.size()) break;
      }
      done = true;
    });
    // The window thread sleeps until an event comes, as in the program; a
    // slow tick only bounds the wait should frames go missing.
    QTimer tick;
    tick.start(100);
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      std::lock_guard lock(writtenMutex);
      if (done && latencyMs.size() >= static_cast<size_t>(frames)) break;
    }
    controller.join();
  }
  comm.RequestStop();
  if (latencyMs.size() < static_cast<size_t>(frames)) {
    state.SkipWithError("frames were lost");
    return;
  }
  std::sort(latencyMs.begin(), latencyMs.end());
  state.counters["median_ms"] = latencyMs[latencyMs.size() / 2];
  state.counters["p99_ms"] = latencyMs[latencyMs.size() * 99 / 100];
  state.counters["max_ms"] = latencyMs.back();
}
BENCHMARK(BM_LineToWindowThread)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
