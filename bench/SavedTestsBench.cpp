// What saving, searching and opening saved tests cost at the sizes a rig
// reaches: a 32,000-cycle life test (128,000 actions in mode 20), 10,000 and
// 100,000 saved tests, and one point ten times larger to show how each grows.
//
//   build/bin/SavedTestsBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
// The three ways of saving run side by side in one run: today's (one
// transaction, one prepared INSERT), compiling the INSERT for every action,
// and one commit per action without a transaction.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <malloc.h>

#include <chrono>
#include <map>
#include <memory>

#include "core/GbkText.h"
#include "core/Notifier.h"
#include "storage/ActionLines.h"
#include "BenchLifeTest.h"
#include "storage/RecordStore.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "storage/TestDetail.h"
#include "storage/TestSearch.h"
#include "ui/SearchDetailfrm.h"
#include "ui/SearchResultfrm.h"

using namespace rig;
using Clock = std::chrono::steady_clock;

namespace {

const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 0, 0));

class QuietNotifier : public INotifier {
 public:
  void Notice(const QString&, NoticeIcon) override {}
  void Error(const QString&) override {}
  bool Confirm(const QString&) override { return false; }
  UnsavedChoice AskUnsaved(const QString&) override { return UnsavedChoice::Cancel; }
};

// A program folder with the installation's two databases.
struct Folder {
  QTemporaryDir dir;
  QString Exe() const { return dir.path() + QLatin1Char('/'); }
  Folder() {
    EnsureTable((Exe() + "SaveData.db").toUtf8(), "TestInfo");
    EnsureTable((Exe() + "SpaceData.db").toUtf8(), "ControlState");
  }
};

TestSummary LifeTest(int actions) { return rigbench::BenchLifeTest(actions); }

// Mode 20 actions, four per cycle; one in ten carries a refusal mark.
ActionQueue Actions(int n) {
  ActionQueue q;
  for (int i = 1; i <= n; ++i) {
    q.push_back(std::make_unique<ActionRecord>(rigbench::BenchAction(i)));
  }
  return q;
}

// Heap bytes in use (glibc): what the objects alive at that moment hold.
double HeapKiB() { return static_cast<double>(mallinfo2().uordblks) / 1024.0; }

// Microseconds per action, from the wall time of the timed part.
void PerAction(benchmark::State& state, int64_t actions) {
  state.counters["us_per_action"] = benchmark::Counter(static_cast<double>(actions) * 1e-6,
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert,
                                                       benchmark::Counter::kIs1000);
}

}  // namespace

// The record store as the save button runs it.
static void BM_SaveTest(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    Folder folder;
    ActionQueue q = Actions(n);
    state.ResumeTiming();
    const SaveOutcome out = WriteTestRecord(folder.Exe(), LifeTest(n), q, kStart);
    if (!out.Ok) {
      state.SkipWithError(qPrintable(out.Error));
      break;
    }
  }
  PerAction(state, state.range(0));
}
BENCHMARK(BM_SaveTest)->Arg(128000)->Arg(1280000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The simple way of writing one action: its INSERT compiled and run alone.
static void InsertOneAction(TSQLiteDatabase& db, const ActionRecord& r) {
  db.RunSQL("INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
            "VALUES (?1,?2,?3,?4,?5,?6,?7,?8);",
            {int64_t{r.Count}, int64_t{r.ActionNo}, int64_t{r.Closed[0]}, int64_t{r.Closed[1]},
             int64_t{r.Closed[2]}, ToGbkLimited(r.Marks[0], 6), ToGbkLimited(r.Marks[1], 6),
             ToGbkLimited(r.Marks[2], 6)});
}

// The same rows, the INSERT compiled again for every action (one transaction).
static void BM_SaveCompilingEachRow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const ActionQueue q = Actions(n);
  for (auto _ : state) {
    state.PauseTiming();
    Folder folder;
    state.ResumeTiming();
    TSQLiteDatabase db((folder.Exe() + "d.db").toUtf8());
    db.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
    db.RunSQL("BEGIN");
    for (const auto& r : q) {
      InsertOneAction(db, *r);
    }
    db.RunSQL("COMMIT");
  }
  PerAction(state, state.range(0));
}
BENCHMARK(BM_SaveCompilingEachRow)->Arg(128000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One statement and one commit per action, no transaction: every action
// waits for its own disk sync. Fewer actions; compare us_per_action.
static void BM_SaveOneCommitPerRow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const ActionQueue q = Actions(n);
  for (auto _ : state) {
    state.PauseTiming();
    Folder folder;
    state.ResumeTiming();
    TSQLiteDatabase db((folder.Exe() + "d.db").toUtf8());
    db.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
    for (const auto& r : q) {
      InsertOneAction(db, *r);
    }
  }
  PerAction(state, state.range(0));
}
BENCHMARK(BM_SaveOneCommitPerRow)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

namespace {

// One saved test of `actions` actions per size, made once.
struct SavedTest {
  Folder folder;
  QString autoId;
  QString detail;
};
SavedTest& SavedTestOf(int actions) {
  static std::map<int, std::unique_ptr<SavedTest>> made;
  auto& t = made[actions];
  if (!t) {
    t = std::make_unique<SavedTest>();
    ActionQueue q = Actions(actions);
    const SaveOutcome out = WriteTestRecord(t->folder.Exe(), LifeTest(actions), q, kStart);
    t->detail = out.DetailPath;
    t->autoId = QStringLiteral("1");
  }
  return *t;
}

}  // namespace

// Double-click to first screen: the detail window built, its header read,
// the list's first batch read and the window drawn.
static void BM_OpenDetailWindow(benchmark::State& state) {
  SavedTest& saved = SavedTestOf(static_cast<int>(state.range(0)));
  QuietNotifier notifier;
  double heap = 0, wholeHeap = 0;
  for (auto _ : state) {
    const double before = HeapKiB();
    TfrmSearchDetail window(saved.folder.Exe(), notifier);
    window.resize(1277, 1021);
    window.SetAutoId(saved.autoId);
    window.FormShow();
    window.show();
    window.grab();  // drawn: the first screen
    heap = HeapKiB() - before;
    state.PauseTiming();
    // Memory once the operator has scrolled to the last line.
    auto* list = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    while (list->model()->canFetchMore({})) list->model()->fetchMore({});
    wholeHeap = HeapKiB() - before;
    state.ResumeTiming();
  }
  state.counters["first_screen_heap_KiB"] = heap;
  state.counters["scrolled_to_end_heap_KiB"] = wholeHeap;
}
BENCHMARK(BM_OpenDetailWindow)->Arg(128000)->Arg(1280000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// For comparison: every cell of the test made into text at once, as a list
// of strings would hold it.
static void BM_WholeGridAsText(benchmark::State& state) {
  SavedTest& saved = SavedTestOf(static_cast<int>(state.range(0)));
  double heap = 0;
  for (auto _ : state) {
    const double before = HeapKiB();
    ActionGrid grid;
    RenderActions(20, saved.detail, &grid);
    heap = HeapKiB() - before;
    benchmark::DoNotOptimize(grid.Lines.size());
  }
  state.counters["heap_KiB"] = heap;
}
BENCHMARK(BM_WholeGridAsText)->Arg(128000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

namespace {

// SaveData.db with `tests` saved tests over a year; the texts vary so that
// a Chinese filter lists about one test in five.
Folder& SavedTestsOf(int tests) {
  static std::map<int, std::unique_ptr<Folder>> made;
  auto& f = made[tests];
  if (!f) {
    f = std::make_unique<Folder>();
    TSQLiteDatabase db((f->Exe() + "SaveData.db").toUtf8());
    db.RunSQL("BEGIN");
    const QString types[] = {QStringLiteral("户外真空断路器"), QStringLiteral("ZW32-12"), QStringLiteral("VS1-12"),
                             QStringLiteral("SF6断路器"), QStringLiteral("隔离开关")};
    const QString names[] = {QStringLiteral("张三"), QStringLiteral("王五"), QStringLiteral("钱七"),
                             QStringLiteral("李四"), QStringLiteral("赵六")};
    for (int i = 0; i < tests; ++i) {
      const QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(i * (365LL * 86400 / tests));
      db.RunSQL("INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
                "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
                "VALUES (?1,?2,?3,?4,?5,?5,1,?6,20,300,300,10,10,32000,32000,1)",
                {ToGbk(types[i % 5]), ToGbk(QStringLiteral("F%1").arg(i)),
                 ToGbk(QStringLiteral("%1号工位").arg(i % 2 ? QStringLiteral("一") : QStringLiteral("二"))),
                 ToGbk(names[(i / 5) % 5]), ToGbk(start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                 ToGbk(f->Exe() + start.toString(QStringLiteral("yyyyMMdd/yyyyMMddHHmmss_1.db")))});
    }
    db.RunSQL("COMMIT");
  }
  return *f;
}

SearchFilter WholeYear(bool chinese) {
  SearchFilter filter;
  filter.From = QDate(2026, 1, 1);
  filter.To = QDate(2026, 12, 31);
  if (chinese) {
    filter.OpenType = QStringLiteral("真空");
    filter.WorkName = QStringLiteral("张");
  }
  return filter;
}

}  // namespace

// SearchTests over a year of tests: every test listed (no filter), or the
// Chinese filters 真空 and 张.
static void BM_Search(benchmark::State& state) {
  Folder& f = SavedTestsOf(static_cast<int>(state.range(0)));
  const SearchFilter filter = WholeYear(state.range(1) != 0);
  size_t listed = 0;
  for (auto _ : state) listed = SearchTests(f.Exe(), filter).size();
  state.counters["listed"] = static_cast<double>(listed);
}
BENCHMARK(BM_Search)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->ArgNames({"tests", "chinese"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The 查询 button: the search and the list filled in the window.
static void BM_SearchWindow(benchmark::State& state) {
  Folder& f = SavedTestsOf(static_cast<int>(state.range(0)));
  QuietNotifier notifier;
  TfrmSearchResult window(f.Exe(), notifier);
  window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"))->setDate(QDate(2026, 1, 1));
  window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"))->setDate(QDate(2026, 12, 31));
  auto* list = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
  for (auto _ : state) window.BitBtn3Click();
  state.counters["listed"] = list->model()->rowCount();
}
BENCHMARK(BM_SearchWindow)->Arg(10000)->Arg(100000)->ArgName("tests")->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
