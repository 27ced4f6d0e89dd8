// The programme's report, workbook and CSV read back as a reader gets them
// (pdftotext, the workbook's sheet XML, a CSV parser), for a programme that
// reached its class and one that failed on the way.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

#include "endurance/ProgrammeExport.h"
#include "endurance/ProgrammeReport.h"
#include "endurance/ProgrammeSamples.h"
#include "endurance/ProgrammeStore.h"
#include "report/ReportError.h"
#include "report/ReportFixture.h"
#include "support/TempDir.h"
#include "tools/PopplerText.h"

namespace rig {
namespace {

struct Case {
  const char* name;
  rigtest::ProgrammeSample sample;
  const char16_t* verdict;     // on screen and in the outputs
  const char16_t* reached;     // the class reached
  const char16_t* firstFail;   // the count the switch failed at, as the report writes it
  int blockSheets;             // blocks with a sheet: every block of the programme
  int inspections;
};

const Case kCases[] = {
    {"failed", {true, 0}, u"已达到M1，M2在第6,527次失败（第4段，B1拒合）", u"M1", u"6,527", 5, 3},
    {"reached", {false, 0}, u"已达到M2（10,000次）", u"M2", u"无", 5, 4},
    {"failed_long", {true, 40}, u"已达到M1，M2在第6,527次失败（第4段，B1拒合）", u"M1", u"6,527", 5, 3},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The value beside `label` in column A of `sheet`; empty when no row has it.
QString Beside(const rigtest::Sheet& sheet, const QString& label, const QString& column = QStringLiteral("B")) {
  for (const auto& [ref, value] : sheet.Value) {
    if (value != label || !ref.startsWith('A')) continue;
    return sheet.At(column + ref.mid(1));
  }
  return QString();
}
QString RowOf(const rigtest::Sheet& sheet, const QString& label) {
  for (const auto& [ref, value] : sheet.Value)
    if (value == label && ref.startsWith('A')) return ref.mid(1);
  return QString();
}

class ProgrammeOutputs : public testing::TestWithParam<Case> {
 protected:
  rigtest::TempDir dir;
  Programme p = rigtest::SampleProgramme(GetParam().sample);
  QString number = TProgrammeStore(dir.Path()).GiveReportNumber(p.Id);
};

TEST_P(ProgrammeOutputs, ReportCarriesNumberPagesVerdictSignaturesAndEndMark) {
  const Case& c = GetParam();
  const QString pdf = dir.File("方案报告.pdf");
  WriteProgrammeReport(p, pdf, {number, QDateTime(QDate(2026, 12, 8), QTime(9, 30))});
  const QString whole = rigtest::PdfText(pdf);
  ASSERT_FALSE(whole.isEmpty());
  const int pages = static_cast<int>(whole.count(QLatin1Char('\f')));
  if (c.sample.ExtraMeasurements > 0) EXPECT_GE(pages, 2) << "a long record runs over pages";
  for (int page = 1; page <= pages; ++page) {
    const QString text = rigtest::Squeezed(rigtest::PdfText(pdf, page));
    EXPECT_TRUE(text.contains(QStringLiteral("第%1页/共%2页").arg(page).arg(pages))) << page;
    EXPECT_TRUE(text.contains(QStringLiteral("报告编号") + number)) << page;
  }
  const QString text = rigtest::Squeezed(whole);
  const QString squeezedVerdict = rigtest::Squeezed(QString::fromUtf16(c.verdict));
  for (const QString& words :
       {squeezedVerdict, QStringLiteral("达到等级") + QString::fromUtf16(c.reached),
        QStringLiteral("首次失败时次数") + QString::fromUtf16(c.firstFail), QStringLiteral("备注备注含,逗号与\"引号\""),
        QStringLiteral("试验员"), QStringLiteral("审核员"), QStringLiteral("报告编号：") + number, QStringLiteral("不合格"),
        QStringLiteral("临界")})
    EXPECT_TRUE(text.contains(words)) << words.toStdString() << "\n" << text.toStdString();
  // Nothing follows the end mark but the last footer.
  const QString last = rigtest::Squeezed(rigtest::PdfText(pdf, pages));
  ASSERT_TRUE(last.contains(QStringLiteral("——报告结束——")));
  EXPECT_LT(last.indexOf(QStringLiteral("批准")), last.indexOf(QStringLiteral("——报告结束——")));
  EXPECT_EQ(text.contains(QStringLiteral("该段测试的第1053个动作")), c.sample.Failed);
}

TEST_P(ProgrammeOutputs, WorkbookHasASummaryAndASheetPerBlock) {
  const Case& c = GetParam();
  const QString xlsx = dir.File("方案记录.xlsx");
  WriteProgrammeXlsx(p, number, xlsx);
  const QString book = rigtest::ToolOutput("unzip", {"-p", xlsx, "xl/workbook.xml"});
  EXPECT_EQ(book.count(QStringLiteral("<sheet ")), 1 + c.blockSheets);
  EXPECT_TRUE(book.contains(QStringLiteral("name=\"汇总\"")));
  EXPECT_TRUE(book.contains(QStringLiteral("name=\"第5段\"")));

  const rigtest::Sheet summary = rigtest::ReadSheet(xlsx, 1);
  EXPECT_EQ(Beside(summary, QStringLiteral("报告编号")), number);
  EXPECT_EQ(Beside(summary, QStringLiteral("判定")), QString::fromUtf16(c.verdict));
  EXPECT_EQ(Beside(summary, QStringLiteral("达到等级")), QString::fromUtf16(c.reached));
  EXPECT_EQ(Beside(summary, QStringLiteral("备注")), p.Identity.Remarks);
  const QString failRow = RowOf(summary, QStringLiteral("首次失败时次数"));
  EXPECT_EQ(summary.IsNumber("B" + failRow), c.sample.Failed);
  EXPECT_EQ(summary.At("B" + failRow), c.sample.Failed ? QStringLiteral("6527") : QStringLiteral("无"));

  // Block 2: two runs adding up to its count, the voltage confirmed, the
  // inspection with each measurement judged.
  const rigtest::Sheet block2 = rigtest::ReadSheet(xlsx, 3);
  EXPECT_EQ(Beside(block2, QStringLiteral("完成次数")), QStringLiteral("2000"));
  EXPECT_EQ(Beside(block2, QStringLiteral("累计次数")), QStringLiteral("4000"));
  EXPECT_EQ(Beside(block2, QStringLiteral("测试次数")), QStringLiteral("2"));
  EXPECT_EQ(Beside(block2, QStringLiteral("电压确认人")), QStringLiteral("李工"));
  EXPECT_EQ(Beside(block2, QStringLiteral("处理")), QStringLiteral("润滑"));
  EXPECT_EQ(Beside(block2, QStringLiteral("合闸时间"), "G"), QStringLiteral("合格"));
  EXPECT_EQ(Beside(block2, QStringLiteral("分闸时间"), "G"), QStringLiteral("临界"));
  EXPECT_EQ(Beside(block2, QStringLiteral("行程"), "G"), QStringLiteral("不合格"));
  EXPECT_TRUE(block2.IsNumber("B" + RowOf(block2, QStringLiteral("行程"))));
  EXPECT_NEAR(Beside(block2, QStringLiteral("平均循环时间")).toDouble(), 1563, 0.01);
  // Block 4 of the failed programme stops at the failure and has no inspection.
  const rigtest::Sheet block4 = rigtest::ReadSheet(xlsx, 5);
  EXPECT_EQ(Beside(block4, QStringLiteral("完成次数")), c.sample.Failed ? QStringLiteral("527") : QStringLiteral("2000"));
  EXPECT_EQ(Beside(block4, QStringLiteral("检查")) == QStringLiteral("尚未记录"), c.inspections < 4);
  EXPECT_TRUE(QDir(dir.Path()).entryList({QStringLiteral(".*.part")}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST_P(ProgrammeOutputs, CsvIsOneTableOfEveryValue) {
  const Case& c = GetParam();
  const QString csv = dir.File("方案记录.csv");
  WriteProgrammeCsv(p, number, csv);
  const QByteArray bytes = dir.Read("方案记录.csv");
  ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
  const std::vector<QStringList> rows = rigtest::ParseCsv(QString::fromUtf8(bytes.mid(3)));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], ProgrammeCsvColumns());
  std::map<QString, QStringList> byKey;  // "类别|段|项目" -> the line
  int measurements = 0, inspections = 0;
  for (size_t r = 1; r < rows.size(); ++r) {
    ASSERT_EQ(rows[r].size(), 8) << r;
    byKey[rows[r][0] + '|' + rows[r][1] + '|' + rows[r][2]] = rows[r];
    measurements += rows[r][0] == QStringLiteral("测量");
    inspections += rows[r][0] == QStringLiteral("检查") && rows[r][2] == QStringLiteral("检查人");
  }
  EXPECT_EQ(inspections, c.inspections);
  EXPECT_EQ(measurements, c.inspections * (3 + c.sample.ExtraMeasurements));
  EXPECT_EQ(byKey[QStringLiteral("方案||报告编号")].value(3), number);
  EXPECT_EQ(byKey[QStringLiteral("方案||备注")].value(3), p.Identity.Remarks);
  EXPECT_EQ(byKey[QStringLiteral("判定||判定")].value(3), QString::fromUtf16(c.verdict));
  EXPECT_EQ(byKey[QStringLiteral("判定||首次失败时次数")].value(3), c.sample.Failed ? QStringLiteral("6527") : QStringLiteral("无"));
  EXPECT_EQ(byKey[QStringLiteral("段|2|完成次数")].value(3), QStringLiteral("2000"));
  EXPECT_EQ(byKey[QStringLiteral("测试|2|测试2次数")].value(3), QStringLiteral("1200"));
  EXPECT_EQ(byKey[QStringLiteral("测量|3|行程")], (QStringList{QStringLiteral("测量"), "3", QStringLiteral("行程"), "15.4", "mm",
                                                                "10", "14", QStringLiteral("不合格")}));
  EXPECT_EQ(byKey[QStringLiteral("段|4|完成次数")].value(3), c.sample.Failed ? QStringLiteral("527") : QStringLiteral("2000"));
}

INSTANTIATE_TEST_SUITE_P(Programmes, ProgrammeOutputs, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(ProgrammeOutputs, ReportNumberIsGivenOnceAndOutlivesAPrefixChange) {
  rigtest::TempDir dir;
  TProgrammeStore store(dir.Path());
  EXPECT_EQ(store.GiveReportNumber(3), QStringLiteral("HX4417-P00003"));
  dir.Write("Config.ini", "[Config]\r\nReportPrefix=LAB-\r\n");
  EXPECT_EQ(store.GiveReportNumber(3), QStringLiteral("HX4417-P00003"));
  EXPECT_EQ(store.GiveReportNumber(4), QStringLiteral("LAB-P00004"));
}

TEST(ProgrammeOutputs, AnUnwritableTargetIsRefusedNamingTheFile) {
  rigtest::TempDir dir;
  const Programme p = rigtest::SampleProgramme({});
  const QString missing = dir.File("无此文件夹/方案记录");
  for (const auto& write : std::initializer_list<std::function<void(const QString&)>>{
           [&](const QString& path) { WriteProgrammeReport(p, path + ".pdf"); },
           [&](const QString& path) { WriteProgrammeXlsx(p, {}, path + ".xlsx"); },
           [&](const QString& path) { WriteProgrammeCsv(p, {}, path + ".csv"); }}) {
    try {
      write(missing);
      ADD_FAILURE() << "written into a missing folder";
    } catch (const ReportError& e) {
      EXPECT_TRUE(e.Message.contains(QStringLiteral("无此文件夹"))) << e.Message.toStdString();
    }
  }
}

}  // namespace
}  // namespace rig
