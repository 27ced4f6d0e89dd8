#pragma once
// How frames leave a simulated controller when line faults are asked for:
// checksums spoiled, frames doubled, junk in between, frames cut into pieces
// written apart. Without faults a frame goes out whole.
#include <QByteArray>
#include <cstdint>
#include <random>
#include <vector>

namespace rig::sim {

struct LineFaults {
  int CorruptEvery = 0;    // every Nth frame has a wrong checksum (and is lost to the program)
  int BadCopyEvery = 0;    // every Nth frame is preceded by a copy with a wrong checksum
  int DuplicateEvery = 0;  // every Nth frame is sent twice
  bool Split = false;      // frames are cut into random pieces...
  int SplitGapMs = 30;     // ...written up to this many milliseconds apart
  bool Junk = false;       // 1..4 junk bytes before every frame

  bool Any() const { return CorruptEvery > 0 || BadCopyEvery > 0 || DuplicateEvery > 0 || Split || Junk; }
};

struct Chunk {
  QByteArray Bytes;
  int GapBeforeMs = 0;  // pause before this chunk, after the one before it
};

class TLineShaper {
 public:
  TLineShaper(LineFaults faults, uint32_t seed);

  // The chunks one frame goes out as, in order.
  std::vector<Chunk> Shape(const QByteArray& frame);

  // Junk never holds 01 or 02, so it can never pass for the start of a frame
  // (whose first byte is the station): every real frame stays recoverable.
  static bool IsJunkByte(uint8_t b) { return b != 0x01 && b != 0x02; }

 private:
  void Emit(std::vector<Chunk>& out, const QByteArray& bytes);

  LineFaults faults_;
  std::mt19937 random_;
  uint64_t frames_ = 0;
};

}  // namespace rig::sim
