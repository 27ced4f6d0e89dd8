#pragma once
#include <QString>

namespace rig {

// The name of a test mode as the saved-test lists show it ("操作实验（单合）",
// "寿命试验（分合分）", ...); empty for a code that is no mode.
QString SavedModeText(int mode);

// Life tests are modes 17 to 20.
inline bool IsLifeMode(int mode) { return mode >= 17 && mode <= 20; }

}  // namespace rig
