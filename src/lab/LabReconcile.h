#pragma once
// Mending what the outbox missed: tests saved before the lab database was
// set, or whose outbox write was lost (the program killed between the local
// save and the outbox), are found by their test number and sent.
#include <QString>
#include <functional>

namespace rig::lab {

class LabConnection;
class LabOutbox;

struct ReconcileOutcome {
  int Queued = 0;      // tests put into the outbox
  int Unreadable = 0;  // tests the lab lacks that could not be read here
};

// Every test of exeDir's SaveData.db that the lab database lacks under
// `rigName` (compared on AutoID, the lab's local_id) and the outbox does not
// hold goes into the outbox, made as the save would have made it. A test
// that is both sent by this and by its save is stored once: the lab's key on
// (rig_name, local_id). `log` is told of a test that cannot be read. Throws
// LabError, ESQLiteException.
ReconcileOutcome ReconcileSavedTests(LabConnection& connection, const QString& exeDir, const QString& rigName,
                                     LabOutbox& outbox, const std::function<void(const QString&)>& log = {});

// The same for programmes (stored before the lab was set, an ended one never
// changing again): each of exeDir's Programmes.db that the lab lacks under
// `rigName`, or holds at an older revision, is queued as it is now. Returns
// how many were queued. Throws LabError, ESQLiteException.
int ReconcileProgrammes(LabConnection& connection, const QString& exeDir, const QString& rigName);

}  // namespace rig::lab
