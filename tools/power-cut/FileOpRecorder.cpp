// Preloaded into a run (LD_PRELOAD) to record, in the order they take
// effect, every operation that changes files under POWERCUT_ROOT: writes,
// truncations, creations, links, removals, renames, and the start and end of
// each fsync/fdatasync. The log goes to POWERCUT_LOG. Reads are not
// recorded. Copies the kernel does inside (sendfile, copy_file_range) are
// done here as reads and writes so their bytes are seen; FICLONE is refused
// so a copy never shares blocks unseen.
//
// The program under test may call powercut_mark(text) (found with dlsym) to
// put its own line in the log, e.g. when it has been told an action is
// synced.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>

#include "FileOpLog.h"

using powercut::Op;
using powercut::OpKind;

namespace {

template <typename F>
F Real(F*, const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
#define REAL(fn) static auto real_##fn = Real<decltype(&fn)>(nullptr, #fn)

struct Tracked {
  bool dir = false;
  int64_t id = -1;   // files
  std::string path;  // relative to the root; folders are known by it
};

struct Recorder {
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  bool on = false;
  std::string root;  // absolute, no trailing slash
  int logFd = -1;
  int64_t nextId = 1;
  int64_t nextSync = 1;
  bool ignoreFolderSyncs = false;  // for checking the checker: folder syncs are not counted
  std::map<std::pair<dev_t, ino_t>, int64_t> ids;
  std::map<int, Tracked> fds;
};

Recorder& R() {
  static Recorder* r = new Recorder;  // never destroyed: used until the last close
  return *r;
}

struct Guard {
  Guard() { pthread_mutex_lock(&R().lock); }
  ~Guard() { pthread_mutex_unlock(&R().lock); }
};

void Emit(const Op& op) {
  std::string bytes;
  powercut::EncodeOp(op, bytes);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = syscall(SYS_write, R().logFd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void ScanExisting(const std::string& abs, const std::string& rel);

void Init() {
  static pthread_once_t once = PTHREAD_ONCE_INIT;
  pthread_once(&once, [] {
    const char* root = getenv("POWERCUT_ROOT");
    const char* log = getenv("POWERCUT_LOG");
    if (!root || !log) return;
    Recorder& r = R();
    r.root = root;
    while (r.root.size() > 1 && r.root.back() == '/') r.root.pop_back();
    r.ignoreFolderSyncs = getenv("POWERCUT_IGNORE_FOLDER_SYNCS") != nullptr;
    r.logFd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (r.logFd < 0) return;
    ScanExisting(r.root, "");
    r.on = true;
  });
}

std::string Join(const std::string& rel, const char* name) { return rel.empty() ? name : rel + "/" + name; }

void ScanExisting(const std::string& abs, const std::string& rel) {
  DIR* d = opendir(abs.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    const std::string childAbs = abs + "/" + e->d_name;
    const std::string childRel = Join(rel, e->d_name);
    struct stat st {};
    if (lstat(childAbs.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      Emit(Op{OpKind::Exist, -1, 1, childRel, {}, {}});
      ScanExisting(childAbs, childRel);
    } else if (S_ISREG(st.st_mode)) {
      const int64_t id = R().nextId++;
      R().ids[{st.st_dev, st.st_ino}] = id;
      Emit(Op{OpKind::Exist, id, 0, childRel, {}, {}});
    }
  }
  closedir(d);
}

// The path relative to the root, or false when it lies outside. Relative
// paths are taken from the working folder or the tracked folder `dirFd`.
bool Relative(int dirFd, const char* path, std::string* rel) {
  Recorder& r = R();
  if (!r.on || !path) return false;
  std::string abs;
  if (path[0] == '/') {
    abs = path;
  } else if (dirFd != AT_FDCWD) {
    auto it = r.fds.find(dirFd);
    if (it == r.fds.end() || !it->second.dir) return false;
    abs = r.root + (it->second.path.empty() ? "" : "/" + it->second.path) + "/" + path;
  } else {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return false;
    abs = std::string(cwd) + "/" + path;
  }
  while (abs.size() > 1 && abs.back() == '/') abs.pop_back();
  if (abs == r.root) {
    rel->clear();
    return true;
  }
  if (abs.compare(0, r.root.size() + 1, r.root + "/") != 0) return false;
  *rel = abs.substr(r.root.size() + 1);
  return true;
}

bool Exists(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0;
}

// An open that succeeded: tracks the descriptor, records a creation or a
// truncation.
void Opened(int fd, int dirFd, const char* path, int flags, bool existed) {
  if (fd < 0) return;
  std::string rel;
  if (!Relative(dirFd, path, &rel)) return;
  struct stat st {};
  if (fstat(fd, &st) != 0) return;
  Recorder& r = R();
  Tracked t;
  if (S_ISDIR(st.st_mode)) {
    t.dir = true;
    t.path = rel;
    r.fds[fd] = t;
    return;
  }
  if (!S_ISREG(st.st_mode)) return;
  const auto key = std::make_pair(st.st_dev, st.st_ino);
  const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
  if (unnamed || !existed || !r.ids.count(key)) {
    t.id = r.nextId++;
    r.ids[key] = t.id;
    Emit(Op{OpKind::Create, t.id, 0, unnamed ? std::string() : rel, {}, {}});
  } else {
    t.id = r.ids[key];
    if ((flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY) Emit(Op{OpKind::Truncate, t.id, 0, {}, {}, {}});
  }
  t.path = unnamed ? std::string() : rel;
  r.fds[fd] = t;
}

const Tracked* FileOf(int fd) {
  if (!R().on) return nullptr;
  auto it = R().fds.find(fd);
  return it == R().fds.end() || it->second.dir ? nullptr : &it->second;
}

void Wrote(int fd, int64_t offset, const void* data, ssize_t n) {
  const Tracked* t = FileOf(fd);
  if (!t || n <= 0) return;
  Emit(Op{OpKind::Write, t->id, offset, {}, {}, std::string(static_cast<const char*>(data), static_cast<size_t>(n))});
}

int64_t PositionOf(int fd) {
  REAL(lseek);
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_APPEND)) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? st.st_size : 0;
  }
  return real_lseek(fd, 0, SEEK_CUR);
}

int OpenAt(int dirFd, const char* path, int flags, mode_t mode) {
  Init();
  Guard g;
  std::string rel;
  const bool watched = Relative(dirFd, path, &rel);
  const bool existed = watched && Exists((R().root + (rel.empty() ? "" : "/" + rel)).c_str());
  const int fd = static_cast<int>(syscall(SYS_openat, dirFd, path, flags, mode));
  if (watched) Opened(fd, dirFd, path, flags, existed);
  return fd;
}

mode_t ModeArg(int flags, va_list ap) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

int Sync(int fd, bool dataOnly) {
  Init();
  int64_t number = 0;
  Op begin;
  bool tracked = false;
  {
    Guard g;
    auto it = R().on ? R().fds.find(fd) : R().fds.end();
    if (it != R().fds.end() && !(it->second.dir && R().ignoreFolderSyncs)) {
      tracked = true;
      number = R().nextSync++;
      begin = it->second.dir ? Op{OpKind::SyncBegin, -1, number, it->second.path, {}, {}}
                             : Op{OpKind::SyncBegin, it->second.id, number, {}, {}, {}};
      Emit(begin);
    }
  }
  const int rc = static_cast<int>(syscall(dataOnly ? SYS_fdatasync : SYS_fsync, fd));
  if (tracked && rc == 0) {
    Guard g;
    begin.Kind = OpKind::SyncEnd;
    Emit(begin);
  }
  return rc;
}

// A copy into a watched file, done as a read and a write so its bytes are
// recorded. Returns what sendfile/copy_file_range would.
ssize_t CopyInto(int out, int in, off_t* inOffset, off_t* outOffset, size_t count) {
  REAL(pread);
  REAL(read);
  REAL(pwrite);
  REAL(write);
  char buffer[1 << 16];
  const size_t want = count < sizeof buffer ? count : sizeof buffer;
  const ssize_t got = inOffset ? real_pread(in, buffer, want, *inOffset) : real_read(in, buffer, want);
  if (got <= 0) return got;
  const int64_t at = outOffset ? *outOffset : PositionOf(out);
  const ssize_t put = outOffset ? real_pwrite(out, buffer, got, *outOffset) : real_write(out, buffer, got);
  if (put > 0) {
    Wrote(out, at, buffer, put);
    if (inOffset) *inOffset += put;
    if (outOffset) *outOffset += put;
  }
  return put;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void powercut_mark(const char* text) {
  Init();
  Guard g;
  if (R().on) Emit(Op{OpKind::Mark, -1, 0, {}, {}, text});
}

int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return OpenAt(AT_FDCWD, path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return OpenAt(AT_FDCWD, path, flags, mode);
}
int openat(int dirFd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return OpenAt(dirFd, path, flags, mode);
}
int openat64(int dirFd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return OpenAt(dirFd, path, flags, mode);
}
int __open_2(const char* path, int flags) { return OpenAt(AT_FDCWD, path, flags, 0); }
int __open64_2(const char* path, int flags) { return OpenAt(AT_FDCWD, path, flags, 0); }
int __openat_2(int dirFd, const char* path, int flags) { return OpenAt(dirFd, path, flags, 0); }
int __openat64_2(int dirFd, const char* path, int flags) { return OpenAt(dirFd, path, flags, 0); }
int creat(const char* path, mode_t mode) { return OpenAt(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode); }
int creat64(const char* path, mode_t mode) { return OpenAt(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode); }

int close(int fd) {
  Init();
  Guard g;
  R().fds.erase(fd);
  return static_cast<int>(syscall(SYS_close, fd));
}

int dup(int fd) {
  Init();
  Guard g;
  const int copy = static_cast<int>(syscall(SYS_dup, fd));
  if (copy >= 0 && R().fds.count(fd)) R().fds[copy] = R().fds[fd];
  return copy;
}
int dup3(int fd, int to, int flags) {
  Init();
  Guard g;
  const int copy = static_cast<int>(syscall(SYS_dup3, fd, to, flags));
  if (copy >= 0) {
    R().fds.erase(copy);
    if (R().fds.count(fd)) R().fds[copy] = R().fds[fd];
  }
  return copy;
}
int dup2(int fd, int to) { return fd == to ? fd : dup3(fd, to, 0); }

ssize_t write(int fd, const void* data, size_t n) {
  Init();
  REAL(write);
  Guard g;  // also for descriptors not watched: the table of them is shared
  if (!FileOf(fd)) return real_write(fd, data, n);
  const int64_t at = PositionOf(fd);
  const ssize_t done = real_write(fd, data, n);
  Wrote(fd, at, data, done);
  return done;
}
ssize_t pwrite(int fd, const void* data, size_t n, off_t offset) {
  Init();
  REAL(pwrite);
  Guard g;
  const ssize_t done = real_pwrite(fd, data, n, offset);
  Wrote(fd, offset, data, done);
  return done;
}
ssize_t pwrite64(int fd, const void* data, size_t n, off64_t offset) { return pwrite(fd, data, n, offset); }
ssize_t writev(int fd, const struct iovec* iov, int count) {
  Init();
  REAL(writev);
  Guard g;
  if (!FileOf(fd)) return real_writev(fd, iov, count);
  int64_t at = PositionOf(fd);
  const ssize_t done = real_writev(fd, iov, count);
  ssize_t left = done;
  for (int i = 0; i < count && left > 0; ++i) {
    const ssize_t part = static_cast<ssize_t>(iov[i].iov_len) < left ? static_cast<ssize_t>(iov[i].iov_len) : left;
    Wrote(fd, at, iov[i].iov_base, part);
    at += part;
    left -= part;
  }
  return done;
}

int ftruncate(int fd, off_t length) {
  Init();
  Guard g;
  const int rc = static_cast<int>(syscall(SYS_ftruncate, fd, length));
  if (rc == 0)
    if (const Tracked* t = FileOf(fd)) Emit(Op{OpKind::Truncate, t->id, length, {}, {}, {}});
  return rc;
}
int ftruncate64(int fd, off64_t length) { return ftruncate(fd, length); }

int fsync(int fd) { return Sync(fd, false); }
int fdatasync(int fd) { return Sync(fd, true); }

int unlinkat(int dirFd, const char* path, int flags) {
  Init();
  Guard g;
  std::string rel;
  const bool watched = Relative(dirFd, path, &rel);
  const int rc = static_cast<int>(syscall(SYS_unlinkat, dirFd, path, flags));
  if (rc == 0 && watched) Emit(Op{(flags & AT_REMOVEDIR) ? OpKind::RemoveDir : OpKind::Unlink, -1, 0, rel, {}, {}});
  return rc;
}
int unlink(const char* path) { return unlinkat(AT_FDCWD, path, 0); }
int rmdir(const char* path) { return unlinkat(AT_FDCWD, path, AT_REMOVEDIR); }

int mkdirat(int dirFd, const char* path, mode_t mode) {
  Init();
  Guard g;
  std::string rel;
  const bool watched = Relative(dirFd, path, &rel);
  const int rc = static_cast<int>(syscall(SYS_mkdirat, dirFd, path, mode));
  if (rc == 0 && watched) Emit(Op{OpKind::MakeDir, -1, 0, rel, {}, {}});
  return rc;
}
int mkdir(const char* path, mode_t mode) { return mkdirat(AT_FDCWD, path, mode); }

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
  Init();
  Guard g;
  std::string a, b;
  const bool watched = Relative(fromDir, from, &a) & Relative(toDir, to, &b);
  const int rc = static_cast<int>(syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
  if (rc == 0 && watched) Emit(Op{OpKind::Rename, -1, 0, a, b, {}});
  return rc;
}
int renameat(int fromDir, const char* from, int toDir, const char* to) { return renameat2(fromDir, from, toDir, to, 0); }
int rename(const char* from, const char* to) { return renameat2(AT_FDCWD, from, AT_FDCWD, to, 0); }

// Also the naming of an unnamed file: linkat(fd, "", ..., AT_EMPTY_PATH) or
// linkat(AT_FDCWD, "/proc/self/fd/N", ..., AT_SYMLINK_FOLLOW).
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  Init();
  Guard g;
  int64_t id = -1;
  std::string rel;
  const bool watched = Relative(toDir, to, &rel);
  if (watched) {
    int sourceFd = -1;
    if ((flags & AT_EMPTY_PATH) && !*from) sourceFd = fromDir;
    if (!strncmp(from, "/proc/self/fd/", 14)) sourceFd = atoi(from + 14);
    if (sourceFd >= 0) {
      if (const Tracked* t = FileOf(sourceFd)) id = t->id;
    } else {
      struct stat st {};
      if (fstatat(fromDir, from, &st, (flags & AT_SYMLINK_FOLLOW) ? 0 : AT_SYMLINK_NOFOLLOW) == 0) {
        auto it = R().ids.find({st.st_dev, st.st_ino});
        if (it != R().ids.end()) id = it->second;
      }
    }
  }
  const int rc = static_cast<int>(syscall(SYS_linkat, fromDir, from, toDir, to, flags));
  if (rc == 0 && watched && id >= 0) Emit(Op{OpKind::Link, id, 0, {}, rel, {}});
  return rc;
}
int link(const char* from, const char* to) { return linkat(AT_FDCWD, from, AT_FDCWD, to, 0); }

ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
  Init();
  Guard g;
  if (FileOf(out)) return CopyInto(out, in, offset, nullptr, count);
  return syscall(SYS_sendfile, out, in, offset, count);
}
ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) { return sendfile(out, in, offset, count); }
ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count, unsigned int flags) {
  Init();
  Guard g;
  if (FileOf(out)) return CopyInto(out, in, inOffset, outOffset, count);
  return syscall(SYS_copy_file_range, in, inOffset, out, outOffset, count, flags);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  Init();
  Guard g;
  if ((request == FICLONE || request == FICLONERANGE) && FileOf(fd)) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return static_cast<int>(syscall(SYS_ioctl, fd, request, arg));
}

}  // extern "C"
