#include "station/StationController.h"

#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "station/StationView.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

QString* IdentityMember(StationState& s, int field) {
  switch (field) {
    case kSwitchModel: return &s.OpenType;
    case kFactoryNumber: return &s.OutIndex;
    case kStationText: return &s.WorkArea;
    case kOperatorName: return &s.WorkName;
  }
  return nullptr;
}

}  // namespace

TStationController::TStationController(int station, StationShared& shared, IStationView& view, INotifier& notifier)
    : station_(station), shared_(shared), view_(view), notifier_(notifier) {}

int TStationController::SelectedTestMode(int whenNone) const {
  int mode = whenNone;
  for (const TestModeInfo& m : TestModes())
    if (view_.IsModeChecked(m.Code)) mode = m.Code;
  return mode;
}

int TStationController::SelectedRefusalOption() const {
  // With neither radio checked the design's choice, "忽略拒动作", is reported
  // rather than an undefined value.
  return view_.IsRefusalOptionChecked(kDoNotIgnoreRefusals) ? kDoNotIgnoreRefusals : kIgnoreRefusals;
}

void TStationController::SelectMode(int mode) {
  if (!FindTestMode(mode) || view_.IsModeChecked(mode)) return;
  view_.CheckMode(mode);
  ShowModePrompt(mode);
}

void TStationController::ShowModePrompt(int mode) {
  view_.SetPromptText(ModePrompt(mode));
  ShowCountLabels(mode);
}

void TStationController::ShowCountLabels(int mode) {
  view_.SetCountLabelsVisible(false);
  const TestModeInfo* m = FindTestMode(mode);
  if (!m || !m->Life) return;
  view_.SetCountLabelsVisible(true);
  view_.SetCountDoneText(QString::number(shared_.Run.CountDone));
  view_.SetSetCountText(view_.ParameterText(m->SetCountParameter));
}

void TStationController::ShowReportedModePrompt() {
  view_.SetPromptVisible(true);
  view_.SetCountLabelsVisible(false);
  view_.SetPromptText(ModePrompt(shared_.Run.Mode));
  ShowCountLabels(shared_.Run.Mode);
}

void TStationController::CheckParameterExit(int number, ParameterRange range) {
  if (returningFocus_ || !FindParameter(number)) return;
  if (CheckParameterText(view_.ParameterText(number), range) != ExitCheckResult::OutOfRange) return;
  RefuseParameter(number, range);
}

void TStationController::RefuseParameter(int number, ParameterRange range) {
  returningFocus_ = true;
  notifier_.Notice(RangeMessage(range));
  view_.FocusParameter(number);
  returningFocus_ = false;
}

void TStationController::RestoreIdentity() {
  for (int f = 0; f < kIdentityFieldCount; ++f) view_.SetIdentityText(f, *IdentityMember(shared_.State, f));
}

void TStationController::StoreIdentity() {
  for (int f = 0; f < kIdentityFieldCount; ++f) *IdentityMember(shared_.State, f) = view_.IdentityText(f);
}

void TStationController::SetControlsEnabled(bool enabled) { SetStationControlsEnabled(view_, enabled); }

}  // namespace rig
