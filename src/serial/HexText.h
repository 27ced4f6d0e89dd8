#pragma once
// Byte dumps as the run log writes them.
#include <QString>
#include <cstdint>

namespace rig {

// Two upper-case hexadecimal digits: 0x0A -> "0A".
QString HexByte(uint8_t value);

// Each byte as HexByte followed by one space, so a non-empty dump ends in a
// space: {0x01, 0xA0} -> "01 A0 ".
QString HexBytes(const uint8_t* bytes, int count);

}  // namespace rig
