// An M2 programme of five blocks of 2,000 cycles, run end to end by the real
// window on the simulated controller: the program is killed (kill -9) in
// block 2 and started again; the switch fails at its 6,527th operation (B1
// stays open). The station pauses exactly at 2,000, 4,000 and 6,000, no
// cycle is lost or counted twice across the kill, in the programme and in
// the saved tests, and the verdict is M1.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <QFile>
#include <QProcess>
#include <csignal>

#include "ControllerSim.h"
#include "core/IniFile.h"
#include "endurance/ProgrammeReport.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "storage/JournalRecovery.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "tools/PopplerText.h"
#include "testing/TestModes.h"
#include "ui/Mainfrm.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

const char* kChildDirVariable = "RIG_PROGRAMME_CHILD_DIR";
constexpr int kTimeoutMs = 60000;

// The window on a fresh or given program folder, its stations on simulated
// controllers as fast as the line allows.
struct ProgrammeRig {
  std::unique_ptr<sim::TControllerSim> sim;
  rigtest::RecordingNotifier* notifier = nullptr;
  std::unique_ptr<TfrmHX4417> window;

  void Start(const QString& exeDir, int64_t operationsDone) {
    sim::SimOptions o;
    o.Controller.Speed = 20000;
    o.Controller.ActionMs = 2;
    o.Controller.OperationsDone = operationsDone;
    o.Controller.Refusals = {{kBreakB1, true, 0, 6527}};  // the trip spring
    o.Baud = 0;
    o.Seed = 5;
    o.Stations = {1, 2};
    sim = std::make_unique<sim::TControllerSim>(o);
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    EnsureTable((exeDir + "SaveData.db").toUtf8(), "TestInfo");
    EnsureTable((exeDir + "SpaceData.db").toUtf8(), "ControlState");
    TIniFile ini(exeDir + "Config.ini");
    for (int s : {1, 2}) ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim->DevicePath(s));
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<TfrmHX4417>(exeDir, std::move(n));
    window->show();
  }
  TProgrammeRunner& Runner() { return window->Programme(1); }
  const Programme& P() { return *Runner().Current(); }
  void Connect() {
    StationShared& s = *window->Shared().Station(1);
    ASSERT_TRUE(rigtest::WaitFor([&] { return s.PortOpen; }, kTimeoutMs));
    window->findChild<QAbstractButton*>("SpeedButton1")->click();
    ASSERT_TRUE(rigtest::WaitFor([&] { return s.Model.Connected() && !s.Model.AwaitingFirstReport(); }, kTimeoutMs));
    window->Panel(1).CheckRefusalOption(kDoNotIgnoreRefusals);  // the rig waits at a refusal
  }
  // Runs the next block to its inspection pause; the count the pause came at.
  int32_t RunBlockToPause() {
    const int block = NextStep(P()).Block;
    EXPECT_EQ(Runner().StartNextBlock(), QString());
    EXPECT_TRUE(rigtest::WaitFor([&] { return NextStep(P()).Kind != StepKind::Running; }, kTimeoutMs));
    EXPECT_EQ(NextStep(P()).Kind, StepKind::Inspect);
    EXPECT_EQ(NextStep(P()).Block, block);
    return CumulativeCount(P());
  }
  void SaveAndInspect(int block) {
    ASSERT_TRUE(window->Station(1).Save());
    ASSERT_EQ(Runner().RecordInspection({block, QStringLiteral("外观、紧固件、脱扣弹簧"), InspectionWork::Lubrication, {},
                                         QStringLiteral("李工"), {}, {}}),
              QString());
  }
};

// Runs only as the child the test starts: block 1 to its pause, then block 2
// until killed, saying how far the journal has got.
TEST(ProgrammeChild, RunsBlockOneAndIntoBlockTwoUntilKilled) {
  const QByteArray control = qgetenv(kChildDirVariable);
  if (control.isEmpty()) GTEST_SKIP() << "started by ProgrammeOnSimulator only";
  rigtest::TempDir dir;
  ProgrammeRig rig;
  rig.Start(dir.Path(), 0);
  rig.Connect();
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), kLifeCloseOpen);
  for (ProgrammeBlock& b : p.Blocks) b.Delays = {{10, 1}, {11, 1}};
  p.Identity = {QStringLiteral("ZN63-12"), QStringLiteral("2026-1207"), QStringLiteral("一号台"), QStringLiteral("张三"),
                QStringLiteral("开关厂"), QStringLiteral("供电局"), QString()};
  ASSERT_EQ(rig.Runner().Attach(p), QString());
  const int32_t pause1 = rig.RunBlockToPause();
  rig.SaveAndInspect(1);
  ASSERT_EQ(rig.Runner().StartNextBlock(), QString());
  QFile progress(QString::fromLocal8Bit(control) + "/progress");
  for (;;) {
    rigtest::WaitFor([] { return false; }, 20);
    rig.window->Journal(1).Journal().Flush(2000);
    ASSERT_TRUE(progress.open(QIODevice::WriteOnly | QIODevice::Truncate));
    progress.write(QByteArray::number(pause1) + " " + QByteArray::number(CumulativeCount(rig.P())) + " " +
                   dir.Path().toUtf8());
    progress.close();
  }
}

TEST(ProgrammeOnSimulator, AnM2ProgrammeKilledInBlockTwoPausesAtEachBlockAndFailsAt6527) {
  QElapsedTimer clock;
  clock.start();
  rigtest::TempDir control;
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChildDirVariable, control.Path().chopped(1));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ProgrammeChild.*"});
  ASSERT_TRUE(child.waitForStarted());
  QList<QByteArray> parts;
  ASSERT_TRUE(rigtest::WaitFor(
      [&] {
        parts = control.Read("progress").split(' ');
        return parts.size() == 3 && parts[1].toInt() >= 2700;
      },
      kTimeoutMs))
      << "child output: " << child.readAll().toStdString();
  std::printf("child: block 1 and %d cycles of block 2 in %lld ms\n", parts[1].toInt() - 2000,
              static_cast<long long>(clock.elapsed()));
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  child.waitForFinished();
  EXPECT_EQ(parts[0].toInt(), 2000);  // block 1 paused exactly at its count
  const QString exeDir = QString::fromUtf8(parts[2]);

  // What the kill left: the programme's run open, the journal of block 2's test.
  const std::vector<LeftoverJournal> journals = FindLeftoverJournals(exeDir);
  ASSERT_EQ(journals.size(), 1u);
  const int32_t inBlock2 = journals[0].Run.CountDone;
  EXPECT_GE(2000 + inBlock2, parts[1].toInt());

  ProgrammeRig rig;
  rig.Start(exeDir, 2000 + inBlock2);  // the same switch, on a controller started again
  ASSERT_TRUE(rigtest::WaitFor([&] { return rig.Runner().Current().has_value(); }, kTimeoutMs));
  ASSERT_EQ(rig.notifier->confirmations.size(), 2u);  // the test to recover, the programme to go on with
  EXPECT_TRUE(rig.notifier->confirmations[1].contains(QStringLiteral("累计%1/10,000次").arg(CountText(2000 + inBlock2))))
      << rig.notifier->confirmations[1].toStdString();
  EXPECT_EQ(CumulativeCount(rig.P()), 2000 + inBlock2);
  EXPECT_EQ(NextStep(rig.P()).Kind, StepKind::ContinueBlock);
  rig.Connect();
  EXPECT_EQ(rig.RunBlockToPause(), 4000);
  rig.SaveAndInspect(2);
  EXPECT_EQ(rig.RunBlockToPause(), 6000);
  rig.SaveAndInspect(3);

  ASSERT_EQ(rig.Runner().StartNextBlock(), QString());
  ASSERT_TRUE(rigtest::WaitFor([&] { return rig.P().Failure.has_value(); }, kTimeoutMs));
  StationShared& s = *rig.window->Shared().Station(1);
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Model.ContinueOffered(); }, kTimeoutMs));  // the rig waits
  EXPECT_EQ(VerdictText(VerdictOf(rig.P())), QStringLiteral("M1 reached, M2 failed at 6,527 (B1 拒合)"));
  EXPECT_EQ(rig.P().Failure->Block, 4);
  EXPECT_TRUE(rig.P().Failure->Marked);
  rig.window->TestControl(1).StartButtonClick();  // 取消测试: the operator ends here
  ASSERT_TRUE(rig.window->Station(1).Save());
  ASSERT_EQ(rig.Runner().End(), QString());
  EXPECT_TRUE(rig.Runner().PanelLine().contains(QStringLiteral("已达到M1，M2在第6,527次失败（第4段，B1拒合）")));
  std::printf("after the kill: blocks 2 to 4 in %lld ms in all\n", static_cast<long long>(clock.elapsed()));
  rig.window.reset();
  rig.sim->Stop();

  // The saved tests hold every cycle once: block 1, block 2 in two tests
  // (recovered and continued), block 3, block 4 to the failure.
  TSQLiteDatabase db((exeDir + "SaveData.db").toUtf8());
  auto t = db.QueryTable("SELECT iDealTimes FROM TestInfo WHERE iWorkIndex=1 ORDER BY AutoID");
  std::vector<int> counts;
  for (; !t->IsAtEnd(); t->MoveNext()) counts.push_back(t->ValueText(0).toInt());
  EXPECT_EQ(counts, (std::vector<int>{2000, inBlock2, 2000 - inBlock2, 2000, 527}));
  const std::optional<Programme> stored = TProgrammeStore(exeDir).Load(1);
  ASSERT_TRUE(stored);
  EXPECT_EQ(VerdictText(VerdictOf(*stored)), QStringLiteral("M1 reached, M2 failed at 6,527 (B1 拒合)"));
  EXPECT_TRUE(TProgrammeStore(exeDir).Unfinished().empty());
  // The report names the verdict, the block and the action the switch failed at.
  WriteProgrammeReport(*stored, exeDir + "report.pdf");
  const QString report = rigtest::Squeezed(rigtest::PdfText(exeDir + "report.pdf"));
  for (const char16_t* words : {u"已达到M1，M2在第6,527次失败（第4段，B1拒合）", u"该段测试的第1053个动作",
                                u"4,000", u"M1reached,M2failedat6,527(B1拒合)"})
    EXPECT_TRUE(report.contains(QString::fromUtf16(words))) << QString::fromUtf16(words).toStdString() << "\n"
                                                              << report.toStdString();
  QDir(exeDir).removeRecursively();  // the killed child could not
}

}  // namespace
}  // namespace rig
