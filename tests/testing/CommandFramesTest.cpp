#include "testing/CommandFrames.h"

#include <gtest/gtest.h>

#include "support/ControllerReplies.h"
#include "support/QtPrinters.h"
#include "support/RecordingWriter.h"

namespace rig {
namespace {

using rigtest::Bytes;

TEST(CommandFrames, QueriesAndBareBytesGoOutAsTheyAreAndReportTheWrite) {
  rigtest::RecordingWriter link;
  EXPECT_TRUE(SendSettingsQuery(link, 2));
  EXPECT_TRUE(SendStatusQuery(link, 1));
  EXPECT_TRUE(SendCancel(link));
  EXPECT_TRUE(SendContinue(link));
  link.result = false;
  EXPECT_FALSE(SendSettingsQuery(link, 1)) << "a failed write is reported";
  const std::vector<QByteArray> expected = {
      Bytes({0x02, 0xA1, 0x01, 0x00, 0x0F, 0x0F}), Bytes({0x01, 0xA3, 0x01, 0x00, 0x05, 0x05}),
      Bytes({0xF1}), Bytes({0xF2}), Bytes({0x01, 0xA1, 0x01, 0x00, 0x0F, 0x0F})};
  EXPECT_EQ(link.writes, expected);
}

TEST(CommandFrames, ResumeCountIsOneBelowTheCountDoneAndNeverNegative) {
  const struct {
    int32_t countDone, resume;
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {57, 56}, {-4, 0}, {32000, 31999}};
  for (const auto& c : cases) EXPECT_EQ(ResumeCount(c.countDone), c.resume) << c.countDone;
}

}  // namespace
}  // namespace rig
