#pragma once
// A link's receive buffer: bytes from the reader thread wait in RxBuffer
// until they make a frame, which is cut out into FrameBuffer for the window
// thread. RxBuffer/RxCount belong to the reader thread; FrameBuffer and
// FrameLength are written by the reader and read by the window thread only
// while the reader waits for the frame to be dispatched.
#include <array>
#include <cstdint>

namespace rig {

constexpr int kRxBufferSize = 2048;

struct ReceiveBuffer {
  std::array<uint8_t, kRxBufferSize> RxBuffer{};
  int32_t RxCount = 0;
  std::array<uint8_t, kRxBufferSize> FrameBuffer{};
  int32_t FrameLength = 0;
};

}  // namespace rig
