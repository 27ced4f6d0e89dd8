// Report numbers: given once, at save, from Config.ini's prefix and a running
// counter; a test saved before gets its number at its first report; every
// output and the proposed file name show the same number.
#include <gtest/gtest.h>

#include "core/IniFile.h"
#include "report/ReportCommand.h"
#include "report/ReportFixture.h"
#include "report/ReportTexts.h"
#include "report/SafeWrite.h"
#include "storage/RecordStore.h"
#include "storage/ReportNumber.h"

namespace rigtest {
namespace {

int RunCommandLine(const QStringList& args, const QString& exeDir) {
  QString out, err;
  QTextStream o(&out), e(&err);
  return rig::RunReportCommand(args, exeDir, o, e);
}

// A test saved by the record store, as the save button saves it.
qint64 SaveThroughStore(const SavedTestsFolder& folder) {
  rig::TestSummary t;
  t.Station = 1;
  t.OutIndex = QStringLiteral("F/07:\"x\"");  // characters no file name takes
  t.StartTime = QDateTime(QDate(2026, 11, 7), QTime(9, 0, 0));
  t.EndTime = t.StartTime.addSecs(60);
  t.Mode = 2;
  t.ParamTexts[1] = QStringLiteral("150");
  rig::ActionQueue actions;
  actions.push_back(std::make_unique<rig::ActionRecord>());
  const rig::SaveOutcome saved = rig::WriteTestRecord(folder.Exe(), t, actions);
  EXPECT_TRUE(saved.Ok) << saved.Error.toStdString();
  return saved.AutoId;
}

TEST(ReportNumbers, GivenOnceAtSaveOrFirstReportAndShownTheSameEverywhere) {
  SavedTestsFolder folder;
  rig::TIniFile(folder.dir.File("Config.ini")).WriteString("Config", "ReportPrefix", QStringLiteral("试验室-"));
  PlannedTest old;
  old.Cycles = 10;
  const qint64 before = SaveTest(folder, old);  // saved before numbers existed
  const qint64 saved = SaveThroughStore(folder);
  const QString summary = folder.dir.File("SaveData.db");

  const struct {
    qint64 Id;
    QString Before;  // the number read before any report
    QString After;   // the number every output shows
  } rows[] = {
      {saved, QStringLiteral("试验室-00001"), QStringLiteral("试验室-00001")},
      {before, QString(), QStringLiteral("试验室-00002")},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Id);
    EXPECT_EQ(rig::ReadReportNumber(summary, r.Id), r.Before);
    const QString id = QString::number(r.Id);
    ASSERT_EQ(RunCommandLine({"--report", id, folder.dir.File(id + ".pdf")}, folder.Exe()), 0);
    ASSERT_EQ(RunCommandLine({"--export-actions", id, folder.dir.File(id + ".xlsx")}, folder.Exe()), 0);
    EXPECT_TRUE(ToolOutput("pdftotext", {folder.dir.File(id + ".pdf"), "-"}).contains(QStringLiteral("报告编号：") + r.After));
    EXPECT_EQ(ReadSheet(folder.dir.File(id + ".xlsx"), 1).At("B3"), r.After);
    // A second report keeps the number; a new prefix changes no given number.
    rig::TIniFile(folder.dir.File("Config.ini")).WriteString("Config", "ReportPrefix", QStringLiteral("NEW-"));
    ASSERT_EQ(RunCommandLine({"--report", id, folder.dir.File(id + "b.pdf")}, folder.Exe()), 0);
    EXPECT_EQ(rig::ReadReportNumber(summary, r.Id), r.After);
    const rig::SavedTest test = rig::LoadSavedTest(folder.Exe(), id);
    EXPECT_EQ(rig::ProposedFileName(test, QStringLiteral("报告"), QStringLiteral("pdf")), r.After + QStringLiteral("_报告.pdf"));
    rig::TIniFile(folder.dir.File("Config.ini")).WriteString("Config", "ReportPrefix", QStringLiteral("试验室-"));
  }
  // The counter goes on from the last number given; the stored test row is as before.
  EXPECT_EQ(rig::GiveReportNumber(folder.Exe(), SaveThroughStore(folder)), QStringLiteral("试验室-00003"));
  EXPECT_EQ(rig::TSQLiteDatabase(summary.toUtf8()).QueryTable("SELECT * FROM TestInfo")->ColumnCount(), 17);
  // Without a number, a name is made of the factory number and start time.
  rig::SavedTest unnumbered;
  unnumbered.OutIndex = QStringLiteral("F/07:\"x\"");
  unnumbered.StartText = QStringLiteral("2026-11-07 09:00:00");
  EXPECT_EQ(rig::ProposedFileName(unnumbered, QStringLiteral("动作记录"), QStringLiteral("csv")),
            QStringLiteral("F_07__x__20261107-090000_动作记录.csv"));
}

// A workbook's temporary file lies beside the target, never in the system
// temp folder, and is gone afterwards.
TEST(ReportNumbers, TemporaryFilesLieBesideTheTargetAndCommandLineStderrStaysQuiet) {
  TempDir dir;
  QString temp;
  rig::WriteThroughTempFile(dir.File("out.xlsx"), [&](const QString& t) {
    temp = t;
    QFile f(t);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("done");
  });
  EXPECT_EQ(QFileInfo(temp).absolutePath(), QFileInfo(dir.File("out.xlsx")).absolutePath());
  EXPECT_TRUE(temp.endsWith(".part"));
  EXPECT_FALSE(QFile::exists(temp));
  EXPECT_EQ(dir.Read("out.xlsx"), "done");
  EXPECT_TRUE(rig::IsCommandLineNoise(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'")));
  EXPECT_FALSE(rig::IsCommandLineNoise(QStringLiteral("QStandardPaths: wrong permissions on runtime directory")));
}

}  // namespace
}  // namespace rigtest
