#include "Controller.h"

#include <algorithm>

#include "protocol/Frame.h"
#include "serial/HexText.h"

namespace rig::sim {
namespace {

constexpr uint8_t kFirmware[2] = {0x01, 0x12};  // the first two bytes of a link reply
constexpr uint8_t kUnusedBits = 0xEA;
const char* const kBreakNames[kBreaks] = {"A1", "B1", "C1"};

// Payload length of each command code; -1: not a command.
int CommandLength(uint8_t code) {
  switch (code) {
    case kCodeLink:
    case kCodeSettings:
    case kCodeStatus: return 1;
    case kCodeStart: return kParameterBlockSize;
    default: return -1;
  }
}

QByteArray Byte(uint8_t b) { return QByteArray(1, static_cast<char>(b)); }

}  // namespace

uint8_t BreakBits(const std::array<bool, kBreaks>& closed) {
  return static_cast<uint8_t>((closed[0] ? 0x01 : 0) | (closed[1] ? 0x04 : 0) | (closed[2] ? 0x10 : 0));
}

TController::TController(uint8_t station, StoredSettings stored, ControllerBehaviour behaviour)
    : station_(station), stored_(std::move(stored)), behaviour_(std::move(behaviour)),
      operations_(behaviour_.OperationsDone) {
  if (!(behaviour_.Speed > 0)) behaviour_.Speed = 1.0;
}

Clock::duration TController::Scaled(int64_t ms) const {
  const double us = static_cast<double>(ms) * 1000.0 / behaviour_.Speed;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(static_cast<int64_t>(us)));
}

void TController::Receive(const uint8_t* data, int count, Clock::time_point now) {
  if (!rx_.isEmpty() && now - lastRx_ > std::chrono::milliseconds(kStaleInputMs)) rx_.clear();
  lastRx_ = now;
  rx_.append(reinterpret_cast<const char*>(data), count);
  while (!rx_.isEmpty()) {
    const auto* b = reinterpret_cast<const uint8_t*>(rx_.constData());
    if (b[0] == kCancelByte || b[0] == kContinueByte) {
      HandleBareByte(b[0], now);
      rx_.remove(0, 1);
      continue;
    }
    if (b[0] != station_) {  // not a command for this controller
      rx_.remove(0, 1);
      continue;
    }
    if (rx_.size() < 2) break;
    const int expected = CommandLength(b[1]);
    if (expected < 0) {
      rx_.remove(0, 1);
      continue;
    }
    if (rx_.size() < kFrameHeaderSize) break;
    if (FramePayloadLength(b) != expected) {
      rx_.remove(0, 1);
      continue;
    }
    const int size = expected + kFrameOverhead;
    if (rx_.size() < size) break;
    if (FrameChecksum(b, kFrameHeaderSize, expected) != b[size - 1]) {
      notes_.push_back(QStringLiteral("dropped a command with a wrong checksum: ") + HexBytes(b, size).trimmed());
      rx_.remove(0, 1);
      continue;
    }
    const QByteArray frame = rx_.left(size);
    rx_.remove(0, size);
    HandleFrame(frame, now);
  }
}

void TController::HandleBareByte(uint8_t byte, Clock::time_point now) {
  received_.push_back(Byte(byte));
  if (byte == kCancelByte) {
    if (phase_ != RunPhase::Idle) StopRun(QStringLiteral("test cancelled (F1)"));
    return;
  }
  if (phase_ != RunPhase::Paused) return;  // F2 means something only while paused
  notes_.push_back(QStringLiteral("continuing after the refusal (F2)"));
  if (actionNo_ >= total_) {
    FinishRun();
    return;
  }
  phase_ = RunPhase::Running;
  const ActionStep& done = plan_.Steps[(actionNo_ - 1) % plan_.Steps.size()];
  nextAt_ = now + Scaled(done.DelayAfterMs + ActionTimeMs());
}

void TController::Send(uint8_t code, const QByteArray& payload) { outbox_.push_back(BuildFrame(station_, code, payload)); }

void TController::HandleFrame(const QByteArray& frame, Clock::time_point now) {
  received_.push_back(frame);
  const auto* b = reinterpret_cast<const uint8_t*>(frame.constData());
  const uint8_t code = b[1];
  const uint8_t first = b[kFrameHeaderSize];
  if (code == kCodeLink && first == kHandshakePayload) {
    ++handshakesSeen_;
    if (behaviour_.IgnoreHandshakes < 0 || handshakesSeen_ <= behaviour_.IgnoreHandshakes) {
      notes_.push_back(QStringLiteral("handshake left unanswered"));
      return;
    }
    QByteArray payload(reinterpret_cast<const char*>(kFirmware), 2);
    payload.append(static_cast<char>(kLinkAccepted));
    Send(kCodeLink, payload);
    notes_.push_back(QStringLiteral("link up"));
  } else if (code == kCodeLink && first == kDisconnectPayload) {
    if (phase_ != RunPhase::Idle) StopRun(QStringLiteral("test stopped by the disconnect"));
    QByteArray payload(reinterpret_cast<const char*>(kFirmware), 2);
    payload.append(static_cast<char>(kLinkDisconnected));
    Send(kCodeLink, payload);
    notes_.push_back(QStringLiteral("link down"));
  } else if (code == kCodeSettings && first == kSettingsQueryPayload) {
    Send(kCodeSettings, EncodeParameterBlock(stored_.Block));
  } else if (code == kCodeStart) {
    if (phase_ != RunPhase::Idle) StopRun(QStringLiteral("test replaced by a new start"));
    const ParameterBlock sent = DecodeParameterBlock(b + kFrameHeaderSize);
    const std::array<int32_t, kLifeModeCount> counts = stored_.Block.Counts;
    stored_.Block = sent;
    stored_.Block.Counts = counts;
    const int countAt = CountOffset(sent.Mode);
    resume_ = countAt >= 0 ? std::max<int32_t>(0, ReadInt32Le(b + kFrameHeaderSize + countAt)) : 0;
    if (IsLifeMode(sent.Mode)) stored_.Block.Counts[sent.Mode - 17] = resume_;
    Touch();
    plan_ = PlanFor(stored_.Block, behaviour_.ActionMs);
    total_ = plan_.TotalActions(resume_);
    actionNo_ = 0;
    phase_ = RunPhase::Armed;
    Send(kCodeStart, Byte(kAcknowledged));
    notes_.push_back(QStringLiteral("start taken: mode %1, %2 action(s)%3")
                         .arg(sent.Mode)
                         .arg(total_)
                         .arg(plan_.Life ? QStringLiteral(", from count %1 of %2").arg(resume_).arg(plan_.SetCount)
                                         : QString()));
  } else if (code == kCodeStatus && first == kStatusQueryPayload) {
    Send(kCodeStatus, Byte(kAcknowledged));
    if (phase_ == RunPhase::Armed) {
      if (total_ == 0) {
        FinishRun();
        return;
      }
      phase_ = RunPhase::Running;
      nextAt_ = now + Scaled(ActionTimeMs());
      notes_.push_back(QStringLiteral("test running"));
    }
  }
}

int64_t TController::ActionTimeMs() const { return plan_.ActionMs; }

bool TController::Refuses(int breakIndex, bool closing, int64_t action) const {
  return std::any_of(behaviour_.Refusals.begin(), behaviour_.Refusals.end(), [&](const Refusal& r) {
    if (r.Break != breakIndex || r.OnClose != closing) return false;
    if (r.Operation > 0) return plan_.Life && r.Operation == operations_;
    return r.Action == 0 || r.Action == action;
  });
}

void TController::Advance(Clock::time_point now) {
  while (phase_ == RunPhase::Running && nextAt_ <= now && !awaitingDrop_) PerformAction(nextAt_);
}

void TController::PerformAction(Clock::time_point due) {
  const int64_t action = ++actionNo_;
  const auto stepCount = static_cast<int64_t>(plan_.Steps.size());
  const ActionStep& step = plan_.Steps[(action - 1) % stepCount];
  const int32_t count = plan_.Life ? resume_ + static_cast<int32_t>((action - 1) / stepCount) + 1 : 1;
  if (plan_.Life && (action - 1) % stepCount == 0) ++operations_;  // a cycle begins

  bool refused = false;
  for (int i = 0; i < kBreaks; ++i) {
    if (Refuses(i, step.Close, action)) {
      refused = true;  // the break stays where it was
      notes_.push_back(QStringLiteral("action %1: %2 refuses to %3")
                           .arg(action)
                           .arg(QLatin1String(kBreakNames[i]))
                           .arg(step.Close ? QStringLiteral("close") : QStringLiteral("open")));
    } else {
      stored_.Closed[i] = step.Close;
    }
  }
  if (plan_.Life) stored_.Block.Counts[stored_.Block.Mode - 17] = count;
  Touch();

  QByteArray status(kActionStatusLength, '\0');
  WriteInt32Le(reinterpret_cast<uint8_t*>(status.data()), count);
  uint8_t bits = BreakBits(stored_.Closed);
  if (behaviour_.SetUnusedBits) bits |= kUnusedBits;
  status[4] = static_cast<char>(bits);
  Send(kCodeStatus, status);

  if (behaviour_.DropLineAt > 0 && !dropDone_ && action == behaviour_.DropLineAt) {
    dropDone_ = true;
    dropRequested_ = true;
    awaitingDrop_ = true;
  }
  if (refused && stored_.Block.RefusalOption == 10) {
    phase_ = RunPhase::Paused;
    notes_.push_back(QStringLiteral("paused after the refusal: waiting for F2 (continue) or F1 (cancel)"));
    return;
  }
  if (action >= total_) {
    FinishRun();
    return;
  }
  nextAt_ = due + Scaled(step.DelayAfterMs + ActionTimeMs());
}

void TController::FinishRun() {
  Send(kCodeStatus, Byte(kTestFinished));
  phase_ = RunPhase::Idle;
  notes_.push_back(QStringLiteral("test finished after %1 action(s)").arg(actionNo_));
}

void TController::StopRun(const QString& why) {
  phase_ = RunPhase::Idle;
  notes_.push_back(why + QStringLiteral(" after %1 action(s)").arg(actionNo_));
}

void TController::LineDropped() {
  rx_.clear();
  awaitingDrop_ = false;
  if (phase_ != RunPhase::Idle) StopRun(QStringLiteral("test stopped: line dropped"));
}

std::optional<Clock::time_point> TController::NextDue() const {
  if (phase_ == RunPhase::Running && !awaitingDrop_) return nextAt_;
  return std::nullopt;
}

std::vector<QByteArray> TController::TakeOutbox() { return std::exchange(outbox_, {}); }
std::vector<QByteArray> TController::TakeReceived() { return std::exchange(received_, {}); }
std::vector<QString> TController::TakeNotes() { return std::exchange(notes_, {}); }

bool TController::TakeLineDropRequest() { return std::exchange(dropRequested_, false); }

}  // namespace rig::sim
