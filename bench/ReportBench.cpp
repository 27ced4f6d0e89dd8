// What a report and the exports cost for a long life test: 64,000 cycles of
// open-close, 128,000 actions, refusals growing towards the end as a worn
// mechanism's would. Each figure includes reading the test from its files.
// RIG_BENCH_KEEP=1 keeps the program folder and names it, to look at the outputs.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "core/GbkText.h"
#include "report/CsvExport.h"
#include "report/PdfReport.h"
#include "report/SavedTest.h"
#include "report/XlsxExport.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"

namespace {

constexpr int kCycles = 64000;

struct LongTest {
  QTemporaryDir dir;
  QString exe = dir.path() + QLatin1Char('/');
  QString id;

  LongTest() {
    rig::EnsureTable((exe + "SaveData.db").toUtf8(), "TestInfo");
    const QString detail = exe + "20261107140509_1.db";
    rig::EnsureTable(detail.toUtf8(), "ControlState");
    rig::TSQLiteDatabase db(detail.toUtf8());
    db.RunSQL("BEGIN");
    const QByteArray close = rig::ToGbk(QStringLiteral("拒合")), open = rig::ToGbk(QStringLiteral("拒分"));
    for (int i = 0; i < 2 * kCycles; ++i) {
      const int count = i / 2 + 1;
      const bool closing = i % 2 == 1;
      // Rare refusals early, more after 40,000 cycles.
      const int every = count > 40000 ? 1500 : 9000;
      QByteArray marks[3];
      if (count % every == (closing ? 11 : 0)) marks[(count / every) % 3] = closing ? close : open;
      db.RunSQL(
          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
          "VALUES (?1,?2,?3,?3,?3,?4,?5,?6)",
          {int64_t{count}, int64_t{i + 1}, int64_t{closing ? 1 : 0}, marks[0], marks[1], marks[2]});
    }
    db.RunSQL("COMMIT");
    rig::TSQLiteDatabase save((exe + "SaveData.db").toUtf8());
    save.RunSQL(
        "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
        "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
        "VALUES (?1,?2,?3,?4,'2026-11-07 14:05:09','2026-11-09 08:12:40',1,?5,17,3,3,64000,0,0,64000,0)",
        {rig::ToGbk(QStringLiteral("ZW32-12/T630-20")), QByteArray("F07-2026-0815"),
         rig::ToGbk(QStringLiteral("三号试验台")), rig::ToGbk(QStringLiteral("王工")), rig::ToGbk(detail)});
    id = QString::number(save.QueryTable("SELECT max(AutoID) AS M FROM TestInfo")->ValueInteger(0));
    if (qEnvironmentVariableIsSet("RIG_BENCH_KEEP")) {
      dir.setAutoRemove(false);
      std::fprintf(stderr, "program folder kept: %s (AutoID %s)\n", qPrintable(exe), qPrintable(id));
    }
  }
};

LongTest& Test() {
  static LongTest test;
  return test;
}

void BM_ReadTest(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(rig::LoadSavedTest(Test().exe, Test().id).Actions.size());
}

void BM_PdfReport(benchmark::State& state) {
  for (auto _ : state) rig::WritePdfReport(rig::LoadSavedTest(Test().exe, Test().id), Test().exe + "report.pdf");
}

void BM_ActionsCsv(benchmark::State& state) {
  for (auto _ : state) rig::WriteActionsCsv(rig::LoadSavedTest(Test().exe, Test().id), Test().exe + "actions.csv");
}

void BM_ActionsXlsx(benchmark::State& state) {
  for (auto _ : state) rig::WriteActionsXlsx(rig::LoadSavedTest(Test().exe, Test().id), Test().exe + "actions.xlsx");
}

BENCHMARK(BM_ReadTest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfReport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActionsCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActionsXlsx)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts for the PDF
  benchmark::Initialize(&argc, argv);
  Test();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
