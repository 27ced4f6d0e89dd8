#include "station/StationModel.h"

#include <initializer_list>

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
    case StationEvent::DisconnectRequested: return "DisconnectRequested";
    case StationEvent::FirstReportLoaded: return "FirstReportLoaded";
    case StationEvent::StartPressed: return "StartPressed";
    case StationEvent::ResumePressed: return "ResumePressed";
    case StationEvent::StartQueried: return "StartQueried";
    case StationEvent::StartAbandoned: return "StartAbandoned";
    case StationEvent::TestStarted: return "TestStarted";
    case StationEvent::TestResumed: return "TestResumed";
    case StationEvent::TestCancelled: return "TestCancelled";
    case StationEvent::TestFinished: return "TestFinished";
    case StationEvent::RefusalWaiting: return "RefusalWaiting";
    case StationEvent::RefusalCleared: return "RefusalCleared";
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

const char* RunEndingName(RunEnding e) {
  switch (e) {
    case RunEnding::None: return "None";
    case RunEnding::Cancelled: return "Cancelled";
    case RunEnding::Finished: return "Finished";
    case RunEnding::LineCut: return "LineCut";
    case RunEnding::NotStarted: return "NotStarted";
  }
  return "?";
}

QString CommandText(StationCommand c) {
  switch (c) {
    case StationCommand::Handshake: return QStringLiteral("握手请求");
    case StationCommand::Disconnect: return QStringLiteral("断开请求");
    case StationCommand::SettingsQuery: return QStringLiteral("设置查询");
    case StationCommand::StatusQuery: return QStringLiteral("状态查询");
    case StationCommand::Start: return QStringLiteral("启动命令");
    case StationCommand::Continue: return QStringLiteral("继续命令");
    case StationCommand::Cancel: return QStringLiteral("取消命令");
  }
  return {};
}

namespace {

using E = StationEvent;
using L = LinkState;

constexpr uint8_t In(std::initializer_list<LinkState> states) {
  uint8_t mask = 0;
  for (LinkState s : states) mask = static_cast<uint8_t>(mask | (1u << static_cast<int>(s)));
  return mask;
}
constexpr uint8_t kAnyLink = In({L::Closed, L::Open, L::Connecting, L::Connected, L::Lost});

bool IsIn(uint8_t mask, LinkState s) { return (mask >> static_cast<int>(s)) & 1u; }

}  // namespace

// One row per event: the link part (from which link states, to which), then
// the run part [guard] / step. A guard that does not hold leaves the run as
// it is.
struct LinkChange {
  uint8_t from;  // the link states it applies in; none: the link stays as it is
  LinkState to;
};
constexpr LinkChange Stays{0, LinkState::Closed};
constexpr LinkChange Moves(uint8_t from, LinkState to) { return {from, to}; }

struct TStationModel::Transition {
  StationEvent event;
  LinkChange link;
  bool (*guard)(const TStationModel&);
  void (TStationModel::*step)(const HeldTest&);
};

namespace {

using M = TStationModel;
bool Always(const M&) { return true; }
// The operator may press start on a connected station with no run going.
bool MayPress(const M& m) { return m.Connected() && (m.Run() == RunState::Idle || m.Run() == RunState::Ended); }
// A press stands on a connected line (the start command's own guard).
bool PressOnLine(const M& m) { return m.HasStartPermit() && m.Connected(); }
bool PressOnLineNotRunning(const M& m) { return PressOnLine(m) && m.Run() != RunState::Running; }
bool ResumableOnLine(const M& m) { return PressOnLineNotRunning(m) && m.ResumePending(); }
bool Running(const M& m) { return m.IsRunning(); }
bool NothingHeld(const M& m) { return !m.HoldsTest(); }

}  // namespace

const TStationModel::Transition TStationModel::kTransitions[] = {
    // event                 link: in which states, to                           [guard]                 / run step
    {E::PortOpened,          Moves(In({L::Closed, L::Lost}), L::Open),           Always,                 nullptr},
    {E::PortNotOpened,       Moves(kAnyLink, L::Closed),                         Always,                 &M::EndResumable},
    {E::HandshakeSent,       Moves(In({L::Open}), L::Connecting),                Always,                 &M::ExpectFirstReport},
    {E::HandshakeGivenUp,    Moves(In({L::Connecting}), L::Open),                Always,                 nullptr},
    {E::LinkAccepted,        Moves(kAnyLink, L::Connected),                      Always,                 nullptr},
    {E::LinkDisconnected,    Moves(In({L::Connected, L::Connecting}), L::Open),  Always,                 &M::EndCutOff},
    {E::LineLost,            Moves(kAnyLink, L::Lost),                           Always,                 &M::EndResumable},
    {E::DisconnectRequested, Stays,                                              Always,                 &M::DropStartRequest},
    {E::FirstReportLoaded,   Stays,                                              Always,                 &M::FirstReportLoaded},
    {E::StartPressed,        Stays,                                              MayPress,               &M::PressStart},
    {E::ResumePressed,       Stays,                                              MayPress,               &M::PressResume},
    {E::StartQueried,        Stays,                                              PressOnLineNotRunning,  &M::QueryStart},
    {E::StartAbandoned,      Stays,                                              Always,                 &M::DropStartRequest},
    {E::TestStarted,         Stays,                                              PressOnLineNotRunning,  &M::StartTest},
    {E::TestResumed,         Stays,                                              ResumableOnLine,        &M::ResumeTest},
    {E::TestCancelled,       Stays,                                              Always,                 &M::EndCancelled},
    {E::TestFinished,        Stays,                                              Always,                 &M::EndFinished},
    {E::RefusalWaiting,      Stays,                                              Running,                &M::OfferRefusalButtons},
    {E::RefusalCleared,      Stays,                                              Always,                 &M::WithdrawRefusalButtons},
    {E::ActionsAdopted,      Stays,                                              NothingHeld,            &M::AdoptActions},
    {E::TestSaved,           Stays,                                              Always,                 &M::ReleaseSaved},
    {E::TestDiscarded,       Stays,                                              Always,                 &M::ReleaseDiscarded},
};

void TStationModel::On(StationEvent event, const HeldTest& test) {
  for (const Transition& t : kTransitions) {
    if (t.event != event) continue;
    if (IsIn(t.link.from, link_)) link_ = t.link.to;
    if (t.step && t.guard(*this)) (this->*t.step)(test);
    return;
  }
}

QString TStationModel::Refusal(StationCommand command) const {
  const QString offLine = QStringLiteral("线路未连接");
  switch (command) {
    case StationCommand::Handshake:
    case StationCommand::Disconnect:
      return {};  // also on a closed port: the failed write is logged
    case StationCommand::SettingsQuery:
      return Connected() ? QString() : offLine;
    case StationCommand::StatusQuery:  // it sets an armed controller going: only for a start that was sent
      if (!Connected()) return offLine;
      return IsRunning() ? QString() : QStringLiteral("没有运行中的测试");
    case StationCommand::Start:
      if (!Connected()) return offLine;
      if (!permit_) return QStringLiteral("没有操作员的开始命令");
      return IsRunning() ? QStringLiteral("测试已在运行") : QString();
    case StationCommand::Continue:
      if (!Connected()) return offLine;
      return ContinueOffered() ? QString() : QStringLiteral("控制器没有等待继续测试");
    case StationCommand::Cancel:
      if (!Connected()) return offLine;
      return IsRunning() ? QString() : QStringLiteral("没有运行中的测试");
  }
  return QStringLiteral("未知命令");
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

// --- run steps --------------------------------------------------------------

void TStationModel::DropStartRequest(const HeldTest&) {
  permit_ = false;
  if (run_ == RunState::StartRequested) run_ = held_ ? RunState::Ended : RunState::Idle;
}

// A lost line or a port that will not open: the same test may go on later.
void TStationModel::EndResumable(const HeldTest& t) {
  DropStartRequest(t);
  EndRun(RunEnding::LineCut, true);
}

// The controller said the link is down: the run stopped where it was.
void TStationModel::EndCutOff(const HeldTest& t) {
  DropStartRequest(t);
  EndRun(RunEnding::LineCut, false);
}

void TStationModel::EndCancelled(const HeldTest& t) {
  DropStartRequest(t);
  EndRun(RunEnding::Cancelled, false);
}

void TStationModel::EndFinished(const HeldTest& t) {
  DropStartRequest(t);
  EndRun(RunEnding::Finished, false);
}

void TStationModel::ExpectFirstReport(const HeldTest& t) {
  DropStartRequest(t);
  awaitingFirstReport_ = true;
}

void TStationModel::FirstReportLoaded(const HeldTest& t) {
  DropStartRequest(t);  // a start pressed before it is not answered
  awaitingFirstReport_ = false;
}

void TStationModel::PressStart(const HeldTest&) { Press(StartIntent::NewTest); }
void TStationModel::PressResume(const HeldTest&) { Press(StartIntent::ResumeHeldTest); }

void TStationModel::QueryStart(const HeldTest&) { run_ = RunState::StartRequested; }

void TStationModel::StartTest(const HeldTest& test) {
  Hold(test);
  run_ = RunState::Running;
  ending_ = RunEnding::None;
  permit_ = false;
  continueOffered_ = saveOffered_ = false;
}

void TStationModel::ResumeTest(const HeldTest& test) {  // same test and mode; the parameters sent now
  test_.ParamTexts = test.ParamTexts;
  test_.Resumable = false;
  run_ = RunState::Running;
  ending_ = RunEnding::None;
  permit_ = false;
  continueOffered_ = saveOffered_ = false;
}

void TStationModel::OfferRefusalButtons(const HeldTest&) { continueOffered_ = saveOffered_ = true; }
void TStationModel::WithdrawRefusalButtons(const HeldTest&) { continueOffered_ = saveOffered_ = false; }

void TStationModel::AdoptActions(const HeldTest& test) {
  Hold(test);
  ending_ = RunEnding::NotStarted;  // also under a start request, which may yet be abandoned
  if (run_ == RunState::Idle) run_ = RunState::Ended;
}

void TStationModel::ReleaseSaved(const HeldTest&) {
  if (run_ == RunState::Running) {
    saveOffered_ = false;  // the run goes on; its later actions make another record
    return;
  }
  Release();
  if (run_ == RunState::Ended) run_ = RunState::Idle;
}

void TStationModel::ReleaseDiscarded(const HeldTest&) {
  if (run_ == RunState::Running) return;
  Release();
  if (run_ == RunState::Ended) run_ = RunState::Idle;
}

// --- helpers ----------------------------------------------------------------

void TStationModel::Hold(const HeldTest& test) {
  held_ = true;
  test_ = test;
}

void TStationModel::Release() {
  held_ = false;
  test_ = HeldTest{};
  ending_ = RunEnding::None;
}

void TStationModel::Press(StartIntent intent) {
  permit_ = true;
  intent_ = intent;
}

void TStationModel::EndRun(RunEnding ending, bool resumable) {
  if (run_ == RunState::Running) {  // a test that already ended keeps how it ended
    run_ = RunState::Ended;
    ending_ = ending;
    test_.Resumable = resumable;
  }
  continueOffered_ = saveOffered_ = false;
}

QString TStationModel::CheckInvariants() const {
  if ((run_ == RunState::Running || run_ == RunState::Ended) && !held_)
    return QStringLiteral("%1 without a held test").arg(QLatin1String(RunStateName(run_)));
  if (run_ == RunState::Idle && held_) return QStringLiteral("Idle holding a test");
  if ((ending_ == RunEnding::None) == held_ && run_ != RunState::Running)
    return QStringLiteral("%1 with ending %2").arg(QLatin1String(RunStateName(run_)), QLatin1String(RunEndingName(ending_)));
  if (run_ == RunState::Running && ending_ != RunEnding::None)
    return QStringLiteral("Running with ending %1").arg(QLatin1String(RunEndingName(ending_)));
  if (run_ == RunState::StartRequested && !permit_) return QStringLiteral("StartRequested without a permit");
  if (permit_ && run_ == RunState::Running) return QStringLiteral("a start permit while running");
  if (permit_ && link_ != LinkState::Connected) return QStringLiteral("a start permit on a link that is not connected");
  if ((run_ == RunState::StartRequested || run_ == RunState::Running) && link_ != LinkState::Connected)
    return QStringLiteral("%1 on a link that is not connected").arg(QLatin1String(RunStateName(run_)));
  if (test_.Resumable && run_ != RunState::Ended && run_ != RunState::StartRequested)
    return QStringLiteral("a resumable test that is not ended");
  return {};
}

}  // namespace rig
