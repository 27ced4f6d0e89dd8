#pragma once
// Frames as a station's controller sends them, for feeding test control.
#include <QByteArray>
#include <cstdint>
#include <initializer_list>

#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"

namespace rigtest {

inline QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (const int v : values) b.append(static_cast<char>(v));
  return b;
}

inline const uint8_t* Data(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

inline QByteArray SettingsReport(int station, const rig::ParameterBlock& block) {
  return rig::BuildFrame(static_cast<uint8_t>(station), rig::kCodeSettings, rig::EncodeParameterBlock(block));
}

inline QByteArray OneByteReply(int station, uint8_t code, uint8_t payload) {
  return rig::BuildFrame(static_cast<uint8_t>(station), code, &payload, 1);
}

// One action: the count reached and the break bits (bit 0 A1, 2 B1, 4 C1 closed).
inline QByteArray ActionStatus(int station, int32_t count, uint8_t breakBits) {
  uint8_t payload[rig::kActionStatusLength] = {};
  rig::WriteInt32Le(payload, count);
  payload[4] = breakBits;
  return rig::BuildFrame(static_cast<uint8_t>(station), rig::kCodeStatus, payload, rig::kActionStatusLength);
}

}  // namespace rigtest
