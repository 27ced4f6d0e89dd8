#include "lab/LabHold.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <memory>

#include "lab/LabConnection.h"
#include "lab/LabServer.h"

namespace rigtest {

LabHold::LabHold(const rig::lab::LabSettings& settings, const QString& sql, std::chrono::milliseconds longest) {
  std::shared_ptr<rig::lab::LabConnection> c;
  try {
    c = std::make_shared<rig::lab::LabConnection>(settings);
    c->Exec("BEGIN");
    c->Exec(sql.toUtf8().constData());
  } catch (const rig::lab::LabError& e) {
    ADD_FAILURE() << sql.toStdString() << ": " << e.what();
    return;
  }
  // From here on the connection is the watcher's alone.
  watch_ = std::thread([this, c, longest] {
    std::unique_lock lock(mutex_);
    released_.wait_for(lock, longest, [this] { return release_; });
    for (pid_t pid : frozen_) ::kill(pid, SIGCONT);
    frozen_.clear();
    lock.unlock();
    try {
      c->Exec("ROLLBACK");
    } catch (const rig::lab::LabError&) {
    }
  });
}

void LabHold::Freeze(const std::vector<pid_t>& pids) {
  std::lock_guard lock(mutex_);
  for (pid_t pid : pids) {
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    frozen_.push_back(pid);
  }
}

void LabHold::Release() {
  {
    std::lock_guard lock(mutex_);
    release_ = true;
  }
  released_.notify_all();
  if (watch_.joinable()) watch_.join();
}

int BackendWaitingForALock(const rig::lab::LabSettings& settings) {
  return LabScalar(settings, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                                            "AND wait_event_type = 'Lock' LIMIT 1"))
      .toInt();
}

pid_t ServerProcess(const QString& serverDir) {
  QFile f(serverDir + QStringLiteral("/data/postmaster.pid"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  return f.readLine().trimmed().toInt();
}

}  // namespace rigtest
