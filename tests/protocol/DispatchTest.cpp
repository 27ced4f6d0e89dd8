#include <gtest/gtest.h>

#include <QByteArray>

#include "protocol/Dispatch.h"

using namespace rig;

namespace {

struct RecordingHandler : IFrameHandler {
  std::vector<std::string> calls;
  void OnLinkReply(int s, uint8_t status) override { calls.push_back("link " + std::to_string(s) + " " + std::to_string(status)); }
  void OnSettingsReport(int s, const uint8_t*, int n) override { calls.push_back("settings " + std::to_string(s) + " " + std::to_string(n)); }
  void OnStartAccepted(int s, const uint8_t*, int n) override { calls.push_back("start " + std::to_string(s) + " " + std::to_string(n)); }
  void OnStatusFrame(int s, const uint8_t*, int n) override { calls.push_back("status " + std::to_string(s) + " " + std::to_string(n)); }
};

}  // namespace

TEST(DispatchFrame, RoutesByCode) {
  struct Case {
    const char* hex;
    bool result;
    const char* call;  // nullptr: nothing called
  } cases[] = {
      {"01A0030001122235", true, "link 1 34"},
      {"02A0030001121124", true, "link 2 17"},
      {"01A0030001123346", true, nullptr},  // status neither 0x22 nor 0x11
      {"03A0030001122235", true, nullptr},  // no such station
      {"01A001000505", false, nullptr},     // too short to hold a status
      {"02A101000F0F", true, "settings 2 6"},
      {"01A201000F0F", true, "start 1 6"},
      {"02A30800010000000500000006", true, "status 2 13"},
      {"01A401000F0F", true, nullptr},
  };
  for (const Case& c : cases) {
    RecordingHandler h;
    const QByteArray f = QByteArray::fromHex(c.hex);
    EXPECT_EQ(DispatchFrame(reinterpret_cast<const uint8_t*>(f.constData()), static_cast<int>(f.size()), h), c.result)
        << c.hex;
    EXPECT_EQ(h.calls, c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{}) << c.hex;
  }
}
