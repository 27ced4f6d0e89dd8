#include "FileOpLog.h"

#include <cstring>

namespace powercut {
namespace {

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::string& text) {
  Put<uint32_t>(out, static_cast<uint32_t>(text.size()));
  out += text;
}

struct Reader {
  const std::string& bytes;
  size_t at = 0;
  bool ok = true;

  template <typename T>
  T Get() {
    T value{};
    if (at + sizeof value > bytes.size()) {
      ok = false;
      return value;
    }
    std::memcpy(&value, bytes.data() + at, sizeof value);
    at += sizeof value;
    return value;
  }
  std::string GetText() {
    const uint32_t n = Get<uint32_t>();
    if (!ok || at + n > bytes.size()) {
      ok = false;
      return {};
    }
    std::string text = bytes.substr(at, n);
    at += n;
    return text;
  }
};

}  // namespace

void EncodeOp(const Op& op, std::string& out) {
  Put<uint8_t>(out, static_cast<uint8_t>(op.Kind));
  Put<int64_t>(out, op.Id);
  Put<int64_t>(out, op.A);
  PutText(out, op.Path);
  PutText(out, op.Path2);
  PutText(out, op.Data);
}

std::vector<Op> DecodeOps(const std::string& bytes) {
  std::vector<Op> ops;
  Reader r{bytes};
  while (r.at < bytes.size()) {
    Op op;
    op.Kind = static_cast<OpKind>(r.Get<uint8_t>());
    op.Id = r.Get<int64_t>();
    op.A = r.Get<int64_t>();
    op.Path = r.GetText();
    op.Path2 = r.GetText();
    op.Data = r.GetText();
    if (!r.ok) break;
    ops.push_back(std::move(op));
  }
  return ops;
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace powercut
