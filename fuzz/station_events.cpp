// One station driven by random sequences of what can happen to it: the
// operator's presses (start, cancel, continue, save, mode and option changes,
// 停止/开启工位, 启动所有工位, the answer to "save first?"), the controller's
// frames (link replies, settings reports, acknowledgements, statuses, the
// end), a lost line, its reopening, the handshake retries. While the
// "save first?" question is open, frames and line events arrive as the
// box's own event loop would run them, and the answer comes after.
//
// The oracle, kept beside the station from the events alone:
//   - a start command goes out only after a start press, at most one per press;
//   - a start command is written only while the line is connected (as the
//     link replies and line events so far say) and the press still stands:
//     a lost line, a disconnect reply or a stop withdraws it;
//   - every successful save stores exactly one test;
//   - the program killed at any step (or just after a save's commit) and
//     started again offers exactly the unsaved actions its journal holds,
//     recovery stores that test once with every action, and a test already
//     stored is never offered again;
//   - every action status stays queued until a save that succeeded or the
//     operator's "放弃" takes it: the queue holds exactly what the oracle
//     counts;
//   - a start that keeps the queued actions continues the held test in its
//     own mode;
//   - unsaved actions of a test that is not running can always be saved;
//   - every saved test has whole times, the end not before the start;
//   - the station's model keeps its own invariants;
//   - the live view counts the refusals the records carry, keeps its history
//     bounded and calls a controller silent only while a run goes on.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <optional>
#include <cstdio>
#include <cstdlib>

#include "ScratchDir.h"
#include "core/DateTimeText.h"
#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "station/LinkedStation.h"
#include "station/RunWatch.h"
#include "station/StationJournal.h"
#include "station/StationSave.h"
#include "storage/JournalRecovery.h"
#include "testing/PositionJudge.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "station_events: %s %s\n", what, detail.toLocal8Bit().constData());
  std::abort();
}

constexpr int kModes[] = {1, 2, 3, 4, 5, 17, 18, 19, 20};

int ModeOf(const QByteArray& start) { return static_cast<uint8_t>(start[4]); }

// The last saved test's times are whole and in order.
void CheckLastSavedTimes(const QString& exeDir) {
  rig::TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
  auto t = db.QueryTable("SELECT StartTestTime,EndTestTime FROM TestInfo ORDER BY AutoID DESC LIMIT 1");
  if (t->RowCount() != 1) Fail("a successful save left no summary row");
  const QString start = rig::FromGbk(t->ValueText(0)), end = rig::FromGbk(t->ValueText(1));
  if (start.size() != 19 || end.size() != 19) Fail("a saved time is not whole:", start + " / " + end);
  if (end < start) Fail("a saved test ends before it starts:", start + " / " + end);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);  // the link's timers need one
  return 0;
}

// Breaks of an unmarked record the position rule finds refused.
static int32_t JudgedBreaks(int mode, const rig::ActionRecord& r) {
  rig::BreakPositions positions{};
  for (int b = 0; b < rig::kBreakCount; ++b)
    positions[b] = r.Closed[b] ? rig::ContactState::Closed : rig::ContactState::Open;
  const auto found = rig::JudgeAction(mode, r.ActionNo, positions);
  int32_t n = 0;
  if (found)
    for (rig::Deviation d : *found) n += d != rig::Deviation::None;
  return n;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const QString exeDir = rigfuzz::ScratchDir() + QStringLiteral("station/");
  QDir(exeDir).removeRecursively();
  QDir().mkpath(exeDir);
  const int number = in.ConsumeBool() ? 1 : 2;
  // The program: the station, its recovery journal and its live view; a
  // kill ends it and a start makes it anew in the same folder.
  QDateTime now{QDate(2026, 12, 7), QTime(8, 0, 0)};
  std::optional<rigtest::LinkedStation> s;
  std::optional<rig::TStationJournal> journal;
  std::optional<rig::TRunWatch> watch;
  auto save = [&] {
    return rig::SaveStationTest(exeDir, number, s->shared, s->view, s->notifier, &journal->Journal(), s->now);
  };
  static const bool trace = std::getenv("STATION_EVENTS_TRACE") != nullptr;
  bool startPressed = false;  // a press not yet answered by a start command
  bool lineConnected = false;  // the reference: accepted since the last loss or disconnect
  size_t unsaved = 0;         // action statuses received and not yet saved or let go
  size_t nestedStatuses = 0;  // statuses that came while a question was open
  auto checkStart = [&](const QByteArray& w) {
    if (w.size() != 109 || static_cast<uint8_t>(w[1]) != rig::kCodeStart) return;
    if (!lineConnected) Fail("a start command written on a line that was not connected");
    if (!startPressed) Fail("a start command without a standing press");
  };
  // What the controller and the line do; also while a question box is open.
  auto outside = [&](int event) {
    if (event <= 5 && !s->shared.PortOpen) return false;  // no frame comes over a closed port
    switch (event) {
      case 0: s->Reply(rig::kLinkAccepted); lineConnected = true; break;
      case 1: s->Reply(rig::kLinkDisconnected); lineConnected = startPressed = false; break;
      case 2: {
        rig::ParameterBlock b = rigtest::FactorySettings();
        b.Mode = kModes[in.ConsumeIntegralInRange<int>(0, 8)];
        for (int32_t& c : b.Counts) c = in.ConsumeIntegralInRange<int32_t>(0, 8);
        s->Report(b);
        break;
      }
      case 3: s->Accepted(); break;
      case 4: s->Status(in.ConsumeIntegralInRange<int32_t>(0, 8), in.ConsumeIntegral<uint8_t>()); return true;
      case 5: s->Finished(); break;
      case 6: s->LoseLine(); lineConnected = startPressed = false; break;
      case 7: s->Reopen(); break;
      case 8: s->RetryTick(); break;
    }
    return false;
  };
  auto duringQuestion = [&] {
    const int n = in.ConsumeIntegralInRange<int>(0, 3);
    for (int k = 0; k < n; ++k)
      if (outside(in.ConsumeIntegralInRange<int>(0, 8))) ++nestedStatuses;
  };
  auto startProgram = [&] {
    s.emplace(number, exeDir);
    s->now = now;
    journal.emplace(exeDir, number, s->shared, s->view);
    journal->SetClock([&] { return s->now; });
    watch.emplace(number, s->shared, [&] { return s->now.toMSecsSinceEpoch(); });
    s->control.AddRunObserver(&*journal);  // first: it keeps what must not be lost
    s->control.AddRunObserver(&*watch);
    s->control.SetSaver(save);
    s->wire.onWrite = checkStart;
    s->notifier.onAsk = duringQuestion;
  };
  auto stopProgram = [&] {
    now = s->now;
    journal->Journal().Flush(5000);  // what a kill keeps: everything synced
    watch.reset();
    journal.reset();
    s.reset();
  };
  bool everSaved = false;
  startProgram();

  auto savedRows = [&] {
    if (!QFile::exists(exeDir + QStringLiteral("SaveData.db"))) return 0;
    rig::TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
    return db.QueryTable("SELECT COUNT(*) FROM TestInfo")->ValueText(0).toInt();
  };
  int successfulSaves = 0;
  for (int step = 0; step < 96 && in.remaining_bytes() > 0; ++step) {
    const size_t startsBefore = s->StartFrames().size();
    const size_t questionsBefore = s->notifier.unsavedQuestions.size();
    const size_t noticesBefore = s->notifier.notices.size();
    const size_t queuedBefore = s->shared.Actions.size();
    const int heldMode = s->shared.Model.HoldsTest() ? s->shared.Model.Held().Mode : -1;
    bool status = false;
    nestedStatuses = 0;

    const int event = in.ConsumeIntegralInRange<int>(0, 19);
    if (trace) std::fprintf(stderr, "step %d: event %d, run %s, link %d, queued %zu\n", step, event,
                            rig::RunStateName(s->shared.Model.Run()), static_cast<int>(s->shared.Model.Link()),
                            s->shared.Actions.size());
    if (event == 19) {  // killed, at once or just after a save's commit, and started again
      const bool afterCommit = in.ConsumeBool() && s->shared.Model.HoldsTest() && !s->shared.Actions.empty();
      const int64_t queued = afterCommit ? 0 : static_cast<int64_t>(s->shared.Actions.size());
      if (afterCommit) {
        const rig::SaveOutcome out =
            rig::SaveTestRecord(exeDir, number, s->shared, s->view, s->now, &journal->Journal());
        if (!out.Ok) Fail("a save failed:", out.Error);
        ++successfulSaves;
      }
      stopProgram();
      const std::vector<rig::LeftoverJournal> left = rig::FindLeftoverJournals(exeDir);
      int64_t offered = 0;
      for (const rig::LeftoverJournal& j : left) offered += j.ActionCount;
      if (offered != queued)
        Fail("the journals offer other actions than were unsaved:", QStringLiteral("%1 offered, %2 unsaved").arg(offered).arg(queued));
      if (savedRows() != successfulSaves) Fail("a test stored other than once");
      for (const rig::LeftoverJournal& j : left) {
        if (j.ActionCount == 0) {
          rig::DiscardJournal(j);
          continue;
        }
        const rig::SaveOutcome out = rig::RecoverJournal(exeDir, j, now);
        if (!out.Ok) Fail("recovery failed:", out.Error);
        if (savedRows() != ++successfulSaves) Fail("recovery stored other than one test");
        rig::TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
        auto row = db.QueryTable("SELECT DetailSaveDBName, iDealType FROM TestInfo ORDER BY AutoID DESC LIMIT 1");
        if (row->ValueText(1).toInt() != j.Run.Mode) Fail("the recovered test has another mode than offered");
        rig::TSQLiteDatabase detail(row->ValueText(0));
        if (detail.QueryTable("SELECT COUNT(*) FROM ControlState")->ValueText(0).toLongLong() != j.ActionCount)
          Fail("the recovered test has other actions than offered");
      }
      if (!rig::FindLeftoverJournals(exeDir).empty()) Fail("a recovered or stored test is offered again");
      startProgram();
      startPressed = lineConnected = everSaved = false;
      unsaved = 0;
      continue;
    }
    switch (event) {
      case 0:  // the operator clicks only what is enabled
        if (!s->view.inputEnabled) break;
        if (!s->shared.Model.IsRunning()) startPressed = true;
        s->PressStart();
        // A press that neither started nor waits for the report is over.
        if (s->shared.Model.Run() != rig::RunState::StartRequested && s->StartFrames().size() == startsBefore)
          startPressed = false;
        break;
      case 1:
        if (s->view.continueEnabled) s->PressContinue();
        break;
      case 2:
        if (s->view.saveEnabled) save();
        break;
      case 3:
        if (!s->view.inputEnabled) break;
        s->controller.SelectMode(kModes[in.ConsumeIntegralInRange<int>(0, 8)]);
        for (const rig::ParameterDef& p : rig::Parameters())
          if (p.Range == rig::ParameterRange::SetCount)
            s->view.SetParameterText(p.Number, QString::number(in.ConsumeIntegralInRange<int>(1, 6)));
        break;
      case 4:  // 停止工位 withdraws a press; 开启工位 makes a handshake, which does too
        s->PressLinkButton();
        startPressed = false;
        break;
      case 5: s->StartAll(); startPressed = false; break;
      case 6: outside(0); break;
      case 7: outside(1); break;
      case 8: outside(2); break;
      case 9: outside(3); break;
      case 10:
      case 11: status = outside(4); break;
      case 12: outside(5); break;
      case 13: outside(6); break;
      case 14: outside(7); break;
      case 15: outside(8); break;
      case 16: s->ReopenPorts(); break;
      case 17: {
        static const rig::UnsavedChoice kAnswers[] = {rig::UnsavedChoice::Save, rig::UnsavedChoice::Discard,
                                                      rig::UnsavedChoice::Cancel};
        s->notifier.unsavedAnswer = kAnswers[in.ConsumeIntegralInRange<int>(0, 2)];
        break;
      }
      case 18:
        s->view.CheckRefusalOption(in.ConsumeBool() ? rig::kIgnoreRefusals : rig::kDoNotIgnoreRefusals);
        s->now = s->now.addSecs(in.ConsumeIntegralInRange<int>(0, 4000));
        break;
    }

    // What the oracle expects of the queue.
    bool saved = false;
    for (size_t n = noticesBefore; n < s->notifier.notices.size(); ++n)
      if (s->notifier.notices[n].text == QStringLiteral("保存数据成功！")) saved = true;
    const bool letGo = s->notifier.unsavedQuestions.size() > questionsBefore &&
                       s->notifier.unsavedAnswer == rig::UnsavedChoice::Discard;
    if (saved) {
      CheckLastSavedTimes(exeDir);
      if (savedRows() != ++successfulSaves) Fail("a save stored another number of tests than one");
    }
    if (saved || letGo)
      unsaved = 0;
    else
      unsaved += nestedStatuses;
    everSaved = everSaved || saved;
    if (status) ++unsaved;
    if (s->shared.Actions.size() != unsaved)
      Fail("the queue lost or gained actions nobody saved or let go:",
           QStringLiteral("%1 queued, %2 expected").arg(s->shared.Actions.size()).arg(unsaved));

    const std::vector<QByteArray> starts = s->StartFrames();
    if (starts.size() > startsBefore) {
      if (starts.size() != startsBefore + 1) Fail("more than one start command for one event");
      if (!startPressed) Fail("a start command nobody pressed for");
      startPressed = false;
      if (queuedBefore > 0 && s->shared.Actions.size() == queuedBefore && ModeOf(starts.back()) != heldMode)
        Fail("a test continued in another mode than its own");
    }
    if (!s->shared.Actions.empty() && !s->shared.Model.IsRunning() && !s->view.saveEnabled)
      Fail("unsaved actions of a test that is not running cannot be saved");
    if ((s->view.startCaption == QStringLiteral("取消测试")) != s->shared.Model.IsRunning())
      Fail("the start button says something else than the run");
    if (const QString broken = s->shared.Model.CheckInvariants(); !broken.isEmpty()) Fail("model:", broken);
    if (s->shared.Model.HasStartPermit() != (s->shared.Model.Run() == rig::RunState::StartRequested))
      Fail("a start press outlived the click that made it");

    // The live view counts the held test's refusals as its records carry
    // them, and under 忽略拒动作 (no marks) as the position rule finds them
    // (a save in the middle of a run empties the queue, not the view).
    watch->Poll();
    const rig::RunWatchFigures f = watch->Figures();
    if (f.Silent && !s->shared.Model.IsRunning()) Fail("a controller called silent while nothing runs");
    if (watch->History().Buckets().size() > rig::TRateHistory::kMaxBuckets) Fail("the rate history grew");
    if (s->shared.Model.HoldsTest()) {
      int32_t marked = 0, counted = 0;
      for (const auto& r : s->shared.Actions) {
        int32_t marks = 0;
        for (const QString& m : r->Marks) marks += m.isEmpty() ? 0 : 1;
        if (marks == 0) marks = JudgedBreaks(s->shared.Model.Held().Mode, *r);
        marked += marks;
      }
      for (const rig::BreakRefusalCount& b : f.Refusals) counted += b.Closings + b.Openings;
      if (counted < marked || (!everSaved && counted != marked))
        Fail("the live view's refusals differ from the records':",
             QStringLiteral("%1 counted, %2 marked or judged").arg(counted).arg(marked));
    }
  }
  return 0;
}
