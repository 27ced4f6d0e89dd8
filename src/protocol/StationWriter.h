#pragma once
#include <QByteArray>

namespace rig {

// The station's link as test control sees it: where its commands go.
class IStationWriter {
 public:
  virtual ~IStationWriter() = default;
  virtual bool Write(const QByteArray& bytes) = 0;
};

}  // namespace rig
