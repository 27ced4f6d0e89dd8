#include "testing/CommandFrames.h"

#include <gtest/gtest.h>

#include "support/ControllerReplies.h"
#include "support/QtPrinters.h"

namespace rig {
namespace {

using rigtest::Bytes;

TEST(CommandFrames, BareBytesAreTheCancelAndContinueCodes) {
  EXPECT_EQ(CancelCommand(), Bytes({0xF1}));
  EXPECT_EQ(ContinueCommand(), Bytes({0xF2}));
}

TEST(CommandFrames, ResumeCountIsOneBelowTheCountDoneAndNeverNegative) {
  const struct {
    int32_t countDone, resume;
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {57, 56}, {-4, 0}, {32000, 31999}};
  for (const auto& c : cases) EXPECT_EQ(ResumeCount(c.countDone), c.resume) << c.countDone;
}

}  // namespace
}  // namespace rig
