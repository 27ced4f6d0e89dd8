// What looking up one switch's history costs on a rig that has saved
// 100,000 tests: the saved-test search over SaveData.db, the refusals of
// each of the switch's tests read from its detail file, and its programmes
// from Programmes.db among a hundred others. It must stay under 0.3 s.
//
//   build/bin/SwitchHistoryBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <map>
#include <memory>

#include "BenchLifeTest.h"
#include "core/GbkText.h"
#include "endurance/LocalSwitchHistory.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "storage/RecordStore.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"

using namespace rig;

namespace {

const QString kSwitch = QStringLiteral("出厂号2026-017");

// 100,000 saved tests over a year, each of another switch but five: those
// are the switch's blocks, saved as the save button saves them with
// `actions` actions each (mode 20, one in ten marked). A hundred programmes,
// two of them the switch's.
struct Rig {
  QTemporaryDir dir;
  QString Exe() const { return dir.path() + QLatin1Char('/'); }

  Rig(int tests, int actions) {
    EnsureTable((Exe() + "SaveData.db").toUtf8(), "TestInfo");
    EnsureTable((Exe() + "SpaceData.db").toUtf8(), "ControlState");
    {
      TSQLiteDatabase db((Exe() + "SaveData.db").toUtf8());
      db.RunSQL("BEGIN");
      const QString types[] = {QStringLiteral("户外真空断路器"), QStringLiteral("ZW32-12"), QStringLiteral("VS1-12")};
      for (int i = 0; i < tests - 5; ++i) {
        const QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(i * (365LL * 86400 / tests));
        db.RunSQL("INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
                  "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
                  "VALUES (?1,?2,?3,?4,?5,?5,1,?6,20,300,300,10,10,32000,32000,1)",
                  {ToGbk(types[i % 3]), ToGbk(QStringLiteral("出厂号2026-%1").arg(i)), ToGbk(QStringLiteral("一号台")),
                   ToGbk(QStringLiteral("张三")), ToGbk(start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                   ToGbk(Exe() + start.toString(QStringLiteral("yyyyMMdd/yyyyMMddHHmmss_1.db")))});
      }
      db.RunSQL("COMMIT");
    }
    for (int block = 0; block < 5; ++block) {
      TestSummary t = rigbench::BenchLifeTest(actions);
      t.OpenType = QStringLiteral("ZW32-12");
      t.OutIndex = kSwitch;
      t.StartTime = QDateTime(QDate(2026, 12, 1 + block), QTime(9, 0));
      ActionQueue q;
      for (int i = 1; i <= actions; ++i) q.push_back(std::make_unique<ActionRecord>(rigbench::BenchAction(i)));
      const SaveOutcome out = WriteTestRecord(Exe(), t, q, t.StartTime);
      if (!out.Ok) qFatal("the switch's test was not saved: %s", qPrintable(out.Error));
    }
    TProgrammeStore store(Exe());
    for (int n = 0; n < 100; ++n) {
      Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), 20);
      p.Identity.SwitchModel = QStringLiteral("ZW32-12");
      p.Identity.FactoryNumber = n % 50 == 0 ? kSwitch : QStringLiteral("出厂号2025-%1").arg(n);
      p.CreatedAt = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addDays(n * 3);
      OpenRun(p, p.CreatedAt, 0);
      AdvanceRun(p, 2000);
      CloseRun(p);
      store.Save(p);
    }
  }
};

Rig& RigOf(int tests, int actions) {
  static std::map<std::pair<int, int>, std::unique_ptr<Rig>> made;
  auto& r = made[{tests, actions}];
  if (!r) r = std::make_unique<Rig>(tests, actions);
  return *r;
}

}  // namespace

// One switch looked up by its factory number and model: five blocks of an M2
// programme in mode 20 (2,000 cycles, 8,000 actions each), and five tests of
// 32,000 cycles (128,000 actions) as the far end.
static void BM_LookUpOneSwitch(benchmark::State& state) {
  Rig& rig = RigOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const SwitchHistoryQuery query{kSwitch, QStringLiteral("ZW32-12")};
  size_t listed = 0;
  for (auto _ : state) listed = LocalSwitchHistory(rig.Exe(), query).size();
  state.counters["listed"] = static_cast<double>(listed);
  if (listed != 7) state.SkipWithError(qPrintable(QStringLiteral("listed %1 of the switch's five tests and two programmes").arg(listed)));
}
BENCHMARK(BM_LookUpOneSwitch)
    ->Args({100000, 8000})
    ->Args({100000, 128000})
    ->ArgNames({"tests", "actions_per_test"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
