#pragma once
// Programme snapshots on their way to the lab database: a table of their own
// (Programmes) in the lab outbox file, one row per programme holding its
// newest snapshot not yet committed by the server. A programme that changes
// while the server is away is sent once, as it is last.
#include <QString>
#include <optional>

#include "lab/ProgrammeSnapshot.h"

namespace rig::lab {

class ProgrammeOutbox {
 public:
  explicit ProgrammeOutbox(QString path) : path_(std::move(path)) {}

  // Keeps `s` in place of an older snapshot of its programme (one set aside
  // included: the newer is tried afresh); an older or the same one than
  // kept changes nothing. Throws ESQLiteException.
  void Add(const ProgrammeSnapshot& s);
  // The snapshot waiting longest (not set aside), or nothing. Throws ESQLiteException.
  std::optional<ProgrammeSnapshot> Oldest() const;
  // Forgets the snapshot once the server committed it; a newer one added
  // meanwhile stays. Throws ESQLiteException.
  void Remove(const ProgrammeSnapshot& s);
  // Keeps a snapshot the server refused, with the reason, unsent. Throws ESQLiteException.
  void SetAside(const ProgrammeSnapshot& s, const QString& reason);
  // The revision of programme `programmeId` waiting (set aside or not); 0: none.
  int64_t WaitingVersion(const QString& programmeId) const;
  int Count() const;
  int AsideCount() const;
  // Why the newest of the snapshots set aside was refused; empty: none.
  QString NewestAsideReason() const;

 private:
  QString path_;
};

}  // namespace rig::lab
