#include "station/StationModel.h"

#include <gtest/gtest.h>

#include "station/StationLook.h"
#include "support/ModelStates.h"

namespace rig {
namespace {

using E = StationEvent;

// The states the transitions start from, reached through events only.
enum class From { IdleConnected, Pressed, StartRequestedFresh, StartRequestedOverHeld, Running, Ended, EndedByLoss };

TStationModel Make(From from) {
  TStationModel m;
  rigtest::Connected(m);
  auto start = [&m] {
    m.On(E::StartPressed);
    HeldTest t;
    t.Mode = 18;
    m.On(E::TestStarted, t);
  };
  switch (from) {
    case From::IdleConnected: break;
    case From::Pressed: m.On(E::StartPressed); break;  // a question box is open
    case From::StartRequestedFresh:
      m.On(E::StartPressed);
      m.On(E::StartQueried);
      break;
    case From::StartRequestedOverHeld:
      start();
      m.On(E::TestFinished);
      m.On(E::StartPressed);
      m.On(E::StartQueried);
      break;
    case From::Running: start(); break;
    case From::Ended:
      start();
      m.On(E::TestCancelled);
      break;
    case From::EndedByLoss:
      start();
      m.On(E::LineLost);
      break;
  }
  return m;
}

TEST(StationModel, EveryTransitionKeepsTheInvariantsAndLeadsWhereTheTableSays) {
  const struct {
    From from;
    StationEvent event;
    RunState run;
    bool held, saveOffered, resumable;
    RunEnding ending;  // a cancelled, a finished and a cut-off test read differently
  } rows[] = {
      // Link events never start anything and never drop a held test.
      {From::Running, E::LinkAccepted, RunState::Running, true, false, false, RunEnding::None},
      {From::Running, E::HandshakeSent, RunState::Running, true, false, false, RunEnding::None},
      {From::Running, E::LinkDisconnected, RunState::Ended, true, true, false, RunEnding::LineCut},
      {From::Running, E::LineLost, RunState::Ended, true, true, true, RunEnding::LineCut},
      {From::Running, E::PortNotOpened, RunState::Ended, true, true, true, RunEnding::LineCut},
      {From::Ended, E::LinkAccepted, RunState::Ended, true, true, false, RunEnding::Cancelled},
      {From::Ended, E::LineLost, RunState::Ended, true, true, false, RunEnding::Cancelled},
      {From::EndedByLoss, E::PortOpened, RunState::Ended, true, true, true, RunEnding::LineCut},
      // A start request dies with the handshake or the link, and leaves what was held.
      {From::StartRequestedFresh, E::HandshakeSent, RunState::Idle, false, false, false, RunEnding::None},
      {From::StartRequestedFresh, E::LineLost, RunState::Idle, false, false, false, RunEnding::None},
      {From::StartRequestedOverHeld, E::LinkDisconnected, RunState::Ended, true, true, false, RunEnding::Finished},
      {From::StartRequestedOverHeld, E::StartAbandoned, RunState::Ended, true, true, false, RunEnding::Finished},
      // Run events.
      {From::Running, E::TestCancelled, RunState::Ended, true, true, false, RunEnding::Cancelled},
      {From::Running, E::TestFinished, RunState::Ended, true, true, false, RunEnding::Finished},
      {From::Running, E::TestSaved, RunState::Running, true, false, false, RunEnding::None},
      {From::Running, E::TestDiscarded, RunState::Running, true, false, false, RunEnding::None},
      {From::Ended, E::TestSaved, RunState::Idle, false, false, false, RunEnding::None},
      {From::Ended, E::TestDiscarded, RunState::Idle, false, false, false, RunEnding::None},
      {From::Ended, E::TestFinished, RunState::Ended, true, true, false, RunEnding::Cancelled},
      {From::IdleConnected, E::ActionsAdopted, RunState::Ended, true, true, false, RunEnding::NotStarted},
      {From::IdleConnected, E::TestFinished, RunState::Idle, false, false, false, RunEnding::None},
      {From::Ended, E::StartQueried, RunState::StartRequested, true, true, false, RunEnding::Cancelled},
      {From::EndedByLoss, E::StartQueried, RunState::Ended, true, true, true, RunEnding::LineCut},
      // A stop withdraws a start that waits for the controller's report.
      {From::StartRequestedFresh, E::DisconnectRequested, RunState::Idle, false, false, false, RunEnding::None},
      {From::StartRequestedOverHeld, E::DisconnectRequested, RunState::Ended, true, true, false, RunEnding::Finished},
      {From::Running, E::DisconnectRequested, RunState::Running, true, false, false, RunEnding::None},
      // No run without a press on a connected line.
      {From::IdleConnected, E::TestStarted, RunState::Idle, false, false, false, RunEnding::None},
      {From::Ended, E::TestStarted, RunState::Ended, true, true, false, RunEnding::Cancelled},
      {From::Pressed, E::TestStarted, RunState::Running, true, false, false, RunEnding::None},
      {From::EndedByLoss, E::TestResumed, RunState::Ended, true, true, true, RunEnding::LineCut},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(EventName(r.event)) + " from " + std::to_string(static_cast<int>(r.from)));
    TStationModel m = Make(r.from);
    if (r.event == E::StartQueried || r.event == E::TestResumed) m.On(E::ResumePressed);
    m.On(r.event);
    EXPECT_EQ(RunStateName(m.Run()), std::string(RunStateName(r.run)));
    EXPECT_EQ(m.HoldsTest(), r.held);
    EXPECT_EQ(m.SaveOffered(), r.saveOffered);
    EXPECT_EQ(m.ResumePending(), r.resumable);
    EXPECT_STREQ(RunEndingName(m.Ending()), RunEndingName(r.ending));
    EXPECT_EQ(m.HasStartPermit(), m.Run() == RunState::StartRequested) << "a permit lives only with its request";
    EXPECT_EQ(m.CheckInvariants(), QString());
  }
}

// What a question box's nested event loop may bring while a press stands:
// each withdraws it, so no start can follow the answer.
TEST(StationModel, ALineEventOrAStopWithdrawsAStandingPress) {
  for (const StationEvent e : {E::LineLost, E::LinkDisconnected, E::HandshakeSent, E::PortNotOpened,
                               E::DisconnectRequested, E::StartAbandoned}) {
    SCOPED_TRACE(EventName(e));
    TStationModel m = Make(From::Pressed);
    ASSERT_TRUE(m.Permits(StationCommand::Start));
    m.On(e);
    if (e != E::LineLost && e != E::PortNotOpened && e != E::HandshakeSent) m.On(E::LinkAccepted);
    EXPECT_FALSE(m.HasStartPermit());
    EXPECT_FALSE(m.Permits(StationCommand::Start));
    m.On(E::TestStarted);
    EXPECT_NE(m.Run(), RunState::Running);
    EXPECT_EQ(m.CheckInvariants(), QString());
  }
}

// The guard each command passes at the moment it is written.
TEST(StationModel, EveryCommandIsGuardedByTheStateWhenItIsSent) {
  using C = StationCommand;
  const struct {
    From from;
    bool lineLost;
    C command;
    bool permitted;
  } rows[] = {
      {From::IdleConnected, false, C::Start, false},  // nobody pressed
      {From::Pressed, false, C::Start, true},
      {From::StartRequestedFresh, false, C::Start, true},
      {From::Running, false, C::Start, false},
      {From::Ended, true, C::Start, false},
      {From::IdleConnected, false, C::SettingsQuery, true},
      {From::Ended, true, C::SettingsQuery, false},
      {From::Running, false, C::StatusQuery, true},
      {From::Running, true, C::StatusQuery, false},
      {From::StartRequestedFresh, false, C::StatusQuery, false},  // an unasked acknowledgement moves nothing
      {From::Running, false, C::Cancel, true},
      {From::Ended, false, C::Cancel, false},
      {From::Running, true, C::Cancel, false},
      {From::Running, false, C::Continue, false},  // no refusal waits
      {From::Ended, true, C::Handshake, true},     // a closed port fails the write, logged
      {From::Ended, true, C::Disconnect, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(CommandText(r.command).toStdString() + " from " + std::to_string(static_cast<int>(r.from)));
    TStationModel m = Make(r.from);
    if (r.lineLost) m.On(E::LineLost);
    EXPECT_EQ(m.Permits(r.command), r.permitted) << m.Refusal(r.command).toStdString();
  }
  TStationModel waiting = Make(From::Running);
  waiting.On(E::RefusalWaiting);
  EXPECT_TRUE(waiting.Permits(StationCommand::Continue));
}

TEST(StationModel, ThePanelIsDrawnFromTheState) {
  TStationModel m = Make(From::Running);
  m.On(E::RefusalWaiting);
  StationLook look = LookOf(m, 2);
  EXPECT_EQ(look, (StationLook{QStringLiteral("停止工位2"), QStringLiteral("取消测试"), true, true, true}));
  m.On(E::LineLost);
  look = LookOf(m, 2);
  EXPECT_EQ(look, (StationLook{QStringLiteral("开启工位2"), QStringLiteral("开始测试"), false, false, true}))
      << "locked, but the cut-off test can still be saved";
}

}  // namespace
}  // namespace rig
