#include "storage/ModeTexts.h"

namespace rig {

QString SavedModeText(int mode) {
  switch (mode) {
    case 1: return QStringLiteral("操作实验（单合）");
    case 2: return QStringLiteral("操作实验（单分）");
    case 3: return QStringLiteral("操作实验（合分）");
    case 4: return QStringLiteral("是操作实验（分合）");
    case 5: return QStringLiteral("操作实验（分合分）");
    case 17: return QStringLiteral("寿命试验（单分单合）");
    case 18: return QStringLiteral("寿命试验（合分）");
    case 19: return QStringLiteral("寿命试验（分合）");
    case 20: return QStringLiteral("寿命试验（分合分）");
    default: return QString();
  }
}

}  // namespace rig
