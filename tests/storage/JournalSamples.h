#pragma once
// A sample run and its actions for the journal tests, and a child process to
// run a journal in when the test needs to kill it or limit its file size.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <functional>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"
#include "support/QtPrinters.h"

namespace rigtest {

inline const QDateTime kJournalStart(QDate(2026, 12, 7), QTime(9, 0, 0));

inline rig::TestSummary SampleRun(int station = 1) {
  rig::TestSummary run;
  run.Station = station;
  run.OpenType = QStringLiteral("ZW32-12/630 “真空”");
  run.OutIndex = QStringLiteral("F07'x");  // a quote, as an operator may type it
  run.WorkArea = QStringLiteral("一号台 %1");
  run.WorkName = QStringLiteral("张三");
  run.StartTime = kJournalStart;
  run.Mode = 17;
  for (int n = 1; n <= 20; ++n) run.ParamTexts[n - 1] = QString::number(100 + n);
  run.CountDone = 0;
  run.IgnoreRefusals = false;
  return run;
}

// Action i (from 1): every break pattern and both marks turn up.
inline rig::ActionRecord SampleAction(int i) {
  rig::ActionRecord a;
  a.Count = i;
  a.ActionNo = i;
  for (int b = 0; b < rig::kBreakCount; ++b) a.Closed[b] = (i >> b) & 1;
  if (i % 5 == 0) a.Marks[rig::kBreakA1] = QStringLiteral("拒合");
  if (i % 7 == 0) a.Marks[rig::kBreakC1] = QStringLiteral("拒分");
  return a;
}

inline QDateTime SampleTime(int i) { return kJournalStart.addMSecs(qint64{i} * 1234); }

inline void ExpectSameAction(const rig::ActionRecord& got, const rig::ActionRecord& want) {
  EXPECT_EQ(got.Count, want.Count);
  EXPECT_EQ(got.ActionNo, want.ActionNo) << "count " << want.Count;
  for (int b = 0; b < rig::kBreakCount; ++b) {
    EXPECT_EQ(got.Closed[b] != 0, want.Closed[b] != 0) << "count " << want.Count << " break " << b;
    EXPECT_EQ(got.Marks[b], want.Marks[b]) << "count " << want.Count << " break " << b;
  }
}

// How a child process ended.
struct ChildEnd {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
};

// Runs `body` in a forked child and waits for it. The child ends with the
// body's result as exit code, or by whatever signal it raises.
inline ChildEnd RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  ChildEnd end;
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return end;
  end.exited = WIFEXITED(status);
  if (end.exited) end.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  return end;
}

}  // namespace rigtest
