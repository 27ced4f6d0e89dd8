#pragma once
// What the program does with a saved test when the lab database is set up:
// it goes into the lab outbox beside SaveData.db (as the lab service does,
// without its uploader).
#include "core/DateTimeText.h"
#include "lab/LabOutbox.h"
#include "lab/LabRecord.h"
#include "storage/RecordStore.h"

namespace powercut {

class OutboxSink : public rig::ISavedTestSink {
 public:
  void TestSaved(const QString& exeDir, const rig::JustSavedTest& saved) noexcept override {
    try {
      rig::lab::LabOutbox(rig::lab::LabOutbox::PathIn(exeDir))
          .Add(rig::lab::MakeLabRecord(QStringLiteral("断电台"), saved, rig::DateTimeText(saved.Test.EndTime)));
      added = true;
    } catch (...) {
      added = false;
    }
  }
  bool added = false;
};

}  // namespace powercut
