#pragma once
// Sending programme snapshots to lab_programmes, with their blocks and
// inspections, each in one transaction keyed by the programme's uuid.
#include "lab/ProgrammeSnapshot.h"

namespace rig::lab {

class LabConnection;
class ProgrammeOutbox;

// Stores the snapshot in place of an older version of its programme, its
// blocks and inspections replaced with it; returns false when the server
// had this version or a newer one already (nothing changes: a repeated
// upload is harmless). Returns only after the server committed. Throws
// LabError; the server then rolls back.
bool UploadProgramme(LabConnection& connection, const ProgrammeSnapshot& snapshot);

// Sends every snapshot waiting in `outbox`, oldest first, each let go once
// committed. One the server refuses (its data breaks a rule) is set aside
// with the reason and logged; the others go on. Returns the snapshots sent.
// Throws LabError (connection trouble) and ESQLiteException.
int SendWaitingProgrammes(LabConnection& connection, ProgrammeOutbox& outbox);

}  // namespace rig::lab
