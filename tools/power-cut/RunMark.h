#pragma once
// A mark in the recorder's log: what the program has promised by now. Does
// nothing when the recorder is not preloaded.
#include <dlfcn.h>

#include <QString>

namespace powercut {

inline void Mark(const QString& line) {
  using MarkFn = void (*)(const char*);
  static const auto mark = reinterpret_cast<MarkFn>(dlsym(RTLD_DEFAULT, "powercut_mark"));
  if (mark) mark(line.toUtf8().constData());
}

}  // namespace powercut
