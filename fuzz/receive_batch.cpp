// The receive scan (ReceiveBatch) fed byte streams cut into batches.
//
// Two kinds of stream, chosen by the first byte:
//
// Raw: any bytes. The outcome is checked against ReceiveModel, the scan's
// rules applied to the whole stream at once: after every batch the frames
// delivered so far and the bytes kept must be what the model says for that
// much of the stream. That covers the rules by which line noise can delay or
// hide a frame (a station byte in the noise waits for six bytes; an accepted
// start in the noise waits for its whole length and, failing its checksum,
// costs one byte), because the model follows the same rules.
//
// Planted: a stream built from pieces whose outcome is known without any
// scan rules: valid frames of the station, noise, frames with a spoiled
// checksum, other stations' frames and starts too long for the buffer. The
// noise is made so that no position inside it can begin an accepted frame of
// the station (no station byte followed by an accepted code), so it cannot
// reach into a valid frame after it. Then every planted valid frame must
// come out exactly once, in order, and nothing else. A stream ends with one
// byte of noise (a five-byte frame needs a sixth byte before it is looked at)
// and possibly an unfinished start, which must be kept, not delivered.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ReceiveModel.h"
#include "protocol/ReceiveBuffer.h"
#include "protocol/Frame.h"
#include "protocol/ReceivePath.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The case at hand, printed with a failure so it can be turned into a test.
struct Case {
  uint8_t station = 1;
  const std::vector<uint8_t>* stream = nullptr;
  std::vector<size_t> cuts;
} g_case;

void PrintCase() {
  std::fprintf(stderr, "station %d, batches of", g_case.station);
  for (size_t c : g_case.cuts) std::fprintf(stderr, " %zu", c);
  std::fprintf(stderr, " in turn, stream:");
  if (g_case.stream)
    for (uint8_t byte : *g_case.stream) std::fprintf(stderr, " %02X", byte);
  std::fprintf(stderr, "\n");
}

[[noreturn]] void Fail(const char* what, size_t a = 0, size_t b = 0) {
  std::fprintf(stderr, "receive_batch: %s (%zu, %zu)\n", what, a, b);
  PrintCase();
  std::abort();
}

bool IsAcceptedCode(uint8_t b) { return b >= rig::kCodeLink && b <= rig::kCodeStatus; }

// A byte that is not the station's.
uint8_t NotStation(uint8_t b, uint8_t s) { return b == s ? static_cast<uint8_t>(b | 0x80) : b; }

uint8_t Sum(const Bytes& payload) {
  unsigned sum = 0;
  for (uint8_t b : payload) sum += b;
  return static_cast<uint8_t>(sum);
}

void Append(Bytes& out, uint8_t station, uint8_t code, const Bytes& payload, uint8_t checksum) {
  out.push_back(station);
  out.push_back(code);
  out.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
  out.push_back(static_cast<uint8_t>(payload.size() >> 8));
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(checksum);
}

// Code and payload length of a frame the controller may send.
void PickKind(FuzzedDataProvider& in, uint8_t& code, size_t& length) {
  switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0: code = rig::kCodeLink, length = rig::kLinkReplyLength; break;
    case 1: code = rig::kCodeSettings, length = 104; break;
    case 2: code = rig::kCodeStart, length = 1; break;
    case 3: code = rig::kCodeStatus, length = 1; break;
    case 4: code = rig::kCodeStatus, length = 0; break;
    case 5: code = rig::kCodeStatus, length = in.ConsumeIntegralInRange<size_t>(0, rig::kRxBufferSize - 5); break;
    default: code = rig::kCodeStatus, length = rig::kActionStatusLength; break;
  }
}

// Payload bytes that hold no station byte, and whose first byte cannot make
// an accepted start of the length's high byte (lengths 0x100..0x2FF).
Bytes CleanPayload(FuzzedDataProvider& in, size_t length, uint8_t s) {
  Bytes p = in.ConsumeBytes<uint8_t>(length);
  p.resize(length, 0x55);
  for (uint8_t& b : p) b = NotStation(b, s);
  if (length > 0 && (length >> 8) == s && IsAcceptedCode(p[0])) p[0] = 0x55;
  return p;
}

struct Stream {
  Bytes bytes;
  std::vector<Bytes> planted;  // the valid frames, in order
};

Stream Planted(FuzzedDataProvider& in, uint8_t s) {
  Stream out;
  const int pieces = in.ConsumeIntegralInRange(0, 64);
  for (int k = 0; k < pieces && in.remaining_bytes() > 0; ++k) {
    uint8_t code = 0;
    size_t length = 0;
    switch (in.ConsumeIntegralInRange(0, 5)) {
      case 0:
      case 1: {  // a valid frame; its payload may hold anything
        PickKind(in, code, length);
        Bytes payload = in.ConsumeBytes<uint8_t>(length);
        payload.resize(length, 0);
        const size_t at = out.bytes.size();
        Append(out.bytes, s, code, payload, Sum(payload));
        out.planted.emplace_back(out.bytes.begin() + static_cast<long>(at), out.bytes.end());
        break;
      }
      case 2: {  // noise
        Bytes noise = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(1, 32));
        for (uint8_t& b : noise) b = NotStation(b, s);
        out.bytes.insert(out.bytes.end(), noise.begin(), noise.end());
        break;
      }
      case 3: {  // a frame of ours with a wrong checksum, never the station byte
        PickKind(in, code, length);
        const Bytes payload = CleanPayload(in, length, s);
        uint8_t bad = static_cast<uint8_t>(Sum(payload) + in.ConsumeIntegralInRange(1, 255));
        while (bad == s || bad == Sum(payload)) ++bad;
        Append(out.bytes, s, code, payload, bad);
        break;
      }
      case 4: {  // another station's frame, valid for it
        PickKind(in, code, length);
        Bytes payload = CleanPayload(in, length, s);
        while (Sum(payload) == s) {
          if (payload.empty()) payload.push_back(0x55);
          payload.back() = NotStation(static_cast<uint8_t>(payload.back() + 1), s);
        }
        Append(out.bytes, static_cast<uint8_t>(s == 1 ? 2 : 1), code, payload, Sum(payload));
        break;
      }
      default: {  // a status start announcing more than the buffer holds
        const uint16_t length16 =
            in.ConsumeIntegralInRange<uint16_t>(rig::kRxBufferSize - 4, 0x9FFF);  // high byte never a code
        const uint8_t low = NotStation(static_cast<uint8_t>(length16 & 0xFF), s);
        out.bytes.insert(out.bytes.end(), {s, rig::kCodeStatus, low, static_cast<uint8_t>(length16 >> 8)});
        break;
      }
    }
  }
  out.bytes.push_back(0x55);  // the sixth byte a five-byte frame at the end waits for
  if (in.ConsumeBool()) {     // an unfinished start: kept, never delivered
    uint8_t code = 0;
    size_t length = 0;
    PickKind(in, code, length);
    Bytes frame;
    Append(frame, s, code, Bytes(length, 0), 0);
    frame.resize(in.ConsumeIntegralInRange<size_t>(1, std::max<size_t>(frame.size(), 6) - 1));
    out.bytes.insert(out.bytes.end(), frame.begin(), frame.end());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint8_t s = in.ConsumeBool() ? 2 : 1;
  const bool planted = in.ConsumeBool();
  // The hand-over refuses the frame after this many (the link is closing); 0: never.
  const size_t stopAfter = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(1, 8) : 0;
  // Batch sizes, used in turn: what one poll of the reader can bring.
  std::vector<size_t> cuts(in.ConsumeIntegralInRange<size_t>(1, 8));
  for (size_t& c : cuts) {
    c = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(1, 16) : in.ConsumeIntegralInRange<size_t>(1, 2048);
  }
  Stream stream;
  if (planted) {
    stream = Planted(in, s);
  } else {
    stream.bytes = in.ConsumeRemainingBytes<uint8_t>();
  }
  const Bytes& bytes = stream.bytes;
  g_case = {s, &bytes, cuts};

  static auto* rx = new rig::ReceiveBuffer;
  rx->RxCount = 0;
  rx->FrameLength = 0;
  rigfuzz::ReceiveModel model(bytes, s);
  const auto& expected = model.Frames();
  size_t delivered = 0;
  bool stopped = false;
  size_t fed = 0;
  for (size_t batch = 0; fed < bytes.size() && !stopped; ++batch) {
    const size_t take = std::min(cuts[batch % cuts.size()], bytes.size() - fed);
    rig::ReceiveBatch(s, *rx, bytes.data() + fed, static_cast<int>(take), [&] {
      if (stopAfter != 0 && delivered == stopAfter) {
        stopped = true;
        return false;
      }
      if (delivered >= expected.size()) Fail("a frame the stream does not hold", delivered, fed);
      const rigfuzz::ModelFrame& f = expected[delivered];
      if (static_cast<size_t>(rx->FrameLength) != f.Length ||
          std::memcmp(rx->FrameBuffer.data(), bytes.data() + f.Position, f.Length) != 0) {
        Fail("frame differs from the stream's next frame", delivered, f.Position);
      }
      ++delivered;
      return true;
    });
    fed += take;
    if (stopped) break;
    if (delivered != model.DeliveredBy(fed)) Fail("frames delivered after the batch", delivered, model.DeliveredBy(fed));
    const size_t keptFrom = model.KeptFrom(fed);
    if (rx->RxCount < 0 || rx->RxCount > rig::kRxBufferSize || static_cast<size_t>(rx->RxCount) != fed - keptFrom ||
        std::memcmp(rx->RxBuffer.data(), bytes.data() + keptFrom, fed - keptFrom) != 0) {
      Fail("bytes kept after the batch", static_cast<size_t>(rx->RxCount), fed - keptFrom);
    }
  }
  if (std::getenv("RIG_FUZZ_SHOW")) {  // what an input is, for writing a test from it
    PrintCase();
    std::fprintf(stderr, "%s, %zu frames delivered, %zu planted\n", planted ? "planted" : "raw", delivered,
                 stream.planted.size());
  }
  if (stopped) {
    if (delivered != stopAfter) Fail("frames delivered before the stop", delivered, stopAfter);
    return 0;
  }
  if (planted) {
    if (expected.size() != stream.planted.size()) Fail("planted frames", expected.size(), stream.planted.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      const Bytes& p = stream.planted[k];
      if (p.size() != expected[k].Length || std::memcmp(p.data(), bytes.data() + expected[k].Position, p.size()) != 0)
        Fail("planted frame", k, expected[k].Position);
    }
  }
  return 0;
}
