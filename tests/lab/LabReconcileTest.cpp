// Tests the lab lacks (saved before the lab was set, or their outbox write
// lost) reach it exactly once, however many reconciles and uploaders run.
#include <gtest/gtest.h>

#include <QUuid>
#include <thread>

#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabReconcile.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabTestData.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::LabScalar;

namespace {

// Puts each saved test into the outbox, as the lab service does.
struct OutboxSink : ISavedTestSink {
  OutboxSink(LabOutbox& outbox, QString rigName) : Outbox(outbox), RigName(std::move(rigName)) {}
  void TestSaved(const QString&, const JustSavedTest& saved) noexcept override {
    Outbox.Add(MakeLabRecord(RigName, saved, QStringLiteral("2026-03-14 10:00:00+08:00")));
  }
  LabOutbox& Outbox;
  QString RigName;
};

}  // namespace

TEST(LabReconcile, EveryTestTheLabLacksArrivesOnceWithReconcilesAndUploadersRacing) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  // Saved before the lab was set: SaveData.db only.
  std::vector<int64_t> ids;
  for (int i = 0; i < 3; ++i) ids.push_back(rigtest::SaveLabSample(dir.Path(), 40 + i).AutoId);
  SaveLabSettings(dir.Path(), s);
  LabOutbox outbox(LabOutbox::PathIn(dir.Path()));
  // Then two saved into the outbox as the program saves them; one of the
  // entries is lost before it is sent.
  {
    OutboxSink toOutbox(outbox, s.RigName);
    rigtest::SinkScope sink(&toOutbox);
    for (int i = 0; i < 2; ++i) ids.push_back(rigtest::SaveLabSample(dir.Path(), 50 + i).AutoId);
  }
  const auto lost = outbox.Oldest();
  ASSERT_TRUE(lost);
  outbox.Remove(lost->TestId);
  // The other one twice, under a second id, as a reconcile racing its save
  // leaves it.
  LabTestRecord twice = *outbox.Oldest();
  twice.TestId = QUuid::createUuid().toString(QUuid::WithoutBraces);
  outbox.Add(twice);
  ASSERT_EQ(outbox.Count(), 2);

  // Two programs on the same folder (each reconciles at start-up and sends),
  // a reconcile asked of each, and two more from here meanwhile.
  constexpr RetryPauses quick{std::chrono::milliseconds(50), std::chrono::milliseconds(300)};
  LabService first(dir.Path(), quick);
  LabService second(dir.Path(), quick);
  first.ReconcileNow();
  second.ReconcileNow();
  std::thread extra([&] {
    for (int round = 0; round < 2; ++round) {
      LabConnection c(s);
      EnsureLabSchema(c);
      LabOutbox mine(LabOutbox::PathIn(dir.Path()));
      ReconcileSavedTests(c, dir.Path(), s.RigName, mine);
    }
  });
  extra.join();
  second.ReconcileNow();
  ASSERT_TRUE(rigtest::WaitFor(
      [&] {
        return first.Status().Now == LabStatus::State::Synced && second.Status().Now == LabStatus::State::Synced &&
               outbox.Count() == 0;
      },
      30000))
      << first.StatusLine().toStdString();

  // None refused as a double either: the key made the second copy a no-op.
  EXPECT_EQ(first.Status().Aside + second.Status().Aside, 0);
  QStringList expected;
  for (int64_t id : ids) expected << QString::number(id);
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(local_id::text, ',' ORDER BY local_id) FROM lab_tests"), expected.join(','));
  // Each with its own actions, once: 40, 41, 42 saved before, 50 and 51 after.
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(action_count::text || '/' || (SELECT count(*) FROM lab_actions a WHERE "
                         "a.test_id = t.test_id), ',' ORDER BY local_id) FROM lab_tests t"),
            QStringLiteral("40/40,41/41,42/42,50/50,51/51"));
  EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_tests WHERE open_type = 'ZW32-12真空断路器' AND work_name = '张三'"), "5");

  // Once all is there, another reconcile finds nothing.
  LabConnection c(s);
  EXPECT_EQ(ReconcileSavedTests(c, dir.Path(), s.RigName, outbox).Queued, 0);
  EXPECT_EQ(outbox.Count(), 0);
}
