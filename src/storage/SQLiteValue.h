#pragma once
#include <QByteArray>
#include <cstdint>
#include <variant>
#include <vector>

namespace rig {

// A value bound to a statement parameter (?1, ?2, ...) or held in a result
// cell: nothing (NULL), an integer, a double, text bytes, or a blob.
struct SqlBlob {
  QByteArray Bytes;
};
using SqlValue = std::variant<std::monostate, int64_t, double, QByteArray, SqlBlob>;
using SqlParams = std::vector<SqlValue>;

}  // namespace rig
