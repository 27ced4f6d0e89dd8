#include "station/StationModel.h"

#include <gtest/gtest.h>

#include "station/StationLook.h"
#include "support/ModelStates.h"

namespace rig {
namespace {

using E = StationEvent;

// The states the transitions start from, reached through events only.
enum class From { IdleConnected, StartRequestedFresh, StartRequestedOverHeld, Running, Ended, EndedByLoss };

TStationModel Make(From from) {
  TStationModel m;
  rigtest::Connected(m);
  auto start = [&m] {
    m.GrantStart(StartIntent::NewTest);
    HeldTest t;
    t.Mode = 18;
    m.On(E::TestStarted, t);
  };
  switch (from) {
    case From::IdleConnected: break;
    case From::StartRequestedFresh:
      m.GrantStart(StartIntent::NewTest);
      m.On(E::StartQueried);
      break;
    case From::StartRequestedOverHeld:
      start();
      m.On(E::TestFinished);
      m.GrantStart(StartIntent::NewTest);
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
  } rows[] = {
      // Link events never start anything and never drop a held test.
      {From::Running, E::LinkAccepted, RunState::Running, true, false, false},
      {From::Running, E::HandshakeSent, RunState::Running, true, false, false},
      {From::Running, E::LinkDisconnected, RunState::Ended, true, true, false},
      {From::Running, E::LineLost, RunState::Ended, true, true, true},
      {From::Running, E::PortNotOpened, RunState::Ended, true, true, true},
      {From::Ended, E::LinkAccepted, RunState::Ended, true, true, false},
      {From::Ended, E::LineLost, RunState::Ended, true, true, false},
      {From::EndedByLoss, E::PortOpened, RunState::Ended, true, true, true},
      // A start request dies with the handshake or the link, and leaves what was held.
      {From::StartRequestedFresh, E::HandshakeSent, RunState::Idle, false, false, false},
      {From::StartRequestedFresh, E::LineLost, RunState::Idle, false, false, false},
      {From::StartRequestedOverHeld, E::LinkDisconnected, RunState::Ended, true, true, false},
      {From::StartRequestedOverHeld, E::StartAbandoned, RunState::Ended, true, true, false},
      // Run events.
      {From::Running, E::TestCancelled, RunState::Ended, true, true, false},
      {From::Running, E::TestFinished, RunState::Ended, true, true, false},
      {From::Running, E::TestSaved, RunState::Running, true, false, false},
      {From::Running, E::TestDiscarded, RunState::Running, true, false, false},
      {From::Ended, E::TestSaved, RunState::Idle, false, false, false},
      {From::Ended, E::TestDiscarded, RunState::Idle, false, false, false},
      {From::Ended, E::TestFinished, RunState::Ended, true, true, false},
      {From::IdleConnected, E::ActionsAdopted, RunState::Ended, true, true, false},
      {From::IdleConnected, E::TestFinished, RunState::Idle, false, false, false},
      {From::Ended, E::StartQueried, RunState::StartRequested, true, true, false},
      {From::EndedByLoss, E::StartQueried, RunState::Ended, true, true, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(EventName(r.event)) + " from " + std::to_string(static_cast<int>(r.from)));
    TStationModel m = Make(r.from);
    if (r.event == E::StartQueried) m.GrantStart(StartIntent::ResumeHeldTest);
    m.On(r.event);
    EXPECT_EQ(RunStateName(m.Run()), std::string(RunStateName(r.run)));
    EXPECT_EQ(m.HoldsTest(), r.held);
    EXPECT_EQ(m.SaveOffered(), r.saveOffered);
    EXPECT_EQ(m.ResumePending(), r.resumable);
    EXPECT_EQ(m.HasStartPermit(), m.Run() == RunState::StartRequested) << "a permit lives only with its request";
    EXPECT_EQ(m.CheckInvariants(), QString());
  }
}

TEST(StationModel, ThePanelIsDrawnFromTheState) {
  TStationModel m = Make(From::Running);
  m.OfferRefusalButtons(true);
  StationLook look = LookOf(m, 2);
  EXPECT_EQ(look, (StationLook{QStringLiteral("停止工位2"), QStringLiteral("取消测试"), true, true, true}));
  m.On(E::LineLost);
  look = LookOf(m, 2);
  EXPECT_EQ(look, (StationLook{QStringLiteral("开启工位2"), QStringLiteral("开始测试"), false, false, true}))
      << "locked, but the cut-off test can still be saved";
}

}  // namespace
}  // namespace rig
