#pragma once
// Drives a TController on a made-up clock: every frame it sends is kept with
// the millisecond it was sent at, so delays can be checked exactly.
#include <QByteArray>
#include <vector>

#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "rigsim/Controller.h"

namespace rigtest {

using rig::sim::Clock;

struct SentFrame {
  double AtMs;
  QByteArray Bytes;
};

class ControllerHarness {
 public:
  explicit ControllerHarness(uint8_t station = 1, rig::sim::StoredSettings stored = rig::sim::FactorySettings(),
                             rig::sim::ControllerBehaviour behaviour = {})
      : controller(station, stored, behaviour) {}

  void Send(const QByteArray& bytes) {
    controller.Receive(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()), now);
    Collect();
  }
  // Lets `ms` pass, performing every action that falls due on the way.
  void Pass(double ms) {
    const Clock::time_point end = now + std::chrono::microseconds(static_cast<int64_t>(ms * 1000));
    while (auto due = controller.NextDue()) {
      if (*due > end) break;
      now = *due;
      controller.Advance(now);
      Collect();
    }
    now = end;
  }
  // Runs until the controller has nothing more to do (or a day has passed).
  void RunOut() { Pass(24.0 * 3600 * 1000); }

  // Frames with this code and payload length.
  std::vector<SentFrame> Frames(uint8_t code, int length) const {
    std::vector<SentFrame> r;
    for (const SentFrame& f : sent)
      if (static_cast<uint8_t>(f.Bytes[1]) == code && rig::FramePayloadLength(Data(f.Bytes)) == length) r.push_back(f);
    return r;
  }
  std::vector<SentFrame> Statuses() const { return Frames(rig::kCodeStatus, rig::kActionStatusLength); }
  std::vector<QByteArray> Take() {
    std::vector<QByteArray> r;
    for (const SentFrame& f : sent) r.push_back(f.Bytes);
    sent.clear();
    return r;
  }

  static const uint8_t* Data(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

  Clock::time_point start = Clock::time_point{} + std::chrono::hours(1);
  Clock::time_point now = start;
  rig::sim::TController controller;
  std::vector<SentFrame> sent;

 private:
  void Collect() {
    for (QByteArray& f : controller.TakeOutbox())
      sent.push_back({std::chrono::duration<double, std::milli>(now - start).count(), std::move(f)});
  }
};

inline QByteArray StartFrame(uint8_t station, rig::ParameterBlock block, int32_t resume = 0) {
  block.Counts = {resume, resume, resume, resume};
  return rig::BuildFrame(station, rig::kCodeStart, rig::EncodeParameterBlock(block));
}

inline int32_t StatusCount(const QByteArray& f) { return rig::ReadInt32Le(ControllerHarness::Data(f) + 4); }
inline uint8_t StatusBits(const QByteArray& f) { return static_cast<uint8_t>(f[8]); }

}  // namespace rigtest
