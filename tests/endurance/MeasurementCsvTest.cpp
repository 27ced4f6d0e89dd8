// An analyser's CSV files as they come (encodings, separators, quotes, the
// two layouts) read into measurements, and the faults a file can have told
// with the line and column; the mapping kept in Config.ini.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "core/GbkText.h"
#include "endurance/MeasurementCsv.h"
#include "support/TempDir.h"

namespace rig {
namespace {

using Layout = MeasurementCsvMapping::Layout;

const MeasurementCsvMapping kRows{Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), QStringLiteral("单位"),
                                  QStringLiteral("下限"), QStringLiteral("上限")};
const MeasurementCsvMapping kColumns{Layout::Columns, {}, {}, {}, {}, {}};

// What one imported measurement must be: "名称=值 单位 [下限,上限]" with "-" for a missing limit.
QString Shown(const ImportedMeasurement& m) {
  const auto limit = [](const std::optional<double>& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
  return QStringLiteral("%1=%2 %3 [%4,%5]").arg(m.Name).arg(m.Value).arg(m.Unit, limit(m.Low), limit(m.High));
}

struct Case {
  const char* name;
  QByteArray file;
  MeasurementCsvMapping mapping;
  QStringList expected;  // Shown() of each measurement, in order
  QString error;         // or what the message must say
};

QByteArray Gbk(const char16_t* text) { return ToGbk(QString::fromUtf16(text)); }

std::vector<Case> Cases() {
  return {
      {"utf8_bom_comma", QByteArray("\xEF\xBB\xBF") + QString::fromUtf16(u"名称,测量值,单位,下限,上限\r\n合闸时间,41.5,ms,30,50\r\n分闸时间,29.2,ms,20,30\r\n").toUtf8(),
       kRows, {QStringLiteral("合闸时间=41.5 ms [30,50]"), QStringLiteral("分闸时间=29.2 ms [20,30]")}, {}},
      {"utf8_without_bom_limits_left_empty", QString::fromUtf16(u"名称,测量值,单位,下限,上限\n行程,12.5,mm,,\n").toUtf8(), kRows,
       {QStringLiteral("行程=12.5 mm [-,-]")}, {}},
      {"gbk", Gbk(u"名称,测量值,单位,下限,上限\r\n合闸时间,41.5,毫秒,30,50\r\n"), kRows, {QStringLiteral("合闸时间=41.5 毫秒 [30,50]")}, {}},
      {"quoted_fields_with_commas_quotes_and_a_line_break",
       QString::fromUtf16(u"名称,测量值,单位,下限,上限\n\"行程,A相\",12.5,mm,10,14\n\"说\"\"明\"\"\n两行\",-0.25,,,\n").toUtf8(), kRows,
       {QStringLiteral("行程,A相=12.5 mm [10,14]"), QStringLiteral("说\"明\"\n两行=-0.25  [-,-]")}, {}},
      {"semicolon", QString::fromUtf16(u"名称;测量值;单位;下限;上限\n\"合闸;A\";41.5;ms;30;50\n").toUtf8(), kRows,
       {QStringLiteral("合闸;A=41.5 ms [30,50]")}, {}},
      {"tab_and_columns_in_another_order", QString::fromUtf16(u"单位\t上限\t名称\t下限\t测量值\nms\t50\t合闸时间\t30\t4.15e1\n").toUtf8(),
       kRows, {QStringLiteral("合闸时间=41.5 ms [30,50]")}, {}},
      {"wide_reads_the_last_line_and_skips_columns_without_unit",
       QString::fromUtf16(u"序号,日期,合闸时间(ms),分闸时间（ms）,行程[mm]\n1,2026-12-01,40.1,28.0,12.0\n2,2026-12-02,41.5,29.2,\n\n").toUtf8(),
       kColumns, {QStringLiteral("合闸时间=41.5 ms [-,-]"), QStringLiteral("分闸时间=29.2 ms [-,-]")}, {}},
      {"bad_number_names_line_and_column", QString::fromUtf16(u"名称,测量值,单位\n合闸时间,41.5,ms\n分闸时间,4x.5,ms\n").toUtf8(),
       {Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), QStringLiteral("单位"), {}, {}}, {},
       QStringLiteral("第3行第2列（测量值）：“4x.5”不是数字")},
      {"decimal_comma_is_not_a_number", QString::fromUtf16(u"名称;测量值\n合闸时间;41,5\n").toUtf8(),
       {Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), {}, {}, {}}, {}, QStringLiteral("第2行第2列（测量值）：“41,5”不是数字")},
      {"line_numbers_count_breaks_inside_quotes", QString::fromUtf16(u"名称,测量值,上限\n\"两\n行\",1,2\n合闸时间,1,五十\n").toUtf8(),
       {Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), {}, {}, QStringLiteral("上限")}, {},
       QStringLiteral("第4行第3列（上限）：“五十”不是数字")},
      {"missing_column", QString::fromUtf16(u"名称,数值\n合闸时间,41.5\n").toUtf8(), kRows, {},
       QStringLiteral("第1行（表头）没有“测量值”列")},
      {"value_missing", QString::fromUtf16(u"名称,测量值\n合闸时间,\n").toUtf8(),
       {Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), {}, {}, {}}, {}, QStringLiteral("第2行第2列（测量值）：没有数值")},
      {"unclosed_quote", QString::fromUtf16(u"名称,测量值\n\"合闸时间,41.5\n").toUtf8(), kRows, {}, QStringLiteral("第2行：引号没有闭合")},
      {"wide_without_unit_columns", QString::fromUtf16(u"序号,合闸时间\n1,41.5\n").toUtf8(), kColumns, {},
       QStringLiteral("没有带单位的测量列")},
      {"wide_bad_number", QString::fromUtf16(u"序号,合闸时间(ms)\n1,41.5\n2,--\n").toUtf8(), kColumns, {},
       QStringLiteral("第3行第2列（合闸时间(ms)）：“--”不是数字")},
      {"empty_file", QByteArray(), kRows, {}, QStringLiteral("文件是空的")},
  };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class MeasurementCsvFiles : public testing::TestWithParam<Case> {};

TEST_P(MeasurementCsvFiles, ReadAsTheAnalyserMeantOrRefusedNamingTheFault) {
  const Case& c = GetParam();
  const MeasurementImport read = ReadMeasurements(ParseCsvTable(c.file), c.mapping);
  if (!c.error.isEmpty()) {
    EXPECT_TRUE(read.Error.contains(c.error)) << read.Error.toStdString();
    EXPECT_TRUE(read.Measurements.empty());
    return;
  }
  ASSERT_EQ(read.Error, QString());
  QStringList shown;
  for (const ImportedMeasurement& m : read.Measurements) shown << Shown(m);
  EXPECT_EQ(shown, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Files, MeasurementCsvFiles, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(MeasurementCsv, AFirstMappingIsGuessedFromTheHeaderAndAKeptOneMustFitTheFile) {
  const struct {
    QStringList header;
    MeasurementCsvMapping guessed;
    bool rowsFit;  // does kRows fit this header
  } cases[] = {
      {{QStringLiteral("名称"), QStringLiteral("测量值"), QStringLiteral("单位"), QStringLiteral("下限"), QStringLiteral("上限")}, kRows, true},
      {{QStringLiteral("Item"), QStringLiteral("Result"), QStringLiteral("Unit"), QStringLiteral("Min"), QStringLiteral("Max")},
       {Layout::Rows, QStringLiteral("Item"), QStringLiteral("Result"), QStringLiteral("Unit"), QStringLiteral("Min"), QStringLiteral("Max")},
       false},
      {{QStringLiteral("序号"), QStringLiteral("合闸时间(ms)")}, kColumns, false},
      {{QStringLiteral("名称"), QStringLiteral("测量值")},  // limits the kept mapping names are missing
       {Layout::Rows, QStringLiteral("名称"), QStringLiteral("测量值"), {}, {}, {}}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GuessMapping(c.header), c.guessed) << c.header.join(',').toStdString();
    EXPECT_EQ(MappingFits(kRows, c.header), c.rowsFit) << c.header.join(',').toStdString();
    EXPECT_TRUE(MappingFits(GuessMapping(c.header), c.header)) << c.header.join(',').toStdString();
  }
}

TEST(MeasurementCsv, TheMappingIsKeptInConfigIniBesideOtherSettings) {
  rigtest::TempDir dir;
  dir.Write("Config.ini", "[Config]\r\nReportPrefix=LAB-\r\n");
  EXPECT_FALSE(LoadMeasurementMapping(dir.Path()));
  for (const MeasurementCsvMapping& m :
       {kRows, kColumns, MeasurementCsvMapping{Layout::Rows, QStringLiteral("Item"), QStringLiteral("值 (V)"), {}, {}, {}}}) {
    SaveMeasurementMapping(dir.Path(), m);
    EXPECT_EQ(LoadMeasurementMapping(dir.Path()), m);
  }
  EXPECT_TRUE(dir.Read("Config.ini").contains("ReportPrefix=LAB-"));
  EXPECT_TRUE(dir.Read("Config.ini").contains("[MeasurementCsv]"));
}

TEST(MeasurementCsv, ImportedValuesFillTheLinesOfTheirNameAndKeepTypedLimits) {
  std::vector<MeasurementEntry> entries = {{QStringLiteral("合闸时间"), QStringLiteral("ms"), {}, "30", "50", "2"},
                                           {QStringLiteral("行程"), QStringLiteral("mm"), "11", "10", "14", {}}};
  MergeImported(entries, {{QStringLiteral("合闸时间"), {}, 41.5, std::nullopt, std::nullopt},
                          {QStringLiteral("行程"), QStringLiteral("mm"), 12.25, 9.5, std::nullopt},
                          {QStringLiteral("分闸时间"), QStringLiteral("ms"), 29, 20, 30}});
  const std::vector<MeasurementEntry> expected = {{QStringLiteral("合闸时间"), QStringLiteral("ms"), "41.5", "30", "50", "2"},
                                                  {QStringLiteral("行程"), QStringLiteral("mm"), "12.25", "9.5", "14", {}},
                                                  {QStringLiteral("分闸时间"), QStringLiteral("ms"), "29", "20", "30", {}}};
  EXPECT_EQ(entries, expected);
}

// Random tables written the RFC 4180 way with any of the three separators
// read back field for field: the parser against the simplest writer.
TEST(MeasurementCsv, RandomTablesWrittenWithQuotesReadBackFieldForField) {
  QRandomGenerator random(4417);
  const QString alphabet = QStringLiteral("ab1.-,;\t\"\n 合闸");
  for (int round = 0; round < 300; ++round) {
    const QChar sep = QStringLiteral(",;\t")[random.bounded(3)];
    const int columns = 1 + random.bounded(5), rows = 1 + random.bounded(4);
    std::vector<QStringList> table;
    QString text;
    for (int r = 0; r <= rows; ++r) {
      QStringList row;
      for (int c = 0; c < columns; ++c) {
        QString field;
        for (int n = random.bounded(6); n > 0; --n) field += alphabet[random.bounded(alphabet.size())];
        if (r == 0) field = QStringLiteral("h%1").arg(c);
        row << field.trimmed();
        QString written = field;
        written.replace(QLatin1String("\""), QLatin1String("\"\""));
        text += (c ? QString(sep) : QString()) + '"' + written + '"';
      }
      table.push_back(row);
      text += QStringLiteral("\r\n");
    }
    const CsvTable read = ParseCsvTable(text.toUtf8());
    ASSERT_EQ(read.Error, QString()) << text.toStdString();
    EXPECT_EQ(read.Header, table[0]) << text.toStdString();
    std::vector<QStringList> expectedRows;
    for (int r = 1; r <= rows; ++r) {
      bool blank = true;
      for (const QString& f : table[r]) blank &= f.isEmpty();
      if (!blank) expectedRows.push_back(table[r]);
    }
    EXPECT_EQ(read.Rows, expectedRows) << text.toStdString();
  }
}

}  // namespace
}  // namespace rig
