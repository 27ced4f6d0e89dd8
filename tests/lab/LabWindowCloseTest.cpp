// Closing the program while its lab upload waits on a locked table, or on a
// server that has stopped answering: the serial ports are let go first, the
// window is gone within the bound, and the test waits in the outbox for the
// next start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <cstdio>
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

// Whether this process has `device` open.
bool Holds(const QString& device) {
  for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System))
    if (fd.symLinkTarget() == device) return true;
  return false;
}

}  // namespace

TEST(LabWindowClose, ClosingDuringABlockedUploadLetsThePortsGoFirstAndEndsInTime) {
  rigtest::LabServerProcess server;  // of its own: one case stops its processes
  ASSERT_GT(server.Info().Port, 0);
  const struct {
    const char* Case;
    bool Frozen;
  } cases[] = {{"table locked", false}, {"table locked and server frozen", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const LabSettings s = rigtest::FreshLabDatabase(server.Info());
    {
      LabConnection schema(s);
      EnsureLabSchema(schema);
    }
    rigtest::TempDir dir;
    rigtest::QuietPorts ports(dir.Path());
    EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    SaveLabSettings(dir.Path(), s);
    const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
    const LabTestRecord record =
        MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, rigtest::LabActions(100)}, "2026-03-14 09:30:00");
    LabOutbox(LabOutbox::PathIn(dir.Path())).Add(record);

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
    LabService restarted(dir.Path(), {50ms, 400ms});
    ASSERT_TRUE(rigtest::WaitFor([&] { return restarted.Status().Now == LabStatus::State::Synced; }, 20000))
        << restarted.StatusLine().toStdString();
    EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_tests"), "1");
    EXPECT_EQ(LabScalar(s, QStringLiteral("SELECT count(*) FROM lab_actions WHERE test_id = '%1'").arg(record.TestId)),
              "100");
  }
}
