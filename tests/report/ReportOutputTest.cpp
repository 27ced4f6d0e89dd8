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
  std::map<int, QString> Judged[3];  // action -> what the position rule finds on each break
  explicit Expected(const PlannedTest& t) {
    std::map<int, bool> refusedAction;
    for (const PlannedRefusal& r : t.Refusals) {
      const int count = t.CountOf(r.Action);
      (QString::fromUtf16(r.Mark) == QStringLiteral("拒合") ? Closings : Openings)[r.Break]++;
      if (First[r.Break] < 0 || count < First[r.Break]) First[r.Break] = count;
      if (FirstCount < 0 || count < FirstCount) FirstCount = count;
      refusedAction[r.Action] = true;
      Judged[r.Break][r.Action] = QString::fromUtf16(r.Mark);
    }
    RefusedActions = int(refusedAction.size());
    for (int i = 0; i < t.Actions(); ++i) BlockActions[(t.CountOf(i) - 1) / 2000 + 1]++;
  }
};

struct ReportCase {
  const char* Name;
  PlannedTest Test;
  QString ModeText, Sequence, SetCount, Completion;
  QString Judgement;  // how the refusals were found, in words
};

// A switch model as long as a real one gets, in one piece.
const QString kLongModel = QStringLiteral("ZW32-12/T1250-31.5户外高压交流真空断路器带隔离开关加长型号ABCDEFGHIJKLMNOPQRSTUV");

std::vector<ReportCase> Cases() {
  std::vector<ReportCase> cases;
  PlannedTest life;
  life.Mode = 17;
  life.Params = {10, 20, 5000, 0, 0};
  life.Cycles = 5000;
  life.Refusals = {{4001, 1, u"拒合"}, {4001, 2, u"拒合"}, {4002, 0, u"拒分"}, {9000, 1, u"拒分"}, {9999, 1, u"拒合"}};
  cases.push_back({"LifeTestWithRefusals", life, QStringLiteral("寿命试验（单分单合）"),
                   QStringLiteral("分 –10 s– 合 –20 s– 循环"), QStringLiteral("5000"), QStringLiteral("已完成"),
                   QStringLiteral("拒动作由试验中的拒动作判定标记")});
  // Ignored refusals, stopped at 5000 of 6000 cycles: the breaks that stayed
  // where they were are found from the positions alone.
  PlannedTest fourWay;
  fourWay.Mode = 20;
  fourWay.Params = {300, 200, 3, 4, 6000};
  fourWay.Cycles = 5000;
  fourWay.ActionsPerCycle = 4;
  fourWay.Ignore = true;
  fourWay.OpenType = kLongModel;
  fourWay.Refusals = {{1, 0, u"拒合", false}, {1, 2, u"拒合", false}, {4, 1, u"拒分", false},
                      {8003, 2, u"拒合", false}, {19998, 1, u"拒分", false}};
  cases.push_back({"IgnoredRefusalsJudgedFromPositions", fourWay, QStringLiteral("寿命试验（分合分）"),
                   QStringLiteral("分 –300 ms– 合 –200 ms– 分 –3 s– 合 –4 s– 循环"), QStringLiteral("6000"),
                   QStringLiteral("试验未完成（5000/6000 次）"), QStringLiteral("试验中未运行拒动作判定")});
  PlannedTest operation;
  operation.Mode = 3;
  operation.Params = {150, 0, 0, 0, 0};
  operation.Cycles = 1;
  operation.Refusals = {{1, 0, u"拒分"}};
  cases.push_back({"OperationTest", operation, QStringLiteral("操作实验（合分）"), QStringLiteral("合 –150 ms– 分"),
                   QStringLiteral("-"), QStringLiteral("已完成"), QStringLiteral("拒动作由试验中的拒动作判定标记")});
  return cases;
}

QString NoSpace(QString s) { return s.remove(QRegularExpression("\\s+")); }

TEST(ReportOutput, PdfStatesWhatTheDetailFileHolds) {
  ASSERT_EQ(kLongModel.size(), 60);
  for (const ReportCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    SavedTestsFolder folder;
    const qint64 id = SaveTest(folder, c.Test);
    const QString pdf = folder.dir.File("report.pdf");
    ASSERT_EQ(RunCommand({"--report", QString::number(id), pdf}, folder.Exe()), 0);
    const QString text = ToolOutput("pdftotext", {"-layout", pdf, "-"});
    ASSERT_FALSE(text.isEmpty());
    const QString flat = QString(text).replace(QRegularExpression("\\s+"), " ");
    for (const QString& s : {c.Test.OutIndex, c.Test.WorkName, c.ModeText, c.Sequence, c.Test.Start, c.Test.End,
                             QStringLiteral("工位2（%1）").arg(c.Test.WorkArea), QStringLiteral("2 小时 35 分 03 秒"),
                             rig::RefusalOptionText(c.Test.Ignore), QStringLiteral("试验员"), QStringLiteral("审核员"),
                             c.Completion, QStringLiteral("报告编号：HX4417-00001")})
      EXPECT_TRUE(flat.contains(s)) << s.toStdString();
    // The end mark is the last thing before the last page's footer.
    const QString ending = flat.mid(flat.lastIndexOf(QStringLiteral("审核员")));
    EXPECT_TRUE(ending.contains(QRegularExpression(QStringLiteral("—— 报告结束 —— .*第 ?(\\d+) ?页 ?/ ?共 ?\\1 ?页 $"))))
        << ending.toStdString();
    EXPECT_TRUE(NoSpace(flat).contains(NoSpace(c.Judgement))) << c.Judgement.toStdString();
    // Entered texts are wrapped in their cells, never cut: read in reading
    // order, the wrapped lines join up again.
    const QString reading = ToolOutput("pdftotext", {pdf, "-"});
    EXPECT_TRUE(NoSpace(reading).contains(NoSpace(c.Test.OpenType))) << reading.left(1500).toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("…")));
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
    ASSERT_GE(e.FirstCount, 0);
    EXPECT_TRUE(flat.contains(QStringLiteral("首次拒动作：第 %1 次").arg(e.FirstCount)));
    EXPECT_TRUE(flat.contains(QStringLiteral("有拒动作的动作共 %1 次").arg(e.RefusedActions)));
    EXPECT_FALSE(flat.contains(QStringLiteral("无拒动作")));
    // Blocks of 2000 counts for a life test, the last one ending where the
    // test ended; none for an operation test.
    const bool life = c.Test.Mode >= 17;
    EXPECT_EQ(flat.contains(QStringLiteral("分段统计")), life);
    if (life) {
      EXPECT_TRUE(flat.contains(QStringLiteral("个动作）；末段止于试验结束时的次数 %1").arg(c.Test.Cycles)));
      for (const auto& [block, actions] : e.BlockActions) {
        const QRegularExpression row(QStringLiteral("^\\s*%1\\s+%2 – %3\\s+%4\\s")
                                         .arg(block)
                                         .arg((block - 1) * 2000 + 1)
                                         .arg(std::min(block * 2000, c.Test.Cycles))
                                         .arg(actions),
                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(text.contains(row)) << "block " << block;
      }
      EXPECT_FALSE(flat.contains(QStringLiteral("– %1 ").arg(e.BlockActions.size() * 2000)) && c.Test.Cycles % 2000 != 0);
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

// What the stored rows hold, and per break what the position rule finds.
TEST(ReportOutput, ActionCsvHoldsEveryActionAsStoredAndAsJudged) {
  for (const ReportCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    SavedTestsFolder folder;
    const qint64 id = SaveTest(folder, c.Test);
    const QString csv = folder.dir.File("actions.csv");
    ASSERT_EQ(RunCommand({"--export-actions", QString::number(id), csv}, folder.Exe()), 0);
    const QByteArray bytes = folder.dir.Read("actions.csv");
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
    ASSERT_EQ(int(rows.size()), c.Test.Actions() + 1);
    EXPECT_EQ(rows[0].join(','), QStringLiteral("动作序号,动作次数,A1,B1,C1,A1标记,B1标记,C1标记,A1判定,B1判定,C1判定"));
    const Expected e(c.Test);
    for (int i = 0; i < c.Test.Actions(); ++i) {
      QStringList want = {QString::number(i + 1), QString::number(c.Test.CountOf(i))};
      for (int b = 0; b < 3; ++b) want << (c.Test.StoredClosed(i, b) ? QStringLiteral("合") : QStringLiteral("分"));
      QString marks[3];
      for (const PlannedRefusal& r : c.Test.Refusals) {
        if (r.Action == i && r.Marked) marks[r.Break] = QString::fromUtf16(r.Mark);
      }
      want << marks[0] << marks[1] << marks[2];
      for (int b = 0; b < 3; ++b) want << (e.Judged[b].count(i) ? e.Judged[b].at(i) : QString());
      ASSERT_EQ(rows[i + 1], want) << "action " << i;
    }
  }
}

TEST(ReportOutput, ActionWorkbookHoldsEveryActionHighlightsRefusalsAndTypesItsCells) {
  for (const ReportCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    SavedTestsFolder folder;
    const qint64 id = SaveTest(folder, c.Test);
    const QString xlsx = folder.dir.File("actions.xlsx");
    ASSERT_EQ(RunCommand({"--export-actions", QString::number(id), xlsx}, folder.Exe()), 0);
    const Sheet actions = ReadSheet(xlsx, 2);
    const QString columns = QStringLiteral("ABCDEFGHIJK");
    const QStringList header = {"动作序号", "动作次数", "A1", "B1", "C1", "A1标记", "B1标记", "C1标记", "A1判定", "B1判定", "C1判定"};
    for (int col = 0; col < header.size(); ++col) EXPECT_EQ(actions.At(columns[col] + QStringLiteral("1")), header[col]);
    const Expected e(c.Test);
    QString plainStyle;
    for (int i = 0; i < c.Test.Actions(); ++i) {
      const QString row = QString::number(i + 2);
      ASSERT_EQ(actions.At("A" + row), QString::number(i + 1));
      ASSERT_TRUE(actions.IsNumber("A" + row) && actions.IsNumber("B" + row));
      ASSERT_EQ(actions.At("B" + row), QString::number(c.Test.CountOf(i)));
      bool refused = false;
      QString marks[3];
      for (const PlannedRefusal& r : c.Test.Refusals) {
        if (r.Action != i) continue;
        refused = true;
        if (r.Marked) marks[r.Break] = QString::fromUtf16(r.Mark);
      }
      for (int b = 0; b < 3; ++b) {
        ASSERT_EQ(actions.At(columns[2 + b] + row), c.Test.StoredClosed(i, b) ? QStringLiteral("合") : QStringLiteral("分"));
        ASSERT_EQ(actions.At(columns[5 + b] + row), marks[b]) << "action " << i;
        ASSERT_EQ(actions.At(columns[8 + b] + row), e.Judged[b].count(i) ? e.Judged[b].at(i) : QString()) << "action " << i;
      }
      if (!refused && plainStyle.isNull()) plainStyle = actions.Style.at("A" + row);
      if (!plainStyle.isNull()) ASSERT_EQ(actions.Style.at("A" + row) != plainStyle, refused) << "action " << i;
    }
    EXPECT_TRUE(actions.Xml.contains(QStringLiteral("<autoFilter ref=\"A1:K%1\"").arg(c.Test.Actions() + 1)));

    // The summary: per break refused closings and openings as numbers, start
    // and end as date cells, parameters as value and unit, the kind of test.
    const Sheet summary = ReadSheet(xlsx, 1);
    EXPECT_EQ(summary.At("A1"), c.Test.Mode >= 17 ? QStringLiteral("高压开关机械寿命试验汇总") : QStringLiteral("高压开关机械操作试验汇总"));
    std::map<QString, int> rowOf;  // caption in column A -> row
    for (const auto& [ref, value] : summary.Value) {
      if (ref.startsWith('A')) rowOf[value] = ref.mid(1).toInt();
    }
    auto b = [&](const QString& caption) { return QStringLiteral("B%1").arg(rowOf[caption]); };
    ASSERT_GT(rowOf["断口"], 0);
    for (int k = 0; k < 3; ++k) {
      const QString row = QString::number(rowOf["断口"] + 1 + k);
      EXPECT_EQ(summary.At("B" + row), QString::number(e.Closings[k]));
      EXPECT_EQ(summary.At("C" + row), QString::number(e.Openings[k]));
      EXPECT_TRUE(summary.IsNumber("B" + row) && summary.IsNumber("C" + row));
    }
    EXPECT_EQ(summary.At(b("开关型号")), c.Test.OpenType);
    EXPECT_EQ(summary.At(b("完成情况")), c.Completion);
    EXPECT_EQ(summary.At(b("动作顺序")), c.Sequence);
    EXPECT_EQ(summary.At(b("报告编号")), QStringLiteral("HX4417-00001"));
    for (const QString& caption : {QStringLiteral("开始时间"), QStringLiteral("结束时间")}) {
      EXPECT_TRUE(summary.IsNumber(b(caption))) << caption.toStdString();
      EXPECT_EQ(NumberFormat(xlsx, summary.Style.at(b(caption))), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    }
    // 2026-11-07 14:05:09 as a spreadsheet date: days since 1899-12-30.
    EXPECT_NEAR(summary.At(b("开始时间")).toDouble(), 46333 + (14 * 3600 + 5 * 60 + 9) / 86400.0, 1e-6);
    for (const QString& caption : {QStringLiteral("试验编号"), QStringLiteral("完成次数"), QStringLiteral("拒动作条数")})
      EXPECT_TRUE(summary.IsNumber(b(caption))) << caption.toStdString();
    const int params = rowOf["参数"];
    ASSERT_GT(params, 0);
    EXPECT_TRUE(summary.IsNumber(QStringLiteral("B%1").arg(params + 1)));
    EXPECT_EQ(summary.At(QStringLiteral("B%1").arg(params + 1)), QString::number(c.Test.Params[0]));
    EXPECT_EQ(summary.At(QStringLiteral("C%1").arg(params + 1)), c.Test.Mode == 17 ? QStringLiteral("s") : QStringLiteral("ms"));
    EXPECT_EQ(rowOf.count("次数段") > 0, c.Test.Mode >= 17);
    if (c.Test.Mode >= 17) {
      const int last = rowOf["次数段"] + int(e.BlockActions.size());
      EXPECT_EQ(summary.At(QStringLiteral("A%1").arg(last)),
                QStringLiteral("%1–%2").arg((int(e.BlockActions.size()) - 1) * 2000 + 1).arg(c.Test.Cycles));
    }
  }
}

// Identity texts a spreadsheet would evaluate are guarded in the CSV;
// counts, numbers and the "-" marker are written as they are, and in the
// workbook they are numbers, the times dates.
TEST(ReportOutput, SearchListExportsGuardFormulasAndTypeTheirCells) {
  const QStringList awkward = {QStringLiteral("=1+2"), QStringLiteral("-2+3+cmd|' /C calc'!A0"), QStringLiteral("+5"),
                               QStringLiteral("@SUM(A1)"), QStringLiteral("\tTAB"), QStringLiteral("\rCR"),
                               QStringLiteral("-7"), QStringLiteral("A,\"7\"")};
  SavedTestsFolder folder;
  for (int i = 0; i < awkward.size(); ++i) {
    PlannedTest t;
    t.Cycles = 3;
    t.Params = {10, 20, 40, 0, 0};
    t.Mode = i % 2 ? 4 : 17;  // operation tests list "-" for their counts
    t.OutIndex = awkward[i];
    t.WorkName = awkward[awkward.size() - 1 - i];
    SaveTest(folder, t, QStringLiteral("d%1.db").arg(i));
  }
  const QString csv = folder.dir.File("list.csv"), xlsx = folder.dir.File("list.xlsx");
  ASSERT_EQ(RunCommand({"--export-search", "--ascending", csv}, folder.Exe()), 0);
  ASSERT_EQ(RunCommand({"--export-search", "--ascending", xlsx}, folder.Exe()), 0);
  const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(folder.dir.Read("list.csv").mid(3)));
  ASSERT_EQ(int(rows.size()), awkward.size() + 1);
  const Sheet list = ReadSheet(xlsx, 1);
  for (int i = 0; i < awkward.size(); ++i) {
    SCOPED_TRACE(awkward[i].toStdString());
    const QStringList& r = rows[i + 1];
    const bool formula = QStringLiteral("=+-@\t\r").contains(awkward[i][0]);
    EXPECT_EQ(r[0], (formula ? QStringLiteral("'") : QString()) + awkward[i]);
    const QString name = awkward[awkward.size() - 1 - i];
    EXPECT_EQ(r[8], (QStringLiteral("=+-@\t\r").contains(name[0]) ? QStringLiteral("'") : QString()) + name);
    const bool life = i % 2 == 0;
    EXPECT_EQ(r[5], life ? QStringLiteral("3") : QStringLiteral("-"));
    EXPECT_EQ(r[6], life ? QStringLiteral("40") : QStringLiteral("-"));
    EXPECT_EQ(r[9], QString::number(i + 1));
    const QString row = QString::number(i + 2);
    EXPECT_EQ(list.At("A" + row), awkward[i]);  // a workbook cell is never evaluated: kept as typed
    EXPECT_FALSE(list.IsNumber("A" + row));
    EXPECT_EQ(list.IsNumber("F" + row), life);
    EXPECT_EQ(list.IsNumber("G" + row), life);
    EXPECT_TRUE(list.IsNumber("J" + row));
    EXPECT_EQ(list.At("J" + row), QString::number(i + 1));
    for (const QString& col : {QStringLiteral("C"), QStringLiteral("D")}) {
      EXPECT_TRUE(list.IsNumber(col + row));
      EXPECT_EQ(NumberFormat(xlsx, list.Style.at(col + row)), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    }
  }
  EXPECT_TRUE(list.Xml.contains(QStringLiteral("<autoFilter ref=\"A1:J%1\"").arg(awkward.size() + 1)));
}

}  // namespace
}  // namespace rigtest
