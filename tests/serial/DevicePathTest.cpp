#include <gtest/gtest.h>

#include "serial/DevicePath.h"

namespace rig {
namespace {

struct PathCase {
  const char* name;
  const char* path;
};

TEST(DevicePathFor, MapsConfiguredNamesToDevices) {
  const PathCase cases[] = {
      {"COM1", "/dev/ttyS0"},           // the default of station 1
      {"COM2", "/dev/ttyS1"},
      {"COM10", "/dev/ttyS9"},
      {"com3", "/dev/ttyS2"},           // Windows names ignore case
      {"ttyUSB0", "/dev/ttyUSB0"},      // what the port list offers on Linux
      {"ttyS4", "/dev/ttyS4"},
      {"/dev/pts/7", "/dev/pts/7"},     // a path is used as it is
      {"/tmp/sim/station1", "/tmp/sim/station1"},
      {"sim/station2", "sim/station2"},
      {"COM0", "/dev/COM0"},            // no such COM port: just a name
      {"COM", "/dev/COM"},
      {"COM1A", "/dev/COM1A"},
      {"", ""},
  };
  for (const PathCase& c : cases)
    EXPECT_EQ(DevicePathFor(QString::fromLatin1(c.name)), QString::fromLatin1(c.path)) << c.name;
}

}  // namespace
}  // namespace rig
