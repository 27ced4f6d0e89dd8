#include "serial/CommPort.h"

#ifdef _WIN32
#error "TCommPort has only a POSIX implementation so far"
#endif

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "serial/LineSettings.h"

namespace rig {
namespace {

void CloseExclusive(int fd) {
  ioctl(fd, TIOCNXCL);  // a pty keeps the flag after close; the next open would get EBUSY
  ::close(fd);
}

}  // namespace

PortHandle TCommPort::OpenPort(const QString& devicePath, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
                               uint8_t stopBits, uint8_t flowControl) {
  if (devicePath.isEmpty()) return kNoHandle;
  // Non-blocking: opening must not wait for a carrier, and reads and writes
  // must never hang the caller.
  const int fd = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoHandle;
  if (!isatty(fd)) {
    ::close(fd);
    return kNoHandle;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kNoHandle;
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return kNoHandle;
  }

  termios t{};
  const LineSettings settings{baudRate, dataBits, parity, stopBits, flowControl};
  bool ok = tcgetattr(fd, &t) == 0;
  if (ok) {
    MakeRaw(t);
    ok = ApplyLineSettings(t, settings);
  }
  if (ok) {
    ApplyFlowControl(t, flowControl);
    ok = tcsetattr(fd, TCSANOW, &t) == 0;
  }
  if (ok && NeedsCustomBaudRate(baudRate)) ok = SetCustomBaudRate(fd, baudRate);
  if (!ok) {
    CloseExclusive(fd);
    return kNoHandle;
  }
  // Whatever arrived while nobody listened belongs to an earlier session.
  tcflush(fd, TCIFLUSH);
  return fd;
}

int TCommPort::BytesWaiting(PortHandle handle) const {
  if (handle == kNoHandle) return -1;
  int waiting = 0;
  if (ioctl(handle, FIONREAD, &waiting) != 0) return -1;
  return waiting;
}

PortRead TCommPort::ReadData(PortHandle handle, uint8_t* destination, int& count) {
  if (handle == kNoHandle) return PortRead::Nothing;
  const int waiting = BytesWaiting(handle);
  if (waiting < 0) return PortRead::Failed;
  if (waiting == 0) return PortRead::Nothing;
  // More than one read takes (the reader was held up): the first part now,
  // the rest at the next poll. Throwing the queue away would lose actions.
  const int wanted = waiting > kReadBufferSize ? kReadBufferSize : waiting;
  ssize_t n;
  do {
    n = ::read(handle, destination, static_cast<size_t>(wanted));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno == EAGAIN ? PortRead::Nothing : PortRead::Failed;
  if (n == 0) {  // end of file on a terminal: it hung up
    errno = EIO;
    return PortRead::Failed;
  }
  count = static_cast<int>(n);
  return PortRead::Delivered;
}

bool TCommPort::WriteData(PortHandle handle, const uint8_t* bytes, int count) {
  if (handle == kNoHandle) return false;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
  int done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle, bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The driver's queue is full: wait for room, but not for ever.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      errno = ETIMEDOUT;
      return false;
    }
    pollfd p{handle, POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno != EINTR) return false;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      errno = EIO;
      return false;
    }
  }
  return true;
}

void TCommPort::ClosePort(PortHandle handle) {
  if (handle == kNoHandle) return;
  CloseExclusive(handle);
}

}  // namespace rig
