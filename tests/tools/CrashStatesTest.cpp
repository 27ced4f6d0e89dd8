// The crash-state model is the oracle of the power-cut check: if it kept
// more than a power cut can, the check would pass a program that loses
// tests. Each row is a short recorded history and the files a cut at its
// end leaves when nothing unsynced reaches the disk, and when everything does.
#include <gtest/gtest.h>

#include "CrashStates.h"

namespace powercut {
namespace {

Op Create(const std::string& path, int64_t id) { return {OpKind::Create, id, 0, path, {}, {}}; }
Op Write(int64_t id, int64_t at, const std::string& data) { return {OpKind::Write, id, at, {}, {}, data}; }
Op Truncate(int64_t id, int64_t length) { return {OpKind::Truncate, id, length, {}, {}, {}}; }
Op MakeDir(const std::string& path) { return {OpKind::MakeDir, -1, 0, path, {}, {}}; }
Op Unlink(const std::string& path) { return {OpKind::Unlink, -1, 0, path, {}, {}}; }
Op Rename(const std::string& from, const std::string& to) { return {OpKind::Rename, -1, 0, from, to, {}}; }
Op Link(int64_t id, const std::string& path) { return {OpKind::Link, id, 0, {}, path, {}}; }
Op Exist(const std::string& path, int64_t id) { return {OpKind::Exist, id, 0, path, {}, {}}; }
// A whole sync of a file (id) or of a folder (id -1, path).
std::vector<Op> Sync(int64_t n, int64_t id, const std::string& folder = {}) {
  return {{OpKind::SyncBegin, id, n, folder, {}, {}}, {OpKind::SyncEnd, id, n, folder, {}, {}}};
}

using Files = std::map<std::string, std::string>;

struct Row {
  const char* name;
  std::vector<std::vector<Op>> history;  // flattened in order
  Files syncedOnly;
  Files everything;
};

TEST(CrashModel, KeepsOnlyWhatASyncThatBeganAfterItCovers) {
  const Files before{{"db", "old"}};
  const std::vector<Row> rows = {
      {"a synced file without a synced name is lost",
       {{Create("f", 2), Write(2, 0, "abc")}, Sync(1, 2)},
       {{"db", "old"}},
       {{"db", "old"}, {"f", "abc"}}},
      {"a synced file and folder survive",
       {{Create("f", 2), Write(2, 0, "abc")}, Sync(1, 2), Sync(2, -1, "")},
       {{"db", "old"}, {"f", "abc"}},
       {{"db", "old"}, {"f", "abc"}}},
      {"a write after the sync began is not covered by it",
       {{Exist("db", 1), Write(1, 0, "new")}, Sync(1, 1), {Write(1, 3, "er")}},
       {{"db", "new"}},
       {{"db", "newer"}}},
      {"an unsynced removal leaves the file as it was synced",
       {{Exist("db", 1), Write(1, 0, "NEW")}, Sync(1, 1), {Unlink("db")}},
       {{"db", "NEW"}},
       {}},
      {"a synced removal holds",
       {{Exist("db", 1), Unlink("db")}, Sync(1, -1, "")},
       {},
       {}},
      {"a file in a new folder needs the folder's own entry synced",
       {{MakeDir("d"), Create("d/f", 2), Write(2, 0, "x")}, Sync(1, 2), Sync(2, -1, "d")},
       {{"db", "old"}},
       {{"db", "old"}, {"d/f", "x"}}},
      {"an unnamed file linked into a synced folder keeps its synced bytes",
       {{Create("", 2), Write(2, 0, "tmp"), Truncate(2, 2)}, Sync(1, 2), {Link(2, "t")}, Sync(2, -1, "")},
       {{"db", "old"}, {"t", "tm"}},
       {{"db", "old"}, {"t", "tm"}}},
      {"a rename is durable only with its folder synced",
       {{Exist("db", 1), Rename("db", "db2")}},
       {{"db", "old"}},
       {{"db2", "old"}}},
  };
  for (const Row& row : rows) {
    std::vector<Op> ops;
    bool named = false;
    for (const auto& part : row.history) {
      for (const Op& op : part) named = named || (op.Kind == OpKind::Exist && op.Path == "db");
      ops.insert(ops.end(), part.begin(), part.end());
    }
    if (!named) ops.insert(ops.begin(), Exist("db", 1));
    const CrashModel model(ops, before);
    const size_t cut = ops.size() - 1;
    EXPECT_EQ(model.StateAt(cut, [](size_t) { return false; }).Files, row.syncedOnly) << row.name;
    EXPECT_EQ(model.StateAt(cut, [](size_t) { return true; }).Files, row.everything) << row.name;
  }
}

TEST(CrashModel, ATornWriteKeepsABeginningOfItsBytes) {
  const std::vector<Op> ops = {Exist("j", 1), Write(1, 0, "head"), {OpKind::SyncBegin, 1, 1, {}, {}, {}},
                               {OpKind::SyncEnd, 1, 1, {}, {}, {}}, Write(1, 4, "record")};
  const CrashModel model(ops, {{"j", ""}});
  EXPECT_EQ(model.Undecided(4), std::vector<size_t>{4});
  EXPECT_EQ(model.StateAt(4, [](size_t) { return false; }, TornWrite{4, 3}).Files.at("j"), "headrec");
}

}  // namespace
}  // namespace powercut
