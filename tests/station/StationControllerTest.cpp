#include "station/StationController.h"

#include <gtest/gtest.h>

#include "station/GlobVar.h"
#include "support/RecordingNotifier.h"
#include "station/FakeStationView.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

class StationControllerTest : public ::testing::Test {
 protected:
  GlobVar shared;
  rigtest::FakeStationView view;
  rigtest::RecordingNotifier notifier;
  TStationController station{2, *shared.Station(2), view, notifier};
};

TEST_F(StationControllerTest, SelectedModeIsTheLastCheckedInCodeOrder) {
  EXPECT_EQ(station.SelectedTestMode(0), kSingleOpen);
  view.checkedModes = {{3, true}, {19, true}, {5, true}};
  EXPECT_EQ(station.SelectedTestMode(0), 19);
  view.checkedModes.clear();
  EXPECT_EQ(station.SelectedTestMode(0), 0) << "none checked, compared with the run's mode";
  EXPECT_EQ(station.SelectedTestMode(kModeWhenNoneSelected), 17) << "none checked, building a start";
}

TEST_F(StationControllerTest, RefusalOptionIsTenOnlyWhenNotIgnoring) {
  EXPECT_EQ(station.SelectedRefusalOption(), 5);
  view.refusal = kDoNotIgnoreRefusals;
  EXPECT_EQ(station.SelectedRefusalOption(), 10);
  view.refusal = 0;  // neither radio checked
  EXPECT_EQ(station.SelectedRefusalOption(), 5);
}

TEST_F(StationControllerTest, ModePromptShowsCountsOnlyForLifeTests) {
  shared.Station(2)->Run.CountDone = 57;
  for (const TestModeInfo& m : TestModes()) {
    SCOPED_TRACE(m.Code);
    view.parameters[m.Life ? m.SetCountParameter - 1 : 0] = QStringLiteral("8%1").arg(m.Code);
    view.countDone = view.setCount = QStringLiteral("untouched");
    station.ShowModePrompt(m.Code);
    EXPECT_EQ(view.prompt, ModePrompt(m.Code));
    EXPECT_EQ(view.countLabelsVisible, m.Life);
    if (m.Life) {
      EXPECT_EQ(view.countDone, QStringLiteral("57"));
      EXPECT_EQ(view.setCount, QStringLiteral("8%1").arg(m.Code));
    } else {
      EXPECT_EQ(view.countDone, QStringLiteral("untouched"));
    }
  }
}

TEST_F(StationControllerTest, ReportedModePromptFollowsTheRunsMode) {
  view.promptVisible = false;
  shared.Station(2)->Run.Mode = 18;
  shared.Station(2)->Run.CountDone = -3;
  station.ShowReportedModePrompt();
  EXPECT_TRUE(view.promptVisible);
  EXPECT_EQ(view.prompt, QStringLiteral("操作提示：当前是寿命试验（合分）"));
  EXPECT_TRUE(view.countLabelsVisible);
  EXPECT_EQ(view.countDone, QStringLiteral("-3"));
  EXPECT_EQ(view.setCount, QStringLiteral("500"));

  shared.Station(2)->Run.Mode = 9;  // not a mode
  station.ShowReportedModePrompt();
  EXPECT_EQ(view.prompt, QString());
  EXPECT_FALSE(view.countLabelsVisible);
}

TEST_F(StationControllerTest, SelectModeActsAsAClickOnlyWhenTheRadioChanges) {
  station.SelectMode(kLifeOpenClose);
  EXPECT_TRUE(view.IsModeChecked(19));
  EXPECT_EQ(view.prompt, ModePrompt(19));
  view.prompt = QStringLiteral("kept");
  station.SelectMode(kLifeOpenClose);
  EXPECT_EQ(view.prompt, QStringLiteral("kept"));
  station.SelectMode(7);
  EXPECT_TRUE(view.IsModeChecked(19)) << "a code that is not a mode selects nothing";
}

TEST_F(StationControllerTest, ExitCheckNotifiesAndReturnsTheFocusOnlyWhenOutOfRange) {
  struct {
    int number;
    ParameterRange range;
    const char* text;
    const char* message;  // nullptr: no notice
  } cases[] = {
      {3, ParameterRange::DelayMs, "200000", nullptr},
      {3, ParameterRange::DelayMs, "200001", "只能输入1-200000的数字"},
      {3, ParameterRange::DelayMs, "0", "只能输入1-200000的数字"},
      {1, ParameterRange::Duration, "", nullptr},
      {1, ParameterRange::Duration, "30001", "只能输入1-30000的数字"},
      {7, ParameterRange::DelaySeconds, "3001", "只能输入1-3000的数字"},
      {9, ParameterRange::SetCount, "99999999999", nullptr},
      {9, ParameterRange::SetCount, "32001", "只能输入1-32000的数字"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    notifier.notices.clear();
    view.focused.clear();
    view.parameters[c.number - 1] = QString::fromUtf8(c.text);
    station.CheckParameterExit(c.number, c.range);
    if (c.message) {
      ASSERT_EQ(notifier.notices.size(), 1u);
      EXPECT_EQ(notifier.notices[0].text, QString::fromUtf8(c.message));
      EXPECT_EQ(notifier.notices[0].icon, NoticeIcon::Information);
      EXPECT_FALSE(notifier.notices[0].error);
      EXPECT_EQ(view.focused, std::vector<int>{c.number});
    } else {
      EXPECT_TRUE(notifier.notices.empty());
      EXPECT_TRUE(view.focused.empty());
    }
    EXPECT_EQ(view.parameters[c.number - 1], QString::fromUtf8(c.text)) << "the text is never changed";
  }
}

// Focus going back to a bad edit leaves the edit that had just received the
// focus; that is not the operator leaving it, so no second check may run.
TEST_F(StationControllerTest, ReturningTheFocusDoesNotCheckTheEditItLeaves) {
  view.parameters[2] = QStringLiteral("0");
  view.parameters[3] = QStringLiteral("0");
  view.onFocus = [this](int) { station.CheckParameterExit(4, ParameterRange::DelayMs); };
  station.CheckParameterExit(3, ParameterRange::DelayMs);
  EXPECT_EQ(notifier.notices.size(), 1u);
  EXPECT_EQ(view.focused, std::vector<int>{3});
  view.onFocus = nullptr;
  station.CheckParameterExit(4, ParameterRange::DelayMs);
  EXPECT_EQ(notifier.notices.size(), 2u) << "later exits are checked again";
}

TEST_F(StationControllerTest, IdentityGoesBothWaysBetweenStateAndPanel) {
  StationState& st = shared.Station(2)->State;
  st.OpenType = QStringLiteral("ZN63A-12");
  st.OutIndex = QStringLiteral("0815");
  st.WorkArea = QStringLiteral("二号");
  st.WorkName = QStringLiteral("张三");
  station.RestoreIdentity();
  EXPECT_EQ(view.identity, (std::array<QString, 4>{st.OpenType, st.OutIndex, st.WorkArea, st.WorkName}));

  view.identity = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("李四")};
  station.StoreIdentity();
  EXPECT_EQ(st.OpenType, QStringLiteral("a"));
  EXPECT_EQ(st.OutIndex, QStringLiteral("b"));
  EXPECT_EQ(st.WorkArea, QStringLiteral("c"));
  EXPECT_EQ(st.WorkName, QStringLiteral("李四"));
  EXPECT_TRUE(shared.Station(1)->State.WorkName.isEmpty()) << "station 1 untouched";
}

TEST_F(StationControllerTest, SwitchingControlsAlwaysDisablesContinueAndSave) {
  for (bool enabled : {true, false, true}) {
    view.continueEnabled = view.saveEnabled = true;
    station.SetControlsEnabled(enabled);
    EXPECT_EQ(view.inputEnabled, enabled);
    EXPECT_FALSE(view.continueEnabled);
    EXPECT_FALSE(view.saveEnabled);
  }
}

}  // namespace
}  // namespace rig
