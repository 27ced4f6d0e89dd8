// An upload held up on the lab server: by a table another connection locks,
// by the schema lock of another rig, by a server too slow or frozen. The
// uploader gives up by itself after its lock and statement timeouts;
// stopping it or changing the settings returns within a bound whatever the
// server does; closing the window lets the serial ports go first; the
// outbox keeps the test and a later upload stores it once.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "lab/LabConnection.h"
#include "lab/LabHold.h"
#include "lab/LabOutbox.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabTestData.h"
#include "storage/Schema.h"
#include "support/QuietPorts.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "ui/Mainfrm.h"

using namespace rig;
using namespace rig::lab;
using namespace std::chrono_literals;
using rigtest::LabScalar;

namespace {

constexpr RetryPauses kQuickRetries{50ms, 400ms};
constexpr int kActions = 2000;

// A database with the tables made and one test waiting in `dir`'s outbox.
LabTestRecord Prepare(const LabSettings& s, const rigtest::TempDir& dir) {
  LabConnection schema(s);
  EnsureLabSchema(schema);
  const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
  LabTestRecord record =
      MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, rigtest::LabActions(kActions)}, "2026-03-14 09:30:00");
  LabOutbox(LabOutbox::PathIn(dir.Path())).Add(record);
  return record;
}

void ExpectStoredOnce(const LabSettings& s, const QString& testId) {
  EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_tests"), "1");
  EXPECT_EQ(LabScalar(s, QStringLiteral("SELECT count(DISTINCT seq) || '/' || count(*) FROM lab_actions WHERE "
                                        "test_id = '%1'").arg(testId)),
            QStringLiteral("%1/%1").arg(kActions));
}

// Whether this process has `device` open.
bool Holds(const QString& device) {
  for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System))
    if (fd.symLinkTarget() == device) return true;
  return false;
}

}  // namespace

TEST(LabBlockedUpload, StoppingOrReconfiguringReturnsInTimeWhateverTheServerDoes) {
  rigtest::LabServerProcess server;  // of its own: some cases stop its processes
  ASSERT_GT(server.Info().Port, 0);
  enum class Ending { ServiceDestroyed, SettingsChanged };
  const struct {
    const char* Case;
    bool Frozen;  // the server's main process and the uploader's backend stopped too
    Ending End;
  } cases[] = {
      {"table locked, service destroyed", false, Ending::ServiceDestroyed},
      {"table locked, settings changed", false, Ending::SettingsChanged},
      {"server frozen, service destroyed", true, Ending::ServiceDestroyed},
      {"server frozen, settings changed", true, Ending::SettingsChanged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const LabSettings s = rigtest::FreshLabDatabase(server.Info());
    rigtest::TempDir dir;
    SaveLabSettings(dir.Path(), s);
    const LabTestRecord record = Prepare(s, dir);
    rigtest::LabHold hold(s, "LOCK TABLE lab_tests IN ACCESS EXCLUSIVE MODE", 10s);
    auto service = std::make_unique<LabService>(dir.Path(), kQuickRetries);
    int backend = 0;
    ASSERT_TRUE(rigtest::WaitFor([&] { return (backend = rigtest::BackendWaitingForALock(s)) > 0; }, 20000));
    if (c.Frozen) hold.Freeze({rigtest::ServerProcess(server.Info().Dir), backend});

    QElapsedTimer took;
    took.start();
    if (c.End == Ending::ServiceDestroyed) {
      service.reset();
    } else {
      LabSettings renamed = s;
      renamed.RigName = QStringLiteral("二号台");
      service->Reconfigure(renamed);
    }
    const qint64 ms = took.elapsed();
    std::printf("%s: %lld ms\n", c.Case, static_cast<long long>(ms));
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(LabOutbox(LabOutbox::PathIn(dir.Path())).Count(), 1);
    if (!c.Frozen) {
      // Cancelled, not merely left: its backend no longer waits on the lock.
      const QString stillWaiting =
          QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1 AND wait_event_type = 'Lock'").arg(backend);
      EXPECT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, stillWaiting) == "0"; }, 2000));
    }

    hold.Release();
    if (!service) service = std::make_unique<LabService>(dir.Path(), kQuickRetries);
    ASSERT_TRUE(rigtest::WaitFor([&] { return service->Status().Now == LabStatus::State::Synced; }, 20000))
        << service->StatusLine().toStdString();
    EXPECT_EQ(LabOutbox(LabOutbox::PathIn(dir.Path())).Count(), 0);
    ExpectStoredOnce(s, record.TestId);
  }
}

TEST(LabBlockedUpload, AnUploadHeldUpOnTheServerGivesUpByItselfAndGoesUpOnceLater) {
  constexpr UploadLimits kShort{5, 300ms, 1500ms, 1000ms};
  const struct {
    const char* Case;
    QString Hold;  // held in another connection's open transaction
    QString Slow;  // or makes the server slow until undone by Undo
    QString Undo;
    QString Words;
  } cases[] = {
      {"summary table locked", "LOCK TABLE lab_tests IN ACCESS EXCLUSIVE MODE", {}, {}, "lock timeout"},
      {"action table locked", "LOCK TABLE lab_actions IN ACCESS EXCLUSIVE MODE", {}, {}, "lock timeout"},
      {"schema lock held by another rig", "SELECT pg_advisory_xact_lock(4417016)", {}, {}, "lock timeout"},
      {"server too slow",
       "SELECT 1",
       "CREATE TRIGGER slow BEFORE INSERT ON lab_tests FOR EACH ROW EXECUTE FUNCTION slow()",
       "DROP TRIGGER slow ON lab_tests",
       "statement timeout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
    rigtest::TempDir dir;
    const LabTestRecord record = Prepare(s, dir);
    if (!c.Slow.isEmpty()) {
      LabScalar(s, "CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS "
                   "$$ BEGIN PERFORM pg_sleep(20); RETURN NEW; END $$");
      LabScalar(s, c.Slow);
    }
    rigtest::LabHold hold(s, c.Hold, 15s);
    LabUploader uploader(s, LabOutbox::PathIn(dir.Path()), kQuickRetries, kShort);
    uploader.Start();

    ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Failing; }, 10000))
        << LabStatusText(uploader.Status()).toStdString();
    EXPECT_TRUE(uploader.Status().Problem.contains(c.Words)) << uploader.Status().Problem.toStdString();
    EXPECT_EQ(uploader.Status().Pending, 1);

    hold.Release();
    if (!c.Undo.isEmpty()) LabScalar(s, c.Undo);
    ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Synced; }, 20000))
        << LabStatusText(uploader.Status()).toStdString();
    ExpectStoredOnce(s, record.TestId);
  }
}

TEST(LabBlockedUpload, ClosingTheWindowLetsThePortsGoFirstAndEndsInTime) {
  rigtest::LabServerProcess server;  // of its own: one case stops its processes
  ASSERT_GT(server.Info().Port, 0);
  const struct {
    const char* Case;
    bool Frozen;
  } cases[] = {{"table locked", false}, {"table locked and server frozen", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const LabSettings s = rigtest::FreshLabDatabase(server.Info());
    rigtest::TempDir dir;
    rigtest::QuietPorts ports(dir.Path());
    EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    SaveLabSettings(dir.Path(), s);
    const LabTestRecord record = Prepare(s, dir);

    rigtest::LabHold hold(s, "LOCK TABLE lab_tests IN ACCESS EXCLUSIVE MODE", 10s);
    auto window = std::make_unique<TfrmHX4417>(dir.Path(), std::make_unique<rigtest::RecordingNotifier>());
    window->show();
    const auto portsOpen = [&] { return Holds(ports.Device(1)) || Holds(ports.Device(2)); };
    ASSERT_TRUE(rigtest::WaitFor(portsOpen, 5000));
    int backend = 0;
    ASSERT_TRUE(rigtest::WaitFor([&] { return (backend = rigtest::BackendWaitingForALock(s)) > 0; }, 20000));
    if (c.Frozen) hold.Freeze({rigtest::ServerProcess(server.Info().Dir), backend});

    const auto t0 = std::chrono::steady_clock::now();
    const auto since = [t0] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    };
    std::atomic<long long> portsFreeMs{-1};
    std::thread watch([&] {
      while (portsOpen() && since() < 15000) std::this_thread::sleep_for(1ms);
      portsFreeMs = since();
    });
    window->close();
    window.reset();
    const long long closeMs = since();
    watch.join();
    std::printf("%s: ports free after %lld ms, window gone after %lld ms\n", c.Case, portsFreeMs.load(), closeMs);
    EXPECT_LT(closeMs, 3000);
    // Frozen, the uploader ends only when cut off a second after its cancel:
    // the ports must not wait for that.
    if (c.Frozen) {
      EXPECT_GE(closeMs - portsFreeMs, 500) << "the ports were let go only after the uploader";
    }
    EXPECT_EQ(LabOutbox(LabOutbox::PathIn(dir.Path())).Count(), 1);

    hold.Release();
    LabService restarted(dir.Path(), kQuickRetries);
    ASSERT_TRUE(rigtest::WaitFor([&] { return restarted.Status().Now == LabStatus::State::Synced; }, 20000))
        << restarted.StatusLine().toStdString();
    ExpectStoredOnce(s, record.TestId);
  }
}
