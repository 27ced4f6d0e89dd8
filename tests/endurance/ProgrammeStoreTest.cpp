// Programmes.db keeps a programme whole: every field read back as written,
// and a kill in the middle of a change leaves the change before it or the
// change itself, never a mixture.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "storage/SQLite3.h"
#include "support/TempDir.h"

#include <QFile>
#include <QUuid>

namespace rig {
namespace {

Programme Sample() {
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), 20);
  p.Station = 2;
  p.Identity = {QStringLiteral("ZW32-12"), QStringLiteral("出厂号 2026-017"), QStringLiteral("三号台"), QStringLiteral("张三"),
                QStringLiteral("某开关厂"), QStringLiteral("某供电局"), QStringLiteral("润滑按说明书\n第二行")};
  p.CreatedAt = QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0, 250));
  p.Blocks[1].VoltageNote = QStringLiteral("DC 220 V 85%");
  p.Blocks[1].VoltageConfirmedBy = QStringLiteral("王工");
  p.Blocks[1].VoltageConfirmedAt = QDateTime(QDate(2026, 12, 2), QTime(9, 1, 2));
  p.Blocks[2].Delays = {{16, 200}, {17, 250}, {18, 3}, {19, 4}};
  OpenRun(p, QDateTime(QDate(2026, 12, 1), QTime(8, 1)), 0);
  AdvanceRun(p, 2000);
  CloseRun(p);
  p.Inspections.push_back({1, QStringLiteral("脱扣弹簧、连杆"), InspectionWork::Other, QStringLiteral("紧固螺栓"),
                           QStringLiteral("李工"), QDateTime(QDate(2026, 12, 2), QTime(9, 0)),
                           {{QStringLiteral("合闸时间"), QStringLiteral("ms"), 41.5, 30, 50, 2}}});
  OpenRun(p, QDateTime(QDate(2026, 12, 2), QTime(9, 5)), 7);
  AdvanceRun(p, 1234);
  p.Failure = ProgrammeFailure{3227, 2, 2455, kBreakC1, Deviation::RefusedOpen, false, QDateTime(QDate(2026, 12, 2), QTime(11, 0))};
  return p;
}

TEST(ProgrammeStore, EveryFieldReadsBackAsWrittenAndOnlyUnendedOnesAreOffered) {
  rigtest::TempDir dir;
  TProgrammeStore store(dir.Path());
  EXPECT_TRUE(store.Unfinished().empty());  // no file yet: nothing, and no file made
  EXPECT_FALSE(QFile::exists(ProgrammesPath(dir.Path())));
  Programme p = Sample();
  store.Save(p);
  ASSERT_GT(p.Id, 0);
  const std::optional<Programme> q = store.Load(p.Id);
  ASSERT_TRUE(q);
  // Everything the rules read comes back: the verdict, the step and the counts say so at once.
  EXPECT_EQ(VerdictText(VerdictOf(*q)), VerdictText(VerdictOf(p)));
  EXPECT_EQ(NextStep(*q).Kind, StepKind::Running);
  EXPECT_EQ(CumulativeCount(*q), 2000 + 1227);
  EXPECT_EQ(q->Failure->Kind, Deviation::RefusedOpen);
  EXPECT_FALSE(q->Failure->Marked);
  EXPECT_EQ(q->Identity.Remarks, p.Identity.Remarks);
  EXPECT_EQ(q->CreatedAt, p.CreatedAt);
  EXPECT_EQ(q->Blocks[1].VoltageConfirmedAt, p.Blocks[1].VoltageConfirmedAt);
  EXPECT_EQ(q->Blocks[2].Delays, p.Blocks[2].Delays);
  ASSERT_EQ(q->Inspections.size(), 1u);
  EXPECT_EQ(q->Inspections[0].WorkText, QStringLiteral("紧固螺栓"));
  EXPECT_EQ(q->Inspections[0].Measurements[0].Value, 41.5);

  Programme other = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"));
  store.Save(other);
  EXPECT_EQ(store.Unfinished().size(), 2u);
  p.EndedAt = QDateTime(QDate(2026, 12, 3), QTime(10, 0));
  store.Save(p);  // a second save of the same programme replaces it
  const std::vector<Programme> open = store.Unfinished();
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].Id, other.Id);
  EXPECT_EQ(store.Load(p.Id)->Runs.size(), 2u);
}

// A file from before the lab's key is read as ever and gets the key at its
// next store; key and revision come from the file, so a stale copy stored
// again neither makes a second key nor reuses a revision.
TEST(ProgrammeStore, EachStoreCountsARevisionUnderAKeyMadeOnce) {
  rigtest::TempDir dir;
  TProgrammeStore store(dir.Path());
  Programme p = Sample();
  store.Save(p);
  TSQLiteDatabase(ProgrammesPath(dir.Path()).toUtf8()).RunSQL("ALTER TABLE Programme DROP COLUMN LabId");
  Programme q = *store.Load(p.Id);
  const Programme stale = q;
  EXPECT_EQ(q.LabId, QString());
  store.Save(q);
  store.Save(q);
  Programme again = stale;
  store.Save(again);
  Programme fresh = Sample();
  store.Save(fresh);
  EXPECT_FALSE(QUuid::fromString(q.LabId).isNull());
  EXPECT_EQ(again.LabId + " " + QString::number(again.Revision), q.LabId + " 4");
  EXPECT_EQ(store.Load(p.Id)->LabId, q.LabId);
  EXPECT_NE(fresh.LabId, q.LabId);
}

// A child stores generation after generation of one programme (every run's
// count, the remarks and the inspections all say the generation) and says
// which have returned; it is killed at some moment. What is read back is one
// whole generation, at least the last one that returned.
TEST(ProgrammeStore, AKillInTheMiddleOfAChangeLeavesOneWholeGeneration) {
  for (int round = 0; round < 3; ++round) {
    rigtest::TempDir dir;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      TProgrammeStore store(dir.Path());
      Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"));
      for (int32_t g = 1;; ++g) {
        p.Identity.Remarks = QString::number(g);
        p.Runs.clear();
        p.Inspections.clear();
        for (int r = 1; r <= 1 + g % 7; ++r) p.Runs.push_back({0, 1, {}, 0, g, false});
        for (int b = 1; b <= g % 4; ++b) p.Inspections.push_back({b, QString::number(g), {}, {}, QStringLiteral("x"), {}, {}});
        try {
          store.Save(p);
        } catch (...) {
          ::_exit(3);
        }
        if (::write(pipeFds[1], &g, sizeof g) != sizeof g) ::_exit(4);
      }
    }
    ::close(pipeFds[1]);
    int32_t acknowledged = 0, g = 0;
    while (acknowledged < 20 + 15 * round && ::read(pipeFds[0], &g, sizeof g) == sizeof g) acknowledged = g;
    ::usleep(1000 * round);  // somewhere inside a later change
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    while (::read(pipeFds[0], &g, sizeof g) == sizeof g) acknowledged = g;
    ::close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << WEXITSTATUS(status);

    const std::vector<Programme> found = TProgrammeStore(dir.Path()).Unfinished();
    ASSERT_EQ(found.size(), 1u);
    const Programme& p = found[0];
    const int32_t gen = p.Identity.Remarks.toInt();
    EXPECT_GE(gen, acknowledged) << "round " << round;
    EXPECT_EQ(static_cast<int>(p.Runs.size()), 1 + gen % 7);
    for (const BlockRun& r : p.Runs) EXPECT_EQ(r.LastCount, gen);
    EXPECT_EQ(static_cast<int>(p.Inspections.size()), gen % 4);
    for (const Inspection& i : p.Inspections) EXPECT_EQ(i.Checked.toInt(), gen);
    EXPECT_EQ(p.Blocks.size(), 5u);
  }
}

}  // namespace
}  // namespace rig
