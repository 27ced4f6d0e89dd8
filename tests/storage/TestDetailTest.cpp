#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "SavedTestsFixture.h"
#include "storage/ActionLines.h"
#include "storage/TestDetail.h"

using namespace rig;
using Row = rigtest::SavedTestsFolder::Row;

namespace {

Row R(int count, int no, const char* s1, const char* s2, const char* s3, const char* m3 = "") {
  return Row{QString::number(count), QString::number(no), {s1, s2, s3}, {"", "", QString::fromUtf8(m3)}};
}

// Each line as "caption|cell|cell|...".
std::vector<QString> Lines(const ActionGrid& g) {
  std::vector<QString> out;
  for (const auto& line : g.Lines) {
    QStringList parts{line.Caption};
    for (const QString& c : line.Cells) parts << c;
    out.push_back(parts.join('|'));
  }
  return out;
}

QStringList Captions(const ActionGrid& g) {
  QStringList out;
  for (const auto& c : g.Columns) out << c.Caption;
  return out;
}

const QString kHead2 = "|A1|B1|C1|A1|B1|C1";

}  // namespace

TEST(ActionCellColour, BreakColoursRepeatPerTriple) {
  const Rgb yellow{255, 255, 0}, green{0, 128, 0}, red{255, 0, 0};
  EXPECT_FALSE(ActionCellColour(0).Valid());
  const Rgb expected[] = {yellow, green, red, yellow, green, red, yellow, green, red, yellow, green, red};
  for (int c = 1; c <= 12; ++c) EXPECT_EQ(ActionCellColour(c), expected[c - 1]) << c;
}

TEST(RenderActions, OperationTestsShowTheirRunOnOneLine) {
  rigtest::SavedTestsFolder f;
  const QString path = f.AddDetail("d.db", {R(1, 1, "1", "1", "1"), R(1, 2, "0", "0", "1", "拒分"), R(1, 3, "1", "0", "0")});
  struct Case {
    int mode;
    QStringList captions;
    std::vector<QString> lines;
  } cases[] = {
      {1, {"动作次数", "", "合", ""}, {"|A1|B1|C1", "-|● |● |● "}},
      {2, {"动作次数", "", "分", ""}, {"|A1|B1|C1", "-|● |● |● "}},
      {3, {"动作次数", "", "合", "", "", "分", ""}, {kHead2, "-|● |● |● |○ |○ |● 拒分"}},
      {4, {"动作次数", "", "分", "", "", "合", ""}, {kHead2, "-|● |● |● |○ |○ |● 拒分"}},
      {5,
       {"动作次数", "", "分", "", "", "合", "", "", "分", ""},
       {kHead2 + "|A1|B1|C1", "-|● |● |● |○ |○ |● 拒分|● |○ |○ "}},
  };
  for (const Case& c : cases) {
    ActionGrid g = ActionGrid::Design();
    RenderActions(c.mode, path, &g);
    EXPECT_EQ(Captions(g), c.captions) << c.mode;
    EXPECT_EQ(Lines(g), c.lines) << c.mode;
  }
}

TEST(RenderActions, LifeTestsStartALinePerReportedCount) {
  rigtest::SavedTestsFolder f;
  const QString path = f.AddDetail("d.db", {R(0, 1, "1", "1", "1"), R(1, 2, "0", "0", "0"), R(1, 3, "1", "1", "0", "拒合"),
                                            R(2, 4, "0", "0", "0")});
  ActionGrid g;
  RenderActions(17, path, &g);
  // The first row's count 0 equals the starting value, so it joins the header line.
  EXPECT_EQ(Lines(g), (std::vector<QString>{kHead2 + "|● |● |● ", "1|○ |○ |○ |● |● |○ 拒合", "2|○ |○ |○ "}));
}

TEST(RenderActions, ModeTwentyStartsALineEveryFourthAction) {
  rigtest::SavedTestsFolder f;
  std::vector<Row> rows;
  for (int no = 1; no <= 8; ++no) rows.push_back(R((no + 3) / 4, no, no % 2 ? "0" : "1", "2", ""));
  ActionGrid g;
  RenderActions(20, f.AddDetail("d.db", rows), &g);
  ASSERT_EQ(g.Lines.size(), 3u);
  EXPECT_EQ(g.Columns.size(), 13u);
  EXPECT_EQ(Lines(g)[1], "1|○ |○ |○ |● |○ |○ |○ |○ |○ |● |○ |○ ");
  EXPECT_EQ(g.Lines[2].Caption, "2");
  EXPECT_EQ(g.Lines[2].Cells.size(), 12u);
}

TEST(RenderActions, DamagedOrMissingFilesKeepWhatWasBuilt) {
  rigtest::SavedTestsFolder f;
  ActionGrid g;
  RenderActions(19, f.dir.File("missing.db"), &g);
  EXPECT_EQ(Lines(g), std::vector<QString>{kHead2});
  EXPECT_FALSE(QFile::exists(f.dir.File("missing.db")));  // browsing creates no files

  f.dir.Write("junk.db", QByteArray(2048, 'j'));
  RenderActions(19, f.dir.File("junk.db"), &g);
  EXPECT_EQ(Lines(g), std::vector<QString>{kHead2});

  // A hostile detail file whose counts are not numbers.
  const QString bad = f.dir.File("bad.db");
  {
    TSQLiteDatabase db(bad.toUtf8());
    db.RunSQL("CREATE TABLE ControlState(AutoID INTEGER PRIMARY KEY, DealTimes TEXT, CZDealTimes TEXT, State1, State2, State3, "
              "StrState1, StrState2, StrState3)");
    db.RunSQL("INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3) VALUES ('1','1','1','1','1'),"
              "('x','2','1','1','1'),('2','3','0','0','0')");
  }
  RenderActions(17, bad, &g);
  EXPECT_EQ(Lines(g), (std::vector<QString>{kHead2, "1|● |● |● "}));

  ActionGrid design = ActionGrid::Design();
  RenderActions(6, bad, &design);
  EXPECT_EQ(Captions(design), (QStringList{"动作次数", "A1拒合", "B1", "C1"}));
  EXPECT_TRUE(design.Lines.empty());
}

TEST(LoadTestSummary, HeaderByMode) {
  rigtest::SavedTestsFolder f;
  struct Case {
    int mode;
    const char* type;
    DetailField first, second;
    bool count, secondRow;
  } cases[] = {
      {1, "操作实验（单合）", {"持续", "10", "ms"}, {}, false, false},
      {3, "操作实验（合分）", {"合延时", "10", "ms分"}, {}, false, false},
      {4, "是操作实验（分合）", {"分延时", "10", "ms合"}, {}, false, false},
      {5, "操作实验（分合分）", {"分延时", "10", "ms"}, {"合延时", "20", "ms分"}, false, false},
      {17, "寿命试验（单分单合）,磨合次数：77,设定次数：300", {"分延时", "10", "s"}, {"合延时", "20", "s"}, true, false},
      {18, "寿命试验（合分）,磨合次数：77,设定次数：300", {"合延时", "10", "ms"}, {"分延时", "20", "s"}, true, false},
      {20, "寿命试验（分合分）,磨合次数：77,设定次数：500", {"分延时", "10", "ms"}, {"合延时", "20", "ms"}, false, true},
      {0, "", {"分延时", "300", "ms"}, {}, false, false},
  };
  for (const Case& c : cases) {
    const qint64 id = f.AddTest("F7", "ZW32", "2018-11-07 14:05:09", c.mode, "", 77, 300, 500, "A", "B");
    DetailHeader h;
    ActionGrid g = ActionGrid::Design();
    LoadTestSummary(f.Exe(), QString::number(id), &h, &g);
    EXPECT_EQ(h.TypeText, QString::fromUtf8(c.type)) << c.mode;
    EXPECT_EQ(h.First.Caption + h.First.Value + h.First.Unit, c.first.Caption + c.first.Value + c.first.Unit) << c.mode;
    EXPECT_EQ(h.Second.Visible, !c.second.Caption.isEmpty()) << c.mode;
    if (h.Second.Visible) {
      EXPECT_EQ(h.Second.Caption + h.Second.Value + h.Second.Unit, c.second.Caption + c.second.Value + c.second.Unit);
    }
    EXPECT_EQ(h.Count.Visible, c.count) << c.mode;
    if (c.count) {
      EXPECT_EQ(h.Count.Value, "300");
    }
    EXPECT_EQ(h.SecondRowVisible, c.secondRow) << c.mode;
    if (c.secondRow) {
      EXPECT_EQ(QStringList({h.SecondRow[0], h.SecondRow[1], h.SecondRow[2]}), QStringList({"300", "40", "500"}));
    }
    EXPECT_EQ(h.OutIndex + h.OpenType + h.WorkArea + h.WorkName, "F7ZW32AB");
    EXPECT_EQ(h.ActionType, QStringLiteral("忽略拒动作"));
    EXPECT_EQ(h.StartTime, QDateTime(QDate(2018, 11, 7), QTime(14, 5, 9)));
    EXPECT_EQ(g.Columns.size(), c.mode == 0 ? 4u : c.mode == 20 ? 13u : c.mode == 1 ? 4u : c.mode == 5 ? 10u : 7u);
  }
}

TEST(LoadTestSummary, FaultsStopFillingAndKeepTheDesignContents) {
  rigtest::SavedTestsFolder f;
  DetailHeader h;
  ActionGrid g;
  EXPECT_THROW(LoadTestSummary(f.Exe(), "", &h, &g), ESQLiteException);
  LoadTestSummary(f.Exe(), "99", &h, &g);  // no such row: nothing filled
  EXPECT_EQ(h.TypeText, QStringLiteral("寿命试验（单分单合）"));
  EXPECT_EQ(h.StartTime, QDateTime(QDate(2018, 11, 7), QTime(22, 43, 3)));

  const qint64 id = f.AddTest("F1", "", "2018-13-45 99:00:00", 1);
  LoadTestSummary(f.Exe(), QString::number(id), &h, &g);
  EXPECT_EQ(h.OutIndex, "F1");
  EXPECT_EQ(h.TypeText, QStringLiteral("操作实验（单合）"));
  EXPECT_EQ(h.StartTime, QDateTime(QDate(2018, 11, 7), QTime(22, 43, 3)));  // invalid date: design value stays
}

TEST(LoadTestSummary, DetailFileOfAMovedInstallationIsFoundBesideTheProgram) {
  rigtest::SavedTestsFolder f;
  QDir(f.dir.Path()).mkpath("20181107");
  const QString local = f.AddDetail("20181107/20181107140509_2.db", {R(1, 1, "1", "1", "1")});
  const qint64 id = f.AddTest("F1", "", "2018-11-07 14:05:09", 1, "D:\\Rig\\20181107\\20181107140509_2.db");
  DetailHeader h;
  ActionGrid g;
  LoadTestSummary(f.Exe(), QString::number(id), &h, &g);
  EXPECT_EQ(h.DetailPath, local);
  EXPECT_EQ(Lines(g), (std::vector<QString>{"|A1|B1|C1", "-|● |● |● "}));
}

TEST(ActionLines, ReadsABatchAtATimeAndEndsWithWhatAWholeReadGives) {
  rigtest::SavedTestsFolder f;
  const QString path = f.AddLifeDetail("d.db", 1000);
  ActionGrid whole;
  RenderActions(17, path, &whole);
  ASSERT_EQ(whole.Lines.size(), 1001u);

  TActionLines lines(17, path);
  EXPECT_EQ(lines.LineCount(), 0);  // the header line is complete once the first count starts
  lines.Fetch(10);
  EXPECT_EQ(lines.LineCount(), 10);
  EXPECT_FALSE(lines.AtEnd());
  while (!lines.AtEnd()) lines.Fetch(300);
  ASSERT_EQ(lines.LineCount(), 1001);
  for (int l : {0, 1, 5, 500, 1000}) {
    EXPECT_EQ(lines.Caption(l), whole.Lines[l].Caption) << l;
    ASSERT_EQ(lines.CellCount(l), static_cast<int>(whole.Lines[l].Cells.size())) << l;
    for (int c = 0; c < lines.CellCount(l); ++c) EXPECT_EQ(lines.Cell(l, c), whole.Lines[l].Cells[c]) << l << "," << c;
  }
  EXPECT_EQ(lines.Cell(5, 5), QStringLiteral("○ 拒合"));
  EXPECT_EQ(lines.Cell(5, 6), QString());  // past the line's cells
  // A few bytes per action, not a string per cell.
  EXPECT_LT(lines.MemoryBytes(), 2000u * 40u);
}
