#pragma once
// The bytes of a recovery journal: one run's summary, then one record per
// action, each record self-checking so a torn or damaged end is recognised
// and left out, never misread.
//
// Layout, integers little-endian:
//   file header  "RIGJRNL1", run id (u64), CRC-32 of those 16 bytes (u32)
//   record       body length (u32), CRC-32 (u32), body
//   body         type (u8) and its fields; record 0 is the run summary,
//                every later record an action or a saved-as record
// A saved-as record names the test the records before it are being saved as
// (the DetailSaveDBName its summary row will hold); it is synced before that
// row is committed, so a journal a kill left after the commit is known to be
// saved. An action after it means that save did not take everything.
// A record's CRC covers the run id, the record's position, its length and its
// body: a record left in reused disk blocks by an earlier run, or one out of
// place, does not check out. Texts are GBK, as the databases hold them.
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QIODevice>
#include <cstdint>
#include <functional>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace rig {

constexpr int kJournalHeaderBytes = 20;
constexpr int kJournalRecordHeadBytes = 8;
// Far above any real record: a larger length can only be damage.
constexpr uint32_t kJournalMaxBodyBytes = 1u << 20;

uint32_t Crc32(const char* data, qsizetype size, uint32_t crc = 0);

// Builds the journal's bytes for one file; positions count from the summary.
class JournalEncoder {
 public:
  explicit JournalEncoder(uint64_t runId = 0) : runId_(runId) {}
  // Continues a file that already holds `records` whole records.
  JournalEncoder(uint64_t runId, uint32_t records) : runId_(runId), next_(records) {}

  QByteArray FileHeader() const;
  // Appends record 0: what is saved of the run besides its actions. The
  // summary's EndTime is not kept: recovery takes the last action's time.
  void AppendSummary(QByteArray& out, const TestSummary& run);
  void AppendAction(QByteArray& out, const ActionRecord& action, const QDateTime& when);
  // The run up to here is being saved as the test whose summary row names
  // `detailKey`.
  void AppendSavedAs(QByteArray& out, const QByteArray& detailKey);

 private:
  void Seal(QByteArray& out, qsizetype recordStart);
  const QByteArray& MarkBytes(const QString& mark);

  uint64_t runId_;
  uint32_t next_ = 0;
  QHash<QString, QByteArray> marks_;  // "拒合" and "拒分" are encoded once
};

// What a journal holds, read up to its last whole record.
struct JournalScan {
  bool HasRun = false;       // header and run summary are whole
  TestSummary Run;           // as begun (EndTime left invalid)
  int64_t ActionCount = 0;
  ActionRecord LastAction;   // valid when ActionCount > 0
  QDateTime LastActionTime;  // invalid when there is no action
  QByteArray SavedAs;        // the last saved-as record's key, when no action follows it
  uint64_t RunId = 0;
  uint32_t Records = 0;      // whole records, the summary included
  int64_t GoodBytes = 0;     // bytes of the whole records read
  int64_t TotalBytes = 0;    // more than GoodBytes: a torn or damaged end was left out
};

using JournalActionSink = std::function<void(ActionRecord&&, const QDateTime&)>;

// Reads a journal from `in`, handing each action in order to `onAction` (may
// be empty). Stops at the first record that is incomplete or fails its check.
JournalScan ScanJournal(QIODevice& in, const JournalActionSink& onAction = {});
JournalScan ScanJournal(const QByteArray& bytes, const JournalActionSink& onAction = {});

}  // namespace rig
