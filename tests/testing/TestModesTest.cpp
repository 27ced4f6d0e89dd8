#include "testing/TestModes.h"

#include <gtest/gtest.h>

namespace rig {
namespace {

struct ModeCase {
  int code;
  bool life;
  int setCountParameter;
  const char* prompt;
};

const ModeCase kModeCases[] = {
    {1, false, 0, "操作提示：当前是操作实验（单合）"},
    {2, false, 0, "操作提示：当前是操作实验（单分）"},
    {3, false, 0, "操作提示：当前是操作实验（合分）"},
    {4, false, 0, "操作提示：当前是操作实验（分合）"},
    {5, false, 0, "操作提示：当前是操作实验（分合分）"},
    {17, true, 9, "操作提示：当前是寿命试验（单分单合）"},
    {18, true, 12, "操作提示：当前是寿命试验（合分）"},
    {19, true, 15, "操作提示：当前是寿命试验（分合）"},
    {20, true, 20, "操作提示：当前是寿命试验（分合分）"},
};

TEST(TestModes, EachModeHasItsPromptKindAndSetCount) {
  ASSERT_EQ(TestModes().size(), std::size(kModeCases));
  for (size_t i = 0; i < std::size(kModeCases); ++i) {
    const ModeCase& c = kModeCases[i];
    SCOPED_TRACE(c.code);
    EXPECT_EQ(TestModes()[i].Code, c.code) << "modes are listed in code order";
    EXPECT_EQ(ModePrompt(c.code), QString::fromUtf8(c.prompt));
    EXPECT_EQ(IsLifeMode(c.code), c.life);
    ASSERT_NE(FindTestMode(c.code), nullptr);
    EXPECT_EQ(FindTestMode(c.code)->SetCountParameter, c.setCountParameter);
  }
}

TEST(TestModes, CodesBetweenAndBeyondTheModesAreNotModes) {
  for (int code : {-1, 0, 6, 10, 16, 21, 255}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(FindTestMode(code), nullptr);
    EXPECT_FALSE(IsLifeMode(code));
    EXPECT_TRUE(ModePrompt(code).isEmpty());
  }
}

TEST(TestModes, InitialPromptCarriesTheTrailingComma) {
  EXPECT_EQ(InitialPromptText(), QStringLiteral("操作提示：当前是寿命试验（单分单合），"));
  EXPECT_NE(InitialPromptText(), ModePrompt(kLifeOpenThenClose)) << "the first update must change it";
}

}  // namespace
}  // namespace rig
