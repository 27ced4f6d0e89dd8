#pragma once
// One station's test run: the start and continue buttons, the commands they
// send, and the controller's settings reports, start acknowledgements and
// action statuses. What state the run is in is the station's model's
// (TStationModel); this class reports events to it and draws the panel from
// it. Runs on the window thread; frame handlers are called by the dispatcher
// with the complete frame (byte 0 is the station).
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/ActionRecord.h"
#include "station/StationModel.h"
#include "protocol/ParameterBlock.h"

namespace rig {

class IStationView;
class IRunObserver;
class TCommandGate;
class TStationController;
struct StationShared;

class TStationTestControl {
 public:
  using Clock = std::function<QDateTime()>;
  // Saves the held test as the save button would; true when it was saved.
  using Saver = std::function<bool()>;

  // Commands go out through `gate`. Without a clock, the local date and time.
  TStationTestControl(TStationController& station, TCommandGate& gate, Clock clock = {});

  // Observers hear of the run in the order they were added.
  void AddRunObserver(IRunObserver* observer) { observers_.push_back(observer); }
  void RemoveRunObserver(IRunObserver* observer) { std::erase(observers_, observer); }
  void SetSaver(Saver saver) { saver_ = std::move(saver); }

  int Station() const;

  // Start button: cancel a running test; start a new one when the selected
  // mode differs from the controller's; otherwise ask the controller for its
  // settings, whose report then starts the run from the count it reached.
  // A held test with unsaved actions is saved or let go first, as the
  // operator chooses, unless this start continues it after a lost line; the
  // press stands through that question only while the line stays connected.
  void StartButtonClick();
  // Continue button: after a refusal, the controller goes on.
  void ContinueButtonClick();
  // A new test from count 0 in the selected mode, whatever mode and count
  // the controller keeps (a programme's block): the start button's press and
  // its question about a held test, without the settings query that would
  // continue the controller's count. True when the start command went out.
  bool StartFreshTest();

  // The station saved its held test; its line failed: observers are told.
  void TestSaved();
  void LineLost();

  // The selected mode (0 when none) is not the mode last sent or reported.
  bool ModeDiffers() const;
  // Sends the start command the operator's press allowed (none without one,
  // nor on a line that is not connected): a new test clears the queue; a
  // resumed one keeps it. A panel parameter
  // that is not a number within its range stops the start before anything
  // changes: the operator gets its range notice with the focus in its edit,
  // and false.
  bool StartTest();
  void CancelTest();
  // The controller reported the end of the test.
  void FinishTest();

  // The start command from the panel; updates the run's mode (a new mode
  // restarts the counts) and the count labels. Nothing, with nothing
  // changed, when a parameter is not a number within its range.
  std::optional<QByteArray> BuildStartFrame();
  // Number of the first parameter whose text is not a number within its
  // range; 0 when all twenty are.
  int FirstInvalidParameter() const;

  // Code 0xA1: the first report after a handshake fills the panel (not while
  // a run goes on, and a held test keeps its own count); a later one starts
  // the run only when the operator's start asked for it, and any other report
  // changes nothing.
  void OnSettingsReport(const uint8_t* frame, int length);
  void LoadSettingsReport(const ParameterBlock& block);
  // Takes the report's mode; returns the count reached in it (0 for an
  // operation test).
  int32_t AdoptReportedMode(const ParameterBlock& block);

  // Code 0xA2: the start was taken; ask for the action statuses.
  void OnStartAccepted(const uint8_t* frame, int length);
  // Code 0xA3: the end of the test, or one action's status (shown, checked
  // for refusals, queued).
  void OnStatusFrame(const uint8_t* frame, int length);
  void UpdateStationDisplay();
  void CheckRefusals();

  // The set count of the running life test as sent; the refusal check keeps
  // the buttons off once the count done reaches it.
  int32_t FinalCount() const { return finalCount_; }
  const QString& RefusalMark(int breakIndex) const { return marks_[breakIndex]; }

 private:
  void SetMarks(const std::array<QString, kBreakCount>& marks);
  // The press cannot start anything any more.
  void AbandonStart();
  void QueueAction();
  void TellIfRefused(const ActionRecord& record);
  void Draw();
  template <typename Call>
  void Tell(Call call) {
    for (IRunObserver* o : observers_) call(*o);
  }
  // The test as the panel would send it now.
  HeldTest PanelTest() const;
  // True when nothing unsaved is held any more (saved, let go, or nothing
  // worth asking about); false when the operator chose to keep it.
  bool LetGoOfHeldTest();
  void DiscardHeldTest();
  // Actions came with no test held (the program started while the
  // controller ran): they make a test of their own, starting now.
  void AdoptActions();

  TStationController& station_;
  StationShared& shared_;
  IStationView& view_;
  TCommandGate& gate_;
  std::vector<IRunObserver*> observers_;
  Saver saver_;
  Clock clock_;
  int32_t finalCount_ = 0;
  // The texts of the panel's refusal marks: only this class writes them.
  std::array<QString, kBreakCount> marks_;
};

}  // namespace rig
