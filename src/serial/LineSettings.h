#pragma once
// The termios side of opening a port, as pure functions on a termios record so
// they can be checked without a device.
#ifndef _WIN32
#include <termios.h>

#include <cstdint>

namespace rig {

// Parity codes: 0 none, 1 odd, 2 even, 3 mark, 4 space.
// Stop-bit codes: 0 one, 1 one and a half, 2 two.
struct LineSettings {
  uint32_t BaudRate = 9600;
  uint8_t DataBits = 8;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  uint8_t FlowControl = 0;
};

// A tty starts cooked: it would echo, translate CR/NL, eat ^C, ^S/^Q and wait
// for whole lines. Frames are binary, so switch all of that off; reads return
// at once with whatever is waiting (VMIN = VTIME = 0). The receiver is enabled
// and modem lines are ignored (CLOCAL): controllers are wired with three wires.
void MakeRaw(termios& t);

// Speed, character size, parity and stop bits. False for a value termios
// cannot express (a rate of 0, data bits outside 5..8, parity or stop code
// out of range); `t` is then left partly changed and must not be applied.
// A rate without a termios constant (28800) leaves the speed alone on Linux,
// where the caller sets it afterwards with SetCustomBaudRate; elsewhere false.
// One and a half stop bits has no termios form: it becomes two, which UARTs
// send as one and a half with five data bits.
bool ApplyLineSettings(termios& t, const LineSettings& s);

// Flow-control choice 0..5, mapped to the nearest termios settings:
//   0 none: RTS/CTS off, XON/XOFF off
//   1 RTS handshake: RTS/CTS on, the rest unchanged
//   2 CTS output flow with DTR handshake: RTS/CTS on, XON/XOFF off
//   3 DSR output flow with RTS handshake: RTS/CTS on, XON/XOFF off
//   4 DSR output flow with DTR handshake: termios has no DTR/DSR flow, so none:
//     RTS/CTS off, XON/XOFF off
//   5 XON/XOFF both ways with DC1/DC3: RTS/CTS off
//   other: nothing changes
void ApplyFlowControl(termios& t, uint8_t flowControl);

// The termios speed constant for a rate in bits per second; B0 when unknown.
speed_t SpeedConstant(uint32_t baudRate);

// True when `baudRate` needs SetCustomBaudRate.
bool NeedsCustomBaudRate(uint32_t baudRate);

// Sets any rate on an open tty (Linux termios2 with BOTHER). False when the
// driver refuses it or the platform has no way to do it.
bool SetCustomBaudRate(int fd, uint32_t baudRate);

}  // namespace rig
#endif
