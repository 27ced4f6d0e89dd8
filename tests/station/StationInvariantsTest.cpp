// What a station guarantees whatever the link and the controller do, one
// group per promise: the rig starts only when the operator starts it; a
// handshake made again leaves a run alone; a held test stays saveable;
// nothing unsaved is dropped without the operator's answer; a resumed test is
// the same test; saved times are whole.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <functional>

#include "core/DateTimeText.h"
#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "support/TempDir.h"
#include "station/LinkedStation.h"

namespace rig {
namespace {

using rigtest::FactorySettings;
using rigtest::LinkedStation;
using Step = std::function<void(LinkedStation&)>;

constexpr uint8_t kAllClosed = 0x15, kAllOpen = 0x00;

ParameterBlock Stored(int mode, int32_t count = 0) {
  ParameterBlock b = FactorySettings();
  b.Mode = mode;
  if (mode >= 17) b.Counts[mode - 17] = count;
  return b;
}

// Connected with the factory settings (mode 2), then a life close-open test
// (mode 18) started and `cycles` cycles reported.
void RunCycles(LinkedStation& s, int cycles) {
  s.Connect();
  s.view.CheckMode(18);
  s.PressStart();
  s.Accepted();
  for (int c = 1; c <= cycles; ++c) {
    s.Status(c, kAllClosed);
    s.Status(c, kAllOpen);
  }
}

struct Rig {
  rigtest::TempDir dir;
  LinkedStation s{2, dir.Path()};

  // The saved summary rows: start, end, mode, count; and the detail rows.
  struct Saved {
    QString start, end, detail;
    int mode = 0, count = 0, actions = 0;
  };
  std::vector<Saved> SavedTests() {
    std::vector<Saved> out;
    if (!QFile::exists(dir.File("SaveData.db"))) return out;
    TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    auto t = db.QueryTable("SELECT StartTestTime,EndTestTime,DetailSaveDBName,iDealType,iDealTimes FROM TestInfo");
    for (int r = 0; r < t->RowCount(); ++r, t->MoveNext()) {
      Saved s{FromGbk(t->ValueText(0)), FromGbk(t->ValueText(1)), FromGbk(t->ValueText(2)),
              t->ValueText(3).toInt(), t->ValueText(4).toInt()};
      TSQLiteDatabase detail(s.detail.toUtf8());
      s.actions = detail.QueryTable("SELECT * FROM ControlState")->RowCount();
      out.push_back(s);
    }
    return out;
  }
};

// --- the rig starts only when the operator starts it --------------------------

TEST(StationInvariants, LinkRepliesAndReportsNeverStartTheRig) {
  const struct {
    const char* what;
    Step events;
    size_t starts;
  } cases[] = {
      {"a late answer to a repeated handshake", [](LinkedStation& s) {
         s.Reply(kLinkAccepted);
         s.Report(Stored(2));
       }, 0},
      {"a doubled report", [](LinkedStation& s) { s.Report(Stored(2)); }, 0},
      {"connect pressed twice, both answered", [](LinkedStation& s) {
         s.StartAll();
         s.Reply(kLinkAccepted);
         s.Report(Stored(2));
         s.Reply(kLinkAccepted);
         s.Report(Stored(2));
       }, 0},
      {"an unasked handshake reply from a controller that was reset", [](LinkedStation& s) {
         s.Reply(kLinkDisconnected);
         s.Reply(kLinkAccepted);
         s.Report(Stored(17, 40));
       }, 0},
      {"one press, its report doubled", [](LinkedStation& s) {
         s.PressStart();
         s.Report(Stored(2));
         s.Report(Stored(2));
       }, 1},
      {"one press, a handshake made before its report came", [](LinkedStation& s) {
         s.PressStart();
         s.StartAll();
         s.Reply(kLinkAccepted);
         s.Report(Stored(2));
         s.Report(Stored(2));
       }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    s.Connect();
    c.events(s);
    EXPECT_EQ(s.StartFrames().size(), c.starts);
    EXPECT_EQ(s.shared.Model.CheckInvariants(), QString());
  }
}

// --- a handshake made again leaves a run alone ----------------------------------

TEST(StationInvariants, ARunSurvivesAHandshakeMadeAgainAndUnaskedReports) {
  const struct {
    const char* what;
    Step events;
  } cases[] = {
      {"启动所有工位 while running", [](LinkedStation& s) {
         s.StartAll();
         s.Reply(kLinkAccepted);
         s.Report(Stored(18, 3));
       }},
      {"a settings report nobody asked for", [](LinkedStation& s) { s.Report(Stored(18, 3)); }},
      {"a second handshake reply", [](LinkedStation& s) {
         s.Reply(kLinkAccepted);
         s.Report(Stored(18, 3));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    LinkedStation& s = rig.s;
    RunCycles(s, 3);
    const QDateTime started = s.shared.State.StartTime;
    s.wire.writes.clear();
    c.events(s);
    EXPECT_TRUE(s.shared.Model.IsRunning());
    EXPECT_EQ(s.view.startCaption, QStringLiteral("取消测试"));
    for (const QByteArray& w : s.wire.writes)  // the link's own handshake and query may go out
      EXPECT_TRUE(w.size() == 6 && (static_cast<uint8_t>(w[1]) == kCodeLink || static_cast<uint8_t>(w[1]) == kCodeSettings))
          << "nothing but link traffic sent to the controller: " << w.toHex(' ').toStdString();
    EXPECT_EQ(s.shared.Actions.size(), 6u);
    EXPECT_EQ(s.shared.State.StartTime, started);
    s.Status(4, kAllClosed);
    EXPECT_EQ(s.shared.Actions.size(), 7u) << "the run goes on";
    s.wire.writes.clear();
    s.PressStart();
    EXPECT_EQ(s.wire.writes, std::vector<QByteArray>{QByteArray(1, char(kCancelByte))}) << "the button cancels";
  }
}

// --- a held test stays saveable whatever the link does ------------------------

TEST(StationInvariants, AnEndedTestStaysSaveableWhateverTheLinkDoes) {
  const struct {
    const char* what;
    Step events;
  } cases[] = {
      {"a lost line, reopened and connected again", [](LinkedStation& s) {
         s.LoseLine();
         s.Reopen();
         s.Reply(kLinkAccepted);
         s.Report(Stored(18, 3));
       }},
      {"a lost line still down", [](LinkedStation& s) { s.LoseLine(); }},
      {"the controller disconnects", [](LinkedStation& s) { s.Reply(kLinkDisconnected); }},
      {"a handshake reply", [](LinkedStation& s) { s.Reply(kLinkAccepted); }},
      {"停止工位 then 开启工位", [](LinkedStation& s) {
         s.PressLinkButton();
         s.Reply(kLinkDisconnected);
         s.PressLinkButton();
         s.Reply(kLinkAccepted);
         s.Report(Stored(18, 3));
       }},
      {"the ports reopened from the settings", [](LinkedStation& s) { s.ReopenPorts(); }},
  };
  for (bool cancelled : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      SCOPED_TRACE(cancelled ? "cancelled" : "finished");
      Rig rig;
      LinkedStation& s = rig.s;
      RunCycles(s, 3);
      cancelled ? s.PressStart() : s.Finished();
      c.events(s);
      EXPECT_TRUE(s.view.saveEnabled);
      EXPECT_EQ(s.view.startCaption, QStringLiteral("开始测试"));
      ASSERT_TRUE(s.PressSave());
      const auto saved = rig.SavedTests();
      ASSERT_EQ(saved.size(), 1u);
      EXPECT_EQ(saved[0].actions, 6);
      EXPECT_EQ(saved[0].mode, 18);
      EXPECT_FALSE(s.view.saveEnabled) << "saved: nothing left to save";
    }
  }
}

// --- nothing unsaved is dropped without the operator's answer ------------------

TEST(StationInvariants, StartingOverAnUnsavedTestAsksFirst) {
  const struct {
    UnsavedChoice answer;
    size_t starts, queued, saved;
  } cases[] = {
      {UnsavedChoice::Cancel, 0, 6, 0},
      {UnsavedChoice::Discard, 1, 0, 0},
      {UnsavedChoice::Save, 1, 0, 1},
  };
  for (bool sameMode : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(static_cast<int>(c.answer));
      SCOPED_TRACE(sameMode ? "same mode: through the report" : "another mode: at once");
      Rig rig;
      LinkedStation& s = rig.s;
      RunCycles(s, 3);
      s.Finished();
      s.wire.writes.clear();
      s.notifier.unsavedAnswer = c.answer;
      if (!sameMode) s.view.CheckMode(19);
      s.PressStart();
      if (sameMode) s.Report(Stored(18, 3));
      EXPECT_EQ(s.notifier.unsavedQuestions, QStringList{QStringLiteral("未保存的测试数据将丢失，是否先保存？")});
      EXPECT_EQ(s.StartFrames().size(), c.starts);
      EXPECT_EQ(s.shared.Actions.size(), c.queued);
      EXPECT_EQ(rig.SavedTests().size(), c.saved);
      if (c.answer == UnsavedChoice::Cancel) {
        EXPECT_TRUE(s.view.saveEnabled);
      }
    }
  }
}

// Found by fuzzing: actions that arrive between the press and its report
// belong to something the controller is running; the start must not clear them.
TEST(StationInvariants, ActionsArrivingBeforeTheRequestedStartAreKept) {
  Rig rig;
  LinkedStation& s = rig.s;
  s.Connect();
  s.PressStart();
  s.Status(7, kAllClosed);
  s.Report(Stored(2));
  EXPECT_TRUE(s.StartFrames().empty());
  EXPECT_EQ(s.shared.Actions.size(), 1u);
  EXPECT_TRUE(s.view.saveEnabled);
}

// --- a resumed test is the same test -------------------------------------------

TEST(StationInvariants, AfterALostLineOnlyTheSameModeContinuesTheTest) {
  const struct {
    const char* what;
    int reconnectMode;  // what the controller says after the line is back
    int chosenMode;     // what the operator starts
    int reportMode;     // what the controller says when asked at the start
    bool resumed;
  } cases[] = {
      {"same mode throughout", 18, 18, 18, true},
      {"the controller came back in another mode", 19, 19, 19, false},
      {"the operator chose another mode", 18, 20, 18, false},
      {"the controller changed mode after the press", 18, 18, 19, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    LinkedStation& s = rig.s;
    RunCycles(s, 3);
    const QDateTime started = s.shared.State.StartTime;
    s.LoseLine();
    s.Reopen();
    s.Reply(kLinkAccepted);
    s.Report(Stored(c.reconnectMode, 3));
    s.wire.writes.clear();
    s.notifier.unsavedAnswer = UnsavedChoice::Cancel;
    s.view.CheckMode(c.chosenMode);
    s.PressStart();
    s.Report(Stored(c.reportMode, 3));
    if (c.resumed) {
      ASSERT_EQ(s.StartFrames().size(), 1u);
      EXPECT_TRUE(s.notifier.unsavedQuestions.isEmpty());
      EXPECT_EQ(s.shared.Actions.size(), 6u) << "the actions before the loss stay";
      EXPECT_EQ(s.shared.State.StartTime, started);
      s.Status(3, kAllClosed);
      s.Status(3, kAllOpen);
      s.Finished();
      ASSERT_TRUE(s.PressSave());
      const auto saved = rig.SavedTests();
      ASSERT_EQ(saved.size(), 1u);
      EXPECT_EQ(saved[0].actions, 8);
    } else {
      EXPECT_TRUE(s.StartFrames().empty()) << "no start: the interrupted test is neither dropped nor merged";
      EXPECT_EQ(s.shared.Actions.size(), 6u);
      EXPECT_TRUE(s.view.saveEnabled);
      EXPECT_EQ(s.shared.Model.Held().Mode, 18);
    }
  }
}

// --- saved times are whole ---------------------------------------------------------

TEST(StationInvariants, SavedTimesAreWholeAndInOrder) {
  const struct {
    const char* what;
    Step events;
    QString start, end;
  } cases[] = {
      {"saved mid-run in the first run", [](LinkedStation& s) {
         RunCycles(s, 0);
         s.view.refusal = kDoNotIgnoreRefusals;
         s.now = s.now.addSecs(60);
         s.Status(1, 0x14);  // A1 refused to close: the save is offered
       }, "2026-12-07 08:00:00", "2026-12-07 08:01:00"},
      {"saved mid-run in a later run", [](LinkedStation& s) {
         RunCycles(s, 1);
         s.Finished();
         ASSERT_TRUE(s.PressSave());
         s.view.refusal = kDoNotIgnoreRefusals;
         s.now = s.now.addSecs(3600);
         s.view.CheckMode(19);
         s.PressStart();
         s.now = s.now.addSecs(30);
         s.Status(1, 0x15);  // life open-close: the opening did not happen
       }, "2026-12-07 09:00:00", "2026-12-07 09:00:30"},
      {"statuses of a run started before the program", [](LinkedStation& s) {
         s.Connect(Stored(17, 40));
         s.now = s.now.addSecs(5);
         s.Status(41, kAllOpen);
         s.now = s.now.addSecs(5);
         s.Status(41, kAllClosed);
       }, "2026-12-07 08:00:05", "2026-12-07 08:00:10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    LinkedStation& s = rig.s;
    c.events(s);
    ASSERT_TRUE(s.view.saveEnabled);
    ASSERT_TRUE(s.PressSave());
    const auto saved = rig.SavedTests();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.back().start, c.start);
    EXPECT_EQ(saved.back().end, c.end);
    EXPECT_TRUE(saved.back().detail.endsWith(QString(c.start).remove(QRegularExpression("[- :]")) + "_2.db"))
        << saved.back().detail.toStdString();
  }
}

}  // namespace
}  // namespace rig
