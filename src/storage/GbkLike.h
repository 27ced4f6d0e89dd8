#pragma once
// SQL `like` for the GBK text the databases hold. SQLite's own `like` reads
// text as UTF-8, so a GBK character's bytes can swallow their neighbours or
// match half of another character ("张" finding 王五). This one walks both
// texts character by character as GBK: "%" matches any run of characters,
// "_" exactly one, ASCII letters compare without case, everything else
// (a quote included) only itself.
#include <QByteArrayView>

namespace rig {

class TSQLiteDatabase;

// True when GBK `text` matches the GBK `pattern` as a whole.
bool GbkLike(QByteArrayView pattern, QByteArrayView text);

// Makes gbk_like(pattern, text) available to the connection's statements;
// it gives NULL when either argument is NULL, as `like` does.
void RegisterGbkLike(TSQLiteDatabase& db);

}  // namespace rig
