#pragma once
// Something that happened on a station which people away from the rig want
// to hear of: the lab database keeps it (lab_events) and chosen kinds go to
// the lab's group chats. Station code makes them; the lab service gives
// them an id, the rig's name and the time, and keeps them until delivered.
#include <QDateTime>
#include <QString>

namespace rig {

enum class RigEventKind { Refusal, Silent, LineLost, Finished, Saved, SaveFailed };

struct RigEvent {
  QString EventId;  // a UUID, made on the rig
  QString RigName;
  int Station = 1;
  QDateTime HappenedAt;
  RigEventKind Kind = RigEventKind::Refusal;
  QString TestId;  // the saved test's lab id, when there is one
  QString Detail;  // words for people
};

// Told of every event, on the window thread. It must not throw.
class IRigEventSink {
 public:
  virtual ~IRigEventSink() = default;
  virtual void Happened(RigEvent event) noexcept = 0;
};

}  // namespace rig
