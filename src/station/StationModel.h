#pragma once
// One station's state in one place: its link, its run and the test it holds
// until that test is saved or the operator lets it go. Everything that
// happens to the station is an event given to On(), the only member that
// changes the state; what each event does is one row of the transition
// table in StationModel.cpp. The panel's captions and buttons are drawn from
// here (StationLook), and every command to the controller passes Permits()
// at the moment it is written (TCommandGate).
//
// Run states:
//   Idle            no test held
//   StartRequested  the operator pressed start with the controller's mode;
//                   the settings query is out and its report starts the run
//   Running         a start command was written to a connected line and the
//                   run has not ended
//   Ended           a test is held (cancelled, finished, cut by a lost line,
//                   or actions that arrived without a start) and not saved;
//                   Ending() says which of these it was
//
// Invariants (CheckInvariants):
//   - Running and Ended hold a test; Idle holds none;
//   - an Ended run (and a start request over it) knows how it ended; Idle and
//     Running have no ending;
//   - a start command needs a standing start press on a connected line, and
//     only the operator's press makes one: link replies and settings reports
//     never start a run; a line event or a disconnect withdraws it;
//   - the held test is released only by a save or the operator's choice.
#include <QString>
#include <array>

#include "testing/HeldTest.h"

namespace rig {

enum class LinkState { Closed, Open, Connecting, Connected, Lost };
enum class RunState { Idle, StartRequested, Running, Ended };
// How the held test stopped running: the panel words a cancelled test, a
// finished one and one cut off by its line differently.
enum class RunEnding { None, Cancelled, Finished, LineCut, NotStarted };

enum class StationEvent {
  // link
  PortOpened,
  PortNotOpened,
  HandshakeSent,        // the next settings report only loads the panel
  HandshakeGivenUp,
  LinkAccepted,         // 0x22
  LinkDisconnected,     // 0x11
  LineLost,             // the port failed while open
  DisconnectRequested,  // the operator asked the controller to disconnect
  FirstReportLoaded,    // the first report after a handshake filled the panel
  // run
  StartPressed,     // 开始测试 for a new test: one start command may follow
  ResumePressed,    // 开始测试 that continues the held test after a lost line
  StartQueried,     // the press waits for the controller's settings report
  StartAbandoned,   // the press will not start anything
  TestStarted,      // a new test's start command was written
  TestResumed,      // the held test's start command was written after a lost line
  TestCancelled,    // cancel byte sent (start button or disconnect)
  TestFinished,     // the controller reported the end
  RefusalWaiting,   // a refusal: continue and save offered while the run waits
  RefusalCleared,   // an action that needs no decision
  ActionsAdopted,   // an action status came with no test held
  TestSaved,
  TestDiscarded,
};

// What goes to the controller; each passes the station's command gate.
enum class StationCommand { Handshake, Disconnect, SettingsQuery, StatusQuery, Start, Continue, Cancel };

const char* EventName(StationEvent e);
const char* RunStateName(RunState s);
const char* RunEndingName(RunEnding e);
// The command as the run log names it ("启动命令").
QString CommandText(StationCommand c);

// What a start press means once the controller answers.
enum class StartIntent { NewTest, ResumeHeldTest };

class TStationModel {
 public:
  LinkState Link() const { return link_; }
  RunState Run() const { return run_; }
  bool Connected() const { return link_ == LinkState::Connected; }
  bool IsRunning() const { return run_ == RunState::Running; }
  bool HoldsTest() const { return held_; }
  RunEnding Ending() const { return ending_; }
  const HeldTest& Held() const { return test_; }
  // The next start in `mode` would continue the held test.
  bool CanResume(int mode) const { return held_ && test_.Resumable && test_.Mode == mode; }
  bool ResumePending() const { return held_ && test_.Resumable; }
  // The next settings report is the first after a handshake: it loads the panel.
  bool AwaitingFirstReport() const { return awaitingFirstReport_; }
  // An operator's start press stands: one start command may go out.
  bool HasStartPermit() const { return permit_; }
  StartIntent Intent() const { return intent_; }
  bool ContinueOffered() const { return run_ == RunState::Running && continueOffered_; }
  bool SaveOffered() const;

  // Whether `command` may be written now; empty when it may, else why not.
  QString Refusal(StationCommand command) const;
  bool Permits(StationCommand command) const { return Refusal(command).isEmpty(); }

  // The only member that changes the state. `test` is the held test a
  // TestStarted or ActionsAdopted event opens, or for TestResumed the
  // parameters the resumed run was sent.
  void On(StationEvent event, const HeldTest& test = {});

  // Empty when the invariants hold, else what is wrong.
  QString CheckInvariants() const;

 private:
  struct Transition;
  static const Transition kTransitions[];

  // The run side of the transitions, one short step each.
  void DropStartRequest(const HeldTest&);
  void EndResumable(const HeldTest&);
  void EndCutOff(const HeldTest&);
  void EndCancelled(const HeldTest&);
  void EndFinished(const HeldTest&);
  void ExpectFirstReport(const HeldTest&);
  void FirstReportLoaded(const HeldTest&);
  void PressStart(const HeldTest&);
  void PressResume(const HeldTest&);
  void QueryStart(const HeldTest&);
  void StartTest(const HeldTest&);
  void ResumeTest(const HeldTest&);
  void OfferRefusalButtons(const HeldTest&);
  void WithdrawRefusalButtons(const HeldTest&);
  void AdoptActions(const HeldTest&);
  void ReleaseSaved(const HeldTest&);
  void ReleaseDiscarded(const HeldTest&);

  void Hold(const HeldTest& test);
  void Release();
  void Press(StartIntent intent);
  void EndRun(RunEnding ending, bool resumable);

  LinkState link_ = LinkState::Closed;
  RunState run_ = RunState::Idle;
  bool held_ = false;
  RunEnding ending_ = RunEnding::None;
  HeldTest test_;
  bool awaitingFirstReport_ = true;
  bool permit_ = false;
  StartIntent intent_ = StartIntent::NewTest;
  bool continueOffered_ = false;
  bool saveOffered_ = false;
};

}  // namespace rig
