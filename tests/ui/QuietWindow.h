#pragma once
// The real window shown in a fresh program folder that has its two
// databases, its ports on unanswered pseudo-terminals and its notices
// recorded.
#include <gtest/gtest.h>

#include "storage/Schema.h"
#include "support/QuietPorts.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/Mainfrm.h"

namespace rigtest {

struct QuietWindow : ::testing::Test {
  TempDir dir;
  QuietPorts ports{dir.Path()};
  RecordingNotifier* notifier = nullptr;
  std::unique_ptr<rig::TfrmHX4417> window;

  QuietWindow() {
    rig::EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    rig::EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    auto n = std::make_unique<RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<rig::TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }
};

}  // namespace rigtest
