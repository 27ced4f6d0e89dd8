#pragma once
// What one station's panel does, apart from its widgets: mode selection with
// its prompt and count labels, the parameter exit checks, the identity texts
// and the locking of the input controls. Both stations run one each.
#include <QString>

#include "testing/TestParameters.h"

namespace rig {

class INotifier;
class IStationView;
struct StationShared;

class TStationController {
 public:
  TStationController(int station, StationShared& shared, IStationView& view, INotifier& notifier);

  int Station() const { return station_; }
  IStationView& View() { return view_; }
  StationShared& Shared() { return shared_; }
  INotifier& Notifier() { return notifier_; }

  // Mode radios are examined in code order and the last checked one wins;
  // `whenNone` when no radio is checked (17 for a start command, 0 when
  // comparing with the controller's mode).
  int SelectedTestMode(int whenNone) const;
  // 10 for "不忽略拒动作", else 5.
  int SelectedRefusalOption() const;

  // Checks a mode radio from program code. A radio that becomes checked
  // counts as clicked, so the prompt follows as if the operator had done it.
  void SelectMode(int mode);

  // Prompt of `mode`, then the count labels.
  void ShowModePrompt(int mode);
  // Count labels shown only for a life test: count done and that mode's set count.
  void ShowCountLabels(int mode);
  // After the controller reported its settings: prompt and counts of the run's Mode.
  void ShowReportedModePrompt();

  // The check made when the operator leaves a parameter edit: out of range
  // gives the range's notice and puts the focus back into the edit.
  void CheckParameterExit(int number, ParameterRange range);
  // The range's notice, then the focus back into parameter `number`'s edit.
  void RefuseParameter(int number, ParameterRange range);

  // StationState identity texts into the edits, and back.
  void RestoreIdentity();
  void StoreIdentity();

  void SetControlsEnabled(bool enabled);

 private:
  int station_;
  StationShared& shared_;
  IStationView& view_;
  INotifier& notifier_;
  // Set while the focus is being put back after a range notice: the edit that
  // had just received the focus is not being left by the operator, so its own
  // check must not run (two bad edits would otherwise bounce the focus and
  // their notices between them for ever).
  bool returningFocus_ = false;
};

}  // namespace rig
