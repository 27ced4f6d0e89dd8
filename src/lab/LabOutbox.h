#pragma once
// The lab outbox: an SQLite file of its own beside the program
// (LabOutbox.db) holding every saved test until the lab database has
// committed it. Writers (the window thread) and the uploader open it on
// their own; each change is one SQLite transaction.
#include <QString>
#include <cstdint>
#include <optional>
#include <set>

#include "lab/LabRecord.h"

namespace rig::lab {

class LabOutbox {
 public:
  explicit LabOutbox(QString path) : path_(std::move(path)) {}
  static QString PathIn(const QString& exeDir) { return exeDir + QStringLiteral("LabOutbox.db"); }
  const QString& Path() const { return path_; }

  // Keeps the test; a test id already there is kept once. Throws
  // ESQLiteException.
  void Add(const LabTestRecord& record);
  // The test waiting longest (not set aside), or nothing. Throws ESQLiteException.
  std::optional<LabTestRecord> Oldest() const;
  // Forgets the test (after the server committed it). Throws ESQLiteException.
  void Remove(const QString& testId);
  // Tests waiting, those set aside not counted. Throws ESQLiteException.
  int Count() const;
  // Keeps a test the server refused, with the reason, out of the way of the
  // others: it is no longer sent, and stays in the file. Throws ESQLiteException.
  void SetAside(const QString& testId, const QString& reason);
  // Tests set aside. Throws ESQLiteException.
  int AsideCount() const;
  // Why the newest of the tests set aside was refused; empty: none.
  QString NewestAsideReason() const;
  // The rig's test numbers (AutoID) of every test here, set aside or not.
  // Throws ESQLiteException.
  std::set<int64_t> LocalIds() const;

 private:
  QString path_;
};

}  // namespace rig::lab
