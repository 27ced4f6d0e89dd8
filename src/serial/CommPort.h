#pragma once
// TCommPort: the thin layer over the operating system's serial device. It
// keeps no state; the caller owns the handle and passes it to every call.
// Written on termios, so it works on real ports, USB adapters and
// pseudo-terminals alike.
#include <QString>
#include <cstdint>

namespace rig {

using PortHandle = int;  // a file descriptor on POSIX
constexpr PortHandle kNoHandle = -1;

// The most one read delivers.
constexpr int kReadBufferSize = 2048;

// What one ReadData call found.
enum class PortRead {
  Delivered,  // bytes were read
  Nothing,    // nothing waiting, or no handle
  Failed,     // the device reported an error (vanished, hung up, closed under us)
};

class TCommPort {
 public:
  // Opens `devicePath` for exclusive reading and writing and configures it
  // (see LineSettings.h for the codes). Exclusive means TIOCEXCL, which
  // stops other openers except root, plus an advisory flock, which stops our
  // own program even as root. The port is put in raw mode and anything
  // received before the open is dropped. kNoHandle when the device is
  // missing, not a terminal, in use, or refuses the settings.
  PortHandle OpenPort(const QString& devicePath, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
                      uint8_t stopBits, uint8_t flowControl);

  // Reads the bytes already waiting, never waiting for more, at most
  // kReadBufferSize: what is beyond stays queued for the next read. `count`
  // is set only for Delivered (1..kReadBufferSize). After Failed, errno says why.
  PortRead ReadData(PortHandle handle, uint8_t* destination, int& count);

  // Writes all `count` bytes. False with no handle, or when the device
  // reports an error or does not take the bytes within kWriteTimeoutMs (a
  // stalled line never freezes the caller for long). After a failure with a
  // handle, errno says why (ETIMEDOUT for the time-out).
  bool WriteData(PortHandle handle, const uint8_t* bytes, int count);

  // Releases exclusivity and closes; no handle does nothing.
  void ClosePort(PortHandle handle);

  // Bytes waiting in the receive queue; -1 when it cannot be asked.
  int BytesWaiting(PortHandle handle) const;

  static constexpr int kWriteTimeoutMs = 1000;
};

}  // namespace rig
