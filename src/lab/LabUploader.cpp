#include "lab/LabUploader.h"

#include <algorithm>
#include <memory>

#include "core/DateTimeText.h"
#include "core/RunLog.h"
#include "lab/EventOutbox.h"
#include "lab/LabConnection.h"
#include "lab/LabEventUpload.h"
#include "lab/LabOutbox.h"
#include "lab/LabProgrammeUpload.h"
#include "lab/LabSchema.h"
#include "lab/ProgrammeOutbox.h"
#include "storage/SQLiteException.h"

namespace rig::lab {

QString WaitedText(qint64 seconds) {
  if (seconds < 3600) return QStringLiteral("%1 分钟").arg(std::max<qint64>(1, seconds / 60));  // at least a minute
  if (seconds < 2 * 86400) return QStringLiteral("%1 小时").arg(seconds / 3600);
  return QStringLiteral("%1 天").arg(seconds / 86400);
}

QString LabStatusText(const LabStatus& s, const QDateTime& now) {
  const QString head = QStringLiteral("实验室数据库：");
  QString pending = QStringLiteral("待上传 %1 个测试").arg(s.Pending);
  // Said once a test has waited a minute: a test just saved is not news.
  if (s.Pending > 0 && s.OldestSaved.isValid() && s.OldestSaved.secsTo(now) >= 60)
    pending += QStringLiteral("，最早的已等待 %1").arg(WaitedText(s.OldestSaved.secsTo(now)));
  const QString waiting = s.Pending > 0 ? QStringLiteral("（%1）").arg(pending) : QString();
  QString aside =
      s.Aside > 0 ? QStringLiteral("；%1 个测试被服务器拒收，已搁置：%2").arg(s.Aside).arg(s.LastAside) : QString();
  if (s.ProgrammesAside > 0)
    aside += QStringLiteral("；%1 个试验方案被服务器拒收，已搁置：%2").arg(s.ProgrammesAside).arg(s.LastProgrammeAside);
  switch (s.Now) {
    case LabStatus::State::Off: return QString();
    case LabStatus::State::Connecting: return head + QStringLiteral("正在连接……");
    case LabStatus::State::Synced: return head + QStringLiteral("已同步") + aside;
    case LabStatus::State::Pending: return head + pending + aside;
    case LabStatus::State::Unreachable: return head + QStringLiteral("无法连接：") + s.Problem + waiting + aside;
    case LabStatus::State::Failing: return head + QStringLiteral("上传失败：") + s.Problem + waiting + aside;
  }
  return QString();
}

std::chrono::milliseconds RetryPauses::After(int failures) const {
  std::chrono::milliseconds pause = First;
  for (int i = 1; i < failures && pause < Longest; ++i) pause *= 2;
  return std::min(pause, Longest);
}

LabUploader::LabUploader(LabSettings settings, QString outboxPath, RetryPauses pauses, UploadLimits limits)
    : settings_(std::move(settings)), outboxPath_(std::move(outboxPath)), pauses_(pauses), limits_(limits) {}

LabUploader::~LabUploader() { Stop(); }

void LabUploader::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.Started()) return;
  stopping_ = false;
  status_.Now = LabStatus::State::Connecting;  // nothing is known of the server yet
  thread_.Start([this] { Run(); });
}

void LabUploader::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.Join(limits_.StopGrace);  // the window may be the one waiting here
}

void LabUploader::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
    // Shown at once, not when the thread next counts the outbox.
    ++status_.Pending;
    if (status_.Now == LabStatus::State::Synced) status_.Now = LabStatus::State::Pending;
  }
  wake_.notify_all();
}

void LabUploader::RequestReconcile() {
  {
    std::lock_guard lock(mutex_);
    ++reconcilesAsked_;
    woken_ = true;
  }
  wake_.notify_all();
}

void LabUploader::WakeForEvents() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

LabStatus LabUploader::Status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void LabUploader::Publish(LabStatus::State state, int pending, const QString& problem) {
  std::lock_guard lock(mutex_);
  status_.Now = state;
  // A test added since `pending` was counted (Wake) is not taken back: the
  // thread counts again at once.
  status_.Pending = woken_ ? std::max(pending, status_.Pending) : pending;
  status_.Problem = problem;
}

void LabUploader::PublishOutbox(const LabOutbox& outbox, const ProgrammeOutbox& programmes) {
  const std::optional<LabTestRecord> oldest = outbox.Oldest();
  // The reasons are read back from the outbox, so that those set aside
  // before a restart are explained too.
  const int aside = outbox.AsideCount();
  const QString why = aside > 0 ? outbox.NewestAsideReason() : QString();
  const int programmesAside = programmes.AsideCount();
  const QString programmeWhy = programmesAside > 0 ? programmes.NewestAsideReason() : QString();
  std::lock_guard lock(mutex_);
  status_.OldestSaved = oldest ? ParseLabTime(oldest->SavedAt) : QDateTime();
  status_.Aside = aside;
  status_.LastAside = why;
  status_.ProgrammesAside = programmesAside;
  status_.LastProgrammeAside = programmeWhy;
}

bool LabUploader::SetAside(LabOutbox& outbox, const LabTestRecord& refused, const LabError& refusal) {
  try {
    outbox.SetAside(refused.TestId, refusal.Words());
    WriteLog(QStringLiteral("实验室数据库拒收测试（%1，出厂编号 %2，保存于 %3），已搁置在待上传文件中：%4")
                 .arg(refused.RigName, refused.OutIndex, DateTimeText(ParseLabTime(refused.SavedAt).toLocalTime()),
                      refusal.Words()));
    return true;
  } catch (const ESQLiteException&) {
    return false;
  }
}

void LabUploader::Pause(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, pause, [this] { return stopping_ || woken_; });
  woken_ = false;
}

void LabUploader::Run() {
  LabOutbox outbox(outboxPath_);
  EventOutbox events(outboxPath_);
  ProgrammeOutbox programmes(outboxPath_);
  std::unique_ptr<LabConnection> connection;
  int failures = 0;
  QString lastProblem;
  auto stopping = [this] {
    std::lock_guard lock(mutex_);
    return stopping_;
  };
  // The server was lost (not merely a test refused): its return is logged.
  bool lostServer = false;
  while (!stopping()) {
    int pending = 0;
    try {
      pending = outbox.Count();
      PublishOutbox(outbox, programmes);
      // Connected first, even with nothing to send: the status line says
      // what the server does from start-up on, and a lost server's return
      // is noticed (and logged) whether or not a test waits.
      if (!connection) {
        connection = std::make_unique<LabConnection>(settings_, limits_.ConnectSeconds, stopping, &thread_.Interrupt());
        connection->Exec(QStringLiteral("SET statement_timeout = %1; SET lock_timeout = %2")
                             .arg(limits_.Statement.count())
                             .arg(limits_.Lock.count())
                             .toLatin1()
                             .constData());
        EnsureLabSchema(*connection);
        CheckRigName(*connection, settings_.RigName);
        if (lostServer) {
          WriteLog(QStringLiteral("实验室数据库已恢复连接。"));
          lastProblem.clear();  // the same trouble again is news
        }
        lostServer = false;
      }
      if (reconcile_) {
        int asked = 0, done = 0;
        {
          std::lock_guard lock(mutex_);
          asked = reconcilesAsked_;
          done = reconcilesDone_;
        }
        if (asked > done) {
          reconcile_(*connection, outbox, done >= 0);
          std::lock_guard lock(mutex_);
          reconcilesDone_ = asked;  // an ask that came meanwhile is run next time round
        }
        pending = outbox.Count();
        PublishOutbox(outbox, programmes);
      }
      if (pending == 0) {
        // The tests are up: the programmes (whose runs are those tests) and
        // the events go after them.
        SendWaitingProgrammes(*connection, programmes);
        SendWaitingEvents(*connection, events);
        PublishOutbox(outbox, programmes);  // a programme may have been set aside
        failures = 0;
        {
          std::lock_guard lock(mutex_);
          if (!woken_) {  // else: added meanwhile
            status_.Now = LabStatus::State::Synced;
            status_.Pending = 0;
            status_.Problem.clear();
          }
        }
        Pause(std::chrono::seconds(30));
        continue;
      }
      if (failures == 0) Publish(LabStatus::State::Pending, pending, QString());
      const std::optional<LabTestRecord> next = outbox.Oldest();
      if (!next) continue;
      try {
        UploadTest(*connection, *next, hook_);
      } catch (const LabError& e) {
        // This test's data refused on a working connection: kept aside, the
        // others go on at once.
        if (connection->Alive() && e.RefusesTheTest() && SetAside(outbox, *next, e)) continue;
        throw;
      }
      outbox.Remove(next->TestId);  // committed on the server: now it may go
      {
        std::lock_guard lock(mutex_);
        ++status_.Uploaded;
      }
      failures = 0;
      lastProblem.clear();
    } catch (const LabError& e) {
      const bool lost = !connection || !connection->Alive();
      connection.reset();
      if (stopping()) {
        // Cancelled or cut off by Stop(): the server rolls back, the outbox keeps the test.
        WriteLog(QStringLiteral("实验室数据库：上传已中断，测试留在待上传文件中，下次连接时再上传。"));
        break;
      }
      ++failures;
      lostServer = lostServer || lost;
      Publish(lost ? LabStatus::State::Unreachable : LabStatus::State::Failing, pending, e.Words());
      // One line per new problem, not one per retry; the password never
      // reaches the message.
      if (e.Words() != lastProblem) WriteLog(QStringLiteral("实验室数据库：") + e.Words());
      lastProblem = e.Words();
      Pause(pauses_.After(failures));
    } catch (const ESQLiteException& e) {
      ++failures;
      Publish(LabStatus::State::Failing, pending, QStringLiteral("待上传文件无法读取：") + e.Message());
      Pause(pauses_.After(failures));
    }
  }
}

}  // namespace rig::lab
