#pragma once
// A saved test as the lab database receives it: the summary row, in UTF-8
// text, and its actions as PostgreSQL COPY text lines.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

#include "core/ActionRecord.h"

namespace rig {
struct JustSavedTest;
}

namespace rig::lab {

struct LabTestRecord {
  QString TestId;  // a UUID made when the test was saved
  QString RigName;
  int64_t LocalId = 0;  // AutoID in SaveData.db
  int Station = 1;
  QString OpenType, OutIndex, WorkArea, WorkName;
  // "yyyy-MM-dd HH:mm:ss+08:00", the rig's local time and its UTC offset
  // (an older program's outbox holds them without); start and end may be empty.
  QString StartTime, EndTime, SavedAt;
  int Mode = 0;
  std::array<int, 5> Params{};
  int CountDone = 0;
  bool IgnoreRefusals = true;
  QString DetailName;
  int64_t ActionCount = 0;
  // Refusals per break (A1, B1, C1) by the position rule, whichever refusal
  // option the test ran with, and how they were found: "marked" (by the
  // refusal check), "positions" (judged from the stored positions, as under
  // 忽略拒动作), "both", or "" when none were found.
  std::array<int, 3> RefusedClosings{}, RefusedOpenings{};
  QString RefusalsFoundBy;
  // One line per action: seq, DealTimes, CZDealTimes, State1..3, marks 1..3,
  // tab-separated, in COPY text format, without the test id.
  QByteArray ActionLines;

  // The summary as a small JSON object (the outbox keeps it so).
  QByteArray SummaryJson() const;
  static LabTestRecord FromJson(const QByteArray& json, QByteArray actionLines);
};

// A local time with its UTC offset, "yyyy-MM-dd HH:mm:ss+08:00": the
// instant, whichever zone the lab database or its readers are in.
QString ZonedTimeText(const QDateTime& time);
// A record's time text as an instant: with an offset as ZonedTimeText
// writes it, or without one (this machine's local time). Invalid when empty
// or not a time.
QDateTime ParseLabTime(const QString& text);

// The record of a test the rig has just saved, with a new test id.
LabTestRecord MakeLabRecord(const QString& rigName, const JustSavedTest& saved, const QString& savedAt);

// The COPY lines of `actions` (seq from 1).
QByteArray CopyActionLines(const ActionQueue& actions);

// A text as one COPY text-format field: backslash, tab, newline and carriage
// return escaped.
QByteArray CopyField(const QString& text);

}  // namespace rig::lab
