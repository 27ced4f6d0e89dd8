#pragma once
#include <QString>

namespace rig {

// The device a configured port name stands for. The one place that knows how
// port names map onto device paths:
//  - POSIX: a name containing "/" is a path already; "COMn" (any case, n >= 1)
//    is /dev/ttyS(n-1), the Linux name of the n-th PC serial port; any other
//    name ("ttyUSB0") lives in /dev.
//  - Windows: the name in the device namespace, "//.//" in front unless the
//    name already holds it.
// An empty name stays empty: there is nothing to open.
QString DevicePathFor(const QString& portName);

}  // namespace rig
