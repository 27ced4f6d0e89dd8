#include <gtest/gtest.h>

#include "serial/LineSettings.h"

namespace rig {
namespace {

// A cooked terminal as the driver hands it over.
termios Cooked() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXOFF | BRKINT | IMAXBEL;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ECHO | ECHOE | ICANON | ISIG | IEXTEN;
  t.c_cflag = CS8 | CREAD | HUPCL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  return t;
}

TEST(MakeRaw, SwitchesOffEverythingThatWouldMangleBinaryFrames) {
  termios t = Cooked();
  MakeRaw(t);
  EXPECT_FALSE(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN));
  EXPECT_FALSE(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | BRKINT | PARMRK));
  EXPECT_FALSE(t.c_oflag & OPOST);
  EXPECT_TRUE(t.c_cflag & CREAD);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

struct FlowCase {
  uint8_t choice;
  bool rtsCts;
  bool xonXoff;
};

TEST(ApplyFlowControl, MapsEachChoiceToTheNearestTermiosSetting) {
  const FlowCase cases[] = {
      {0, false, false}, {1, true, true},  // 1 touches only the RTS handshake
      {2, true, false},  {3, true, false}, {4, false, false}, {5, false, true},
  };
  for (const FlowCase& c : cases) {
    termios t = Cooked();
    t.c_cflag |= CRTSCTS;  // both on before, so every change shows
    ApplyFlowControl(t, c.choice);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.rtsCts) << int(c.choice);
    EXPECT_EQ((t.c_iflag & IXON) != 0, c.xonXoff) << int(c.choice);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.xonXoff) << int(c.choice);
  }
}

TEST(ApplyFlowControl, XonXoffUsesDc1AndDc3AndUnknownChoicesChangeNothing) {
  termios t = Cooked();
  ApplyFlowControl(t, 5);
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);

  termios before = Cooked();
  termios after = before;
  ApplyFlowControl(after, 6);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
}

struct SettingsCase {
  LineSettings settings;
  bool accepted;
  tcflag_t size;
  tcflag_t parity;  // PARENB | PARODD | CMSPAR bits expected
  bool twoStops;
};

TEST(ApplyLineSettings, SetsSizeParityAndStopBitsOrRefusesWhatTermiosCannotDo) {
  const SettingsCase cases[] = {
      {{9600, 8, 0, 0, 0}, true, CS8, 0, false},
      {{9600, 7, 1, 0, 0}, true, CS7, PARENB | PARODD, false},
      {{9600, 7, 2, 2, 0}, true, CS7, PARENB, true},
      {{9600, 8, 3, 0, 0}, true, CS8, PARENB | PARODD | CMSPAR, false},  // mark
      {{9600, 8, 4, 0, 0}, true, CS8, PARENB | CMSPAR, false},           // space
      {{9600, 5, 0, 1, 0}, true, CS5, 0, true},                          // 1.5 stop bits
      {{9600, 6, 0, 0, 0}, true, CS6, 0, false},
      {{9600, 4, 0, 0, 0}, false, 0, 0, false},
      {{9600, 9, 0, 0, 0}, false, 0, 0, false},
      {{9600, 8, 5, 0, 0}, false, 0, 0, false},
      {{9600, 8, 0, 3, 0}, false, 0, 0, false},
      {{0, 8, 0, 0, 0}, false, 0, 0, false},
  };
  for (const SettingsCase& c : cases) {
    termios t = Cooked();
    const bool ok = ApplyLineSettings(t, c.settings);
    const auto what = ::testing::Message() << int(c.settings.DataBits) << " data, parity " << int(c.settings.Parity)
                                           << ", stop " << int(c.settings.StopBits) << ", " << c.settings.BaudRate;
    EXPECT_EQ(ok, c.accepted) << what;
    if (!ok || !c.accepted) continue;
    EXPECT_EQ(t.c_cflag & CSIZE, c.size) << what;
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parity) << what;
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStops) << what;
  }
}

TEST(ApplyLineSettings, SetsTheRatesOfTheSettingsDialog) {
  const std::pair<uint32_t, speed_t> rates[] = {{300, B300},     {600, B600},       {1200, B1200},
                                                {2400, B2400},   {9600, B9600},     {57600, B57600},
                                                {115200, B115200}, {230400, B230400}};
  for (const auto& [rate, constant] : rates) {
    termios t = Cooked();
    ASSERT_TRUE(ApplyLineSettings(t, {rate, 8, 0, 0, 0})) << rate;
    EXPECT_EQ(cfgetospeed(&t), constant) << rate;
    EXPECT_EQ(cfgetispeed(&t), constant) << rate;
  }
  // 28800 has no constant: the port sets it on the device afterwards.
  EXPECT_TRUE(NeedsCustomBaudRate(28800));
  EXPECT_FALSE(NeedsCustomBaudRate(9600));
}

}  // namespace
}  // namespace rig
