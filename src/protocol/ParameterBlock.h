#pragma once
// ParameterBlock: the 104-byte payload of a start command and of a settings
// report. 26 fields, each a 32-bit little-endian signed integer: mode,
// refusal option, then the twenty parameters with a count placed after the
// delays of each life mode. Sending, the four count places carry the resume
// count; in a report they hold the count reached in each life mode.
#include <QByteArray>
#include <array>
#include <cstdint>

namespace rig {

constexpr int kParameterBlockSize = 104;
constexpr int kParameterCount = 20;
constexpr int kLifeModeCount = 4;

struct ParameterBlock {
  int32_t Mode = 0;
  int32_t RefusalOption = 0;
  std::array<int32_t, kParameterCount> Parameters{};  // parameter n at index n - 1
  std::array<int32_t, kLifeModeCount> Counts{};       // modes 17, 18, 19, 20
};

// Block offsets.
constexpr int kModeOffset = 0;
constexpr int kRefusalOptionOffset = 4;
// Offset of parameter n (1..20); -1 for any other n.
int ParameterOffset(int n);
// Offset of the count place of life mode 17..20; -1 for any other mode.
int CountOffset(int mode);

QByteArray EncodeParameterBlock(const ParameterBlock& block);
// Reads kParameterBlockSize bytes from `bytes`.
ParameterBlock DecodeParameterBlock(const uint8_t* bytes);

int32_t ReadInt32Le(const uint8_t* bytes);
void WriteInt32Le(uint8_t* bytes, int32_t value);

}  // namespace rig
