#include "ui/DesignFont.h"

#include <QStringList>

namespace rig {

QFont DesignFont() {
  QFont f;
  f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                 QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  f.setPixelSize(13);
  return f;
}

}  // namespace rig
