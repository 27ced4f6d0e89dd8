#pragma once
// Sending the rig's events to lab_events: each batch in one transaction,
// keyed by the event id, so a repeat stores nothing twice.
#include <vector>

#include "core/RigEvent.h"

namespace rig::lab {

class EventOutbox;
class LabConnection;

// Stores `events` (ON CONFLICT (event_id) DO NOTHING); returns only after the
// server committed. Throws LabError; the server then rolls back.
void UploadEvents(LabConnection& connection, const std::vector<RigEvent>& events);

// Sends every event waiting in `outbox` for the lab database, oldest first,
// and lets each batch go from the outbox once committed. A batch the server
// refuses (its data breaks a rule) is logged and let go: an event is not
// worth holding back the ones after it. Returns the events sent. Throws
// LabError (connection trouble) and ESQLiteException.
int SendWaitingEvents(LabConnection& connection, EventOutbox& outbox);

}  // namespace rig::lab
