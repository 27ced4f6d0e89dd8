#pragma once
#include <QString>
#include <array>

namespace rig {

// The test a station holds: what was sent when it started.
struct HeldTest {
  int Mode = 0;
  std::array<QString, 20> ParamTexts;
  // Cut by a lost line while running: the next start in the same mode,
  // with the controller still in that mode, continues it.
  bool Resumable = false;
};

}  // namespace rig
