#pragma once
// The receive path of one station: bytes from the reader thread are collected
// in the link's RxBuffer, complete frames that pass their checks are cut
// out into FrameBuffer and handed on one at a time, in arrival order.
#include <cstdint>
#include <functional>

namespace rig {

struct ReceiveBuffer;

// Hands the frame now in FrameBuffer/FrameLength to the window thread and
// returns once it has been dispatched; false when the link is stopping, which
// ends the scan.
using FrameDelivery = std::function<bool()>;

// Takes one batch of `count` received bytes for `station` (1 or 2): logs it as
// "收到 XX XX ...", appends it to the station's buffer and delivers every
// complete, verified frame whose station byte is `station`. What cannot start
// a frame is dropped; an incomplete frame waits for the next batch.
void ReceiveBatch(int station, ReceiveBuffer& rx, const uint8_t* data, int count, const FrameDelivery& deliver);

// Is (code, payload length) a frame the controller sends?
bool IsAcceptedFrameStart(uint8_t code, int length);

}  // namespace rig
