#pragma once
// The record of a run's file operations under one folder, as the preloaded
// recorder writes it and the crash-state builder reads it. Plain C++ (the
// recorder links nothing else).
#include <cstdint>
#include <string>
#include <vector>

namespace powercut {

enum class OpKind : uint8_t {
  Exist = 1,   // path, id, A=1 for a folder: there before the run
  Create,      // path (empty: a file without a name yet), id
  MakeDir,     // path
  Write,       // id, A = offset, data
  Truncate,    // id, A = length
  Unlink,      // path
  RemoveDir,   // path
  Rename,      // path -> path2
  Link,        // path2 = the new name, id
  SyncBegin,   // id (a file) or path with id -1 (a folder), A = sync number
  SyncEnd,     // as its SyncBegin
  Mark,        // data: a line from the program under test ("synced 1 40")
};

struct Op {
  OpKind Kind{};
  int64_t Id = -1;
  int64_t A = 0;
  std::string Path;
  std::string Path2;
  std::string Data;
};

// Appends one record's bytes to `out`.
void EncodeOp(const Op& op, std::string& out);
// Reads every whole record of a log; a torn last record is left out.
std::vector<Op> DecodeOps(const std::string& bytes);

// "a/b/c" -> "a/b"; "c" -> "".
std::string ParentOf(const std::string& path);

}  // namespace powercut
