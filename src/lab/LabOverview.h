#pragma once
// The lab overview: every rig's stations as lab_live holds them, with each
// station's latest event, and the rows the overview window shows, worded
// and ordered. The words and the order are pure functions, tested without
// a window or a server.
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "lab/LabSettings.h"

namespace rig::lab {

struct OverviewRow {
  QString RigName;
  int Station = 1;
  int64_t AgeSeconds = 0;  // since the rig last wrote the row, by the server's clock
  QString Link, RunState;
  int CountDone = 0, CountSet = 0;
  std::optional<int> SecondsLeft;
  int Refusals = 0;
  int SilentSeconds = 0;
  int PendingUploads = 0;
  QString Programme, Block;  // the station's endurance programme, if any
  QString LastKind;  // the latest event's kind name, empty when none
  QDateTime LastAt;
  QString LastDetail;
};

// Reads the overview (throws LabError); gives up within `connectSeconds` of
// connecting and 10 s of querying.
std::vector<OverviewRow> FetchOverview(const LabSettings& settings, int connectSeconds = 5);

// A rig whose row is older than this has stopped reporting (it writes at
// least every 60 s).
constexpr int64_t kNoWordAfterSeconds = 120;

struct OverviewLine {
  QString Rig, Station, Link, State, Count, Left, Programme, LastEvent, NoWord;
  bool Attention = false;  // stale, silent, lost or waiting for 继续测试: shown first, in red
  bool operator==(const OverviewLine&) const = default;
};

// "已 5 分钟无消息" once a row is kNoWordAfterSeconds old, else empty.
QString NoWordText(int64_t ageSeconds);
// The rows as lines: those needing attention first, then by rig and station.
std::vector<OverviewLine> OverviewLines(std::vector<OverviewRow> rows);

}  // namespace rig::lab
