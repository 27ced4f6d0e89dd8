#include "storage/GbkLike.h"

#include <sqlite3.h>

#include "storage/SQLite3.h"
#include "storage/SQLiteException.h"

namespace rig {
namespace {

// Bytes of the GBK character at `at`: two for a lead byte 0x81-0xFE followed
// by a trail byte 0x40-0xFE other than 0x7F, else one.
qsizetype CharLength(QByteArrayView s, qsizetype at) {
  const auto lead = static_cast<unsigned char>(s[at]);
  if (lead < 0x81 || lead == 0xFF || at + 1 >= s.size()) return 1;
  const auto trail = static_cast<unsigned char>(s[at + 1]);
  return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 1;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameChar(QByteArrayView p, qsizetype pi, qsizetype plen, QByteArrayView t, qsizetype ti, qsizetype tlen) {
  if (plen != tlen) return false;
  if (plen == 1) return FoldAscii(p[pi]) == FoldAscii(t[ti]);
  return p[pi] == t[ti] && p[pi + 1] == t[ti + 1];
}

void GbkLikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const qsizetype patternBytes = sqlite3_value_bytes(argv[0]);
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  const qsizetype textBytes = sqlite3_value_bytes(argv[1]);
  sqlite3_result_int(context, GbkLike(QByteArrayView(pattern, patternBytes), QByteArrayView(text, textBytes)));
}

}  // namespace

bool GbkLike(QByteArrayView pattern, QByteArrayView text) {
  // Greedy match with one way back: on a mismatch, let the last "%" take one
  // more character of the text. Enough for "%" and "_", linear in practice.
  qsizetype p = 0, t = 0;
  qsizetype starP = -1, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size()) {
      const qsizetype plen = CharLength(pattern, p);
      const qsizetype tlen = CharLength(text, t);
      if (plen == 1 && pattern[p] == '%') {
        starP = ++p;
        starT = t;
        continue;
      }
      if ((plen == 1 && pattern[p] == '_') || SameChar(pattern, p, plen, text, t, tlen)) {
        p += plen;
        t += tlen;
        continue;
      }
    }
    if (starP < 0) return false;
    starT += CharLength(text, starT);
    t = starT;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

void RegisterGbkLike(TSQLiteDatabase& db) {
  const int rc = sqlite3_create_function_v2(db.Handle(), "gbk_like", 2,
                                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                            &GbkLikeFunction, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw ESQLiteException(QStringLiteral("Could not register gbk_like"));
}

}  // namespace rig
