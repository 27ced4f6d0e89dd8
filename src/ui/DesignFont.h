#pragma once
#include <QFont>

namespace rig {

// 宋体 at 13 pixels, the font of every window. Where 宋体 is not installed
// (Linux) the first CJK font found stands in, so the Chinese captions render.
QFont DesignFont();

}  // namespace rig
