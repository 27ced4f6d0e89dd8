#include "station/StationTestControl.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/QtPrinters.h"
#include "station/StationRig.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

using rigtest::ActionStatus;
using rigtest::Bytes;
using rigtest::FactorySettings;
using rigtest::OneByteReply;
using rigtest::SettingsReport;
using rigtest::TwoStations;

const QString kStart = QStringLiteral("开始测试");
const QString kCancel = QStringLiteral("取消测试");
const QString kRefusedClose = QStringLiteral("拒合");
const QString kRefusedOpen = QStringLiteral("拒分");

// The value in the four resume-count places of a start frame, or -1 when
// they differ.
int32_t ResumeCountOf(const QByteArray& start) {
  const auto* block = rigtest::Data(start) + kFrameHeaderSize;
  const int32_t first = ReadInt32Le(block + CountOffset(17));
  for (int mode = 18; mode <= 20; ++mode)
    if (ReadInt32Le(block + CountOffset(mode)) != first) return -1;
  return first;
}

bool IsStartFrame(const QByteArray& bytes, int station) {
  return bytes.size() == 109 && bytes.startsWith(Bytes({station, 0xA2, 0x68, 0x00}));
}

// --- states and their buttons -----------------------------------------------

TEST(StationTestControl, EachStateShowsItsCaptionAndButtons) {
  struct Case {
    const char* state;
    std::function<void(TwoStations&)> enter;
    QString caption;
    bool continueEnabled, saveEnabled, running;
  };
  const Case cases[] = {
      {"idle after the first report", [](TwoStations&) {}, kStart, false, false, false},
      {"waiting for report: drawn from the state, not left over",
       [](TwoStations& r) {
         r[1].view.continueEnabled = true;  // left over from a refusal check
         r[1].control.StartButtonClick();
       },
       kStart, false, false, false},
      {"running",
       [](TwoStations& r) {
         r[1].view.CheckMode(5);
         r[1].control.StartButtonClick();
       },
       kCancel, false, false, true},
      {"ended by cancel",
       [](TwoStations& r) {
         r[1].view.CheckMode(5);
         r[1].control.StartButtonClick();
         r[1].control.StartButtonClick();
       },
       kStart, false, true, false},
      {"ended by the controller",
       [](TwoStations& r) {
         r[1].view.CheckMode(5);
         r[1].control.StartButtonClick();
         r.Feed(1, OneByteReply(1, kCodeStatus, kTestFinished));
       },
       kStart, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    TwoStations rig;
    rig.Connect(1);
    c.enter(rig);
    EXPECT_EQ(rig[1].view.startCaption, c.caption);
    EXPECT_EQ(rig[1].view.continueEnabled, c.continueEnabled);
    EXPECT_EQ(rig[1].view.saveEnabled, c.saveEnabled);
    EXPECT_EQ(rig.shared.Station(1)->Model.IsRunning(), c.running);
  }
}

// --- start command ----------------------------------------------------------

TEST(StationTestControl, StartFrameOfStation2InMode18CarriesEveryFieldInOrder) {
  TwoStations rig;
  rig.Connect(2);
  rig[2].view.CheckMode(18);
  rig[2].view.refusal = kDoNotIgnoreRefusals;
  rig[2].control.StartButtonClick();
  QByteArray expected = Bytes({0x02, 0xA2, 0x68, 0x00, 0x12, 0, 0, 0, 0x0A, 0, 0, 0});
  const QByteArray ms300 = Bytes({0x2C, 0x01, 0, 0}), s10 = Bytes({0x0A, 0, 0, 0}), zero = Bytes({0, 0, 0, 0}),
                   count500 = Bytes({0xF4, 0x01, 0, 0});
  for (int i = 0; i < 6; ++i) expected += ms300;
  expected += s10 + s10 + zero + count500;                   // 单分单合
  expected += ms300 + s10 + zero + count500;                 // life 合分
  expected += ms300 + s10 + zero + count500;                 // life 分合
  expected += ms300 + ms300 + s10 + s10 + zero + count500;   // life 分合分
  expected += Bytes({0xEE});
  ASSERT_EQ(rig[2].link.writes.size(), 1u);
  EXPECT_EQ(rig[2].link.writes[0], expected);
  EXPECT_TRUE(rig[1].link.writes.empty());
}

TEST(StationTestControl, ResumeCountIsTheCountDoneLessOneInAllFourPlaces) {
  const struct {
    int32_t countDone, resume;
  } cases[] = {{0, 0}, {1, 0}, {57, 56}};
  for (const auto& c : cases) {
    TwoStations rig;
    StationShared& s = *rig.shared.Station(1);
    rig[1].view.CheckMode(18);
    s.Run.Mode = 18;
    s.Run.CountDone = c.countDone;
    const std::optional<QByteArray> frame = rig[1].control.BuildStartFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(ResumeCountOf(*frame), c.resume) << c.countDone;
    EXPECT_EQ(s.Run.CountDone, c.countDone) << "same mode: the count stays";
  }
}

TEST(StationTestControl, StartFrameSendsEditsUnscaledAndRefreshesTheCountLabels) {
  TwoStations rig;
  rig[1].view.CheckMode(20);
  rig[1].view.parameters[2] = QStringLiteral("200000");
  rig[1].view.parameters[19] = QStringLiteral("3");
  rig[1].view.countLabelsVisible = false;
  const QByteArray frame = *rig[1].control.BuildStartFrame();
  EXPECT_EQ(frame.mid(4 + ParameterOffset(3), 4), Bytes({0x40, 0x0D, 0x03, 0x00}));
  EXPECT_EQ(ReadInt32Le(rigtest::Data(frame) + 4), 20);
  EXPECT_EQ(ReadInt32Le(rigtest::Data(frame) + 8), 5) << "ignore refusals";
  EXPECT_TRUE(rig[1].view.countLabelsVisible);
  EXPECT_EQ(rig[1].view.setCount, QStringLiteral("3"));
  EXPECT_EQ(rig[1].control.FinalCount(), 3);
}

TEST(StationTestControl, WithNoModeSelectedTheStartCarriesMode17) {
  TwoStations rig;
  rig.Connect(1);
  rig[1].view.checkedModes.clear();
  rig[1].control.StartButtonClick();
  ASSERT_EQ(rig[1].link.writes.size(), 1u);
  EXPECT_EQ(ReadInt32Le(rigtest::Data(rig[1].link.writes[0]) + 4), 17);
  EXPECT_EQ(rig.shared.Station(1)->Run.Mode, 17);
}

// --- new, resumed, cancelled, finished --------------------------------------

TEST(StationTestControl, ADifferentModeStartsANewTestAtOnce) {
  TwoStations rig;
  ParameterBlock stored = FactorySettings();
  stored.Mode = 17;
  stored.Counts = {40, 0, 0, 0};
  rig.Connect(1, stored);
  StationShared& s = *rig.shared.Station(1);
  ASSERT_EQ(s.Run.CountDone, 40);
  s.State.ActionNo = 9;
  s.Actions.push_back(std::make_unique<ActionRecord>());
  rig.now = rig.now.addSecs(60);

  rig[1].view.CheckMode(19);
  rig[1].control.StartButtonClick();
  ASSERT_EQ(rig[1].link.writes.size(), 1u);
  EXPECT_TRUE(IsStartFrame(rig[1].link.writes[0], 1));
  EXPECT_EQ(ResumeCountOf(rig[1].link.writes[0]), 0);
  EXPECT_EQ(s.Run.Mode, 19);
  EXPECT_EQ(s.Run.CountDone, 0);
  EXPECT_EQ(s.State.ActionNo, 0);
  EXPECT_TRUE(s.Actions.empty());
  EXPECT_EQ(s.State.StartTime, rig.now);
  EXPECT_EQ(rig[1].view.countDone, QStringLiteral("0"));
}

TEST(StationTestControl, TheSameModeAsksFirstAndResumesFromTheReportedCount) {
  TwoStations rig;
  ParameterBlock stored = FactorySettings();
  stored.Mode = 18;
  stored.Counts = {7, 57, 3, 0};
  rig.Connect(1, stored);
  StationShared& s = *rig.shared.Station(1);
  s.Actions.push_back(std::make_unique<ActionRecord>());

  rig[1].control.StartButtonClick();
  EXPECT_EQ(rig[1].link.writes, std::vector<QByteArray>{Bytes({0x01, 0xA1, 0x01, 0x00, 0x0F, 0x0F})});
  EXPECT_FALSE(s.Model.IsRunning()) << "waiting for the report";
  EXPECT_EQ(s.Actions.size(), 1u);

  rig[1].control.StartButtonClick();
  EXPECT_EQ(rig[1].link.writes.size(), 2u) << "no answer yet: another query";

  rig.now = rig.now.addSecs(5);
  stored.Counts = {7, 60, 3, 0};  // the controller's count in mode 18 now
  rig.Feed(1, SettingsReport(1, stored));
  ASSERT_EQ(rig[1].link.writes.size(), 3u);
  EXPECT_TRUE(IsStartFrame(rig[1].link.writes[2], 1));
  EXPECT_EQ(ResumeCountOf(rig[1].link.writes[2]), 59);
  EXPECT_EQ(s.Run.CountDone, 60);
  EXPECT_TRUE(s.Model.IsRunning());
  EXPECT_TRUE(s.Actions.empty());
  EXPECT_EQ(s.State.StartTime, rig.now);
  EXPECT_EQ(rig[1].view.startCaption, kCancel);
}

TEST(StationTestControl, AResumedOperationTestStartsFromNothing) {
  TwoStations rig;
  ParameterBlock stored = FactorySettings();
  stored.Mode = 3;
  stored.Counts = {7, 57, 3, 9};
  rig.Connect(1, stored);
  rig[1].control.StartButtonClick();
  rig.Feed(1, SettingsReport(1, stored));
  ASSERT_EQ(rig[1].link.writes.size(), 2u);
  EXPECT_EQ(ResumeCountOf(rig[1].link.writes[1]), 0);
  EXPECT_EQ(rig.shared.Station(1)->Run.CountDone, 0);
}

// Only the answer to the operator's start starts a run: a report nobody
// asked for leaves a running test, its queue and the rig alone.
TEST(StationTestControl, ASettingsReportWhileRunningStartsNothing) {
  TwoStations rig;
  rig.Running(1, 17);
  rig.Feed(1, ActionStatus(1, 1, 0x00));
  ParameterBlock stored = FactorySettings();
  stored.Mode = 17;
  stored.Counts = {4, 0, 0, 0};
  rig.Feed(1, SettingsReport(1, stored));
  EXPECT_TRUE(rig[1].link.writes.empty());
  EXPECT_EQ(rig.shared.Station(1)->Actions.size(), 1u);
  EXPECT_EQ(rig.shared.Station(1)->State.ActionNo, 1);
  EXPECT_EQ(rig[1].view.startCaption, kCancel);
}

TEST(StationTestControl, CancelSendsOnlyF1AndKeepsTheRunsCountsAndRecords) {
  TwoStations rig;
  rig.Running(1, 18);
  rig.Feed(1, ActionStatus(1, 1, 0x15));
  rig.Feed(1, ActionStatus(1, 1, 0x00));
  StationShared& s = *rig.shared.Station(1);
  rig.now = rig.now.addSecs(30);
  rig[1].control.StartButtonClick();
  EXPECT_EQ(rig[1].link.writes, std::vector<QByteArray>{Bytes({0xF1})});
  EXPECT_FALSE(s.Model.IsRunning());
  EXPECT_EQ(s.State.EndTime, rig.now);
  EXPECT_EQ(s.State.ActionNo, 2);
  EXPECT_EQ(s.Run.CountDone, 1);
  EXPECT_EQ(s.Actions.size(), 2u);
  EXPECT_EQ(rig[1].view.countDone, QStringLiteral("1"));

  // The controller may still report: counted, shown and queued.
  rig.Feed(1, ActionStatus(1, 2, 0x15));
  EXPECT_EQ(s.Actions.size(), 3u);
  EXPECT_EQ(s.Actions.back()->ActionNo, 3);
  EXPECT_EQ(rig[1].view.countDone, QStringLiteral("2"));
}

TEST(StationTestControl, FinishKeepsCountAndRecordsAndRestartsTheActionNumber) {
  TwoStations rig;
  rig.Running(2, 3);
  rig.Feed(2, ActionStatus(2, 1, 0x15));
  rig.Feed(2, ActionStatus(2, 1, 0x00));
  StationShared& s = *rig.shared.Station(2);
  rig.now = rig.now.addSecs(2);
  rig.Feed(2, OneByteReply(2, kCodeStatus, kTestFinished));
  EXPECT_EQ(s.State.EndTime, rig.now);
  EXPECT_FALSE(s.Model.IsRunning());
  EXPECT_EQ(s.State.ActionNo, 0);
  EXPECT_EQ(s.Run.CountDone, 1);
  EXPECT_EQ(s.Actions.size(), 2u) << "no record for the end";
  EXPECT_TRUE(rig[2].link.writes.empty());
}

TEST(StationTestControl, StatusRepliesOtherThanTheEndAndOddLengthsChangeNothing) {
  TwoStations rig;
  rig.Running(1, 17);
  StationShared& s = *rig.shared.Station(1);
  const QByteArray ignored[] = {OneByteReply(1, kCodeStatus, kAcknowledged), OneByteReply(1, kCodeStatus, 0x12),
                                rig::BuildFrame(1, kCodeStatus, Bytes({0x11, 0x00})),
                                rig::BuildFrame(1, kCodeStatus, QByteArray(7, '\x15')),
                                rig::BuildFrame(1, kCodeStatus, QByteArray(9, '\x15'))};
  for (const QByteArray& f : ignored) rig.Feed(1, f);
  EXPECT_TRUE(s.Model.IsRunning());
  EXPECT_EQ(s.State.ActionNo, 0);
  EXPECT_TRUE(s.Actions.empty());
  EXPECT_EQ(rig[1].view.startCaption, kCancel);
  // A frame cut shorter than its length says is not read.
  const QByteArray status = ActionStatus(1, 5, 0x15);
  rig[1].control.OnStatusFrame(rigtest::Data(status), 10);
  EXPECT_TRUE(s.Actions.empty());
}

TEST(StationTestControl, StartAcceptedAsksForStatusesWhateverItsPayload) {
  TwoStations rig;
  rig.Running(2, 19);
  rig.Feed(2, OneByteReply(2, kCodeStart, kAcknowledged));
  rig.Feed(2, OneByteReply(2, kCodeStart, 0x00));
  const QByteArray query = Bytes({0x02, 0xA3, 0x01, 0x00, 0x05, 0x05});
  EXPECT_EQ(rig[2].link.writes, std::vector<QByteArray>({query, query}));
}

TEST(StationTestControl, ContinueSendsF2AndMovesTheEndTime) {
  TwoStations rig;
  rig.Running(1, 17);
  rig.now = rig.now.addSecs(90);
  const QDateTime before = rig.shared.Station(1)->State.EndTime;
  rig[1].control.ContinueButtonClick();  // no refusal waits: the controller is not told to go on
  EXPECT_TRUE(rig[1].link.writes.empty());
  EXPECT_EQ(rig.shared.Station(1)->State.EndTime, before);
  rig.shared.Station(1)->Model.On(StationEvent::RefusalWaiting);
  rig[1].control.ContinueButtonClick();
  EXPECT_EQ(rig[1].link.writes, std::vector<QByteArray>{Bytes({0xF2})});
  EXPECT_EQ(rig.shared.Station(1)->State.EndTime, rig.now);
  EXPECT_TRUE(rig.shared.Station(1)->Model.IsRunning());
}

// --- the first settings report ----------------------------------------------

TEST(StationTestControl, FirstReportPutsTheControllersSettingsOnThePanel) {
  TwoStations rig;
  ParameterBlock stored = FactorySettings();
  stored.Mode = 19;
  stored.RefusalOption = 10;
  stored.Parameters[14] = 1200;  // set count of life 分合
  stored.Parameters[0] = -1;
  stored.Counts = {1, 2, 33, 4};
  StationShared& s = *rig.shared.Station(2);
  rig.Feed(2, SettingsReport(2, stored));
  EXPECT_FALSE(s.Model.AwaitingFirstReport());
  EXPECT_TRUE(rig[2].view.IsModeChecked(19));
  EXPECT_EQ(rig[2].view.refusal, kDoNotIgnoreRefusals);
  EXPECT_EQ(rig[2].view.parameters[14], QStringLiteral("1200"));
  EXPECT_EQ(rig[2].view.parameters[0], QStringLiteral("4294967295")) << "unsigned text";
  EXPECT_EQ(s.Run.Mode, 19);
  EXPECT_EQ(s.Run.CountDone, 33);
  EXPECT_FALSE(s.Model.IsRunning());
  EXPECT_EQ(rig[2].view.startCaption, kStart);
  EXPECT_FALSE(rig[2].view.continueEnabled);
  EXPECT_FALSE(rig[2].view.saveEnabled);
  EXPECT_EQ(rig[2].view.prompt, ModePrompt(19));
  EXPECT_EQ(rig[2].view.countDone, QStringLiteral("33"));
  EXPECT_EQ(rig[2].view.setCount, QStringLiteral("1200"));
  EXPECT_TRUE(rig[2].link.writes.empty()) << "loading starts nothing";
}

TEST(StationTestControl, FirstReportWithUnknownModeAndOptionLeavesTheRadios) {
  TwoStations rig;
  ParameterBlock stored = FactorySettings();
  stored.Mode = 9;
  stored.RefusalOption = 7;
  stored.Counts = {1, 2, 3, 4};
  rig[1].view.refusal = kDoNotIgnoreRefusals;
  rig.Feed(1, SettingsReport(1, stored));
  EXPECT_TRUE(rig[1].view.IsModeChecked(kStartupMode));
  EXPECT_EQ(rig[1].view.refusal, kDoNotIgnoreRefusals);
  EXPECT_EQ(rig.shared.Station(1)->Run.Mode, 9);
  EXPECT_EQ(rig.shared.Station(1)->Run.CountDone, 0);
  EXPECT_EQ(rig[1].view.prompt, QString());
  EXPECT_FALSE(rig[1].view.countLabelsVisible);
}

// --- the two stations -------------------------------------------------------

TEST(StationTestControl, Station2LeavesStation1Untouched) {
  TwoStations rig;
  rig.Running(1, 18);
  rig.Feed(1, ActionStatus(1, 4, 0x15));
  const QString caption1 = rig[1].view.startCaption;
  const bool continue1 = rig[1].view.continueEnabled, save1 = rig[1].view.saveEnabled;
  StationShared& s1 = *rig.shared.Station(1);
  const QDateTime start1 = s1.State.StartTime;

  rig.now = rig.now.addSecs(100);
  rig.Connect(2);  // the first report of station 2 disables its buttons
  ParameterBlock stored = FactorySettings();
  stored.Mode = 17;
  stored.Counts = {12, 0, 0, 0};
  rig.Feed(2, SettingsReport(2, stored));  // no first report pending: a start
  rig.Feed(2, ActionStatus(2, 12, 0x00));
  rig.Feed(2, OneByteReply(2, kCodeStatus, kTestFinished));
  rig[2].control.StartButtonClick();

  EXPECT_EQ(rig.shared.Station(2)->Run.CountDone, 12);
  EXPECT_EQ(s1.Run.Mode, 18);
  EXPECT_EQ(s1.Run.CountDone, 4);
  EXPECT_EQ(s1.State.ActionNo, 1);
  EXPECT_EQ(s1.Actions.size(), 1u);
  EXPECT_TRUE(s1.Model.IsRunning());
  EXPECT_EQ(s1.State.StartTime, start1);
  EXPECT_FALSE(s1.State.EndTime.isValid());
  EXPECT_EQ(rig[1].view.startCaption, caption1);
  EXPECT_EQ(rig[1].view.continueEnabled, continue1);
  EXPECT_EQ(rig[1].view.saveEnabled, save1);
  EXPECT_EQ(rig[1].view.countDone, QStringLiteral("4"));
  EXPECT_TRUE(rig[1].link.writes.empty());
  for (const QByteArray& w : rig[2].link.writes) EXPECT_NE(static_cast<uint8_t>(w[0]), 1) << "station 1's byte";
}

// --- a start that must not go out -------------------------------------------

TEST(StationTestControl, AStartWithAnUnusableParameterIsNotSent) {
  const struct {
    int number;
    const char* text;
    const char* message;
  } cases[] = {
      {3, "", "只能输入1-200000的数字"},
      {9, "99999999999", "只能输入1-32000的数字"},  // another mode's set count: it is sent too
      {1, "0", "只能输入1-30000的数字"},
      {7, "3001", "只能输入1-3000的数字"},
      {20, "32001", "只能输入1-32000的数字"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    TwoStations rig;
    ParameterBlock stored = FactorySettings();
    stored.Mode = 20;
    stored.Counts = {0, 0, 0, 8};
    rig.Connect(1, stored);
    StationShared& s = *rig.shared.Station(1);
    s.Actions.push_back(std::make_unique<ActionRecord>());
    s.State.ActionNo = 4;
    rig[1].view.parameters[c.number - 1] = QString::fromUtf8(c.text);
    rig[1].view.CheckMode(5);
    rig[1].view.focused.clear();

    rig[1].control.StartButtonClick();
    EXPECT_TRUE(rig[1].link.writes.empty()) << "nothing on the wire";
    EXPECT_EQ(rig.notifier.Texts(), QStringList{QString::fromUtf8(c.message)});
    EXPECT_EQ(rig[1].view.focused, std::vector<int>{c.number});
    EXPECT_FALSE(s.Model.IsRunning());
    EXPECT_EQ(s.Run.Mode, 20);
    EXPECT_EQ(s.Run.CountDone, 8);
    EXPECT_EQ(s.State.ActionNo, 4);
    EXPECT_EQ(s.Actions.size(), 1u);
    EXPECT_FALSE(s.State.StartTime.isValid());
    EXPECT_EQ(rig[1].view.startCaption, kStart);
    EXPECT_FALSE(rig[1].control.BuildStartFrame());
    EXPECT_EQ(s.Run.Mode, 20) << "a refused build changes nothing either";
  }
}

TEST(StationTestControl, AResumeOnAnUnusableParameterIsNotSentEither) {
  TwoStations rig;
  rig.Connect(2);
  rig[2].control.StartButtonClick();
  rig[2].link.writes.clear();
  rig[2].view.parameters[5] = QString();
  rig.Feed(2, SettingsReport(2, FactorySettings()));
  EXPECT_TRUE(rig[2].link.writes.empty());
  EXPECT_EQ(rig.notifier.Texts(), QStringList{QStringLiteral("只能输入1-200000的数字")});
  EXPECT_FALSE(rig.shared.Station(2)->Model.IsRunning());
}

// --- action statuses and the refusal check ----------------------------------

TEST(StationTestControl, ClosingActionMissingOneBreakIsMarkedAndRecorded) {
  TwoStations rig;
  rig.Running(1, 1);
  rig.Feed(1, ActionStatus(1, 1, 0x05));
  const std::array<QString, 3> marks{QString(), QString(), kRefusedClose};
  for (int b = 0; b < kBreakCount; ++b) EXPECT_EQ(rig[1].view.marks[b], marks[b]) << b;
  EXPECT_EQ(rig[1].view.breaksClosed, (std::array<bool, 3>{true, true, false}));
  EXPECT_FALSE(rig[1].view.continueEnabled);
  EXPECT_FALSE(rig[1].view.saveEnabled);
  const ActionQueue& q = rig.shared.Station(1)->Actions;
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(q[0]->Count, 1);
  EXPECT_EQ(q[0]->ActionNo, 1);
  EXPECT_EQ((std::array<int, 3>{q[0]->Closed[0], q[0]->Closed[1], q[0]->Closed[2]}),
            (std::array<int, 3>{1, 1, 0}));
  for (int b = 0; b < kBreakCount; ++b) EXPECT_EQ(q[0]->Marks[b], marks[b]) << b;
}

TEST(StationTestControl, IgnoringRefusalsLeavesMarksAndButtonsAlone) {
  TwoStations rig;
  rig.Running(1, 1, kIgnoreRefusals);
  rig[1].view.continueEnabled = true;
  rig[1].view.saveEnabled = true;
  rig.Feed(1, ActionStatus(1, 1, 0x05));
  EXPECT_EQ(rig[1].view.marks, (std::array<QString, 3>{}));
  EXPECT_TRUE(rig[1].view.continueEnabled);
  EXPECT_TRUE(rig[1].view.saveEnabled);
  EXPECT_EQ(rig[1].view.breaksClosed, (std::array<bool, 3>{true, true, false}));
  ASSERT_EQ(rig.shared.Station(1)->Actions.size(), 1u);
  EXPECT_EQ(rig.shared.Station(1)->Actions[0]->Marks[2], QString());

  // Marks from an earlier check stay, and the record carries them.
  rig[1].view.refusal = kDoNotIgnoreRefusals;
  rig.Feed(1, ActionStatus(1, 1, 0x01));
  rig[1].view.refusal = kIgnoreRefusals;
  rig.Feed(1, ActionStatus(1, 1, 0x15));
  EXPECT_EQ(rig[1].view.marks[1], kRefusedClose);
  EXPECT_EQ(rig.shared.Station(1)->Actions.back()->Marks[1], kRefusedClose);
  EXPECT_EQ(rig[1].view.breaksClosed, (std::array<bool, 3>{true, true, true}));
}

TEST(StationTestControl, CloseOpenOffersTheButtonsOnlyBetweenItsActions) {
  TwoStations rig;
  rig.Running(2, 3);
  rig.Feed(2, ActionStatus(2, 1, 0x15));
  EXPECT_EQ(rig[2].view.marks, (std::array<QString, 3>{}));
  EXPECT_TRUE(rig[2].view.continueEnabled);
  EXPECT_TRUE(rig[2].view.saveEnabled);
  rig.Feed(2, ActionStatus(2, 1, 0x04));
  EXPECT_EQ(rig[2].view.marks, (std::array<QString, 3>{QString(), kRefusedOpen, QString()}));
  EXPECT_FALSE(rig[2].view.continueEnabled);
  EXPECT_FALSE(rig[2].view.saveEnabled);
  // A third status is not in the test: buttons off, marks as they were.
  rig[2].view.continueEnabled = true;
  rig.Feed(2, ActionStatus(2, 1, 0x00));
  EXPECT_EQ(rig[2].view.marks[1], kRefusedOpen);
  EXPECT_FALSE(rig[2].view.continueEnabled);
  EXPECT_EQ(rig.shared.Station(2)->Actions.back()->Marks[1], kRefusedOpen);
}

TEST(StationTestControl, Mode20ExpectsOpenAndClosedInTurn) {
  TwoStations rig;
  rig.Running(1, 20);
  for (int n = 1; n <= 8; ++n) {
    rig.Feed(1, ActionStatus(1, (n + 3) / 4, 0x00));  // every break open
    const QString expected = n % 2 == 0 ? kRefusedClose : QString();
    EXPECT_EQ(rig[1].view.marks, (std::array<QString, 3>{expected, expected, expected})) << n;
  }
  EXPECT_EQ(rig.shared.Station(1)->Actions.size(), 8u);
}

TEST(StationTestControl, BreakByteEAIsAllOpen) {
  TwoStations rig;
  rig.Running(1, 2);
  rig[1].view.breaksClosed = {true, true, true};
  rig.Feed(1, ActionStatus(1, 1, 0xEA));
  EXPECT_EQ(rig[1].view.breaksClosed, (std::array<bool, 3>{false, false, false}));
  EXPECT_EQ(rig[1].view.marks, (std::array<QString, 3>{}));
  const ActionRecord& r = *rig.shared.Station(1)->Actions.back();
  EXPECT_EQ((std::array<int, 3>{r.Closed[0], r.Closed[1], r.Closed[2]}), (std::array<int, 3>{0, 0, 0}));
}

// The closing action of the last cycle leaves the buttons off: the run is over.
TEST(StationTestControl, LifeTestKeepsTheButtonsOffAfterTheLastCycle) {
  TwoStations rig;
  rig.Connect(1);
  rig[1].view.parameters[8] = QStringLiteral("3");  // 单分单合 set count
  rig[1].view.CheckMode(17);
  rig[1].view.refusal = kDoNotIgnoreRefusals;
  rig[1].control.StartButtonClick();
  EXPECT_EQ(rig[1].control.FinalCount(), 3);
  const struct {
    int32_t count;
    uint8_t bits;
    bool enabled;
  } actions[] = {{1, 0x00, true}, {1, 0x15, true}, {2, 0x00, true}, {2, 0x15, true}, {3, 0x00, true}, {3, 0x15, false}};
  for (const auto& a : actions) {
    SCOPED_TRACE(a.count);
    rig.Feed(1, ActionStatus(1, a.count, a.bits));
    EXPECT_EQ(rig[1].view.continueEnabled, a.enabled);
    EXPECT_EQ(rig[1].view.saveEnabled, a.enabled);
  }
  EXPECT_EQ(rig[1].view.marks, (std::array<QString, 3>{}));
}

TEST(StationTestControl, StatusesQueueInArrivalOrderWithSignedCounts) {
  TwoStations rig;
  rig.Running(2, 18, kIgnoreRefusals);
  const int32_t counts[] = {1, 1, 2, -1};
  for (int32_t c : counts) rig.Feed(2, ActionStatus(2, c, 0x10));
  const ActionQueue& q = rig.shared.Station(2)->Actions;
  ASSERT_EQ(q.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(q[i]->Count, counts[i]);
    EXPECT_EQ(q[i]->ActionNo, i + 1);
    EXPECT_EQ(q[i]->Closed[2], 1);
  }
  EXPECT_EQ(rig[2].view.countDone, QStringLiteral("-1"));
}

TEST(StationTestControl, AStartClearsTheMarksOfTheLastRun) {
  TwoStations rig;
  rig.Running(1, 1);
  rig.Feed(1, ActionStatus(1, 1, 0x00));
  ASSERT_EQ(rig[1].view.marks[0], kRefusedClose);
  rig[1].control.StartButtonClick();  // cancel
  rig[1].view.CheckMode(2);
  rig.notifier.unsavedAnswer = UnsavedChoice::Discard;
  rig[1].control.StartButtonClick();
  EXPECT_EQ(rig.notifier.unsavedQuestions.size(), 1u) << "the cancelled test was not saved";
  EXPECT_EQ(rig[1].view.marks, (std::array<QString, 3>{}));
  EXPECT_EQ(rig[1].control.RefusalMark(0), QString());
}

}  // namespace
}  // namespace rig
