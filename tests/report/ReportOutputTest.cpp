// End to end through the command line: a saved test in, the PDF, CSV and
// XLSX read back and held against what the detail file holds.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "report/ReportCommand.h"
#include "report/ReportTexts.h"
#include "report/ReportFixture.h"

namespace rigtest {
namespace {

int RunCommand(const QStringList& args, const QString& exeDir, QString* errText = nullptr) {
  QString out, err;
  QTextStream o(&out), e(&err);
  const int code = rig::RunReportCommand(args, exeDir, o, e);
  e.flush();
  if (errText) *errText = err;
  return code;
}

// What the detail file says, counted here independently of the report code.
struct Expected {
  int Closings[3] = {}, Openings[3] = {}, First[3] = {-1, -1, -1};
  int FirstCount = -1, RefusedActions = 0;
  std::map<int, int> BlockActions;  // block (1-based) -> actions
  explicit Expected(const PlannedTest& t) {
    std::map<int, bool> refusedAction;
    for (const PlannedRefusal& r : t.Refusals) {
      const int count = t.CountOf(r.Action);
      (QString::fromUtf16(r.Mark) == QStringLiteral("拒合") ? Closings : Openings)[r.Break]++;
      if (First[r.Break] < 0 || count < First[r.Break]) First[r.Break] = count;
      if (FirstCount < 0 || count < FirstCount) FirstCount = count;
      refusedAction[r.Action] = true;
    }
    RefusedActions = int(refusedAction.size());
    for (int i = 0; i < t.Actions(); ++i) BlockActions[(t.CountOf(i) - 1) / 2000 + 1]++;
  }
};

struct ReportCase {
  const char* Name;
  PlannedTest Test;
  QString ModeText, Parameters, SetCount;
};

std::vector<ReportCase> Cases() {
  std::vector<ReportCase> cases;
  PlannedTest life;
  life.Mode = 17;
  life.Params = {10, 20, 5000, 0, 0};
  life.Cycles = 5000;
  life.Refusals = {{4001, 1, u"拒合"}, {4001, 2, u"拒合"}, {4002, 0, u"拒分"}, {9000, 1, u"拒分"}, {9999, 1, u"拒合"}};
  cases.push_back({"LifeTestWithRefusals", life, QStringLiteral("寿命试验（单分单合）"),
                   QStringLiteral("分延时 10 s，合延时 20 s，设定次数 5000 次"), QStringLiteral("5000")});
  PlannedTest fourWay;
  fourWay.Mode = 20;
  fourWay.Params = {300, 200, 3, 4, 2500};
  fourWay.Cycles = 2100;
  fourWay.ActionsPerCycle = 4;
  fourWay.Ignore = true;
  cases.push_back({"IgnoredRefusalsNoneMarked", fourWay, QStringLiteral("寿命试验（分合分）"),
                   QStringLiteral("分延时 300 ms，合延时 200 ms，分延时 3 s，合延时 4 s，设定次数 2500 次"),
                   QStringLiteral("2500")});
  PlannedTest operation;
  operation.Mode = 3;
  operation.Params = {150, 0, 0, 0, 0};
  operation.Cycles = 1;
  operation.Refusals = {{1, 0, u"拒分"}};
  cases.push_back({"OperationTest", operation, QStringLiteral("操作实验（合分）"), QStringLiteral("合延时 150 ms"),
                   QStringLiteral("-")});
  return cases;
}

TEST(ReportOutput, PdfStatesWhatTheDetailFileHolds) {
  for (const ReportCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    SavedTestsFolder folder;
    const qint64 id = SaveTest(folder, c.Test);
    const QString pdf = folder.dir.File("report.pdf");
    ASSERT_EQ(RunCommand({"--report", QString::number(id), pdf}, folder.Exe()), 0);
    const QString text = ToolOutput("pdftotext", {"-layout", pdf, "-"});
    ASSERT_FALSE(text.isEmpty());
    const QString flat = QString(text).replace(QRegularExpression("\\s+"), " ");
    for (const QString& s : {c.Test.OpenType, c.Test.OutIndex, c.Test.WorkArea, c.Test.WorkName, c.ModeText,
                             c.Parameters, c.Test.Start, c.Test.End, QStringLiteral("工位2"),
                             QStringLiteral("2 小时 35 分 03 秒"),
                             rig::RefusalOptionText(c.Test.Ignore), QStringLiteral("试验员"), QStringLiteral("审核员")})
      EXPECT_TRUE(flat.contains(s)) << s.toStdString();
    EXPECT_TRUE(flat.contains(QRegularExpression(QStringLiteral("设定次数 %1 完成次数 %2 ").arg(c.SetCount).arg(c.Test.Cycles))));

    const Expected e(c.Test);
    for (int b = 0; b < 3; ++b) {
      const QString first = e.First[b] < 0 ? QStringLiteral("-") : QString::number(e.First[b]);
      const QRegularExpression row(QStringLiteral("^\\s*%1\\s+%2\\s+%3\\s+%4\\s+%5\\s*$")
                                       .arg(QStringLiteral("ABC")[b] + QStringLiteral("1"))
                                       .arg(e.Closings[b])
                                       .arg(e.Openings[b])
                                       .arg(e.Closings[b] + e.Openings[b])
                                       .arg(first),
                                   QRegularExpression::MultilineOption);
      EXPECT_TRUE(text.contains(row)) << "break " << b << "\n" << text.toStdString();
    }
    if (e.FirstCount >= 0)
      EXPECT_TRUE(flat.contains(QStringLiteral("首次拒动作：第 %1 次").arg(e.FirstCount)));
    else
      EXPECT_TRUE(flat.contains(QStringLiteral("试验中未记录拒动作")));
    EXPECT_TRUE(flat.contains(QStringLiteral("有拒动作的动作共 %1 次").arg(e.RefusedActions)) || e.RefusedActions == 0);
    for (const auto& [block, actions] : e.BlockActions) {
      const QRegularExpression row(QStringLiteral("^\\s*%1\\s+%2 – %3\\s+%4\\s")
                                       .arg(block)
                                       .arg((block - 1) * 2000 + 1)
                                       .arg(block * 2000)
                                       .arg(actions),
                                   QRegularExpression::MultilineOption);
      EXPECT_TRUE(text.contains(row)) << "block " << block;
    }
    // Every refused action is listed with its count and action number.
    for (const PlannedRefusal& r : c.Test.Refusals) {
      const QRegularExpression row(QStringLiteral("^\\s*\\d+\\s+%1\\s+%2\\s+.*%3")
                                       .arg(c.Test.CountOf(r.Action))
                                       .arg(r.Action + 1)
                                       .arg(QString::fromUtf16(r.Mark)),
                                   QRegularExpression::MultilineOption);
      EXPECT_TRUE(text.contains(row)) << "refused action " << r.Action;
    }
    // Every font the PDF uses travels inside it.
    const QStringList fonts = ToolOutput("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& f : fonts) EXPECT_TRUE(f.contains(QRegularExpression("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+\\s*$"))) << f.toStdString();
  }
}

TEST(ReportOutput, ActionCsvHoldsEveryActionAsStored) {
  const ReportCase c = Cases()[0];
  SavedTestsFolder folder;
  const qint64 id = SaveTest(folder, c.Test);
  const QString csv = folder.dir.File("actions.csv");
  ASSERT_EQ(RunCommand({"--export-actions", QString::number(id), csv}, folder.Exe()), 0);
  const QByteArray bytes = folder.dir.Read("actions.csv");
  ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
  const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
  ASSERT_EQ(int(rows.size()), c.Test.Actions() + 1);
  EXPECT_EQ(rows[0].join(','), QStringLiteral("动作序号,动作次数,A1,B1,C1,A1标记,B1标记,C1标记"));
  for (int i = 0; i < c.Test.Actions(); ++i) {
    QStringList want = {QString::number(i + 1), QString::number(c.Test.CountOf(i))};
    for (int b = 0; b < 3; ++b) want << (c.Test.ClosedAfter(i) ? QStringLiteral("合") : QStringLiteral("分"));
    QString marks[3];
    for (const PlannedRefusal& r : c.Test.Refusals) {
      if (r.Action == i) marks[r.Break] = QString::fromUtf16(r.Mark);
    }
    want << marks[0] << marks[1] << marks[2];
    ASSERT_EQ(rows[i + 1], want) << "action " << i;
  }
}

TEST(ReportOutput, ActionWorkbookHoldsEveryActionAndHighlightsRefusals) {
  const ReportCase c = Cases()[0];
  SavedTestsFolder folder;
  const qint64 id = SaveTest(folder, c.Test);
  const QString xlsx = folder.dir.File("actions.xlsx");
  ASSERT_EQ(RunCommand({"--export-actions", QString::number(id), xlsx}, folder.Exe()), 0);
  const Sheet actions = ReadSheet(xlsx, 2);
  const QString columns = QStringLiteral("ABCDEFGH");
  const QStringList header = {"动作序号", "动作次数", "A1", "B1", "C1", "A1标记", "B1标记", "C1标记"};
  for (int col = 0; col < 8; ++col) EXPECT_EQ(actions.At(columns[col] + QStringLiteral("1")), header[col]);
  const Expected e(c.Test);
  const QString plainStyle = actions.Style.at(QStringLiteral("A2"));
  for (int i = 0; i < c.Test.Actions(); ++i) {
    const QString row = QString::number(i + 2);
    ASSERT_EQ(actions.At("A" + row), QString::number(i + 1));
    ASSERT_EQ(actions.At("B" + row), QString::number(c.Test.CountOf(i)));
    for (int b = 0; b < 3; ++b)
      ASSERT_EQ(actions.At(columns[2 + b] + row), c.Test.ClosedAfter(i) ? QStringLiteral("合") : QStringLiteral("分"));
    bool refused = false;
    QString marks[3];
    for (const PlannedRefusal& r : c.Test.Refusals) {
      if (r.Action == i) marks[r.Break] = QString::fromUtf16(r.Mark), refused = true;
    }
    for (int b = 0; b < 3; ++b) ASSERT_EQ(actions.At(columns[5 + b] + row), marks[b]) << "action " << i;
    ASSERT_EQ(actions.Style.at("A" + row) != plainStyle, refused) << "action " << i;
  }
  // The summary sheet: per break refused closings, openings and first count.
  const Sheet summary = ReadSheet(xlsx, 1);
  int breakRow = 0;
  for (const auto& [ref, value] : summary.Value) {
    if (value == QStringLiteral("断口")) breakRow = ref.mid(1).toInt();
  }
  ASSERT_GT(breakRow, 0);
  for (int b = 0; b < 3; ++b) {
    const QString row = QString::number(breakRow + 1 + b);
    EXPECT_EQ(summary.At("B" + row), QString::number(e.Closings[b]));
    EXPECT_EQ(summary.At("C" + row), QString::number(e.Openings[b]));
  }
}

TEST(ReportOutput, SearchListExportsKeepAwkwardTextsAsText) {
  SavedTestsFolder folder;
  PlannedTest t;
  t.Cycles = 1;
  t.OutIndex = QStringLiteral("A,\"7\"");
  SaveTest(folder, t, "one.db");
  t.OutIndex = QStringLiteral("=1+2");
  t.Mode = 4;
  SaveTest(folder, t, "two.db");
  const QString csv = folder.dir.File("list.csv"), xlsx = folder.dir.File("list.xlsx");
  ASSERT_EQ(RunCommand({"--export-search", "--from", "2026-11-01", "--to", "2026-11-30", "--ascending", csv}, folder.Exe()), 0);
  ASSERT_EQ(RunCommand({"--export-search", "--open-type", "ZW32", xlsx}, folder.Exe()), 0);
  const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(folder.dir.Read("list.csv").mid(3)));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], QStringLiteral("出厂编号"));
  EXPECT_EQ(rows[1][0], QStringLiteral("A,\"7\""));
  EXPECT_EQ(rows[1][4], QStringLiteral("寿命试验（单分单合）"));
  EXPECT_EQ(rows[2][0], QStringLiteral("'=1+2"));
  EXPECT_EQ(rows[2][4], QStringLiteral("是操作实验（分合）"));
  const Sheet list = ReadSheet(xlsx, 1);
  EXPECT_EQ(list.At("A2"), QStringLiteral("=1+2"));  // newest first
  EXPECT_EQ(list.At("A3"), QStringLiteral("A,\"7\""));
  EXPECT_EQ(list.At("F3"), QStringLiteral("1"));
}

}  // namespace
}  // namespace rigtest
