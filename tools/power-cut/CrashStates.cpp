#include "CrashStates.h"

#include <algorithm>

namespace powercut {
namespace {

// What a sync covers: a file by its id, a folder by its path.
std::string FileKey(int64_t id) { return "f:" + std::to_string(id); }
std::string FolderKey(const std::string& path) { return "d:" + path; }

struct SyncSpan {
  size_t Begin;
  size_t End;
};

// The syncs of one target, by begin, with the earliest end from each onwards.
struct SyncsOf {
  std::vector<SyncSpan> Spans;
  std::vector<size_t> EarliestEndFrom;

  size_t CoveredFrom(size_t op) const {
    const auto it = std::upper_bound(Spans.begin(), Spans.end(), op,
                                     [](size_t i, const SyncSpan& s) { return i < s.Begin; });
    return it == Spans.end() ? CrashModel::kNever : EarliestEndFrom[it - Spans.begin()];
  }
};

// The targets whose sync makes op durable; none for ops that need none.
std::vector<std::string> TargetsOf(const Op& op) {
  switch (op.Kind) {
    case OpKind::Write:
    case OpKind::Truncate:
      return {FileKey(op.Id)};
    case OpKind::Create:
      if (op.Path.empty()) return {};  // an unnamed file: only its later name matters
      [[fallthrough]];
    case OpKind::MakeDir:
    case OpKind::Unlink:
    case OpKind::RemoveDir:
      return {FolderKey(ParentOf(op.Path))};
    case OpKind::Link:
      return {FolderKey(ParentOf(op.Path2))};
    case OpKind::Rename:
      return {FolderKey(ParentOf(op.Path)), FolderKey(ParentOf(op.Path2))};
    default:
      return {};
  }
}

bool Reachable(const std::string& path, const std::set<std::string>& folders) {
  for (std::string parent = ParentOf(path); !parent.empty(); parent = ParentOf(parent)) {
    if (!folders.count(parent)) return false;
  }
  return true;
}

}  // namespace

CrashModel::CrashModel(std::vector<Op> ops, std::map<std::string, std::string> before)
    : ops_(std::move(ops)), before_(std::move(before)), durableFrom_(ops_.size(), kNever) {
  std::map<std::string, SyncsOf> syncs;
  std::map<int64_t, size_t> openBegins;  // sync number -> its begin
  for (size_t i = 0; i < ops_.size(); ++i) {
    const Op& op = ops_[i];
    if (op.Kind == OpKind::SyncBegin) openBegins[op.A] = i;
    if (op.Kind == OpKind::SyncEnd && openBegins.count(op.A)) {
      const std::string key = op.Id >= 0 ? FileKey(op.Id) : FolderKey(op.Path);
      syncs[key].Spans.push_back({openBegins[op.A], i});
      openBegins.erase(op.A);
    }
  }
  for (auto& [key, s] : syncs) {
    std::sort(s.Spans.begin(), s.Spans.end(), [](const SyncSpan& a, const SyncSpan& b) { return a.Begin < b.Begin; });
    s.EarliestEndFrom.assign(s.Spans.size(), kNever);
    size_t earliest = kNever;
    for (size_t j = s.Spans.size(); j-- > 0;) s.EarliestEndFrom[j] = earliest = std::min(earliest, s.Spans[j].End);
  }
  for (size_t i = 0; i < ops_.size(); ++i) {
    if (!ChangesFiles(i)) continue;
    const std::vector<std::string> targets = TargetsOf(ops_[i]);
    if (targets.empty()) {
      durableFrom_[i] = i;
      continue;
    }
    size_t from = i;
    for (const std::string& t : targets) {
      const auto it = syncs.find(t);
      from = std::max(from, it == syncs.end() ? kNever : it->second.CoveredFrom(i));
    }
    durableFrom_[i] = from;
  }
}

bool CrashModel::ChangesFiles(size_t i) const {
  const OpKind k = ops_[i].Kind;
  return k != OpKind::SyncBegin && k != OpKind::SyncEnd && k != OpKind::Mark;
}

std::vector<size_t> CrashModel::Undecided(size_t cut) const {
  std::vector<size_t> out;
  for (size_t i = 0; i <= cut && i < ops_.size(); ++i) {
    if (ChangesFiles(i) && durableFrom_[i] > cut) out.push_back(i);
  }
  return out;
}

FileTree CrashModel::StateAt(size_t cut, const std::function<bool(size_t)>& kept, TornWrite torn) const {
  std::map<int64_t, std::string> contents;
  std::map<std::string, int64_t> names;
  std::set<std::string> folders;
  for (size_t i = 0; i <= cut && i < ops_.size(); ++i) {
    const Op& op = ops_[i];
    if (!ChangesFiles(i)) continue;
    // A file exists from its creation whether or not its name is durable.
    if (op.Kind == OpKind::Create) contents.try_emplace(op.Id);
    const bool applied = durableFrom_[i] <= cut || kept(i) || (torn.Op == i);
    if (!applied) continue;
    switch (op.Kind) {
      case OpKind::Exist:
        if (op.A == 1) {
          folders.insert(op.Path);
        } else {
          names[op.Path] = op.Id;
          const auto it = before_.find(op.Path);
          contents[op.Id] = it == before_.end() ? std::string() : it->second;
        }
        break;
      case OpKind::Create:
        if (!op.Path.empty()) names[op.Path] = op.Id;
        break;
      case OpKind::MakeDir:
        folders.insert(op.Path);
        break;
      case OpKind::Write: {
        std::string& bytes = contents[op.Id];
        const size_t length = torn.Op == i ? std::min(torn.KeepBytes, op.Data.size()) : op.Data.size();
        const size_t end = static_cast<size_t>(op.A) + length;
        if (bytes.size() < end) bytes.resize(end, '\0');
        bytes.replace(static_cast<size_t>(op.A), length, op.Data, 0, length);
        break;
      }
      case OpKind::Truncate:
        contents[op.Id].resize(static_cast<size_t>(op.A), '\0');
        break;
      case OpKind::Unlink:
        names.erase(op.Path);
        break;
      case OpKind::RemoveDir:
        folders.erase(op.Path);
        break;
      case OpKind::Rename:
        if (const auto it = names.find(op.Path); it != names.end()) {
          const int64_t id = it->second;
          names.erase(it);
          names[op.Path2] = id;
        }
        break;
      case OpKind::Link:
        names[op.Path2] = op.Id;
        break;
      default:
        break;
    }
  }
  FileTree tree;
  for (const std::string& f : folders) {
    if (Reachable(f, folders)) tree.Folders.insert(f);
  }
  for (const auto& [path, id] : names) {
    if (Reachable(path, tree.Folders)) tree.Files[path] = contents[id];
  }
  return tree;
}

}  // namespace powercut
