#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include "PtyLine.h"
#include "serial/CommPort.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace rig {
namespace {

using rigtest::Pattern;
using rigtest::PtyLine;
using rigtest::WaitFor;

class CommPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.Ok());
    handle = port.OpenPort(line.Device(), 9600, 8, 0, 0, 0);
    ASSERT_NE(handle, kNoHandle);
  }
  void TearDown() override { port.ClosePort(handle); }

  bool WaitWaiting(int n) {
    return WaitFor([&] { return port.BytesWaiting(handle) == n; });
  }

  PtyLine line;
  TCommPort port;
  PortHandle handle = kNoHandle;
  uint8_t buffer[kReadBufferSize + 16] = {};
};

TEST_F(CommPortOnPty, Delivers2048WaitingBytesInOneRead) {
  const QByteArray sent = Pattern(kReadBufferSize);
  ASSERT_TRUE(line.Send(sent));
  ASSERT_TRUE(WaitWaiting(kReadBufferSize));
  int count = 0;
  ASSERT_EQ(port.ReadData(handle, buffer, count), PortRead::Delivered);
  EXPECT_EQ(count, kReadBufferSize);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer), count), sent);
  EXPECT_EQ(port.ReadData(handle, buffer, count), PortRead::Nothing);
}

// More than one read takes is left queued, not thrown away: the bytes are
// actions the controller reported while the reader was held up.
TEST_F(CommPortOnPty, MoreThan2048WaitingBytesComeInTwoReadsNoneLost) {
  const QByteArray sent = Pattern(kReadBufferSize + 1);
  ASSERT_TRUE(line.Send(sent));
  ASSERT_TRUE(WaitWaiting(kReadBufferSize + 1));
  int count = -1;
  ASSERT_EQ(port.ReadData(handle, buffer, count), PortRead::Delivered);
  EXPECT_EQ(count, kReadBufferSize);
  QByteArray got(reinterpret_cast<const char*>(buffer), count);
  EXPECT_EQ(buffer[kReadBufferSize], 0) << "nothing written beyond the read buffer";
  ASSERT_EQ(port.ReadData(handle, buffer, count), PortRead::Delivered);
  EXPECT_EQ(count, 1);
  got.append(reinterpret_cast<const char*>(buffer), count);
  EXPECT_EQ(got, sent);
  EXPECT_EQ(port.ReadData(handle, buffer, count), PortRead::Nothing);
}

TEST_F(CommPortOnPty, PassesEveryByteValueUnchangedBothWays) {
  // A cooked terminal would turn CR into NL, echo, and eat ^C, ^S, ^Q, DEL.
  QByteArray all(256, '\0');
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);

  ASSERT_TRUE(line.Send(all));
  ASSERT_TRUE(WaitWaiting(256));
  int count = 0;
  ASSERT_EQ(port.ReadData(handle, buffer, count), PortRead::Delivered);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer), count), all);

  ASSERT_TRUE(port.WriteData(handle, reinterpret_cast<const uint8_t*>(all.constData()), 256));
  EXPECT_EQ(line.Receive(256), all);
  EXPECT_EQ(line.Receive(1, 60), QByteArray()) << "nothing echoed back";
}

TEST_F(CommPortOnPty, SecondOpenOfTheSameDeviceFailsUntilTheFirstIsClosed) {
  EXPECT_EQ(port.OpenPort(line.Device(), 9600, 8, 0, 0, 0), kNoHandle);
  port.ClosePort(handle);
  handle = port.OpenPort(line.Device(), 9600, 8, 0, 0, 0);
  EXPECT_NE(handle, kNoHandle) << "closing gives the device back";
}

TEST_F(CommPortOnPty, ReadAndWriteReportAVanishedDeviceAsFailureNotAsNoData) {
  line.HangUp();
  int count = 0;
  EXPECT_EQ(port.ReadData(handle, buffer, count), PortRead::Failed);
  const uint8_t bytes[] = {0x01, 0xA0, 0x01, 0x00, 0x05, 0x05};
  EXPECT_FALSE(port.WriteData(handle, bytes, 6));
}

TEST(CommPort, BytesSentBeforeTheOpenAreNotDelivered) {
  PtyLine line;
  ASSERT_TRUE(line.Ok());
  // Make sure they really are waiting in the device before the port opens.
  const int probe = ::open(line.Device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(probe, 0);
  termios raw{};
  ASSERT_EQ(tcgetattr(probe, &raw), 0);
  cfmakeraw(&raw);  // a cooked device would hold the bytes back until a newline
  ASSERT_EQ(tcsetattr(probe, TCSANOW, &raw), 0);
  ASSERT_TRUE(line.Send(QByteArray("\x01\xA3\x01\x00\x11\x11", 6)));
  ASSERT_TRUE(WaitFor([&] {
    int n = 0;
    return ioctl(probe, FIONREAD, &n) == 0 && n == 6;
  }));
  ::close(probe);

  TCommPort port;
  const PortHandle handle = port.OpenPort(line.Device(), 9600, 8, 0, 0, 0);
  ASSERT_NE(handle, kNoHandle);
  uint8_t buffer[kReadBufferSize];
  int count = 0;
  EXPECT_EQ(port.ReadData(handle, buffer, count), PortRead::Nothing);
  port.ClosePort(handle);
}

TEST(CommPort, OpenFailsForMissingDevicesNonTerminalsAndRefusedSettings) {
  TCommPort port;
  EXPECT_EQ(port.OpenPort(QStringLiteral("/dev/no-such-port"), 9600, 8, 0, 0, 0), kNoHandle);
  EXPECT_EQ(port.OpenPort(QString(), 9600, 8, 0, 0, 0), kNoHandle);

  rigtest::TempDir dir;
  dir.Write(QStringLiteral("plain"), "not a port");
  EXPECT_EQ(port.OpenPort(dir.File(QStringLiteral("plain")), 9600, 8, 0, 0, 0), kNoHandle);

  PtyLine line;
  ASSERT_TRUE(line.Ok());
  EXPECT_EQ(port.OpenPort(line.Device(), 9600, 9, 0, 0, 0), kNoHandle);  // nine data bits
  EXPECT_EQ(port.OpenPort(line.Device(), 9600, 8, 7, 0, 0), kNoHandle);  // no parity 7
  // A refused open leaves the device free.
  const PortHandle handle = port.OpenPort(line.Device(), 9600, 8, 0, 0, 0);
  EXPECT_NE(handle, kNoHandle);
  port.ClosePort(handle);
}

TEST(CommPort, OpensWithARateThatHasNoTermiosConstant) {
  PtyLine line;
  ASSERT_TRUE(line.Ok());
  TCommPort port;
  const PortHandle handle = port.OpenPort(line.Device(), 28800, 8, 0, 0, 0);
  EXPECT_NE(handle, kNoHandle);
  port.ClosePort(handle);
}

TEST(CommPort, WithoutAHandleNothingIsReadOrWritten) {
  TCommPort port;
  uint8_t buffer[kReadBufferSize];
  int count = 0;
  EXPECT_EQ(port.ReadData(kNoHandle, buffer, count), PortRead::Nothing);
  EXPECT_FALSE(port.WriteData(kNoHandle, buffer, 6));
  EXPECT_EQ(port.BytesWaiting(kNoHandle), -1);
  port.ClosePort(kNoHandle);  // harmless
}

}  // namespace
}  // namespace rig
