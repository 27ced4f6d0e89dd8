// A switch's history on this rig: its saved tests and programmes found by
// the whole factory number (blanks and letter case aside) and the model,
// oldest first, each test with its refusals per break and each programme
// with its verdict, count and target.
#include <gtest/gtest.h>

#include "endurance/LocalSwitchHistory.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "storage/SavedTestsFixture.h"
#include "storage/SQLiteException.h"
#include "testing/PositionJudge.h"

namespace rig {
namespace {

constexpr int kLifeMode = 18;

struct Refused {
  int ActionNo;
  int Break;  // 0 A1, 1 B1, 2 C1
};

// A detail file of `actions` actions of `mode`, every break where the mode
// wants it except the refused ones, which are also marked as the check marks.
QString Detail(const rigtest::SavedTestsFolder& f, const QString& name, int actions,
               const std::vector<Refused>& refused) {
  std::vector<rigtest::SavedTestsFolder::Row> rows;
  for (int n = 1; n <= actions; ++n) {
    const bool closed = ExpectedPosition(kLifeMode, n) == ContactState::Closed;
    rigtest::SavedTestsFolder::Row r{QString::number((n + 1) / 2), QString::number(n), {}, {}};
    for (int b = 0; b < 3; ++b) r.State[b] = closed ? "1" : "0";
    for (const Refused& x : refused) {
      if (x.ActionNo != n) continue;
      r.State[x.Break] = closed ? "0" : "1";
      r.Mark[x.Break] = closed ? QStringLiteral("拒合") : QStringLiteral("拒分");
    }
    rows.push_back(r);
  }
  return f.AddDetail(name, rows);
}

struct HistoryFolder {
  rigtest::SavedTestsFolder f;
  qint64 plain = 0, spaced = 0, otherModel = 0, lost = 0, ascii = 0;
  int64_t m1 = 0, m2 = 0;

  HistoryFolder() {
    const QString number = QStringLiteral("出厂号2026-017");
    plain = f.AddTest(number, QStringLiteral("ZW32-12"), QStringLiteral("2026-12-01 08:01:00"), kLifeMode,
                      Detail(f, "a.db", 40, {}), 20);
    spaced = f.AddTest(QStringLiteral("  出厂号2026-017 "), QStringLiteral("zw32-12 "),
                       QStringLiteral("2026-12-02 09:05:00"), kLifeMode, Detail(f, "b.db", 40, {}), 20);
    otherModel = f.AddTest(number, QStringLiteral("VS1-12"), QStringLiteral("2026-11-20 10:00:00"), kLifeMode,
                           Detail(f, "c.db", 10, {}), 5);
    lost = f.AddTest(number, QStringLiteral("ZW32-12"), QStringLiteral("2026-12-03 07:00:00"), kLifeMode,
                     f.Exe() + "gone.db", 3);
    ascii = f.AddTest(QStringLiteral("Ab-7"), QStringLiteral("ZW32-12"), QStringLiteral("2026-12-04 07:00:00"),
                      kLifeMode, Detail(f, "d.db", 4, {}), 2);
    // Numbers that hold the switch's number without being it, and another switch.
    f.AddTest(QStringLiteral("出厂号2026-0170"), QStringLiteral("ZW32-12"), QStringLiteral("2026-12-01 09:00:00"),
              kLifeMode, Detail(f, "e.db", 4, {}), 2);
    f.AddTest(QStringLiteral("X出厂号2026-017"), QStringLiteral("ZW32-12"), QStringLiteral("2026-12-01 09:30:00"),
              kLifeMode, Detail(f, "g.db", 4, {}), 2);
    f.AddTest(QStringLiteral("ab-77"), QStringLiteral("ZW32-12"), QStringLiteral("2026-12-04 08:00:00"), kLifeMode,
              Detail(f, "h.db", 4, {}), 2);

    TProgrammeStore store(f.Exe());
    Programme one = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"), kLifeMode);
    one.Station = 1;
    one.Identity.SwitchModel = QStringLiteral("ZW32-12");
    one.Identity.FactoryNumber = number;
    one.CreatedAt = QDateTime(QDate(2026, 11, 30), QTime(8, 0));
    OpenRun(one, QDateTime(QDate(2026, 11, 30), QTime(8, 5)), 0);
    AdvanceRun(one, 2000);
    CloseRun(one);
    one.EndedAt = QDateTime(QDate(2026, 11, 30), QTime(18, 0));
    store.Save(one);
    m1 = one.Id;

    Programme two = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), kLifeMode);
    two.Station = 2;
    two.Identity.SwitchModel = QStringLiteral("ZW32-12 ");
    two.Identity.FactoryNumber = QStringLiteral("出厂号2026-017 ");
    two.CreatedAt = QDateTime(QDate(2026, 12, 2), QTime(9, 0));
    OpenRun(two, QDateTime(QDate(2026, 12, 2), QTime(9, 5)), 0);
    AdvanceRun(two, 2000);
    CloseRun(two);
    two.Inspections.push_back({1, QStringLiteral("外观"), InspectionWork::Nothing, QString(), QStringLiteral("李工"),
                               QDateTime(QDate(2026, 12, 3), QTime(9, 0)), {}});
    OpenRun(two, QDateTime(QDate(2026, 12, 3), QTime(9, 5)), 0);
    AdvanceRun(two, 1227);
    two.Failure = ProgrammeFailure{3227, 2, 2455, 2, Deviation::RefusedOpen, true, QDateTime(QDate(2026, 12, 3), QTime(11, 0))};
    store.Save(two);
    m2 = two.Id;

    Programme other = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"), kLifeMode);
    other.Identity.FactoryNumber = QStringLiteral("出厂号2026-0170");
    other.CreatedAt = QDateTime(QDate(2026, 12, 1), QTime(8, 0));
    store.Save(other);
  }
};

// One listed item in a line easy to compare: kind, number, station and mode
// (station × 100 + mode), start, count/target, outcome.
QString Line(const SwitchHistoryItem& i) {
  const bool programme = i.What == SwitchHistoryItem::Kind::Programme;
  return QStringLiteral("%1 #%2 %3 %4 %5/%6 %7")
      .arg(programme ? QStringLiteral("P") : QStringLiteral("T"))
      .arg(i.LocalId)
      .arg(i.Station * 100 + i.Mode)
      .arg(i.Start.toString(QStringLiteral("MM-dd HH:mm")))
      .arg(i.Count)
      .arg(i.Target)
      .arg(i.Outcome);
}

TEST(LocalSwitchHistory, ListsTheSwitchsTestsAndProgrammesOldestFirstWithTheirOutcomes) {
  HistoryFolder h;
  // The refused actions of the second test: B1 twice on a close, C1 once on an open.
  int close = 1, open = 1;
  while (ExpectedPosition(kLifeMode, close) != ContactState::Closed) ++close;
  while (ExpectedPosition(kLifeMode, open) != ContactState::Open) ++open;
  {
    const QString path = Detail(h.f, "b2.db", 40, {{close, 1}, {close + 8, 1}, {open + 4, 2}});
    TSQLiteDatabase db(h.f.dir.File("SaveData.db").toUtf8());
    db.RunSQL("UPDATE TestInfo SET DetailSaveDBName=?1 WHERE AutoID=?2", {ToGbk(path), int64_t{h.spaced}});
  }
  const QString p1 = QStringLiteral("P #%1 118 11-30 08:00 2000/2000 已达到M1（2,000次）").arg(h.m1);
  const QString t1 = QStringLiteral("T #%1 118 12-01 08:01 20/0 无拒动作").arg(h.plain);
  const QString p2 = QStringLiteral("P #%1 218 12-02 09:00 3227/10000 已达到M1，M2在第3,227次失败（第2段，C1拒分）").arg(h.m2);
  const QString t2 = QStringLiteral("T #%1 118 12-02 09:05 20/0 B1拒合2次，C1拒分1次").arg(h.spaced);
  const QString other = QStringLiteral("T #%1 118 11-20 10:00 5/0 无拒动作").arg(h.otherModel);
  const QString lost = QStringLiteral("T #%1 118 12-03 07:00 3/0 明细无法读取：").arg(h.lost);
  const QString ascii = QStringLiteral("T #%1 118 12-04 07:00 2/0 无拒动作").arg(h.ascii);
  const struct {
    SwitchHistoryQuery Query;
    QStringList Expected;  // a line ending in "：" is compared up to there
  } cases[] = {
      {{QStringLiteral("出厂号2026-017"), QStringLiteral("ZW32-12")}, {p1, t1, p2, t2, lost}},
      {{QStringLiteral(" 出厂号2026-017\t"), QStringLiteral(" zw32-12")}, {p1, t1, p2, t2, lost}},
      {{QStringLiteral("出厂号2026-017"), QString()}, {other, p1, t1, p2, t2, lost}},
      {{QStringLiteral("出厂号2026-017"), QStringLiteral("VS1-12")}, {other}},
      {{QStringLiteral("AB-7"), QString()}, {ascii}},
      {{QStringLiteral("出厂号2026"), QString()}, {}},
      {{QStringLiteral("   "), QString()}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Query.FactoryNumber.toStdString() + " / " + c.Query.Model.toStdString());
    const std::vector<SwitchHistoryItem> items = LocalSwitchHistory(h.f.Exe(), c.Query);
    QStringList got;
    for (const SwitchHistoryItem& i : items) got << Line(i);
    ASSERT_EQ(got.size(), c.Expected.size()) << got.join('\n').toStdString();
    for (int k = 0; k < got.size(); ++k) {
      const QString& want = c.Expected[k];
      if (want.endsWith(u'：'))
        EXPECT_TRUE(got[k].startsWith(want)) << got[k].toStdString();
      else
        EXPECT_EQ(got[k], want);
    }
  }
}

TEST(LocalSwitchHistory, ARigWithoutFilesHasNoHistoryAndMakesNone) {
  rigtest::TempDir empty;
  EXPECT_TRUE(LocalSwitchHistory(empty.Path(), {QStringLiteral("F1"), QString()}).empty());
  EXPECT_FALSE(QFile::exists(empty.File("SaveData.db")));
  EXPECT_FALSE(QFile::exists(empty.File("Programmes.db")));
}

}  // namespace
}  // namespace rig
