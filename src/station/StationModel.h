#pragma once
// One station's state in one place: its link, its run and the test it holds
// until that test is saved or the operator lets it go. The link and test
// control report what happened; the panel's captions and buttons are drawn
// from here (StationLook), so no handler can leave a button in a state that
// no other handler undoes.
//
// Run states:
//   Idle            no test held
//   StartRequested  the operator pressed start with the controller's mode;
//                   the settings query is out and its report starts the run
//   Running         a start command went out and the run has not ended
//   Ended           a test is held (cancelled, finished, cut by a lost line,
//                   or actions that arrived without a start) and not saved
//
// Invariants (CheckInvariants):
//   - Running and Ended hold a test; Idle holds none;
//   - a start command needs a start permit, and only the operator's start
//     press grants one: link replies and settings reports never start a run;
//   - the held test is released only by a save or the operator's choice.
#include <QString>
#include <array>

#include "testing/HeldTest.h"

namespace rig {

enum class LinkState { Closed, Open, Connecting, Connected, Lost };
enum class RunState { Idle, StartRequested, Running, Ended };

enum class StationEvent {
  // link
  PortOpened,
  PortNotOpened,
  HandshakeSent,
  HandshakeGivenUp,
  LinkAccepted,      // 0x22
  LinkDisconnected,  // 0x11
  LineLost,          // the port failed while open
  // run
  StartQueried,     // start pressed with the controller's mode: query sent
  StartAbandoned,   // the requested start will not come (first report, bad parameters, another mode)
  TestStarted,      // a new test was sent
  TestResumed,      // the held test goes on after a lost line
  TestCancelled,    // cancel byte sent (start button or disconnect)
  TestFinished,     // the controller reported the end
  ActionsAdopted,   // an action status came with no test held
  TestSaved,
  TestDiscarded,
};

const char* EventName(StationEvent e);
const char* RunStateName(RunState s);

// What a start press means once the controller answers.
enum class StartIntent { NewTest, ResumeHeldTest };

class TStationModel {
 public:
  LinkState Link() const { return link_; }
  RunState Run() const { return run_; }
  bool Connected() const { return link_ == LinkState::Connected; }
  bool IsRunning() const { return run_ == RunState::Running; }
  bool HoldsTest() const { return held_; }
  const HeldTest& Held() const { return test_; }
  // The next start in `mode` would continue the held test.
  bool CanResume(int mode) const { return held_ && test_.Resumable && test_.Mode == mode; }
  bool ResumePending() const { return held_ && test_.Resumable; }

  // The next settings report is the first after a handshake: it loads the panel.
  bool AwaitingFirstReport() const { return awaitingFirstReport_; }
  void ExpectFirstReport() { awaitingFirstReport_ = true; }
  void FirstReportArrived() { awaitingFirstReport_ = false; }

  // The operator's start press: one start command may follow.
  void GrantStart(StartIntent intent) {
    permit_ = true;
    intent_ = intent;
  }
  bool HasStartPermit() const { return permit_; }
  StartIntent Intent() const { return intent_; }
  // Consumed by the start command; false when there is none.
  bool TakeStartPermit() {
    const bool had = permit_;
    permit_ = false;
    return had;
  }

  // Refusal check: continue and save offered while the run waits.
  void OfferRefusalButtons(bool offered) {
    continueOffered_ = offered;
    saveOffered_ = offered;
  }
  bool ContinueOffered() const { return run_ == RunState::Running && continueOffered_; }
  bool SaveOffered() const;

  // The one place where states change. `test` is the held test a
  // TestStarted or ActionsAdopted event opens, or for TestResumed the
  // parameters the resumed run was sent.
  void On(StationEvent event, const HeldTest& test = {});

  // Empty when the invariants hold, else what is wrong.
  QString CheckInvariants() const;

 private:
  void Hold(const HeldTest& test);
  void Release();
  // Back from StartRequested to what was before the press.
  void DropStartRequest();
  void EndRun(bool resumable);

  LinkState link_ = LinkState::Closed;
  RunState run_ = RunState::Idle;
  bool held_ = false;
  HeldTest test_;
  bool awaitingFirstReport_ = true;
  bool permit_ = false;
  StartIntent intent_ = StartIntent::NewTest;
  bool continueOffered_ = false;
  bool saveOffered_ = false;
};

}  // namespace rig
