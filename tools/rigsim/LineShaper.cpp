#include "LineShaper.h"

#include <algorithm>

namespace rig::sim {
namespace {

bool Every(int n, uint64_t i) { return n > 0 && i % static_cast<uint64_t>(n) == 0; }

QByteArray Spoiled(QByteArray frame) {
  frame[frame.size() - 1] = static_cast<char>(static_cast<uint8_t>(frame.back()) + 1);
  return frame;
}

}  // namespace

TLineShaper::TLineShaper(LineFaults faults, uint32_t seed) : faults_(faults), random_(seed) {}

void TLineShaper::Emit(std::vector<Chunk>& out, const QByteArray& bytes) {
  if (faults_.Junk) {
    QByteArray junk;
    const int n = std::uniform_int_distribution<int>(1, 4)(random_);
    std::uniform_int_distribution<int> value(0, 255);
    while (junk.size() < n) {
      const auto b = static_cast<uint8_t>(value(random_));
      if (IsJunkByte(b)) junk.append(static_cast<char>(b));
    }
    out.push_back({junk, 0});
  }
  if (!faults_.Split || bytes.size() < 2) {
    out.push_back({bytes, 0});
    return;
  }
  // 1..3 cuts at distinct places.
  const int maxCuts = std::min<int>(3, static_cast<int>(bytes.size()) - 1);
  const int cuts = std::uniform_int_distribution<int>(1, maxCuts)(random_);
  std::vector<int> at;
  std::uniform_int_distribution<int> place(1, static_cast<int>(bytes.size()) - 1);
  while (static_cast<int>(at.size()) < cuts) {
    const int p = place(random_);
    if (std::find(at.begin(), at.end(), p) == at.end()) at.push_back(p);
  }
  std::sort(at.begin(), at.end());
  at.push_back(static_cast<int>(bytes.size()));
  std::uniform_int_distribution<int> gap(0, std::max(0, faults_.SplitGapMs));
  int from = 0;
  for (const int to : at) {
    out.push_back({bytes.mid(from, to - from), from == 0 ? 0 : gap(random_)});
    from = to;
  }
}

std::vector<Chunk> TLineShaper::Shape(const QByteArray& frame) {
  const uint64_t n = ++frames_;
  std::vector<Chunk> out;
  if (Every(faults_.BadCopyEvery, n)) Emit(out, Spoiled(frame));
  Emit(out, Every(faults_.CorruptEvery, n) ? Spoiled(frame) : frame);
  if (Every(faults_.DuplicateEvery, n)) Emit(out, frame);
  return out;
}

}  // namespace rig::sim
