#include "serial/DevicePath.h"

#include <QRegularExpression>

namespace rig {

QString DevicePathFor(const QString& portName) {
  if (portName.isEmpty()) return QString();
#ifdef _WIN32
  const QString prefix = QStringLiteral("//.//");
  return portName.contains(prefix) ? portName : prefix + portName;
#else
  if (portName.contains(QLatin1Char('/'))) return portName;
  static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = comName.match(portName);
  if (m.hasMatch()) {
    bool ok = false;
    const int n = m.captured(1).toInt(&ok);
    if (ok) return QStringLiteral("/dev/ttyS%1").arg(n - 1);
  }
  return QStringLiteral("/dev/") + portName;
#endif
}

}  // namespace rig
