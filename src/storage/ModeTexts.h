#pragma once
#include <QString>

#include "testing/TestModes.h"  // IsLifeMode

namespace rig {

// The name of a test mode as the saved-test lists show it ("操作实验（单合）",
// "寿命试验（分合分）", ...); empty for a code that is no mode.
QString SavedModeText(int mode);

}  // namespace rig
