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

TEST(CommandFrames, StartCommandEnvelopesTheBlockWithItsChecksum) {
  ParameterBlock block;
  block.Mode = 3;
  block.RefusalOption = 10;
  block.Parameters[2] = 200000;
  block.Counts.fill(-1);
  const QByteArray frame = StartCommand(1, block);
  ASSERT_EQ(frame.size(), 109);
  EXPECT_EQ(frame.left(4), Bytes({0x01, 0xA2, 0x68, 0x00}));
  EXPECT_EQ(frame.mid(4 + 16, 4), Bytes({0x40, 0x0D, 0x03, 0x00})) << "parameter 3 = 200000";
  EXPECT_EQ(frame.mid(4 + 40, 4), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  // 03 + 0A + (40 + 0D + 03) + 4 * 4 * FF, modulo 256.
  EXPECT_EQ(static_cast<uint8_t>(frame[108]), (0x03 + 0x0A + 0x40 + 0x0D + 0x03 + 16 * 0xFF) & 0xFF);
}

}  // namespace
}  // namespace rig
