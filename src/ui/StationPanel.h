#pragma once
// One station's group box ("工位1" or "工位2") with everything in it, built
// from the station's design. It shows what station code tells it
// (IStationView) and reports what the operator does as signals.
#include "ui/CaptionedBox.h"
#include <array>
#include <map>

#include "core/ActionRecord.h"
#include "station/StationView.h"
#include "testing/TestParameters.h"
#include "ui/StationPanelLayout.h"

class QAbstractButton;
class QLabel;
class QRadioButton;
class QToolButton;

namespace rig {

class TEdit;
class TRunWatchPanel;
class TShape;

class TStationPanel : public TCaptionedBox, public IStationView {
  Q_OBJECT
 public:
  explicit TStationPanel(const StationPanelDesign& design, QWidget* parent = nullptr);

  const StationPanelDesign& Design() const { return design_; }

  // The link button lives in the window's tool bar; the panel captions it.
  void AttachLinkButton(QAbstractButton* button) { linkButton_ = button; }

  // The digits-only style, given to the parameter edits and, where the design
  // says so, to the identity edits.
  void SetDigitsOnlyStyle();

  TEdit* ParameterEdit(int number) const;
  TEdit* IdentityEdit(int field) const { return identity_[field]; }
  // The live view below the break-state area.
  TRunWatchPanel& RunWatch() const { return *runWatch_; }
  // The programme the station runs, below the live view; hidden when empty.
  void SetProgrammeLine(const QString& text);

  // IStationView
  QString IdentityText(int field) const override;
  void SetIdentityText(int field, const QString& text) override;
  QString ParameterText(int number) const override;
  void SetParameterText(int number, const QString& text) override;
  void FocusParameter(int number) override;
  bool IsModeChecked(int mode) const override;
  void CheckMode(int mode) override;
  bool IsRefusalOptionChecked(int option) const override;
  void CheckRefusalOption(int option) override;
  void SetPromptText(const QString& text) override;
  void SetPromptVisible(bool visible) override;
  void SetCountLabelsVisible(bool visible) override;
  void SetCountDoneText(const QString& text) override;
  void SetSetCountText(const QString& text) override;
  void SetInputControlsEnabled(bool enabled) override;
  void SetContinueEnabled(bool enabled) override;
  void SetSaveEnabled(bool enabled) override;
  void SetStartCaption(const QString& caption) override;
  void SetLinkCaption(const QString& caption) override;
  void SetBreakClosed(int breakIndex, bool closed) override;
  void SetRefusalMark(int breakIndex, const QString& text) override;

 signals:
  void modeClicked(int tag);
  void parameterExited(int number);
  void startClicked();
  void continueClicked();
  void saveClicked();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildParameterBox();
  void BuildParameterArea(QWidget* area);
  void BuildRefusalOption(QWidget* box);
  void BuildBreakArea();
  static void SetText(QLabel* label, const QString& text);

  const StationPanelDesign& design_;
  TCaptionedBox* parameterBox_ = nullptr;
  std::array<TEdit*, kIdentityFieldCount> identity_{};
  std::array<TEdit*, kParameterCount> parameters_{};
  std::map<int, QRadioButton*> modeRadios_;
  QRadioButton* ignoreRefusals_ = nullptr;
  QRadioButton* heedRefusals_ = nullptr;
  QLabel* prompt_ = nullptr;
  std::array<QLabel*, 4> countLabels_{};  // done, "/", set, "次"
  std::array<TShape*, kBreakCount> shapes_{};
  std::array<QLabel*, kBreakCount> marks_{};
  QToolButton* start_ = nullptr;
  QToolButton* continue_ = nullptr;
  QToolButton* save_ = nullptr;
  QAbstractButton* linkButton_ = nullptr;
  TRunWatchPanel* runWatch_ = nullptr;
  QLabel* programmeLine_ = nullptr;
};

// The colour that stands for break A1, B1 or C1.
QColor BreakColor(int breakIndex);

// A flat button as the tool bar and the panels use them.
QToolButton* NewSpeedButton(const QString& name, const QString& caption, QWidget* parent);

}  // namespace rig
