// Kept apart from LineSettings.cpp: <asm/termbits.h> clashes with <termios.h>.
#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace rig {

bool SetCustomBaudRate(int fd, uint32_t baudRate) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~CBAUD;
  t.c_cflag |= BOTHER;
  t.c_cflag &= ~(CBAUD << IBSHIFT);
  t.c_cflag |= BOTHER << IBSHIFT;
  t.c_ispeed = baudRate;
  t.c_ospeed = baudRate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace rig
#elif !defined(_WIN32)
#include <cstdint>

namespace rig {
bool SetCustomBaudRate(int, uint32_t) { return false; }
}  // namespace rig
#endif
