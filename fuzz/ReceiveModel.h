#pragma once
// A reference for the receive scan, written from its rules over the whole
// received stream at once: no buffer, no batches, no moving of bytes.
//
// The scan visits positions in order. A byte that is not the station's is
// passed over. At a station byte the scan needs six bytes before it looks at
// anything, and an accepted start (code, length) needs its whole frame of
// L + 5 bytes; a start whose frame is longer than the receive buffer is no
// start. Given those bytes, a frame with a good checksum is delivered and the
// scan goes on behind it; anything else costs one byte.
//
// Because every decision depends only on bytes at and after its position, the
// outcome for any prefix of the stream is the same walk cut where the prefix
// runs out: the receive path, fed the same bytes in any batches, must deliver
// exactly the frames the walk delivers before that point, in order, and keep
// exactly the bytes from that point on.
#include <cstdint>
#include <vector>

#include "protocol/ReceiveBuffer.h"
#include "protocol/ReceivePath.h"

namespace rigfuzz {

struct ModelStep {
  size_t Position;  // where the scan looked
  size_t Needs;     // bytes from Position it needs to decide
  bool Delivers;    // decided: a frame of Needs bytes
};

struct ModelFrame {
  size_t Position;
  size_t Length;
};

class ReceiveModel {
 public:
  ReceiveModel(const std::vector<uint8_t>& stream, uint8_t station) : stream_(stream), station_(station) { Walk(); }

  // The frames delivered once `received` bytes of the stream have arrived,
  // and where the bytes still kept begin.
  size_t DeliveredBy(size_t received) {
    Advance(received);
    return delivered_;
  }
  size_t KeptFrom(size_t received) {
    Advance(received);
    return next_ < steps_.size() ? steps_[next_].Position : received;
  }
  const std::vector<ModelFrame>& Frames() const { return frames_; }

  static bool ChecksumOk(const uint8_t* frame, size_t length) {
    unsigned sum = 0;
    for (size_t k = 4; k + 1 < length; ++k) sum += frame[k];
    return (sum & 0xFF) == frame[length - 1];
  }

 private:
  void Walk() {
    const size_t n = stream_.size();
    size_t p = 0;
    while (p < n) {
      if (stream_[p] != station_) {
        steps_.push_back({p, 1, false});
        ++p;
        continue;
      }
      if (n - p < 6) {
        steps_.push_back({p, 6, false});  // never decided: the stream ends first
        return;
      }
      const uint8_t code = stream_[p + 1];
      const size_t length = stream_[p + 2] | (stream_[p + 3] << 8);
      const size_t frame = length + 5;
      if (!rig::IsAcceptedFrameStart(code, static_cast<int>(length)) || frame > rig::kRxBufferSize) {
        steps_.push_back({p, 6, false});
        ++p;
        continue;
      }
      if (p + frame > n) {
        steps_.push_back({p, frame, false});  // never decided
        return;
      }
      const bool ok = ChecksumOk(&stream_[p], frame);
      steps_.push_back({p, std::max<size_t>(frame, 6), ok});
      if (ok) {
        frames_.push_back({p, frame});
        p += frame;
      } else {
        ++p;
      }
    }
  }

  // Moves past every step decided within `received` bytes.
  void Advance(size_t received) {
    while (next_ < steps_.size() && steps_[next_].Position + steps_[next_].Needs <= received) {
      if (steps_[next_].Delivers) ++delivered_;
      ++next_;
    }
  }

  const std::vector<uint8_t>& stream_;
  uint8_t station_;
  std::vector<ModelStep> steps_;
  std::vector<ModelFrame> frames_;
  size_t next_ = 0;
  size_t delivered_ = 0;
};

}  // namespace rigfuzz
