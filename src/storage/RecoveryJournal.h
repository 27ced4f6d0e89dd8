#pragma once
// A station's recovery journal: the run and every queued action, appended to
// ExeDir + "Journal/Station<n>.journal" as they happen, so a test survives a
// crash, a killed program or a power cut until it is saved.
//
// The window thread only hands records over (a lock and a push, no disk);
// a writer thread writes each group of records as it comes and a sync thread
// forces it to the disk (fdatasync) while the next group is written. What the
// writer has written survives the program being killed; what was synced
// survives a power cut.
//
// Journal trouble (folder missing or not writable, disk full, disk too slow)
// never stops a test: the journal keeps a whole, readable beginning of the
// run, and the trouble is reported once through the trouble handler and
// Status(). A disk that fills up is retried; what could not be written yet is
// kept, within a bound, and written when space returns.
#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace rig {

struct JournalOptions {
  bool Durable = true;  // fdatasync every group of records
  // Bounds on memory when the disk stalls or is full: beyond them the journal
  // stops growing for this run (it keeps the beginning already written).
  size_t MaxQueuedRecords = 65536;
  size_t MaxUnwrittenBytes = 4u << 20;
  std::chrono::milliseconds RetryInterval{1000};  // after a failed write
};

struct JournalStatus {
  bool Trouble = false;   // something went wrong since BeginRun
  QString LastTrouble;    // the last trouble text
  uint64_t Queued = 0;    // records and commands handed over so far
  uint64_t Written = 0;   // of those, written to the file (survive a kill)
  uint64_t Settled = 0;   // of those, synced to the disk or given up
};

// ExeDir + "Journal/Station<n>.journal".
QString JournalFolder(const QString& exeDir);
QString JournalPath(const QString& exeDir, int station);

class RecoveryJournal {
 public:
  // Called on a journal thread with a text for the run log and the operator;
  // each kind of trouble once per run. Hand it to the window thread.
  using TroubleHandler = std::function<void(const QString& text)>;

  RecoveryJournal(const QString& exeDir, int station, JournalOptions options = {});
  // Writes what was handed over, then stops. The file stays: an unsaved test
  // is offered for recovery at the next start.
  ~RecoveryJournal();
  RecoveryJournal(const RecoveryJournal&) = delete;
  RecoveryJournal& operator=(const RecoveryJournal&) = delete;

  // Set before the first BeginRun.
  void SetTroubleHandler(TroubleHandler handler);

  // A new test starts: replaces the station's journal with one holding `run`
  // (identity, start time, mode, the 20 parameter texts, refusal option).
  void BeginRun(const TestSummary& run);
  // One queued action, with the time it arrived.
  void Append(const ActionRecord& action, const QDateTime& when);
  // The run handed over so far is about to be saved as the test whose
  // summary row names `detailKey` (see RecordStore's BeforeSummaryRow): a
  // record saying so is written and synced before this returns (or
  // `timeoutMs` passes), so a kill after the row's commit and before Clear
  // leaves a journal that recovery knows is saved.
  void MarkSaving(const QByteArray& detailKey, int timeoutMs = 1000);
  // The test was saved: removes the journal. Actions appended afterwards (a
  // save in the middle of a run) start a new journal of the same run.
  void Clear();

  // Waits until everything handed over before the call is synced (or written,
  // without durability) or given up. False on timeout.
  bool Flush(int timeoutMs);

  JournalStatus Status() const;
  QString FilePath() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace rig
