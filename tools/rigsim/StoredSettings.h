#pragma once
// What a simulated controller keeps between runs: the last settings it was
// sent, the count reached in each life mode and where the breaks stand. Kept
// in a small text file, one section per station:
//   [station1]
//   mode=17
//   refusal=5
//   parameters=300 300 300 300 300 300 10 10 500 300 10 500 300 10 500 300 300 10 10 500
//   counts=0 0 0 0
//   closed=0 0 0
#include <QString>
#include <array>
#include <map>

#include "protocol/ParameterBlock.h"

namespace rig::sim {

constexpr int kBreaks = 3;  // A1, B1, C1

struct StoredSettings {
  ParameterBlock Block;  // Counts hold the count reached in modes 17..20
  std::array<bool, kBreaks> Closed{};

  bool operator==(const StoredSettings& other) const;
};

// A controller fresh from the factory: life test 单分单合, refused actions
// ignored, every parameter at the panel's initial value, no counts.
StoredSettings FactorySettings();

// Reads the stations found in `path`; a missing file gives an empty map, a
// missing or unreadable field its factory value.
std::map<int, StoredSettings> LoadStoredSettings(const QString& path);

// Replaces `path` as a whole. False when it cannot be written.
bool SaveStoredSettings(const QString& path, const std::map<int, StoredSettings>& stations);

}  // namespace rig::sim
