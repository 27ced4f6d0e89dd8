#pragma once
// A station panel as plain fields, for testing station code without widgets.
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "station/StationView.h"
#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rigtest {

class FakeStationView : public rig::IStationView {
 public:
  FakeStationView() {
    for (const rig::ParameterDef& p : rig::Parameters()) parameters[p.Number - 1] = QString::fromLatin1(p.Initial);
    checkedModes[rig::kStartupMode] = true;
  }

  QString IdentityText(int field) const override { return identity.at(field); }
  void SetIdentityText(int field, const QString& text) override { identity.at(field) = text; }
  QString ParameterText(int number) const override { return parameters.at(number - 1); }
  void SetParameterText(int number, const QString& text) override { parameters.at(number - 1) = text; }
  void FocusParameter(int number) override {
    focused.push_back(number);
    if (onFocus) onFocus(number);
  }
  bool IsModeChecked(int mode) const override {
    auto it = checkedModes.find(mode);
    return it != checkedModes.end() && it->second;
  }
  // An exclusive group, as on the panel.
  void CheckMode(int mode) override {
    checkedModes.clear();
    checkedModes[mode] = true;
  }
  bool IsRefusalOptionChecked(int option) const override { return refusal == option; }
  void CheckRefusalOption(int option) override { refusal = option; }
  void SetPromptText(const QString& text) override { prompt = text; }
  void SetPromptVisible(bool visible) override { promptVisible = visible; }
  void SetCountLabelsVisible(bool visible) override { countLabelsVisible = visible; }
  void SetCountDoneText(const QString& text) override { countDone = text; }
  void SetSetCountText(const QString& text) override { setCount = text; }
  void SetInputControlsEnabled(bool enabled) override { inputEnabled = enabled; }
  void SetContinueEnabled(bool enabled) override { continueEnabled = enabled; }
  void SetSaveEnabled(bool enabled) override { saveEnabled = enabled; }
  void SetStartCaption(const QString& caption) override { startCaption = caption; }
  void SetLinkCaption(const QString& caption) override { linkCaption = caption; }
  void SetBreakClosed(int breakIndex, bool closed) override { breaksClosed.at(breakIndex) = closed; }
  void SetRefusalMark(int breakIndex, const QString& text) override { marks.at(breakIndex) = text; }

  std::array<QString, 4> identity;
  std::array<QString, rig::kParameterCount> parameters;
  std::map<int, bool> checkedModes;
  int refusal = rig::kIgnoreRefusals;
  QString prompt = rig::InitialPromptText();
  bool promptVisible = true;
  bool countLabelsVisible = true;
  QString countDone = QStringLiteral("XXX");
  QString setCount = QStringLiteral("20000");
  bool inputEnabled = true;
  bool continueEnabled = true;
  bool saveEnabled = true;
  QString startCaption = QStringLiteral("开始测试");
  QString linkCaption;
  std::array<bool, 3> breaksClosed{};
  std::array<QString, 3> marks;
  std::vector<int> focused;
  std::function<void(int)> onFocus;
};

}  // namespace rigtest
