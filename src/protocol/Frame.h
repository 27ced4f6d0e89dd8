#pragma once
// ControllerFrame: station byte, code, 16-bit payload length (low byte first),
// payload, checksum = sum of the payload bytes modulo 256. The station, code
// and length bytes are not covered by the checksum.
#include <QByteArray>
#include <cstdint>

namespace rig {

constexpr uint8_t kCodeLink = 0xA0;      // handshake / disconnect and their replies
constexpr uint8_t kCodeSettings = 0xA1;  // settings query and report
constexpr uint8_t kCodeStart = 0xA2;     // start command and acknowledgement
constexpr uint8_t kCodeStatus = 0xA3;    // status query, acknowledgement, actions, end

constexpr uint8_t kHandshakePayload = 0x05;
constexpr uint8_t kDisconnectPayload = 0x0A;
constexpr uint8_t kSettingsQueryPayload = 0x0F;
constexpr uint8_t kStatusQueryPayload = 0x05;

constexpr uint8_t kLinkAccepted = 0x22;      // third payload byte of a link reply
constexpr uint8_t kLinkDisconnected = 0x11;
constexpr uint8_t kAcknowledged = 0x0F;      // start taken / status query taken
constexpr uint8_t kTestFinished = 0x11;

// Bare bytes, no envelope.
constexpr uint8_t kCancelByte = 0xF1;
constexpr uint8_t kContinueByte = 0xF2;

constexpr int kFrameHeaderSize = 4;  // station, code, length low, length high
constexpr int kFrameOverhead = 5;    // header and checksum
constexpr int kShortFrameSize = 6;   // a frame with one payload byte
constexpr int kLinkReplyLength = 3;
constexpr int kActionStatusLength = 8;

// Sum of `count` bytes from `first`, modulo 256; 0 for a count of 0.
uint8_t FrameChecksum(const uint8_t* bytes, int first, int count);

// The payload length L in bytes 2 and 3 of a frame.
int FramePayloadLength(const uint8_t* frame);

// Checks a complete received frame of `frameLength` (L + 5) bytes against its
// last byte. A mismatch is written to the run log as
// "原校验码为XX,正确的校验码应该为YY" (received, computed). A length too short
// for its own header or for the L it announces is false, and nothing is read
// beyond `frameLength`.
bool VerifyFrameChecksum(const uint8_t* frame, int frameLength);

// Station, code, L (low byte first), payload, checksum.
QByteArray BuildFrame(uint8_t station, uint8_t code, const uint8_t* payload, int length);
QByteArray BuildFrame(uint8_t station, uint8_t code, const QByteArray& payload);

// The six-byte frames the program sends; the checksum equals the one payload byte.
QByteArray HandshakeRequest(uint8_t station);   // s A0 01 00 05 05
QByteArray DisconnectRequest(uint8_t station);  // s A0 01 00 0A 0A
QByteArray SettingsQuery(uint8_t station);      // s A1 01 00 0F 0F
QByteArray StatusQuery(uint8_t station);        // s A3 01 00 05 05

}  // namespace rig
