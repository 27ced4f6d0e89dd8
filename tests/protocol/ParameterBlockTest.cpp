#include <gtest/gtest.h>

#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"

namespace rig {
namespace {

const uint8_t* Data(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

// The panel's initial values.
ParameterBlock Initial() {
  ParameterBlock b;
  b.Parameters = {300, 300, 300, 300, 300, 300, 10, 10, 500, 300, 10, 500, 300, 10, 500, 300, 300, 10, 10, 500};
  return b;
}

TEST(ParameterBlock, EncodesTheStartFrameOfStation2Mode18ByteForByte) {
  ParameterBlock block = Initial();
  block.Mode = 18;
  block.RefusalOption = 10;
  const QByteArray frame = BuildFrame(2, kCodeStart, EncodeParameterBlock(block));

  QByteArray expected = QByteArray::fromHex("02A26800" "12000000" "0A000000");
  for (int i = 0; i < 6; ++i) expected += QByteArray::fromHex("2C010000");
  expected += QByteArray::fromHex("0A000000" "0A000000" "00000000" "F4010000" "2C010000" "0A000000" "00000000"
                                  "F4010000" "2C010000" "0A000000" "00000000" "F4010000" "2C010000" "2C010000"
                                  "0A000000" "0A000000" "00000000" "F4010000" "EE");
  EXPECT_EQ(frame.toHex(' '), expected.toHex(' '));
  EXPECT_EQ(frame.size(), 109);
}

TEST(ParameterBlock, PlacesEveryFieldAtItsOffset) {
  const int parameterOffsets[] = {8, 12, 16, 20, 24, 28, 32, 36, 44, 48, 52, 60, 64, 68, 76, 80, 84, 88, 92, 100};
  for (int n = 1; n <= kParameterCount; ++n) EXPECT_EQ(ParameterOffset(n), parameterOffsets[n - 1]) << n;
  EXPECT_EQ(ParameterOffset(0), -1);
  EXPECT_EQ(ParameterOffset(21), -1);
  const std::pair<int, int> counts[] = {{17, 40}, {18, 56}, {19, 72}, {20, 96}, {16, -1}, {21, -1}, {1, -1}};
  for (const auto& [mode, offset] : counts) EXPECT_EQ(CountOffset(mode), offset) << mode;

  ParameterBlock block;
  block.Mode = 20;
  block.RefusalOption = 5;
  for (int n = 1; n <= kParameterCount; ++n) block.Parameters[n - 1] = 1000 + n;
  block.Counts = {56, 57, 58, 59};
  const QByteArray bytes = EncodeParameterBlock(block);
  ASSERT_EQ(bytes.size(), kParameterBlockSize);
  EXPECT_EQ(ReadInt32Le(Data(bytes) + 0), 20);
  EXPECT_EQ(ReadInt32Le(Data(bytes) + 4), 5);
  for (int n = 1; n <= kParameterCount; ++n) EXPECT_EQ(ReadInt32Le(Data(bytes) + parameterOffsets[n - 1]), 1000 + n);
  EXPECT_EQ(ReadInt32Le(Data(bytes) + 40), 56);
  EXPECT_EQ(ReadInt32Le(Data(bytes) + 96), 59);

  const ParameterBlock back = DecodeParameterBlock(Data(bytes));
  EXPECT_EQ(back.Mode, 20);
  EXPECT_EQ(back.Parameters, block.Parameters);
  EXPECT_EQ(back.Counts, block.Counts);
}

TEST(ParameterBlock, IntegersAreLittleEndianAndSigned) {
  uint8_t b[4];
  WriteInt32Le(b, 200000);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(b), 4).toHex(' '), "40 0d 03 00");
  WriteInt32Le(b, -2);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(b), 4).toHex(' '), "fe ff ff ff");
  EXPECT_EQ(ReadInt32Le(b), -2);
}

}  // namespace
}  // namespace rig
