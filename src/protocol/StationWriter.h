#pragma once
// A station's link as test control sees it: bytes out, true when written.
#include <QByteArray>

namespace rig {

class IStationWriter {
 public:
  virtual ~IStationWriter() = default;
  virtual bool Write(const QByteArray& bytes) = 0;
};

}  // namespace rig
