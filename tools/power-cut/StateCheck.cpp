#include "StateCheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <map>
#include <set>
#include <sstream>

#include "OutboxSink.h"
#include "ProgrammeSteps.h"
#include "core/GbkText.h"
#include "core/Notifier.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeRunner.h"
#include "endurance/ProgrammeStore.h"
#include "station/GlobVar.h"
#include "station/LeftoverRecovery.h"
#include "station/Startup.h"
#include "storage/JournalRecovery.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteException.h"
#include "storage/SQLiteTable3.h"
#include "storage/SavedTestFiles.h"
#include "storage/TestDetail.h"
#include "storage/TestSearch.h"

namespace powercut {
namespace {

// The operator at start-up: OK to every recovery question.
class SayYes : public rig::INotifier {
 public:
  void Notice(const QString& text, rig::NoticeIcon) override { notices.push_back(text); }
  void Error(const QString& text) override { notices.push_back(text); }
  bool Confirm(const QString&) override { return true; }
  rig::UnsavedChoice AskUnsaved(const QString&) override { return rig::UnsavedChoice::Save; }
  std::vector<QString> notices;
};

std::string S(const QString& text) { return text.toStdString(); }

// "ok", or what SQLite finds wrong (or why it cannot open the file).
std::string Integrity(const QString& path) {
  try {
    rig::TSQLiteDatabase db(path.toUtf8());
    auto t = db.QueryTable("PRAGMA integrity_check");
    return t->RowCount() > 0 ? t->ValueText(0).toStdString() : std::string("no answer");
  } catch (const rig::ESQLiteException& e) {
    return S(e.Message());
  }
}

struct StoredTest {
  int Run = -1;
  QString DetailPath;
  int64_t AutoId = 0;
  int Actions = 0;
};

class Checker {
 public:
  Checker(QString dir, const std::vector<PlannedRun>& runs, const Promises& promises, CheckOutcome& out)
      : dir_(std::move(dir)), runs_(runs), promises_(promises), out_(out) {}

  void Run() {
    CheckReadable(QStringLiteral("SaveData.db"));
    CheckReadable(QStringLiteral("LabOutbox.db"));
    CheckReadable(QStringLiteral("Programmes.db"));
    if (!StartProgram(&out_.RecoveredTests)) return;
    if (!rig::FindLeftoverJournals(dir_).empty()) Fail("left to recover", "a journal is still offered after recovery");
    const std::vector<StoredTest> stored = ReadStoredTests();
    out_.StoredTests = static_cast<int>(stored.size());
    CheckPromisesKept(stored);
    CheckOutbox(stored);
    CountOrphans(stored);
    ReadAsTheWindowsDo();
    const std::string programme = CheckProgramme();
    int again = 0;
    if (StartProgram(&again) && (again != 0 || ReadStoredTests().size() != stored.size()))
      Fail("stored twice", "a second start saved again");
    if (ProgrammeKey() != programme) Fail("stored twice", "a second start changed the programme");
  }

 private:
  void Fail(const char* kind, const std::string& what) { out_.Failures.push_back(std::string(kind) + ": " + what); }

  void CheckReadable(const QString& name) {
    const QString path = dir_ + name;
    if (!QFileInfo::exists(path)) return;
    const std::string verdict = Integrity(path);
    if (verdict != "ok") Fail("unreadable database", S(name) + ": " + verdict);
  }

  // The window's start-up without the window: shared state, run log, then
  // the recovery of what the last run left.
  bool StartProgram(int* recovered) {
    rig::GlobVar g;
    SayYes operatorAtStart;
    try {
      rig::InitSharedState(g, dir_);
      rig::SettleInterruptedProgrammes(dir_);  // before the journals it counts from are offered
      OutboxSink sink;
      rig::SetSavedTestSink(&sink);
      rig::RecoverLeftoverTests(dir_, operatorAtStart);
      rig::SetSavedTestSink(nullptr);
    } catch (const rig::ESQLiteException& e) {
      rig::SetSavedTestSink(nullptr);
      Fail("start-up failed", S(e.Message()));
      return false;
    } catch (const std::exception& e) {
      rig::SetSavedTestSink(nullptr);
      Fail("start-up failed", e.what());
      return false;
    }
    rig::ShutdownSharedState(g, false);
    *recovered = 0;
    for (const QString& n : operatorAtStart.notices) {
      if (n.startsWith(QStringLiteral("未保存的测试已恢复"))) ++*recovered;
      else Fail("recovery failed", S(n));
    }
    return true;
  }

  int RunOf(const QString& outIndex) const {
    for (const PlannedRun& r : runs_) {
      if (r.Summary.OutIndex == outIndex) return r.Number;
    }
    return -1;
  }

  std::vector<StoredTest> ReadStoredTests() {
    std::vector<StoredTest> stored;
    if (!QFileInfo::exists(dir_ + QStringLiteral("SaveData.db"))) return stored;
    try {
      rig::TSQLiteDatabase db((dir_ + QStringLiteral("SaveData.db")).toUtf8());
      if (db.QueryTable("SELECT 1 FROM sqlite_master WHERE name='TestInfo'")->RowCount() == 0) return stored;
      auto t = db.QueryTable("SELECT AutoID, OutIndex, DetailSaveDBName, iDealTimes FROM TestInfo ORDER BY AutoID");
      for (; !t->IsAtEnd(); t->MoveNext()) {
        StoredTest s;
        s.AutoId = t->ValueInteger(0);
        s.Run = RunOf(rig::FromGbk(t->ValueText(1)));
        s.DetailPath = rig::ResolveDetailPath(dir_, t->ValueText(2));
        if (s.Run < 0) Fail("stored but never sent", "row " + std::to_string(s.AutoId));
        else ReadActions(s, t->ValueInteger(3));
        stored.push_back(s);
      }
    } catch (const rig::ESQLiteException& e) {
      Fail("unreadable database", "SaveData.db: " + S(e.Message()));
    }
    return stored;
  }

  // The detail file holds a beginning of what the run sent, exactly.
  void ReadActions(StoredTest& s, int64_t countDone) {
    const std::string name = "run " + std::to_string(s.Run) + " (row " + std::to_string(s.AutoId) + ")";
    if (!QFileInfo(s.DetailPath).isFile()) return Fail("row names a missing detail file", name + " " + S(s.DetailPath));
    if (const std::string v = Integrity(s.DetailPath); v != "ok") return Fail("unreadable database", name + ": " + v);
    rig::TSQLiteDatabase db(s.DetailPath.toUtf8());
    auto t = db.QueryTable(
        "SELECT DealTimes, CZDealTimes, State1, State2, State3, StrState1, StrState2, StrState3 FROM ControlState "
        "ORDER BY AutoID");
    const PlannedRun& run = runs_[s.Run];
    for (; !t->IsAtEnd(); t->MoveNext(), ++s.Actions) {
      if (s.Actions >= run.Actions) return Fail("stored but never sent", name + ": more actions than sent");
      const rig::ActionRecord sent = run.Action(s.Actions);
      bool same = t->ValueInteger(0) == sent.Count && t->ValueInteger(1) == sent.ActionNo;
      for (int b = 0; b < rig::kBreakCount; ++b) {
        same = same && t->ValueInteger(2 + b) == sent.Closed[b] && rig::FromGbk(t->ValueText(5 + b)) == sent.Marks[b];
      }
      if (!same) return Fail("stored but never sent", name + ": action " + std::to_string(s.Actions + 1) + " differs");
    }
    if (s.Actions > 0 && countDone != run.Action(s.Actions - 1).Count)
      Fail("stored but never sent", name + ": count done " + std::to_string(countDone));
  }

  void CheckPromisesKept(const std::vector<StoredTest>& stored) {
    for (const PlannedRun& run : runs_) {
      const int n = run.Number;
      std::vector<const StoredTest*> copies;
      for (const StoredTest& s : stored) {
        if (s.Run == n) copies.push_back(&s);
      }
      const std::string name = "run " + std::to_string(n);
      if (copies.size() > 1) Fail("stored twice", name + " stored " + std::to_string(copies.size()) + " times");
      const int held = copies.empty() ? 0 : copies.front()->Actions;
      if (promises_.Synced[n] > held)
        Fail("synced action lost",
             name + ": " + std::to_string(promises_.Synced[n]) + " synced, " + std::to_string(held) + " stored");
      if (promises_.SavedActions[n] >= 0 && (copies.empty() || held != promises_.SavedActions[n]))
        Fail("saved test lost", name + ": saved with " + std::to_string(promises_.SavedActions[n]) + " actions, " +
                                    std::to_string(held) + " stored");
    }
  }

  void CheckOutbox(const std::vector<StoredTest>& stored) {
    const QString path = rig::lab::LabOutbox::PathIn(dir_);
    std::map<int, int> waiting;
    if (QFileInfo::exists(path)) {
      try {
        rig::TSQLiteDatabase db(path.toUtf8());
        if (db.QueryTable("SELECT 1 FROM sqlite_master WHERE name='Outbox'")->RowCount() > 0) {
          for (auto t = db.QueryTable("SELECT Summary FROM Outbox"); !t->IsAtEnd(); t->MoveNext()) {
            const QString summary = QString::fromUtf8(t->ValueText(0));
            int run = -1;
            for (const PlannedRun& r : runs_) {
              if (summary.contains(r.Summary.OutIndex)) run = r.Number;
            }
            ++waiting[run];
          }
        }
      } catch (const rig::ESQLiteException& e) {
        Fail("unreadable database", "LabOutbox.db: " + S(e.Message()));
      }
    }
    std::set<int> storedRuns;
    for (const StoredTest& s : stored) storedRuns.insert(s.Run);
    for (const auto& [run, count] : waiting) {
      if (count > 1) Fail("stored twice", "run " + std::to_string(run) + " waits in the outbox twice");
      if (!storedRuns.count(run)) Fail("stored but never sent", "outbox holds run " + std::to_string(run) + " unsaved");
    }
    for (int n = 0; n < 3; ++n) {
      if (promises_.InOutbox[n] && !waiting.count(n)) Fail("outbox lost a test", "run " + std::to_string(n));
    }
  }

  void CountOrphans(const std::vector<StoredTest>& stored) {
    std::set<QString> named;
    for (const StoredTest& s : stored) named.insert(QFileInfo(s.DetailPath).absoluteFilePath());
    QDirIterator it(dir_, {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QFileInfo f(it.next());
      if (f.absolutePath() != QDir(dir_).absolutePath() && !named.count(f.absoluteFilePath())) ++out_.OrphanFiles;
    }
  }

  std::vector<rig::Programme> Programmes() {
    try {
      return rig::TProgrammeStore(dir_).Unfinished();
    } catch (const rig::ESQLiteException& e) {
      Fail("unreadable database", "Programmes.db: " + S(e.Message()));
      return {};
    }
  }

  // What a second start must leave as it is.
  std::string ProgrammeKey() {
    std::string key;
    for (const rig::Programme& p : Programmes())
      key += std::to_string(p.Id) + ':' + std::to_string(rig::CumulativeCount(p)) + ':' +
             std::to_string(p.Runs.size()) + ':' + std::to_string(p.Inspections.size()) + ';';
    return key;
  }

  // Returns the programme's key as this start left it.
  std::string CheckProgramme() {
    const std::vector<rig::Programme> all = Programmes();
    if (all.size() > 1) Fail("stored twice", std::to_string(all.size()) + " programmes");
    if (all.empty()) {
      if (promises_.ProgrammeMade) Fail("programme lost", "Programmes.db holds no programme");
      return ProgrammeKey();
    }
    const rig::Programme& p = all.front();
    if (rig::OpenRunOf(p)) Fail("left to recover", "a programme's run is still open after start-up");
    for (const int run : {0, 2}) {
      const int block = BlockOfRun(run);
      const int32_t done = rig::BlockDone(p, block);
      const int synced = promises_.Synced[run];
      int32_t least = std::max(promises_.ProgrammeCount[run],
                               promises_.ProgrammeOpen[run] && synced > 0 ? runs_[run].Action(synced - 1).Count : 0);
      if (promises_.ProgrammeClosed[run]) least = runs_[run].Summary.CountDone;
      const std::string name = "block " + std::to_string(block) + ": " + std::to_string(done) + " counted, ";
      if (done < least) Fail("programme count lost", name + std::to_string(least) + " promised");
      if (done > runs_[run].Summary.CountDone)
        Fail("stored but never sent", name + std::to_string(runs_[run].Summary.CountDone) + " sent");
    }
    if (promises_.Inspected && !rig::FindInspection(p, 1)) Fail("inspection lost", "block 1's inspection");
    return ProgrammeKey();
  }

  // The search list and each test's detail, as the windows read them.
  void ReadAsTheWindowsDo() {
    if (!QFileInfo::exists(dir_ + QStringLiteral("SaveData.db"))) return;
    try {
      rig::SearchFilter all;
      all.From = QDate(2000, 1, 1);
      all.To = QDate(2100, 1, 1);
      for (const rig::SearchRow& row : rig::SearchTests(dir_, all)) {
        rig::DetailHeader header;
        rig::ActionGrid grid;
        rig::LoadTestSummary(dir_, row.AutoID, &header, &grid);
      }
    } catch (const rig::ESQLiteException& e) {
      Fail("unreadable database", "reading back: " + S(e.Message()));
    }
  }

  QString dir_;
  const std::vector<PlannedRun>& runs_;
  const Promises& promises_;
  CheckOutcome& out_;
};

}  // namespace

std::string Promises::Key() const {
  std::ostringstream key;
  for (int n = 0; n < 3; ++n)
    key << Synced[n] << ',' << SavedActions[n] << ',' << InOutbox[n] << ',' << ProgrammeOpen[n] << ','
        << ProgrammeCount[n] << ',' << ProgrammeClosed[n] << ';';
  key << ProgrammeMade << Inspected;
  return key.str();
}

Promises PromisesAt(const std::vector<Op>& ops, size_t cut) {
  Promises p;
  for (size_t i = 0; i <= cut && i < ops.size(); ++i) {
    if (ops[i].Kind != OpKind::Mark) continue;
    std::istringstream line(ops[i].Data);
    std::string what;
    int run = -1, count = 0;
    line >> what >> run >> count;
    if (run < 0 || run > 2) continue;
    if (what == "synced") p.Synced[run] = std::max(p.Synced[run], count);
    if (what == "saved") p.SavedActions[run] = count;
    if (what == "outbox") p.InOutbox[run] = true;
    if (what == "programme") p.ProgrammeMade = true;
    if (what == "programme-open") p.ProgrammeOpen[run] = true;
    if (what == "programme-count") p.ProgrammeCount[run] = std::max(p.ProgrammeCount[run], count);
    if (what == "programme-closed") p.ProgrammeClosed[run] = true;
    if (what == "programme-inspected") p.Inspected = true;
  }
  return p;
}

CheckOutcome CheckState(const QString& dir, const std::vector<PlannedRun>& runs, const Promises& promises) {
  CheckOutcome out;
  Checker(dir, runs, promises, out).Run();
  return out;
}

}  // namespace powercut
