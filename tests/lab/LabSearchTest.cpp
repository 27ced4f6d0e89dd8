// Searching the lab database across rigs, and opening a found test.
#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <QRegularExpression>
#include <QSet>

#include "lab/LabConnection.h"
#include "lab/LabDetail.h"
#include "lab/LabSchema.h"
#include "lab/LabSearch.h"
#include "lab/LabServer.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"
#include "storage/TestDetail.h"
#include "support/TempDir.h"

using namespace rig;
using namespace rig::lab;

namespace {

struct Stored {
  const char* Rig;
  const char16_t* OpenType;
  const char16_t* Operator;
  QDate Day;
  int Hour;
  const char* OutIndex;
};

// Five tests on three rigs; OutIndex names each.
const Stored kStored[] = {
    {"一号台", u"ZW32-12真空断路器", u"张三", QDate(2026, 3, 1), 9, "A1"},
    {"一号台", u"VS1-12真空断路器", u"李四", QDate(2026, 3, 2), 9, "A2"},
    {"二号台", u"ZW32-12真空断路器", u"张三丰", QDate(2026, 3, 2), 10, "B1"},
    {"二号台", u"LW36-126六氟化硫断路器", u"王五", QDate(2026, 4, 1), 9, "B2"},
    {"Rig-3", u"zw32-12 outdoor", u"Zhang", QDate(2026, 3, 3), 9, "C1"},
};

class LabSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
    connection_ = std::make_unique<LabConnection>(settings_);
    EnsureLabSchema(*connection_);
    for (const Stored& s : kStored) Store(s);
  }

  void Store(const Stored& s) {
    TestSummary t = rigtest::LabSample(QString::fromUtf16(s.OpenType), QString::fromUtf16(s.Operator),
                                       QDateTime(s.Day, QTime(s.Hour, 0)));
    t.OutIndex = QString::fromLatin1(s.OutIndex);
    t.CountDone = 3;
    const SaveOutcome out{true, {}, QStringLiteral("/d/x.db"), ++local_};
    const std::array<int, 5> params{300, 400, 500, 0, 0};
    LabTestRecord r = MakeLabRecord(QString::fromUtf8(s.Rig), {t, params, out, rigtest::LabActions(6)},
                                    QStringLiteral("2026-04-02 10:00:00"));
    ids_[s.OutIndex] = r.TestId;
    UploadTest(*connection_, r);
  }

  QStringList Found(const LabSearchFilter& f) {
    QStringList out;
    for (const SearchRow& r : SearchLabTests(*connection_, f).Rows) out << r.OutIndex;
    return out;
  }

  LabSettings settings_;
  std::unique_ptr<LabConnection> connection_;
  std::map<std::string, QString> ids_;
  int local_ = 0;
};

LabSearchFilter Filter(QDate from, QDate to) {
  LabSearchFilter f;
  f.Base.From = from;
  f.Base.To = to;
  return f;
}

}  // namespace

TEST_F(LabSearchTest, FiltersMatchChineseTextAnywhereAcrossRigs) {
  const QDate march1(2026, 3, 1), april30(2026, 4, 30);
  struct Case {
    const char* What;
    void (*Set)(LabSearchFilter&);
    QStringList Expected;  // newest first
  } cases[] = {
      {"everything", [](LabSearchFilter&) {}, {"B2", "C1", "B1", "A2", "A1"}},
      {"Chinese model part", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("真空"); }, {"B1", "A2", "A1"}},
      {"model, any case", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("ZW32"); }, {"C1", "B1", "A1"}},
      {"operator 张三 also finds 张三丰", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("张三"); },
       {"B1", "A1"}},
      {"rig name", [](LabSearchFilter& f) { f.RigName = QStringLiteral("二号"); }, {"B2", "B1"}},
      {"rig and model", [](LabSearchFilter& f) {
         f.RigName = QStringLiteral("一号台");
         f.Base.OpenType = QStringLiteral("ZW");
       }, {"A1"}},
      {"an underscore is typed text, not a wildcard", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("六_化"); }, {}},
      {"quote is a character", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("'"); }, {}},
      {"work area", [](LabSearchFilter& f) { f.Base.WorkArea = QStringLiteral("车间"); }, {"B2", "C1", "B1", "A2", "A1"}},
      {"oldest first", [](LabSearchFilter& f) { f.Base.Ascending = true; }, {"A1", "A2", "B1", "C1", "B2"}},
      {"one day, the To day included", [](LabSearchFilter& f) { f.Base.From = f.Base.To = QDate(2026, 3, 2); },
       {"B1", "A2"}},
      {"limit", [](LabSearchFilter& f) { f.Limit = 2; }, {"B2", "C1"}},
      // One or two characters go through the indexed characters and pairs.
      {"short model text, lower case", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("zw"); },
       {"C1", "B1", "A1"}},
      {"one character of the operator", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("丰"); }, {"B1"}},
      {"characters apart are no pair: 张丰", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("张丰"); }, {}},
      {"a character of another column", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("真"); }, {}},
      {"short serial", [](LabSearchFilter& f) { f.Base.OutIndex = QStringLiteral("1"); }, {"C1", "B1", "A1"}},
      {"long and short together", [](LabSearchFilter& f) {
         f.Base.OpenType = QStringLiteral("真空断路器");
         f.Base.WorkName = QStringLiteral("张");
       }, {"B1", "A1"}},
  };
  for (const Case& c : cases) {
    LabSearchFilter f = Filter(march1, april30);
    c.Set(f);
    EXPECT_EQ(Found(f), c.Expected) << c.What;
  }
}

TEST_F(LabSearchTest, RowsShowTheRigAndTheLifeTestCounts) {
  LabSearchFilter f = Filter(QDate(2026, 4, 1), QDate(2026, 4, 1));
  const std::vector<SearchRow> rows = SearchLabTests(*connection_, f).Rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].DetailPath, QStringLiteral("二号台"));
  EXPECT_EQ(rows[0].AutoID, ids_["B2"]);
  EXPECT_EQ(rows[0].StartTestTime, QStringLiteral("2026-04-01 09:00:00"));
  EXPECT_EQ(rows[0].DoneCount, QStringLiteral("3"));
  EXPECT_EQ(rows[0].SetCount, QStringLiteral("500"));  // Param3 of a mode-17 test
  EXPECT_EQ(rows[0].WorkName, QStringLiteral("王五"));
}

TEST_F(LabSearchTest, AFoundTestOpensInTheDetailViewAsSaved) {
  rigtest::TempDir folder;
  const QString autoId = FetchLabTest(*connection_, ids_["B1"], folder.Path());
  DetailHeader header;
  ActionGrid grid;
  LoadTestSummary(folder.Path(), autoId, &header, &grid);
  EXPECT_EQ(header.OpenType, QStringLiteral("ZW32-12真空断路器"));
  EXPECT_EQ(header.WorkName, QStringLiteral("张三丰"));
  EXPECT_EQ(header.StartTime, QDateTime(QDate(2026, 3, 2), QTime(10, 0)));
  EXPECT_EQ(header.First.Value, QStringLiteral("300"));
  EXPECT_EQ(header.ActionType, QStringLiteral("不忽略拒动作"));
  // Mode 17: a line per count (1, 2, 3) under the header line; action 5's A1 refused.
  ASSERT_EQ(grid.Lines.size(), 4u);
  EXPECT_EQ(grid.Lines[3].Caption, QStringLiteral("3"));
  EXPECT_EQ(grid.Lines[3].Cells[0], QStringLiteral("● 拒合"));

  EXPECT_THROW(FetchLabTest(*connection_, QStringLiteral("00000000-0000-0000-0000-000000000000"), folder.Path()),
               LabError);
}

TEST_F(LabSearchTest, TypedTextMatchesLiterallyAndACutListSaysSo) {
  for (const char* odd : {"50%", "5_0", "a\\b"}) Store({"一号台", u"ZW32", u"张三", QDate(2026, 5, 1), 9, odd});
  const struct {
    const char* typed;
    QStringList found;
  } rows[] = {{"%", {"50%"}}, {"_", {"5_0"}}, {"\\", {"a\\b"}}, {"5", {"50%", "5_0"}}, {"0%", {"50%"}}};
  for (const auto& row : rows) {
    LabSearchFilter f = Filter(QDate(2026, 1, 1), QDate(2026, 12, 31));
    f.Base.OutIndex = QString::fromLatin1(row.typed);
    QStringList found = Found(f);
    found.sort();
    EXPECT_EQ(found, row.found) << row.typed;
  }
  LabSearchFilter all = Filter(QDate(2026, 1, 1), QDate(2026, 12, 31));
  all.Limit = 3;
  const LabSearchResult cut = SearchLabTests(*connection_, all);
  EXPECT_TRUE(cut.Cut);
  EXPECT_EQ(cut.Rows.size(), 3u);
  EXPECT_TRUE(CutListNotice(all).contains(QStringLiteral("只列出了最新的 3 个")));
  all.Limit = 8;  // exactly as many as stored
  const LabSearchResult whole = SearchLabTests(*connection_, all);
  EXPECT_FALSE(whole.Cut);
  EXPECT_EQ(whole.Rows.size(), 8u);
}

// A text filter first looks at the newest tests only; what it finds there
// must be what the whole search finds, and when they hold too few matches
// the whole search must still find the older ones.
TEST_F(LabSearchTest, ATextFindsTheSameWhetherTheNewestTestsHoldEnoughOrNot) {
  for (int i = 0; i < 12; ++i) Store({"三号台", u"GW4-126隔离开关", u"李四", QDate(2026, 6, 1 + i), 9, "N"});
  const struct {
    const char16_t* Model;
    int Limit;  // the newest 5 × (Limit + 1) tests are looked at first
    QStringList Expected;
  } cases[] = {
      {u"隔离", 1, {"N"}},             // newest tests enough: the cut list from them
      {u"zw", 1, {"C1"}},             // none among the newest 10: the older ones still found
      {u"zw", 3, {"C1", "B1", "A1"}},  // the newest 20 include them: as many as there are, not cut
      {u"真", 3, {"B1", "A2", "A1"}},
      {u"ZW32-12", 1, {"C1"}},         // three or more: the same two ways
      {u"隔离开关", 2, {"N"}},
  };
  for (const auto& k : cases) {
    LabSearchFilter f = Filter(QDate(2026, 1, 1), QDate(2026, 12, 31));
    f.Base.OpenType = QString::fromUtf16(k.Model);
    f.Limit = k.Limit;
    QStringList found = Found(f);
    found.removeDuplicates();
    EXPECT_EQ(found, k.Expected) << f.Base.OpenType.toStdString();
  }
}

// Each text filter can be served by an index of step 5: with the time
// indexes gone and scans of the whole table priced out, the plan names it.
TEST_F(LabSearchTest, EachTextFilterCanBeServedByItsIndex) {
  const struct {
    const char* What;
    void (*Set)(LabSearchFilter&);
    const char* Index;
  } cases[] = {
      {"model", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("真空断路器"); }, "lab_tests_open_type_trgm"},
      {"serial", [](LabSearchFilter& f) { f.Base.OutIndex = QStringLiteral("0815"); }, "lab_tests_out_index_trgm"},
      {"work area", [](LabSearchFilter& f) { f.Base.WorkArea = QStringLiteral("二车间"); }, "lab_tests_work_area_trgm"},
      {"operator", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("张三丰"); }, "lab_tests_work_name_trgm"},
      {"one character", [](LabSearchFilter& f) { f.Base.WorkName = QStringLiteral("张"); }, "lab_tests_grams"},
      {"three characters, no trigram of three", [](LabSearchFilter& f) { f.Base.OpenType = QStringLiteral("六_化"); },
       "lab_tests_(grams|open_type_trgm)"},
      {"rig", [](LabSearchFilter& f) { f.RigName = QStringLiteral("一号台"); }, "lab_tests_grams"},
  };
  connection_->Exec("BEGIN");
  connection_->Exec("DROP INDEX lab_tests_start, lab_tests_rig");
  connection_->Exec("SET LOCAL enable_seqscan = off");
  for (const auto& k : cases) {
    LabSearchFilter f = Filter(QDate(2026, 1, 1), QDate(2026, 12, 31));
    k.Set(f);
    std::vector<std::string> params;
    const std::string sql = "EXPLAIN " + LabSearchSql(f, &params);
    PgResult plan = connection_->Query(sql.c_str(), params);
    QString text;
    for (int i = 0; i < PQntuples(plan.get()); ++i) text += QString::fromUtf8(PQgetvalue(plan.get(), i, 0)) + '\n';
    EXPECT_TRUE(text.contains(QRegularExpression(QString::fromLatin1(k.Index)))) << k.What << "\n" << text.toStdString();
  }
  connection_->Exec("ROLLBACK");
}
