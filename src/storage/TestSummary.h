#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

namespace rig {

// What is saved of one test besides its actions: the station's identity,
// times, mode, parameter texts and refusal option at the moment of saving.
struct TestSummary {
  int Station = 1;
  QString OpenType;
  QString OutIndex;
  QString WorkArea;
  QString WorkName;
  QDateTime StartTime;
  QDateTime EndTime;
  int Mode = 0;
  std::array<QString, 20> ParamTexts;  // parameter n (1..20, payload order) at index n-1
  int32_t CountDone = 0;
  bool IgnoreRefusals = true;
};

// Which of the twenty parameters (1-based) a mode saves as Param1..Param5;
// 0 where the mode has fewer.
std::array<int, 5> SavedParameterNumbers(int mode);

}  // namespace rig
