#pragma once
// The files a power cut can leave, from a recorded run, under the strict
// rule: a write or truncation is durable once a sync of its file that began
// after it has returned; a name made, removed or renamed is durable once a
// sync of its folder that began after it has returned. What is not durable
// may or may not have reached the disk, in any combination.
#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FileOpLog.h"

namespace powercut {

// A folder's files (relative path -> bytes) and sub-folders.
struct FileTree {
  std::map<std::string, std::string> Files;
  std::set<std::string> Folders;
  bool operator==(const FileTree&) const = default;
};

// The last write applied only in part: what a cut in the middle of it leaves.
struct TornWrite {
  size_t Op = SIZE_MAX;
  size_t KeepBytes = 0;
};

class CrashModel {
 public:
  static constexpr size_t kNever = SIZE_MAX;

  // `before`: the folder's files when the run began (the recorder's Exist
  // records name them).
  CrashModel(std::vector<Op> ops, std::map<std::string, std::string> before);

  const std::vector<Op>& Ops() const { return ops_; }
  // The first cut (an op index) from which op `i` is durable; kNever when no
  // sync covers it.
  size_t DurableFrom(size_t i) const { return durableFrom_[i]; }
  // The ops up to and including `cut` that change files and are not durable
  // at that cut: what a power cut may or may not keep.
  std::vector<size_t> Undecided(size_t cut) const;
  // The files after a cut right after op `cut`: every durable op, and of the
  // others those `kept` says.
  FileTree StateAt(size_t cut, const std::function<bool(size_t)>& kept, TornWrite torn = {}) const;

 private:
  bool ChangesFiles(size_t i) const;
  std::vector<Op> ops_;
  std::map<std::string, std::string> before_;
  std::vector<size_t> durableFrom_;
};

}  // namespace powercut
