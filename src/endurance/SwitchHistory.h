#pragma once
// A switch's history: the programmes and tests it went through over time,
// found by its factory number (and model), from this rig's files and, with a
// lab, from every rig. Plain data shared by the local and the lab lookup.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace rig {

struct SwitchHistoryQuery {
  QString FactoryNumber;  // 出厂编号, matched whole (case and surrounding blanks ignored)
  QString Model;          // 开关型号; empty: any model
};

struct SwitchHistoryItem {
  enum class Kind { Test, Programme };
  Kind What = Kind::Test;
  QString RigName;  // empty: this rig
  int Station = 0;
  QString Model, FactoryNumber;
  QDateTime Start, End;
  // A test: its mode and count; a programme: its class, cumulative count and target.
  int Mode = 0;
  int32_t Count = 0;
  QString ClassName;
  int32_t Target = 0;
  QString Outcome;  // a programme's verdict, a test's refusals ("无拒动作", "B1拒合2次")
  int64_t LocalId = 0;  // the test's number in SaveData.db, or the programme's in Programmes.db
  QString LabId;        // its id in the lab database, when it came from there
};

}  // namespace rig
