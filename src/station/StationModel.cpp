#include "station/StationModel.h"

namespace rig {

const char* EventName(StationEvent e) {
  switch (e) {
    case StationEvent::PortOpened: return "PortOpened";
    case StationEvent::PortNotOpened: return "PortNotOpened";
    case StationEvent::HandshakeSent: return "HandshakeSent";
    case StationEvent::HandshakeGivenUp: return "HandshakeGivenUp";
    case StationEvent::LinkAccepted: return "LinkAccepted";
    case StationEvent::LinkDisconnected: return "LinkDisconnected";
    case StationEvent::LineLost: return "LineLost";
    case StationEvent::StartQueried: return "StartQueried";
    case StationEvent::StartAbandoned: return "StartAbandoned";
    case StationEvent::TestStarted: return "TestStarted";
    case StationEvent::TestResumed: return "TestResumed";
    case StationEvent::TestCancelled: return "TestCancelled";
    case StationEvent::TestFinished: return "TestFinished";
    case StationEvent::ActionsAdopted: return "ActionsAdopted";
    case StationEvent::TestSaved: return "TestSaved";
    case StationEvent::TestDiscarded: return "TestDiscarded";
  }
  return "?";
}

const char* RunStateName(RunState s) {
  switch (s) {
    case RunState::Idle: return "Idle";
    case RunState::StartRequested: return "StartRequested";
    case RunState::Running: return "Running";
    case RunState::Ended: return "Ended";
  }
  return "?";
}

bool TStationModel::SaveOffered() const {
  switch (run_) {
    case RunState::Idle: return false;
    case RunState::Running: return saveOffered_;
    case RunState::StartRequested:
    case RunState::Ended: return held_;
  }
  return false;
}

void TStationModel::Hold(const HeldTest& test) {
  held_ = true;
  test_ = test;
}

void TStationModel::Release() {
  held_ = false;
  test_ = HeldTest{};
}

void TStationModel::DropStartRequest() {
  permit_ = false;
  if (run_ == RunState::StartRequested) run_ = held_ ? RunState::Ended : RunState::Idle;
}

void TStationModel::EndRun(bool resumable) {
  if (run_ == RunState::Running) {
    run_ = RunState::Ended;
    test_.Resumable = resumable;
  }
  continueOffered_ = saveOffered_ = false;
}

void TStationModel::On(StationEvent event, const HeldTest& test) {
  using E = StationEvent;
  switch (event) {
    // --- link ---------------------------------------------------------------
    case E::PortOpened:
      if (link_ == LinkState::Closed || link_ == LinkState::Lost) link_ = LinkState::Open;
      break;
    case E::PortNotOpened:  // reopened from the settings and refused: as good as a lost line
      link_ = LinkState::Closed;
      DropStartRequest();
      EndRun(true);
      break;
    case E::HandshakeSent:  // the next report only loads the panel
      if (link_ == LinkState::Open) link_ = LinkState::Connecting;
      DropStartRequest();
      break;
    case E::HandshakeGivenUp:
      if (link_ == LinkState::Connecting) link_ = LinkState::Open;
      break;
    case E::LinkAccepted:
      link_ = LinkState::Connected;
      break;
    case E::LinkDisconnected:
      if (link_ == LinkState::Connected || link_ == LinkState::Connecting) link_ = LinkState::Open;
      DropStartRequest();
      EndRun(false);
      break;
    case E::LineLost:
      link_ = LinkState::Lost;
      DropStartRequest();
      EndRun(true);
      break;

    // --- run ----------------------------------------------------------------
    case E::StartQueried:  // only a connected controller can answer
      if ((run_ == RunState::Idle || run_ == RunState::Ended) && link_ == LinkState::Connected)
        run_ = RunState::StartRequested;
      else
        permit_ = false;
      break;
    case E::StartAbandoned:
      DropStartRequest();
      break;
    case E::TestStarted:
      Hold(test);
      run_ = RunState::Running;
      permit_ = false;
      continueOffered_ = saveOffered_ = false;
      break;
    case E::TestResumed:  // same test and mode; the parameters are those sent now
      test_.ParamTexts = test.ParamTexts;
      test_.Resumable = false;
      run_ = RunState::Running;
      permit_ = false;
      continueOffered_ = saveOffered_ = false;
      break;
    case E::TestCancelled:
    case E::TestFinished:
      EndRun(false);
      break;
    case E::ActionsAdopted:
      if (held_) break;
      Hold(test);
      if (run_ == RunState::Idle) run_ = RunState::Ended;
      break;
    case E::TestSaved:
      if (run_ == RunState::Running) {
        saveOffered_ = false;  // the run goes on; its later actions make another record
        break;
      }
      Release();
      if (run_ == RunState::Ended) run_ = RunState::Idle;
      break;
    case E::TestDiscarded:
      if (run_ == RunState::Running) break;
      Release();
      if (run_ == RunState::Ended) run_ = RunState::Idle;
      break;
  }
}

QString TStationModel::CheckInvariants() const {
  if ((run_ == RunState::Running || run_ == RunState::Ended) && !held_)
    return QStringLiteral("%1 without a held test").arg(QLatin1String(RunStateName(run_)));
  if (run_ == RunState::Idle && held_) return QStringLiteral("Idle holding a test");
  if (run_ == RunState::StartRequested && !permit_) return QStringLiteral("StartRequested without a permit");
  if (run_ != RunState::StartRequested && permit_) return QStringLiteral("a start permit outside StartRequested");
  if ((run_ == RunState::StartRequested || run_ == RunState::Running) && link_ != LinkState::Connected)
    return QStringLiteral("%1 on a link that is not connected").arg(QLatin1String(RunStateName(run_)));
  if (test_.Resumable && run_ != RunState::Ended && run_ != RunState::StartRequested)
    return QStringLiteral("a resumable test that is not ended");
  return {};
}

}  // namespace rig
