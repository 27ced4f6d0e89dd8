// The simulator on real pseudo-terminals, talked to through the program's own
// serial link, in-process and as the controller-sim program.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <mutex>

#include "core/IniFile.h"
#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "rigsim/ControllerSim.h"
#include "rigsim/DemoConfig.h"
#include "serial/SerialComm.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace rig::sim {
namespace {

using rigtest::WaitFor;

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// The program's end of a line: its serial link, collecting what arrives.
class Client {
 public:
  Client() {
    link.SetReceiveCallback([this](const uint8_t* data, int n) {
      std::lock_guard lock(mutex_);
      got_.append(reinterpret_cast<const char*>(data), n);
    });
  }
  bool Open(const QString& device) { return link.Open(device, 115200, 8, 0, 0, 0); }
  bool Send(const QByteArray& bytes) { return link.Write(bytes); }
  // The next `n` bytes, or what came within the time.
  QByteArray Take(int n, int timeoutMs = 5000) {
    WaitFor([&] { return Size() >= n; }, timeoutMs);
    std::lock_guard lock(mutex_);
    const QByteArray head(got_.constData(), std::min<qsizetype>(n, got_.size()));
    got_.remove(0, head.size());
    return head;
  }
  QByteArray All() {
    std::lock_guard lock(mutex_);
    return QByteArray(got_.constData(), got_.size());  // a deep copy: no data shared with the reader
  }
  qsizetype Size() {
    std::lock_guard lock(mutex_);
    return got_.size();
  }

  TSerialComm link;

 private:
  std::mutex mutex_;
  QByteArray got_;
};

// Frames found the way the program's receive path finds them: a station
// byte, a known code with its length, a good checksum; anything else skipped.
std::vector<QByteArray> ScanFrames(const QByteArray& stream) {
  std::vector<QByteArray> frames;
  const auto* b = reinterpret_cast<const uint8_t*>(stream.constData());
  qsizetype i = 0;
  while (i + kFrameOverhead <= stream.size()) {
    const int length = FramePayloadLength(b + i);
    const bool known = (b[i] == 1 || b[i] == 2) &&
                       ((b[i + 1] == kCodeLink && length == 3) || (b[i + 1] == kCodeSettings && length == 104) ||
                        (b[i + 1] == kCodeStart && length == 1) || (b[i + 1] == kCodeStatus && length <= 8));
    const qsizetype size = length + kFrameOverhead;
    if (known && i + size <= stream.size() && FrameChecksum(b + i, 4, length) == b[i + size - 1]) {
      frames.push_back(stream.mid(i, size));
      i += size;
    } else {
      ++i;
    }
  }
  return frames;
}

ParameterBlock Settings(int mode, int refusal = 5) {
  ParameterBlock b = FactorySettings().Block;
  b.Mode = mode;
  b.RefusalOption = refusal;
  b.Parameters = {5, 5, 5, 5, 5, 5, 1, 1, 3, 5, 1, 3, 5, 1, 3, 5, 5, 1, 1, 2};
  return b;
}

QByteArray Start(uint8_t station, ParameterBlock block, int32_t resume = 0) {
  block.Counts = {resume, resume, resume, resume};
  return BuildFrame(station, kCodeStart, EncodeParameterBlock(block));
}

SimOptions Fast() {
  SimOptions o;
  o.Controller.Speed = 1000;
  o.Controller.ActionMs = 2;
  o.Baud = 0;
  o.Seed = 11;
  return o;
}

TEST(Simulator, AnswersEveryExchangeOnEachStationsLineWithTheExactBytes) {
  TControllerSim sim(Fast());
  ASSERT_TRUE(sim.Start());
  for (const uint8_t s : {uint8_t(1), uint8_t(2)}) {
    const QByteArray station(1, static_cast<char>(s));
    Client client;
    ASSERT_TRUE(client.Open(sim.DevicePath(s))) << sim.DevicePath(s).toStdString();

    client.Send(HandshakeRequest(s));
    EXPECT_EQ(client.Take(8).toHex(' '), (station + Hex("A0030001122235")).toHex(' '));
    client.Send(SettingsQuery(s));
    EXPECT_EQ(client.Take(109), BuildFrame(s, kCodeSettings, EncodeParameterBlock(FactorySettings().Block)));
    client.Send(Start(s, Settings(3)));
    EXPECT_EQ(client.Take(6).toHex(' '), (station + Hex("A201000F0F")).toHex(' '));
    client.Send(StatusQuery(s));
    const QByteArray expected = station + Hex("A301000F0F") + station + Hex("A30800010000001500000016") + station +
                                Hex("A30800010000000000000001") + station + Hex("A301001111");
    EXPECT_EQ(client.Take(static_cast<int>(expected.size())).toHex(' '), expected.toHex(' '));
    client.Send(QByteArray("\xF2", 1));  // nothing to continue: no answer
    client.Send(DisconnectRequest(s));
    EXPECT_EQ(client.Take(8).toHex(' '), (station + Hex("A0030001121124")).toHex(' '));
    EXPECT_EQ(client.All(), QByteArray());

    const std::vector<QByteArray> commands = {HandshakeRequest(s), SettingsQuery(s), Start(s, Settings(3)),
                                              StatusQuery(s), QByteArray("\xF2", 1), DisconnectRequest(s)};
    EXPECT_EQ(sim.Received(s), commands);
  }
}

TEST(Simulator, ALifeTestRunsToItsSetCountAndTheControllerRemembersItAcrossRuns) {
  rigtest::TempDir dir;
  SimOptions options = Fast();
  options.StatePath = dir.File(QStringLiteral("state.txt"));
  const ParameterBlock block = Settings(18, 10);
  {
    TControllerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Client client;
    ASSERT_TRUE(client.Open(sim.DevicePath(2)));
    client.Send(Start(2, block));
    client.Send(StatusQuery(2));
    const QByteArray end = Hex("02A301001111");
    ASSERT_TRUE(WaitFor([&] { return client.All().endsWith(end); }));
    std::vector<QByteArray> statuses;
    for (const QByteArray& f : ScanFrames(client.All()))
      if (FramePayloadLength(reinterpret_cast<const uint8_t*>(f.constData())) == 8) statuses.push_back(f);
    ASSERT_EQ(statuses.size(), 6u) << "three cycles of close and open";
    EXPECT_EQ(statuses.back(), Hex("02A30800030000000000000003"));
    sim.Stop();
  }
  TControllerSim again(options);
  ASSERT_TRUE(again.Start());
  Client client;
  ASSERT_TRUE(client.Open(again.DevicePath(2)));
  client.Send(SettingsQuery(2));
  const QByteArray report = client.Take(109);
  ASSERT_EQ(report.size(), 109);
  const ParameterBlock stored = DecodeParameterBlock(reinterpret_cast<const uint8_t*>(report.constData()) + 4);
  EXPECT_EQ(stored.Mode, 18);
  EXPECT_EQ(stored.RefusalOption, 10);
  EXPECT_EQ(stored.Parameters, block.Parameters);
  EXPECT_EQ(stored.Counts, (std::array<int32_t, 4>{0, 3, 0, 0}));
}

TEST(Simulator, LinksPointAtTheDevicesAndGoAwayAtStop) {
  rigtest::TempDir dir;
  SimOptions options = Fast();
  options.LinkDir = dir.Path() + QStringLiteral("links");
  QDir().mkpath(options.LinkDir);
  TControllerSim sim(options);
  ASSERT_TRUE(sim.Start());
  for (const int s : {1, 2}) {
    const QString link = options.LinkDir + QStringLiteral("/station%1").arg(s);
    EXPECT_EQ(sim.LinkPath(s), link);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.DevicePath(s));
  }
  Client client;
  ASSERT_TRUE(client.Open(sim.LinkPath(1)));
  client.Send(HandshakeRequest(1));
  EXPECT_EQ(client.Take(8), Hex("01A0030001122235"));
  client.link.Close();
  sim.Stop();
  EXPECT_FALSE(QFileInfo::exists(options.LinkDir + QStringLiteral("/station1")));
  EXPECT_FALSE(QFileInfo(options.LinkDir + QStringLiteral("/station2")).isSymLink());
}

TEST(Simulator, AStartThatCannotOpenEveryLineLeavesNothingBehind) {
  rigtest::TempDir dir;
  SimOptions options = Fast();
  options.LinkDir = dir.Path() + QStringLiteral("links");
  QDir().mkpath(options.LinkDir);
  options.Devices[2] = QStringLiteral("/dev/no-such-port");
  TControllerSim sim(options);
  QString error;
  EXPECT_FALSE(sim.Start(&error));
  EXPECT_TRUE(error.contains(QStringLiteral("/dev/no-such-port"))) << error.toStdString();
  EXPECT_TRUE(QDir(options.LinkDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).isEmpty());
}

TEST(Simulator, SplitFramesAndJunkStillCarryEveryFrameInOrder) {
  SimOptions options = Fast();
  options.Line.Split = true;
  options.Line.SplitGapMs = 5;
  options.Line.Junk = true;
  TControllerSim sim(options);
  ASSERT_TRUE(sim.Start());
  Client client;
  ASSERT_TRUE(client.Open(sim.DevicePath(1)));
  client.Send(HandshakeRequest(1));
  client.Send(Start(1, Settings(20)));
  client.Send(StatusQuery(1));
  ASSERT_TRUE(WaitFor([&] {
    const auto frames = ScanFrames(client.All());
    return !frames.empty() && frames.back() == Hex("01A301001111");
  }));
  const std::vector<QByteArray> sent = sim.Sent(1);
  EXPECT_EQ(sent.size(), 1u + 1 + 1 + 8 + 1);
  EXPECT_EQ(ScanFrames(client.All()), sent);
  EXPECT_GT(client.All().size(), [&] {
    qsizetype n = 0;
    for (const QByteArray& f : sent) n += f.size();
    return n;
  }()) << "junk came along";
}

TEST(Simulator, CorruptedChecksumsHitOnlyTheFaultStation) {
  SimOptions options = Fast();
  options.Line.CorruptEvery = 1;
  options.FaultStation = 1;
  TControllerSim sim(options);
  ASSERT_TRUE(sim.Start());
  Client one, two;
  ASSERT_TRUE(one.Open(sim.DevicePath(1)));
  ASSERT_TRUE(two.Open(sim.DevicePath(2)));
  one.Send(HandshakeRequest(1));
  two.Send(HandshakeRequest(2));
  EXPECT_EQ(one.Take(8), Hex("01A0030001122236"));
  EXPECT_EQ(two.Take(8), Hex("02A0030001122235"));
}

TEST(Simulator, ADroppedLineLooksDeadToTheProgramAndComesBackOnANewDevice) {
  rigtest::TempDir dir;
  SimOptions options = Fast();
  options.LinkDir = dir.Path() + QStringLiteral("links");
  QDir().mkpath(options.LinkDir);
  options.Controller.DropLineAt = 2;
  options.RestoreAfterMs = 50;
  TControllerSim sim(options);
  ASSERT_TRUE(sim.Start());
  const QString firstDevice = sim.DevicePath(1);

  Client client;
  std::atomic<int> failures{0};
  client.link.SetPortFailureCallback([&](const QString&) { ++failures; });
  ASSERT_TRUE(client.Open(sim.LinkPath(1)));
  ParameterBlock block = Settings(17);
  block.Parameters[8] = 100;
  client.Send(Start(1, block));
  client.Send(StatusQuery(1));
  ASSERT_TRUE(WaitFor([&] { return failures == 1; }));
  EXPECT_TRUE(client.link.PortFailed());
  const auto frames = ScanFrames(client.All());
  ASSERT_EQ(frames.size(), 4u) << "acknowledgements and two statuses, then silence";
  EXPECT_EQ(frames[3], Hex("01A30800010000001500000016"));

  ASSERT_TRUE(WaitFor([&] { return sim.LineRestores(1) == 1; }));
  EXPECT_NE(sim.DevicePath(1), firstDevice);
  EXPECT_EQ(QFileInfo(sim.LinkPath(1)).symLinkTarget(), sim.DevicePath(1));

  Client again;
  ASSERT_TRUE(again.Open(sim.LinkPath(1)));
  again.Send(SettingsQuery(1));
  const QByteArray report = again.Take(109);
  ASSERT_EQ(report.size(), 109);
  EXPECT_EQ(ReadInt32Le(reinterpret_cast<const uint8_t*>(report.constData()) + 4 + 40), 1)
      << "the controller kept the count it reached";
}

TEST(Simulator, TheLineKeepsWorkingWhenTheProgramClosesAndReopensItsPort) {
  TControllerSim sim(Fast());
  ASSERT_TRUE(sim.Start());
  Client client;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(client.Open(sim.DevicePath(1)));
    client.Send(HandshakeRequest(1));
    EXPECT_EQ(client.Take(8), Hex("01A0030001122235")) << "round " << round;
    client.link.Close();
  }
}

TEST(SimulatorProgram, ServesLinesPointsTheConfigAtThemAndStopsCleanly) {
  rigtest::TempDir dir;
  const QString links = dir.Path() + QStringLiteral("sim");
  const QString ini = dir.File(QStringLiteral("Config.ini"));
  TIniFile(ini).WriteString(QStringLiteral("Config"), QStringLiteral("ComName2"), QStringLiteral("COM7"));

  QProcess sim;
  sim.start(QStringLiteral(RIG_BIN_DIR "/controller-sim"),
            {QStringLiteral("--link-dir"), links, QStringLiteral("--point-config"), ini, QStringLiteral("--speed"),
             QStringLiteral("100")});
  ASSERT_TRUE(sim.waitForStarted());
  const QString link1 = links + QStringLiteral("/station1");
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(link1).isSymLink() && QFileInfo::exists(links + "/station2"); }));

  const TIniFile config(ini);
  EXPECT_EQ(config.ReadString(QStringLiteral("Config"), QStringLiteral("ComName1"), QString()), link1);
  EXPECT_EQ(config.ReadString(QStringLiteral("Config"), QStringLiteral("ComName2"), QString()),
            QStringLiteral("COM7"))
      << "the user's own port stays";

  Client client;
  ASSERT_TRUE(client.Open(link1));
  client.Send(HandshakeRequest(1));
  EXPECT_EQ(client.Take(8), Hex("01A0030001122235"));
  client.link.Close();

  sim.terminate();  // SIGTERM, as the run script does
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.exitCode(), 0);
  EXPECT_FALSE(QFileInfo(link1).isSymLink());
  const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
  EXPECT_TRUE(out.contains(QStringLiteral("station 1: /dev/pts/"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("ComName2 stays COM7"))) << out.toStdString();
}

TEST(SimulatorProgram, HelpExitsCleanlyAndABadOptionDoesNot) {
  QProcess help;
  help.start(QStringLiteral(RIG_BIN_DIR "/controller-sim"), {QStringLiteral("--help")});
  ASSERT_TRUE(help.waitForFinished(5000));
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_TRUE(help.readAllStandardOutput().contains("--drop-line-at"));

  QProcess bad;
  bad.start(QStringLiteral(RIG_BIN_DIR "/controller-sim"), {QStringLiteral("--speed"), QStringLiteral("-3")});
  ASSERT_TRUE(bad.waitForFinished(5000));
  EXPECT_EQ(bad.exitCode(), 2);
  EXPECT_TRUE(bad.readAllStandardError().contains("--help"));
}

TEST(PointConfigAtLinks, SetsMissingOrOwnPortsAndKeepsTheUsersChoice) {
  rigtest::TempDir dir;
  const QString ini = dir.File(QStringLiteral("Config.ini"));
  TIniFile(ini).WriteString(QStringLiteral("Config"), QStringLiteral("ComName1"), QStringLiteral("/old/sim/station1"));
  TIniFile(ini).WriteString(QStringLiteral("Config"), QStringLiteral("WorkName1"), QStringLiteral("张工"));

  const QStringList report = PointConfigAtLinks(ini, {{1, "/new/station1"}, {2, "/new/station2"}, {3, "/new/s3"}});
  EXPECT_EQ(report.size(), 2);
  const TIniFile config(ini);
  EXPECT_EQ(config.ReadString("Config", "ComName1", {}), QStringLiteral("/old/sim/station1"));
  EXPECT_EQ(config.ReadString("Config", "ComName2", {}), QStringLiteral("/new/station2"));
  EXPECT_EQ(config.ReadString("Config", "WorkName1", {}), QStringLiteral("张工")) << "the rest of the file stays";

  PointConfigAtLinks(ini, {{2, "/new/station2"}});  // a second run changes nothing
  EXPECT_EQ(config.ReadString("Config", "ComName2", {}), QStringLiteral("/new/station2"));
}

}  // namespace
}  // namespace rig::sim
