#pragma once
// The far end of a pseudo-terminal for serial tests: the test writes and
// reads the master while the code under test opens the slave as its port.
#include <errno.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>

#include "rigsim/PseudoTerminal.h"

namespace rigtest {

class PtyLine {
 public:
  // The device starts cooked, as a real terminal does, so the port has to
  // put it in raw mode itself.
  PtyLine() {
    ok_ = pty_.Open();
    termios t{};
    if (ok_ && tcgetattr(pty_.MasterFd(), &t) == 0) {
      t.c_iflag |= ICRNL | IXON;
      t.c_oflag |= OPOST | ONLCR;
      t.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
      ok_ = tcsetattr(pty_.MasterFd(), TCSANOW, &t) == 0;
    }
  }
  bool Ok() const { return ok_; }
  QString Device() const { return pty_.SlavePath(); }
  void HangUp() { pty_.Close(); }

  // Writes all of `bytes` to the master; false when the line will not take
  // them within `timeoutMs` (no limit when negative).
  bool Send(const QByteArray& bytes, int timeoutMs = -1) {
    qsizetype done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size()) {
      if (timeoutMs >= 0 && timer.elapsed() > timeoutMs) return false;
      const ssize_t n = ::write(pty_.MasterFd(), bytes.constData() + done, bytes.size() - done);
      if (n > 0) {
        done += n;
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return false;
      } else {
        pollfd p{pty_.MasterFd(), POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
    return true;
  }

  // Reads from the master until `count` bytes came or `timeoutMs` passed.
  QByteArray Receive(int count, int timeoutMs = 3000) {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
      pollfd p{pty_.MasterFd(), POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(pty_.MasterFd(), buffer, sizeof buffer);
      if (n > 0) got.append(buffer, n);
    }
    return got;
  }

 private:
  rig::sim::TPseudoTerminal pty_;
  bool ok_ = false;
};

inline QByteArray Pattern(int count) {
  QByteArray bytes(count, '\0');
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

}  // namespace rigtest
