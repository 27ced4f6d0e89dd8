// A line that goes away: dropped in the middle of an exchange and brought
// back on a new device, or a port another program holds.
#include <QDir>

#include "FaultRig.h"
#include "protocol/ParameterBlock.h"
#include "serial/SerialComm.h"

namespace rig {
namespace {

using rigtest::WaitFor;
using sim::SimOptions;

QByteArray LifeTestStart(int station, int cycles) {
  ParameterBlock block;
  block.Mode = 20;
  block.RefusalOption = 5;
  for (int n = 16; n <= 19; ++n) block.Parameters[n - 1] = 1;
  block.Parameters[19] = cycles;
  return BuildFrame(static_cast<uint8_t>(station), kCodeStart, EncodeParameterBlock(block));
}

struct LineLoss : rigtest::FaultRig {
  // The ports are named by the simulator's links, which follow a line that
  // comes back on a new device.
  SimOptions Linked() {
    SimOptions o = Fast();
    o.LinkDir = dir.File("sim");
    QDir().mkpath(o.LinkDir);
    return o;
  }
  void PointAtLinks() {
    TIniFile ini(dir.File("Config.ini"));
    for (int s : {1, 2}) ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim->LinkPath(s));
  }
};

TEST_F(LineLoss, ALineDroppedMidExchangeIsSeenAndTheStationWorksAgainOnceReopened) {
  SimOptions o = Linked();
  o.Controller.DropLineAt = 12;
  o.RestoreAfterMs = 300;
  o.FaultStation = 1;
  StartSim(o);
  PointAtLinks();
  ShowWindow();
  ASSERT_TRUE(Connect(1));
  ASSERT_TRUE(Connect(2));
  // A test started on the line itself (the window's test control is not
  // involved): the controller drops the line after its twelfth action.
  ASSERT_TRUE(window->Link(1).Write(LifeTestStart(1, 50)));
  ASSERT_TRUE(window->Link(1).Write(StatusQuery(1)));
  ASSERT_TRUE(WaitFor([&] { return window->Link(1).LineLost(); }, 5000)) << "the reader saw the line go";
  EXPECT_TRUE(sim->Sent(1).size() >= 12u);
  EXPECT_FALSE(Station(1).PortOpen);
  ASSERT_EQ(notifier->notices.size(), 1u);
  EXPECT_TRUE(notifier->notices[0].text.contains(QStringLiteral("通讯中断"))) << notifier->notices[0].text.toStdString();

  // While station 1 is down the program goes on: station 2 answers, and a
  // write to the dead line fails without holding anything up.
  ASSERT_TRUE(Disconnect(2));
  ASSERT_TRUE(Connect(2));
  const QString sentHandshake = QStringLiteral("发出：01 A0 01 00 05 05 ");
  const qsizetype logged = LogText().count(sentHandshake);
  EXPECT_FALSE(window->Station(1).Gate().Send(StationCommand::Handshake, HandshakeRequest(1)));
  EXPECT_EQ(LogText().count(sentHandshake), logged + 1) << "a failed write is still logged";

  // The line comes back on a new device behind the same name: the port is
  // reopened by itself and, as the station was connected, the handshake made.
  ASSERT_TRUE(WaitFor([&] { return sim->LineRestores(1) == 1; }, 5000));
  ASSERT_TRUE(WaitFor([&] { return Connected(1); }, 8000));
  EXPECT_TRUE(Station(1).PortOpen);
  EXPECT_FALSE(window->Link(1).LineLost());
  EXPECT_TRUE(notifier->notices.back().text.contains(QStringLiteral("已恢复")));
}

TEST_F(LineLoss, APortHeldByAnotherProgramIsReportedAndTakenOnceFree) {
  StartSim();
  rigtest::LockHolder other;
  ASSERT_TRUE(other.Take("port", sim->DevicePath(1)));
  ShowWindow();
  ASSERT_EQ(notifier->notices.size(), 1u);
  EXPECT_EQ(notifier->notices[0].text, sim->DevicePath(1) + QStringLiteral("打开串口失败，请配置串口!!"));
  EXPECT_EQ(notifier->notices[0].icon, NoticeIcon::None);
  EXPECT_FALSE(Station(1).PortOpen);
  EXPECT_TRUE(Station(2).PortOpen);
  ASSERT_TRUE(Connect(2)) << "the other station is not affected";

  other.Release();
  window->OpenStationLinks();
  EXPECT_TRUE(Station(1).PortOpen);
  EXPECT_EQ(notifier->notices.size(), 1u);
  ASSERT_TRUE(Connect(1));
  EXPECT_TRUE(Connected(2)) << "reopening the ports keeps a connected station connected";
}

}  // namespace
}  // namespace rig
