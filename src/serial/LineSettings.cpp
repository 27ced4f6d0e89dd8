#include "serial/LineSettings.h"

#ifndef _WIN32
namespace rig {

void MakeRaw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                      IXANY | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

speed_t SpeedConstant(uint32_t baudRate) {
  switch (baudRate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
#ifdef B460800
    case 460800: return B460800;
#endif
#ifdef B921600
    case 921600: return B921600;
#endif
    default: return B0;
  }
}

bool NeedsCustomBaudRate(uint32_t baudRate) { return baudRate != 0 && SpeedConstant(baudRate) == B0; }

bool ApplyLineSettings(termios& t, const LineSettings& s) {
  if (s.BaudRate == 0) return false;
  const speed_t speed = SpeedConstant(s.BaudRate);
  if (speed != B0) {
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
  } else {
#ifndef __linux__
    return false;
#endif
  }

  tcflag_t size = 0;
  switch (s.DataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;

  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
  switch (s.Parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return false;
  }

  switch (s.StopBits) {
    case 0: t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB); break;
    case 1:
    case 2: t.c_cflag |= CSTOPB; break;
    default: return false;
  }
  return true;
}

void ApplyFlowControl(termios& t, uint8_t flowControl) {
  const tcflag_t xonXoff = IXON | IXOFF;
  switch (flowControl) {
    case 0:
    case 4:
      t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
      t.c_iflag &= ~xonXoff;
      break;
    case 1:
      t.c_cflag |= CRTSCTS;
      break;
    case 2:
    case 3:
      t.c_cflag |= CRTSCTS;
      t.c_iflag &= ~xonXoff;
      break;
    case 5:
      t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
      t.c_iflag |= xonXoff;
      t.c_cc[VSTART] = 0x11;
      t.c_cc[VSTOP] = 0x13;
      break;
    default:
      break;
  }
}

}  // namespace rig
#endif
