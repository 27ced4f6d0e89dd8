// A station where two things happen at once: a question box is open while
// frames and line events arrive, a stop is pressed while a start waits for
// the controller, the controller comes back reset while a test is held.
#include <gtest/gtest.h>

#include <functional>

#include "core/GbkText.h"
#include "station/LinkedStation.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "support/TempDir.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

using rigtest::LinkedStation;
using Step = std::function<void(LinkedStation&)>;

int Count(const std::vector<QByteArray>& writes, const QByteArray& frame) {
  return static_cast<int>(std::count(writes.begin(), writes.end(), frame));
}

// A finished test of mode 18 with two unsaved actions, mode `next` selected.
void HoldUnsavedTest(LinkedStation& s, int next) {
  s.Connect();
  s.controller.SelectMode(kLifeCloseOpen);
  s.PressStart();
  ASSERT_EQ(s.StartFrames().size(), 1u);
  s.Accepted();
  s.Status(1, 0x07);
  s.Status(1, 0x00);
  s.Finished();
  ASSERT_EQ(s.shared.Model.Run(), RunState::Ended);
  s.controller.SelectMode(next);
}

// The press stands through the question only while the line stays as it
// was: what the box's event loop brought decides, not what held before it.
TEST(TwoThingsAtOnce, AStartAnsweredAfterTheLineChangedSendsNothing) {
  const struct {
    const char* name;
    Step duringQuestion;
    UnsavedChoice answer;
    int nextMode;
    bool commandFollows;  // the start frame (another mode) or the settings query (same mode)
  } rows[] = {
      {"nothing, another mode", [](LinkedStation&) {}, UnsavedChoice::Save, kLifeOpenClose, true},
      {"nothing, same mode", [](LinkedStation&) {}, UnsavedChoice::Discard, kLifeCloseOpen, true},
      {"line lost, another mode", [](LinkedStation& s) { s.LoseLine(); }, UnsavedChoice::Save, kLifeOpenClose, false},
      {"line lost, same mode", [](LinkedStation& s) { s.LoseLine(); }, UnsavedChoice::Save, kLifeCloseOpen, false},
      {"line lost and back", [](LinkedStation& s) { s.LoseLine(); s.Reopen(); s.Reply(kLinkAccepted); },
       UnsavedChoice::Save, kLifeOpenClose, false},
      {"controller disconnected", [](LinkedStation& s) { s.Reply(kLinkDisconnected); }, UnsavedChoice::Discard,
       kLifeOpenClose, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    HoldUnsavedTest(s, r.nextMode);
    s.notifier.unsavedAnswer = r.answer;
    size_t answered = 0;  // writes before the answer
    s.notifier.onAsk = [&] {
      r.duringQuestion(s);
      answered = s.wire.writes.size();
    };
    s.wire.writes.clear();
    s.PressStart();
    ASSERT_EQ(s.notifier.unsavedQuestions.size(), 1u);
    const std::vector<QByteArray> after(s.wire.writes.begin() + static_cast<std::ptrdiff_t>(answered), s.wire.writes.end());
    const bool sent = s.StartFrames().size() == 1 || Count(after, SettingsQuery(1)) == 1;
    EXPECT_EQ(sent, r.commandFollows);
    EXPECT_EQ(s.shared.Model.Run() == RunState::Running || s.shared.Model.Run() == RunState::StartRequested,
              r.commandFollows);
    EXPECT_EQ(s.view.startCaption == QStringLiteral("取消测试"), s.shared.Model.IsRunning());
    // The line comes back and the controller reports: nothing starts unasked.
    s.notifier.onAsk = nullptr;
    s.Reopen();
    s.Reply(kLinkAccepted);
    s.Report(rigtest::FactorySettings());
    if (!r.commandFollows) {
      EXPECT_TRUE(s.StartFrames().empty());
      EXPECT_FALSE(s.shared.Model.IsRunning());
    }
    EXPECT_EQ(s.shared.Model.CheckInvariants(), QString());
  }
}

// 停止工位 pressed while the start's settings query waits for its answer.
TEST(TwoThingsAtOnce, AStopWithdrawsAStartThatWaitsForTheController) {
  const struct {
    const char* name;
    Step stop;
  } rows[] = {
      {"link button", [](LinkedStation& s) { s.PressLinkButton(); }},
      {"handshake made again", [](LinkedStation& s) { s.StartAll(); }},
      {"line lost and back", [](LinkedStation& s) { s.LoseLine(); s.Reopen(); s.Reply(kLinkAccepted); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    rigtest::TempDir dir;
    LinkedStation s(2, dir.Path());
    s.Connect();
    s.controller.SelectMode(2);  // the controller's own mode: the report starts the run
    s.PressStart();
    ASSERT_EQ(s.shared.Model.Run(), RunState::StartRequested);
    r.stop(s);
    s.Report(rigtest::FactorySettings());  // the answer, late and in order
    s.Accepted();
    EXPECT_TRUE(s.StartFrames().empty());
    EXPECT_EQ(Count(s.wire.writes, StatusQuery(2)), 0);
    EXPECT_FALSE(s.shared.Model.IsRunning());
  }
}

// A held test keeps its own count whatever the controller reports later.
TEST(TwoThingsAtOnce, ASavedTestKeepsTheCountItsActionsReached) {
  const struct {
    const char* name;
    int mode;
    int32_t lastCount;
    Step between;  // after the test stopped, before the save
  } rows[] = {
      {"life test cut, controller reset", kLifeOpenClose, 3,
       [](LinkedStation& s) {
         s.LoseLine();
         s.Reopen();
         s.Reply(kLinkAccepted);
         s.Report(rigtest::FactorySettings());  // mode 2, no counts
       }},
      {"operation test finished, station stopped and opened", kCloseOpen, 1,
       [](LinkedStation& s) {
         s.Finished();
         s.PressLinkButton();
         s.Reply(kLinkDisconnected);
         s.PressLinkButton();
         s.Reply(kLinkAccepted);
         ParameterBlock b = rigtest::FactorySettings();
         b.Mode = kCloseOpen;
         s.Report(b);
       }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    s.Connect();
    s.controller.SelectMode(r.mode);
    s.PressStart();
    s.Accepted();
    for (int32_t c = 1; c <= r.lastCount; ++c) s.Status(c, 0x07);
    r.between(s);
    ASSERT_TRUE(s.PressSave());
    TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    auto t = db.QueryTable("SELECT iDealTimes FROM TestInfo");
    ASSERT_EQ(t->RowCount(), 1);
    EXPECT_EQ(FromGbk(t->ValueText(0)).toInt(), r.lastCount);
  }
}

}  // namespace
}  // namespace rig
