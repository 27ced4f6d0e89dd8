#pragma once
// What station code may do to a station's panel. The Qt panel implements it;
// station code never sees a widget, and tests can put a fake in its place.
#include <QString>

namespace rig {

// Identity fields, in StationState order.
enum IdentityField { kSwitchModel = 0, kFactoryNumber = 1, kStationText = 2, kOperatorName = 3, kIdentityFieldCount = 4 };

class IStationView {
 public:
  virtual ~IStationView() = default;

  virtual QString IdentityText(int field) const = 0;
  virtual void SetIdentityText(int field, const QString& text) = 0;

  // Parameters are numbered 1 to 20 in payload order.
  virtual QString ParameterText(int number) const = 0;
  virtual void SetParameterText(int number, const QString& text) = 0;
  virtual void FocusParameter(int number) = 0;

  // Mode radios by mode code; refusal radios by wire value (5 or 10).
  virtual bool IsModeChecked(int mode) const = 0;
  virtual void CheckMode(int mode) = 0;
  virtual bool IsRefusalOptionChecked(int option) const = 0;
  virtual void CheckRefusalOption(int option) = 0;

  virtual void SetPromptText(const QString& text) = 0;
  virtual void SetPromptVisible(bool visible) = 0;
  // The four labels "done / set 次" after the prompt.
  virtual void SetCountLabelsVisible(bool visible) = 0;
  virtual void SetCountDoneText(const QString& text) = 0;
  virtual void SetSetCountText(const QString& text) = 0;

  // Identity and parameter edits, mode and refusal radios, start button.
  virtual void SetInputControlsEnabled(bool enabled) = 0;
  virtual void SetContinueEnabled(bool enabled) = 0;
  virtual void SetSaveEnabled(bool enabled) = 0;
  virtual void SetStartCaption(const QString& caption) = 0;
  virtual void SetLinkCaption(const QString& caption) = 0;

  // Breaks A1, B1, C1 (BreakIndex): circle fill and refusal mark.
  virtual void SetBreakClosed(int breakIndex, bool closed) = 0;
  virtual void SetRefusalMark(int breakIndex, const QString& text) = 0;
};

// Switches the station's input controls; the continue and save buttons are
// disabled either way (test control enables them when a run allows it).
inline void SetStationControlsEnabled(IStationView& view, bool enabled) {
  view.SetInputControlsEnabled(enabled);
  view.SetContinueEnabled(false);
  view.SetSaveEnabled(false);
}

}  // namespace rig
