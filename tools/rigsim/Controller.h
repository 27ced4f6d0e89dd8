#pragma once
// TController: the controller side of one station's line. It takes the bytes
// the program sends, answers every exchange, and runs tests: one action status
// per switch action, in the order of the mode's actions, with the delays of
// the start command, then the end report. Time is passed in, so a run can be
// driven by a real clock or stepped by a test.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "ModePlan.h"
#include "StoredSettings.h"

namespace rig::sim {

using Clock = std::chrono::steady_clock;

// A break that does not move at given actions of a run.
struct Refusal {
  int Break = 0;          // 0 A1, 1 B1, 2 C1
  bool OnClose = true;    // refuses to close (else to open)
  int64_t Action = 0;     // action number within a run, from 1; 0 = every action
  // The switch's operation instead (a life-test cycle, counted over every
  // run since the simulator started, after OperationsDone): a switch that
  // fails at its 6,527th operation whatever block it is in. 0: by Action.
  int64_t Operation = 0;
};

struct ControllerBehaviour {
  double Speed = 1.0;          // delays and action times run this many times faster
  int64_t ActionMs = 60;       // time of an action in modes 3..20
  std::vector<Refusal> Refusals;
  int IgnoreHandshakes = 0;    // leave this many handshakes unanswered; < 0: all
  int64_t DropLineAt = 0;      // ask for the line to drop after this action (once); 0: never
  bool SetUnusedBits = false;  // set bits 1, 3, 5, 6, 7 of every break byte
  int64_t OperationsDone = 0;  // operations the switch had done before the simulator started
};

enum class RunPhase {
  Idle,
  Armed,    // start taken; the run begins with the status query
  Running,
  Paused,   // after a refused action with "do not ignore": waits for F2 or F1
};

class TController {
 public:
  TController(uint8_t station, StoredSettings stored, ControllerBehaviour behaviour);

  // Bytes from the program. Commands are recognised across any split; a
  // partial frame left for more than kStaleInputMs is dropped, so a stray
  // header cannot swallow later commands.
  void Receive(const uint8_t* data, int count, Clock::time_point now);

  // Performs the actions that are due by `now`.
  void Advance(Clock::time_point now);

  // When Advance next has something to do; nothing while idle or paused.
  std::optional<Clock::time_point> NextDue() const;

  // Frames to send, in order, each whole.
  std::vector<QByteArray> TakeOutbox();
  // Commands taken from the line since the last call: frames whole, the bare
  // bytes F1 and F2 alone.
  std::vector<QByteArray> TakeReceived();
  // One-line descriptions of what happened, for the operator of the simulator.
  std::vector<QString> TakeNotes();
  // True once, after the action of DropLineAt has been reported.
  bool TakeLineDropRequest();

  // The line went away: a run in progress stops where it is.
  void LineDropped();

  uint8_t Station() const { return station_; }
  RunPhase Phase() const { return phase_; }
  // The switch's operations so far (OperationsDone and every life-test cycle begun since).
  int64_t Operations() const { return operations_; }
  const StoredSettings& Stored() const { return stored_; }
  // Changes whenever Stored() changes.
  uint64_t StoredVersion() const { return storedVersion_; }

  static constexpr int kStaleInputMs = 500;

 private:
  void HandleFrame(const QByteArray& frame, Clock::time_point now);
  void HandleBareByte(uint8_t byte, Clock::time_point now);
  void Send(uint8_t code, const QByteArray& payload);
  void StopRun(const QString& why);
  void PerformAction(Clock::time_point due);
  void FinishRun();
  Clock::duration Scaled(int64_t ms) const;
  int64_t ActionTimeMs() const;
  bool Refuses(int breakIndex, bool closing, int64_t action) const;
  void Touch() { ++storedVersion_; }

  uint8_t station_;
  StoredSettings stored_;
  ControllerBehaviour behaviour_;
  uint64_t storedVersion_ = 0;

  QByteArray rx_;
  Clock::time_point lastRx_{};

  int handshakesSeen_ = 0;
  bool dropDone_ = false;
  bool dropRequested_ = false;
  bool awaitingDrop_ = false;  // no more actions until the line has dropped

  RunPhase phase_ = RunPhase::Idle;
  ModePlan plan_;
  int32_t resume_ = 0;
  int64_t total_ = 0;
  int64_t actionNo_ = 0;
  int64_t operations_ = 0;
  Clock::time_point nextAt_{};

  std::vector<QByteArray> outbox_;
  std::vector<QByteArray> received_;
  std::vector<QString> notes_;
};

// Break byte of an action status: bit 0 A1, bit 2 B1, bit 4 C1 set when closed.
uint8_t BreakBits(const std::array<bool, kBreaks>& closed);

}  // namespace rig::sim
