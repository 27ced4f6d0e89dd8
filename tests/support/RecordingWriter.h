#pragma once
// A station link that keeps every write, for checking what would have gone
// on the wire.
#include <QByteArray>
#include <vector>

#include "protocol/StationWriter.h"

namespace rigtest {

class RecordingWriter : public rig::IStationWriter {
 public:
  bool Write(const QByteArray& bytes) override {
    writes.push_back(bytes);
    return result;
  }

  std::vector<QByteArray> writes;
  bool result = true;  // what the link reports
};

}  // namespace rigtest
