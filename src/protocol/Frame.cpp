#include "protocol/Frame.h"

#include "core/RunLog.h"
#include "serial/HexText.h"

namespace rig {

uint8_t FrameChecksum(const uint8_t* bytes, int first, int count) {
  unsigned sum = 0;
  for (int i = 0; i < count; ++i) sum += bytes[first + i];
  return static_cast<uint8_t>(sum & 0xFF);
}

int FramePayloadLength(const uint8_t* frame) { return frame[2] | (frame[3] << 8); }

bool VerifyFrameChecksum(const uint8_t* frame, int frameLength) {
  if (frameLength < kFrameOverhead) return false;
  const int length = FramePayloadLength(frame);
  if (length + kFrameOverhead > frameLength) return false;
  const uint8_t computed = FrameChecksum(frame, kFrameHeaderSize, length);
  const uint8_t received = frame[frameLength - 1];
  if (computed == received) return true;
  WriteLog(QStringLiteral("原校验码为") + HexByte(received) + QStringLiteral(",正确的校验码应该为") + HexByte(computed));
  return false;
}

QByteArray BuildFrame(uint8_t station, uint8_t code, const uint8_t* payload, int length) {
  QByteArray frame;
  frame.reserve(length + kFrameOverhead);
  frame.append(static_cast<char>(station));
  frame.append(static_cast<char>(code));
  frame.append(static_cast<char>(length & 0xFF));
  frame.append(static_cast<char>((length >> 8) & 0xFF));
  frame.append(reinterpret_cast<const char*>(payload), length);
  frame.append(static_cast<char>(FrameChecksum(payload, 0, length)));
  return frame;
}

QByteArray BuildFrame(uint8_t station, uint8_t code, const QByteArray& payload) {
  return BuildFrame(station, code, reinterpret_cast<const uint8_t*>(payload.constData()),
                    static_cast<int>(payload.size()));
}

namespace {
QByteArray ShortFrame(uint8_t station, uint8_t code, uint8_t payload) { return BuildFrame(station, code, &payload, 1); }
}  // namespace

QByteArray HandshakeRequest(uint8_t station) { return ShortFrame(station, kCodeLink, kHandshakePayload); }
QByteArray DisconnectRequest(uint8_t station) { return ShortFrame(station, kCodeLink, kDisconnectPayload); }
QByteArray SettingsQuery(uint8_t station) { return ShortFrame(station, kCodeSettings, kSettingsQueryPayload); }
QByteArray StatusQuery(uint8_t station) { return ShortFrame(station, kCodeStatus, kStatusQueryPayload); }

}  // namespace rig
