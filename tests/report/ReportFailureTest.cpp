// Bad input and bad targets: a clear message naming the file, a non-zero
// exit, and nothing half written, on the command line and in the program.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcessEnvironment>

#include "report/ReportCommand.h"
#include "report/CsvExport.h"
#include "report/ReportFixture.h"
#include "report/XlsxExport.h"

namespace rigtest {
namespace {

struct FailureCase {
  const char* Name;
  // Prepares the folder; returns the arguments (the output file last) and
  // the file the message must name.
  std::function<std::pair<QStringList, QString>(const SavedTestsFolder&, const QString& id, const QString& out)> Setup;
  int Exit = 1;
};

std::vector<FailureCase> Cases() {
  return {
      {"UnknownId", [](auto& f, auto&, auto& out) {
         return std::pair{QStringList{"--report", "999", out}, f.dir.File("SaveData.db")};
       }},
      {"IdThatIsNoNumber", [](auto&, auto&, auto& out) {
         return std::pair{QStringList{"--export-actions", "7 or 1=1", out}, QStringLiteral("7 or 1=1")};
       }},
      {"MissingDetailFile", [](auto& f, auto& id, auto& out) {
         QFile::remove(f.dir.File("detail.db"));
         return std::pair{QStringList{"--report", id, out}, f.dir.File("detail.db")};
       }},
      {"DamagedDetailFile", [](auto& f, auto& id, auto& out) {
         f.dir.Write("detail.db", QByteArray(4096, 'x'));
         return std::pair{QStringList{"--export-actions", id, out}, f.dir.File("detail.db")};
       }},
      {"DetailFileWithoutActionTable", [](auto& f, auto& id, auto& out) {
         QFile::remove(f.dir.File("detail.db"));
         rig::TSQLiteDatabase(f.dir.File("detail.db").toUtf8()).RunSQL("CREATE TABLE Other(x)");
         return std::pair{QStringList{"--report", id, out}, f.dir.File("detail.db")};
       }},
      {"TestWithoutActions", [](auto& f, auto&, auto& out) {
         PlannedTest empty;
         const QString id = QString::number(SaveTest(f, empty, "empty.db"));
         return std::pair{QStringList{"--export-actions", id, out}, f.dir.File("empty.db")};
       }},
      {"MissingSaveData", [](auto& f, auto& id, auto& out) {
         QFile::remove(f.dir.File("SaveData.db"));
         return std::pair{QStringList{"--export-actions", id, out}, f.dir.File("SaveData.db")};
       }},
      {"TargetFolderMissing", [](auto& f, auto& id, auto&) {
         const QString out = f.dir.File("no/such/folder/r.pdf");
         return std::pair{QStringList{"--report", id, out}, out};
       }},
      {"TargetIsAFolder", [](auto& f, auto& id, auto&) {
         QDir(f.Exe()).mkdir("taken.xlsx");
         return std::pair{QStringList{"--export-actions", id, f.dir.File("taken.xlsx")}, f.dir.File("taken.xlsx")};
       }},
      {"SearchWithoutSaveData", [](auto& f, auto&, auto& out) {
         QFile::remove(f.dir.File("SaveData.db"));
         return std::pair{QStringList{"--export-search", "--work-name", "王", out}, f.dir.File("SaveData.db")};
       }},
      {"WrongSuffix", [](auto& f, auto& id, auto&) {
         return std::pair{QStringList{"--report", id, f.dir.File("r.docx")}, f.dir.File("r.docx")};
       }, 2},
  };
}

TEST(ReportFailures, NameTheFileExitNonZeroAndLeaveNothingHalfWritten) {
  for (const FailureCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    SavedTestsFolder folder;
    PlannedTest plan;
    plan.Cycles = 50;
    const QString id = QString::number(SaveTest(folder, plan));
    QDir(folder.Exe()).mkdir("out");
    // An earlier output of the same name must survive a failed run.
    const QString out = folder.dir.File(QString("out/target.") + (QString(c.Name).contains("Search") ? "csv" : "xlsx"));
    folder.dir.Write(QString("out/") + QFileInfo(out).fileName(), "earlier");
    auto [args, named] = c.Setup(folder, id, out);
    int earlier = 1;
    if (args.last() == out && args.contains("--report")) {
      args.last() = folder.dir.File("out/target.pdf");
      folder.dir.Write("out/target.pdf", "earlier");
      ++earlier;
    }
    QString outText, errText;
    QTextStream o(&outText), e(&errText);
    EXPECT_EQ(rig::RunReportCommand(args, folder.Exe(), o, e), c.Exit);
    e.flush();
    EXPECT_TRUE(errText.contains(QDir::toNativeSeparators(named))) << errText.toStdString();
    const QStringList left = QDir(folder.dir.File("out")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.size(), earlier) << left.join(' ').toStdString();  // no temporary file left behind
    for (const QString& name : left) EXPECT_EQ(folder.dir.Read("out/" + name), "earlier");
  }
}

// The real program: no display, exit codes, the message on stderr.
TEST(ReportFailures, ProgramRunsHeadlessAndExitsNonZeroOnAnUnknownTest) {
  SavedTestsFolder folder;
  PlannedTest plan;
  plan.Cycles = 30;
  plan.Refusals = {{5, 0, u"拒合"}};
  const QString id = QString::number(SaveTest(folder, plan));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  env.remove("XDG_RUNTIME_DIR");  // as under a lab's scripts and services
  auto run = [&](const QStringList& args, QString* err) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RIG_BIN_DIR "/hx4417"), QStringList{"--dir", folder.Exe()} + args);
    EXPECT_TRUE(p.waitForFinished(30000));
    *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  };
  QString err;
  EXPECT_EQ(run({"--report", id, folder.dir.File("r.pdf")}, &err), 0) << err.toStdString();
  EXPECT_TRUE(err.isEmpty()) << err.toStdString();  // nothing but what the command has to say
  EXPECT_TRUE(ToolOutput("pdftotext", {folder.dir.File("r.pdf"), "-"}).contains(QStringLiteral("首次拒动作：第 3 次")));
  EXPECT_EQ(run({"--export-actions", "4711", folder.dir.File("a.csv")}, &err), 1);
  EXPECT_TRUE(err.contains(QStringLiteral("没有编号为 4711 的试验"))) << err.toStdString();
  EXPECT_FALSE(QFile::exists(folder.dir.File("a.csv")));
  EXPECT_EQ(run({"--report"}, &err), 2);
  EXPECT_TRUE(err.contains("usage"));
}

}  // namespace
}  // namespace rigtest

namespace rigtest {
namespace {

// Cancelled half way, an export leaves neither the target nor a temporary file.
TEST(ReportFailures, CancelledExportsLeaveNoFile) {
  SavedTestsFolder folder;
  PlannedTest plan;
  plan.Cycles = 8200;  // enough actions for the exports to ask about progress
  const QString id = QString::number(SaveTest(folder, plan));
  const rig::SavedTest test = rig::LoadSavedTest(folder.Exe(), id);
  QDir(folder.Exe()).mkdir("out");
  int asked = 0;
  auto stop = [&](double) { return ++asked < 1; };
  EXPECT_THROW(rig::WriteActionsCsv(test, folder.dir.File("out/a.csv"), stop), rig::ReportCancelled);
  asked = 0;
  EXPECT_THROW(rig::WriteActionsXlsx(test, folder.dir.File("out/a.xlsx"), stop), rig::ReportCancelled);
  EXPECT_GT(asked, 0);
  EXPECT_TRUE(QDir(folder.dir.File("out")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
}  // namespace rigtest
