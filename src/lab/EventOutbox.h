#pragma once
// The rig's events on their way out: a table of their own (Events) in the
// lab outbox file, kept until the lab database has committed them and the
// group chat has taken them, whichever of the two they are meant for. The
// window thread adds (one small SQLite transaction); the uploader and the
// alert sender each take theirs and say when they are done.
#include <QString>
#include <vector>

#include "core/RigEvent.h"

namespace rig::lab {

class EventOutbox {
 public:
  explicit EventOutbox(QString path) : path_(std::move(path)) {}

  // Keeps the event for the lab database and/or the alerts; neither: nothing
  // is kept. An event id already there is kept once. Throws ESQLiteException.
  void Add(const RigEvent& event, bool forLab, bool forAlert);
  // The oldest events still waiting, at most `limit`. Throw ESQLiteException.
  std::vector<RigEvent> WaitingForLab(int limit) const;
  std::vector<RigEvent> WaitingForAlert(int limit) const;
  // Delivered: an event done with both is forgotten. Throw ESQLiteException.
  void LabDone(const std::vector<RigEvent>& events);
  void AlertDone(const std::vector<RigEvent>& events);
  int LabCount() const;
  int AlertCount() const;

 private:
  std::vector<RigEvent> Waiting(const char* column, int limit) const;
  void Done(const char* column, const std::vector<RigEvent>& events);
  int Count(const char* column) const;
  QString path_;
};

}  // namespace rig::lab
