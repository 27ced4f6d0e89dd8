#include "protocol/ParameterBlock.h"

namespace rig {
namespace {

// Offsets of parameters 1..20: after mode and refusal option, with a count
// place (40, 56, 72, 96) before each life mode's set count.
constexpr std::array<int, kParameterCount> kParameterOffsets = {8,  12, 16, 20, 24, 28, 32, 36, 44, 48,
                                                                52, 60, 64, 68, 76, 80, 84, 88, 92, 100};
constexpr std::array<int, kLifeModeCount> kCountOffsets = {40, 56, 72, 96};
constexpr int kFirstLifeMode = 17;

}  // namespace

int ParameterOffset(int n) { return n >= 1 && n <= kParameterCount ? kParameterOffsets[n - 1] : -1; }

int CountOffset(int mode) {
  const int i = mode - kFirstLifeMode;
  return i >= 0 && i < kLifeModeCount ? kCountOffsets[i] : -1;
}

int32_t ReadInt32Le(const uint8_t* bytes) {
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                              static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

void WriteInt32Le(uint8_t* bytes, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
}

QByteArray EncodeParameterBlock(const ParameterBlock& block) {
  QByteArray bytes(kParameterBlockSize, '\0');
  auto* out = reinterpret_cast<uint8_t*>(bytes.data());
  WriteInt32Le(out + kModeOffset, block.Mode);
  WriteInt32Le(out + kRefusalOptionOffset, block.RefusalOption);
  for (int n = 1; n <= kParameterCount; ++n) WriteInt32Le(out + ParameterOffset(n), block.Parameters[n - 1]);
  for (int i = 0; i < kLifeModeCount; ++i) WriteInt32Le(out + kCountOffsets[i], block.Counts[i]);
  return bytes;
}

ParameterBlock DecodeParameterBlock(const uint8_t* bytes) {
  ParameterBlock block;
  block.Mode = ReadInt32Le(bytes + kModeOffset);
  block.RefusalOption = ReadInt32Le(bytes + kRefusalOptionOffset);
  for (int n = 1; n <= kParameterCount; ++n) block.Parameters[n - 1] = ReadInt32Le(bytes + ParameterOffset(n));
  for (int i = 0; i < kLifeModeCount; ++i) block.Counts[i] = ReadInt32Le(bytes + kCountOffsets[i]);
  return block;
}

}  // namespace rig
