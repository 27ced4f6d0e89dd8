#pragma once
// A station link that keeps every write, for checking what would have gone
// on the wire.
#include <QByteArray>
#include <functional>
#include <vector>

#include "protocol/StationWriter.h"

namespace rigtest {

class RecordingWriter : public rig::IStationWriter {
 public:
  bool Write(const QByteArray& bytes) override {
    writes.push_back(bytes);
    if (onWrite) onWrite(bytes);
    return result;
  }

  std::vector<QByteArray> writes;
  bool result = true;  // what the link reports
  std::function<void(const QByteArray&)> onWrite;  // sees each write as it goes out
};

}  // namespace rigtest
