#include <gtest/gtest.h>

#include "ControllerHarness.h"
#include "rigsim/ModePlan.h"
#include "rigsim/SimOptions.h"

namespace rig::sim {
namespace {

using rigtest::ControllerHarness;
using rigtest::StartFrame;
using rigtest::StatusBits;
using rigtest::StatusCount;

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }
const QByteArray kF1("\xF1", 1);
const QByteArray kF2("\xF2", 1);

// Every parameter different, so a wrong one shows in the timing.
ParameterBlock Distinct(int mode, int refusal = 5) {
  ParameterBlock b;
  b.Mode = mode;
  b.RefusalOption = refusal;
  b.Parameters = {111, 222, 333, 444, 555, 666, 7, 8, 2, 1010, 11, 2, 1313, 14, 2, 1616, 1717, 18, 19, 2};
  return b;
}

struct ModeCase {
  int mode;
  std::vector<double> atMs;  // when each action status is sent
  std::vector<bool> closed;  // where the breaks are after each action
  std::vector<int32_t> counts;
};

TEST(ControllerRuns, EveryModeReportsItsActionsInOrderWithTheDelaysOfTheStartCommand) {
  // Actions take 50 ms (modes 1 and 2: their duration); then the delay after each.
  const ModeCase cases[] = {
      {1, {111}, {true}, {1}},
      {2, {222}, {false}, {1}},
      {3, {50, 433}, {true, false}, {1, 1}},
      {4, {50, 544}, {false, true}, {1, 1}},
      {5, {50, 655, 1371}, {false, true, false}, {1, 1, 1}},
      {17, {50, 7100, 15150, 22200}, {false, true, false, true}, {1, 1, 2, 2}},
      {18, {50, 1110, 12160, 13220}, {true, false, true, false}, {1, 1, 2, 2}},
      {19, {50, 1413, 15463, 16826}, {false, true, false, true}, {1, 1, 2, 2}},
      {20,
       {50, 1716, 3483, 21533, 40583, 42249, 44016, 62066},
       {false, true, false, true, false, true, false, true},
       {1, 1, 1, 1, 2, 2, 2, 2}},
  };
  for (const ModeCase& c : cases) {
    ControllerBehaviour b;
    b.ActionMs = 50;
    ControllerHarness h(1, FactorySettings(), b);
    h.Send(StartFrame(1, Distinct(c.mode)));
    h.Pass(10000);
    EXPECT_TRUE(h.Statuses().empty()) << "mode " << c.mode << ": nothing before the status query";
    h.sent.clear();
    h.start = h.now;  // times count from the status query
    h.Send(StatusQuery(1));
    h.RunOut();

    const auto statuses = h.Statuses();
    ASSERT_EQ(statuses.size(), c.atMs.size()) << "mode " << c.mode;
    for (size_t i = 0; i < statuses.size(); ++i) {
      EXPECT_DOUBLE_EQ(statuses[i].AtMs, c.atMs[i]) << "mode " << c.mode << " action " << i + 1;
      EXPECT_EQ(StatusBits(statuses[i].Bytes), c.closed[i] ? 0x15 : 0x00) << "mode " << c.mode << " action " << i + 1;
      EXPECT_EQ(StatusCount(statuses[i].Bytes), c.counts[i]) << "mode " << c.mode << " action " << i + 1;
    }
    ASSERT_FALSE(h.sent.empty());
    EXPECT_EQ(h.sent.back().Bytes, Hex("01A301001111")) << "mode " << c.mode;
    EXPECT_DOUBLE_EQ(h.sent.back().AtMs, c.atMs.back());
    EXPECT_EQ(h.controller.Phase(), RunPhase::Idle);
  }
}

TEST(ControllerRuns, TheSpeedFactorShortensEveryDelay) {
  ControllerBehaviour b;
  b.ActionMs = 50;
  b.Speed = 1000;
  ControllerHarness h(1, FactorySettings(), b);
  h.Send(StartFrame(1, Distinct(17)));
  h.start = h.now;
  h.Send(StatusQuery(1));
  h.RunOut();
  const auto statuses = h.Statuses();
  ASSERT_EQ(statuses.size(), 4u);
  EXPECT_DOUBLE_EQ(statuses[1].AtMs, 7.1);  // 7 s and 50 ms, a thousand times faster
  EXPECT_DOUBLE_EQ(statuses[3].AtMs, 22.2);
}

TEST(ControllerRuns, AResumedLifeTestRunsTheCyclesLeftAndReportsTheCountItReached) {
  ParameterBlock block = Distinct(17);
  block.Parameters[8] = 5;  // five cycles
  ControllerHarness h;
  h.Send(StartFrame(1, block, 3));
  h.Send(StatusQuery(1));
  h.RunOut();
  std::vector<int32_t> counts;
  for (const auto& s : h.Statuses()) counts.push_back(StatusCount(s.Bytes));
  EXPECT_EQ(counts, (std::vector<int32_t>{4, 4, 5, 5}));

  h.sent.clear();
  h.Send(SettingsQuery(1));
  ASSERT_EQ(h.sent.size(), 1u);
  const ParameterBlock report = DecodeParameterBlock(ControllerHarness::Data(h.sent[0].Bytes) + 4);
  EXPECT_EQ(report.Mode, 17);
  EXPECT_EQ(report.Counts[0], 5);
  EXPECT_EQ(report.Parameters, block.Parameters);

  // Nothing left to do: the run ends at once.
  h.sent.clear();
  h.Send(StartFrame(1, block, 5));
  h.Send(StatusQuery(1));
  h.RunOut();
  EXPECT_TRUE(h.Statuses().empty());
  EXPECT_EQ(h.sent.back().Bytes, Hex("01A301001111"));
}

TEST(ControllerRuns, ANewStartKeepsTheCountsOfTheOtherLifeModes) {
  ControllerHarness h;
  h.Send(StartFrame(1, Distinct(18), 0));
  h.Send(StatusQuery(1));
  h.RunOut();
  h.Send(StartFrame(1, Distinct(20), 0));
  h.Send(kF1);
  EXPECT_EQ(h.controller.Stored().Block.Counts, (std::array<int32_t, 4>{0, 2, 0, 0}));
}

TEST(ControllerRefusals, ARefusedActionLeavesTheBreakWhereItWas) {
  ControllerBehaviour b;
  b.Refusals = {{0, true, 2}, {2, false, 3}};  // A1 will not close at 2, C1 not open at 3
  ControllerHarness h(1, FactorySettings(), b);
  h.Send(StartFrame(1, Distinct(17)));  // ignore refused actions: no pause
  h.Send(StatusQuery(1));
  h.RunOut();
  std::vector<int> bits;
  for (const auto& s : h.Statuses()) bits.push_back(StatusBits(s.Bytes));
  EXPECT_EQ(bits, (std::vector<int>{0x00, 0x14, 0x10, 0x15}));
}

TEST(ControllerRefusals, WithDoNotIgnoreTheRunPausesUntilContinue) {
  ControllerBehaviour b;
  b.Refusals = {{1, true, 2}};  // B1 will not close at action 2
  ControllerHarness h(1, FactorySettings(), b);
  h.Send(StartFrame(1, Distinct(17, 10)));
  h.Send(StatusQuery(1));
  h.Pass(60 * 1000);
  ASSERT_EQ(h.Statuses().size(), 2u);
  EXPECT_EQ(StatusBits(h.Statuses()[1].Bytes), 0x11);
  EXPECT_EQ(h.controller.Phase(), RunPhase::Paused);
  EXPECT_FALSE(h.controller.NextDue().has_value());

  const double continuedAt = 60 * 1000;  // F2 comes now
  h.Send(kF2);
  h.RunOut();
  const auto statuses = h.Statuses();
  ASSERT_EQ(statuses.size(), 4u);
  EXPECT_DOUBLE_EQ(statuses[2].AtMs, continuedAt + 8000 + 60);  // close delay, then the action
  EXPECT_EQ(h.sent.back().Bytes, Hex("01A301001111"));
}

TEST(ControllerRefusals, CancelWhilePausedEndsTheRunWithoutAReport) {
  ControllerBehaviour b;
  b.Refusals = {{0, false, 1}};
  ControllerHarness h(1, FactorySettings(), b);
  h.Send(StartFrame(1, Distinct(2, 10)));
  h.Send(StatusQuery(1));
  h.RunOut();
  ASSERT_EQ(h.controller.Phase(), RunPhase::Paused);
  h.sent.clear();
  h.Send(kF1);
  h.RunOut();
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.controller.Phase(), RunPhase::Idle);
  h.Send(kF2);  // nothing to continue
  h.RunOut();
  EXPECT_TRUE(h.sent.empty());
}

TEST(ControllerRuns, CancelAndDisconnectStopARunWhereItIs) {
  for (const bool byDisconnect : {false, true}) {
    ControllerHarness h;
    h.Send(StartFrame(1, Distinct(19)));
    h.Send(StatusQuery(1));
    h.Pass(1500);  // two actions
    ASSERT_EQ(h.Statuses().size(), 2u);
    h.Send(byDisconnect ? DisconnectRequest(1) : kF1);
    h.RunOut();
    EXPECT_EQ(h.Statuses().size(), 2u);
    EXPECT_EQ(h.controller.Phase(), RunPhase::Idle);
    EXPECT_EQ(h.controller.Stored().Block.Counts[2], 1) << "count reached kept for a resume";
    EXPECT_TRUE(h.controller.Stored().Closed[0]);
  }
}

TEST(ControllerInput, CommandsAreFoundAcrossSplitsNoiseAndOtherStationsFrames) {
  ControllerHarness h(2);
  const QByteArray handshake = HandshakeRequest(2);
  h.Send(handshake.left(3));
  EXPECT_TRUE(h.sent.empty());
  h.Send(handshake.mid(3));
  EXPECT_EQ(h.sent.size(), 1u);

  h.Send(Hex("00FF55") + HandshakeRequest(1) + Hex("02A0010005") + Hex("06") + SettingsQuery(2));
  ASSERT_EQ(h.sent.size(), 2u) << "junk, station 1's frame and a bad checksum are skipped";
  EXPECT_EQ(static_cast<uint8_t>(h.sent[1].Bytes[1]), kCodeSettings);

  // A header whose frame never comes does not swallow what follows later.
  h.Send(Hex("02A26800"));
  h.Pass(TController::kStaleInputMs + 1);
  h.Send(StatusQuery(2));
  EXPECT_EQ(h.sent.back().Bytes, Hex("02A301000F0F"));
}

TEST(ControllerInput, HandshakesCanBeLeftUnanswered) {
  ControllerBehaviour b;
  b.IgnoreHandshakes = 2;
  ControllerHarness h(1, FactorySettings(), b);
  for (int i = 0; i < 4; ++i) h.Send(HandshakeRequest(1));
  EXPECT_EQ(h.sent.size(), 2u);

  b.IgnoreHandshakes = -1;
  ControllerHarness never(1, FactorySettings(), b);
  for (int i = 0; i < 10; ++i) never.Send(HandshakeRequest(1));
  EXPECT_TRUE(never.sent.empty());
  never.Send(DisconnectRequest(1));
  EXPECT_EQ(never.sent.size(), 1u);
}

TEST(ControllerRuns, UnusedBitsAndTheLineDropAreOnRequest) {
  ControllerBehaviour b;
  b.SetUnusedBits = true;
  b.DropLineAt = 2;
  ControllerHarness h(1, FactorySettings(), b);
  h.Send(StartFrame(1, Distinct(4)));
  h.Send(StatusQuery(1));
  h.RunOut();
  ASSERT_EQ(h.Statuses().size(), 2u);
  EXPECT_EQ(StatusBits(h.Statuses()[0].Bytes), 0xEA);
  EXPECT_EQ(StatusBits(h.Statuses()[1].Bytes), 0xFF);
  EXPECT_TRUE(h.controller.TakeLineDropRequest());
  EXPECT_FALSE(h.controller.TakeLineDropRequest());
}

}  // namespace
}  // namespace rig::sim

namespace rig::sim {
namespace {

// A switch that fails at its 9th operation, five done before: the refusal
// falls in the second run, at its second cycle's closing, whatever run it is.
TEST(ControllerRefusals, ARefusalAtTheSwitchsOperationFallsWhereverTheRunsBreakTheCount) {
  SimOptions o;
  QString message;
  ASSERT_EQ(ParseCommandLine({"controller-sim", "--refuse-close", "B1@op9", "--operations-done", "5"}, o, message),
            ParseOutcome::Run)
      << message.toStdString();
  ControllerHarness h(1, FactorySettings(), o.Controller);
  std::vector<int> bits;
  for (int run = 0; run < 2; ++run) {
    h.Send(StartFrame(1, Distinct(18)));  // two cycles of close, open from count 0
    h.Send(StatusQuery(1));
    h.RunOut();
    for (const auto& s : h.Statuses()) bits.push_back(StatusBits(s.Bytes));
    h.Take();
  }
  EXPECT_EQ(bits, (std::vector<int>{0x15, 0x00, 0x15, 0x00, 0x15, 0x00, 0x11, 0x00}));
  EXPECT_EQ(h.controller.Operations(), 9);
  EXPECT_NE(ParseCommandLine({"controller-sim", "--refuse-close", "B1@opx"}, o, message), ParseOutcome::Run);
}

}  // namespace
}  // namespace rig::sim
