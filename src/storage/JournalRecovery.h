#pragma once
// At start-up: the journals a crash, a power cut or a closed program left
// behind, and what the operator may do with each (recover it as a saved
// test, or discard it).
#include <QDateTime>
#include <QString>
#include <vector>

#include "storage/RecordStore.h"
#include "storage/TestSummary.h"

namespace rig {

struct LeftoverJournal {
  QString Path;
  int Station = 0;         // from the file name
  bool Readable = false;   // false: torn before its run summary; nothing to save
  // The test as recovery would save it: EndTime is the last action's time
  // (the start time when there is none), CountDone the last action's count.
  TestSummary Run;
  int64_t ActionCount = 0;
  QDateTime LastActionTime;  // invalid when there is no action
  bool TornEnd = false;      // an incomplete last record was left out
  // The DetailSaveDBName the test was being saved as when the journal ended;
  // empty when no save of it had begun.
  QByteArray SavedAs;
};

// The station journals under `exeDir` (ending with a separator), station 1
// first. Other files in the journal folder are not looked at.
//
// A journal whose test SaveData.db already holds (the program was killed
// between a save's commit and the journal's removal) is removed here, with a
// line in the run log, and not returned: it must never be stored twice.
std::vector<LeftoverJournal> FindLeftoverJournals(const QString& exeDir);

// Saves the journal's test exactly as the save button would (WriteTestRecord,
// `now` naming the day folder), then removes the journal. A failed save keeps
// it, to be offered again. Like a station's save, it names the new test in
// the journal before committing it; a journal whose test is saved already is
// only removed (Ok, with that test's AutoID). A journal that no longer holds
// what `journal` describes (what the operator was asked about) is not saved.
SaveOutcome RecoverJournal(const QString& exeDir, const LeftoverJournal& journal,
                           const QDateTime& now = QDateTime::currentDateTime());

// Removes the journal; false when it could not be removed.
bool DiscardJournal(const LeftoverJournal& journal);

// The operator's question for the "提示" box (OK recovers, Cancel discards).
QString RecoveryQuestion(const LeftoverJournal& journal);

}  // namespace rig
