// The simulator's smaller parts: line faults, the state file, the command line.
#include <gtest/gtest.h>

#include "protocol/Frame.h"
#include "rigsim/LineShaper.h"
#include "rigsim/SimOptions.h"
#include "rigsim/StoredSettings.h"
#include "support/TempDir.h"

namespace rig::sim {
namespace {

QByteArray Joined(const std::vector<Chunk>& chunks) {
  QByteArray all;
  for (const Chunk& c : chunks) all += c.Bytes;
  return all;
}

bool ChecksumOk(const QByteArray& frame) {
  return VerifyFrameChecksum(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
}

const QByteArray kStatus = QByteArray::fromHex("01A30800010000001500000016");

TEST(LineShaper, WithoutFaultsAFrameGoesOutWhole) {
  TLineShaper shaper({}, 1);
  for (int i = 0; i < 5; ++i) {
    const auto chunks = shaper.Shape(kStatus);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].Bytes, kStatus);
    EXPECT_EQ(chunks[0].GapBeforeMs, 0);
  }
}

TEST(LineShaper, SplitFramesArriveInPiecesThatAddUpToTheFrame) {
  LineFaults f;
  f.Split = true;
  f.SplitGapMs = 25;
  TLineShaper shaper(f, 7);
  for (int i = 0; i < 200; ++i) {
    const auto chunks = shaper.Shape(kStatus);
    ASSERT_GE(chunks.size(), 2u);
    ASSERT_LE(chunks.size(), 4u);
    EXPECT_EQ(Joined(chunks), kStatus);
    for (const Chunk& c : chunks) {
      EXPECT_FALSE(c.Bytes.isEmpty());
      EXPECT_GE(c.GapBeforeMs, 0);
      EXPECT_LE(c.GapBeforeMs, 25);
    }
  }
}

TEST(LineShaper, JunkNeverLooksLikeAStationByteAndPrecedesTheWholeFrame) {
  LineFaults f;
  f.Junk = true;
  TLineShaper shaper(f, 3);
  for (int i = 0; i < 500; ++i) {
    const QByteArray all = Joined(shaper.Shape(kStatus));
    ASSERT_GE(all.size(), kStatus.size() + 1);
    ASSERT_LE(all.size(), kStatus.size() + 4);
    EXPECT_TRUE(all.endsWith(kStatus));
    for (qsizetype j = 0; j < all.size() - kStatus.size(); ++j) {
      EXPECT_NE(all[j], '\x01');
      EXPECT_NE(all[j], '\x02');
    }
  }
}

TEST(LineShaper, CorruptCopyAndDuplicateHitEveryNthFrame) {
  LineFaults f;
  f.CorruptEvery = 3;
  f.BadCopyEvery = 2;
  f.DuplicateEvery = 5;
  TLineShaper shaper(f, 1);
  for (int n = 1; n <= 30; ++n) {
    const auto chunks = shaper.Shape(kStatus);
    std::vector<QByteArray> frames;
    for (const Chunk& c : chunks) frames.push_back(c.Bytes);
    std::vector<bool> expectedOk;
    if (n % 2 == 0) expectedOk.push_back(false);  // the bad copy first
    expectedOk.push_back(n % 3 != 0);
    if (n % 5 == 0) expectedOk.push_back(true);
    ASSERT_EQ(frames.size(), expectedOk.size()) << "frame " << n;
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(ChecksumOk(frames[i]), expectedOk[i]) << "frame " << n;
  }
}

TEST(StoredSettings, SurviveASaveAndLoadAndKeepEveryStation) {
  rigtest::TempDir dir;
  const QString path = dir.File(QStringLiteral("state.txt"));
  EXPECT_TRUE(LoadStoredSettings(path).empty());

  StoredSettings one = FactorySettings();
  one.Block.Mode = 20;
  one.Block.RefusalOption = 10;
  one.Block.Parameters[19] = 32000;
  one.Block.Counts = {1, 2, 3, 31999};
  one.Closed = {true, false, true};
  const StoredSettings two = FactorySettings();
  ASSERT_TRUE(SaveStoredSettings(path, {{1, one}, {2, two}}));

  const auto loaded = LoadStoredSettings(path);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_TRUE(loaded.at(1) == one);
  EXPECT_TRUE(loaded.at(2) == two);
}

TEST(StoredSettings, AFieldThatCannotBeReadKeepsItsFactoryValue) {
  rigtest::TempDir dir;
  dir.Write(QStringLiteral("state.txt"),
            "[station1]\nmode=19\nrefusal=ten\nparameters=1 2 3\ncounts=4 5 6 7\nclosed=1 1 1\n"
            "garbage line\n[stationX]\nmode=3\n");
  const auto loaded = LoadStoredSettings(dir.File(QStringLiteral("state.txt")));
  ASSERT_EQ(loaded.size(), 1u);
  const StoredSettings& s = loaded.at(1);
  EXPECT_EQ(s.Block.Mode, 19);
  EXPECT_EQ(s.Block.RefusalOption, 5);
  EXPECT_EQ(s.Block.Parameters, FactorySettings().Block.Parameters);
  EXPECT_EQ(s.Block.Counts, (std::array<int32_t, 4>{4, 5, 6, 7}));
  EXPECT_EQ(s.Closed, (std::array<bool, 3>{true, true, true}));
}

ParseOutcome Parse(const QStringList& args, SimOptions& o, QString& message) {
  return ParseCommandLine(QStringList{QStringLiteral("controller-sim")} + args, o, message);
}

TEST(SimCommandLine, ReadsEveryOption) {
  SimOptions o;
  QString message;
  ASSERT_EQ(Parse({"--stations", "2", "--device", "2=/dev/ttyUSB0", "--link-dir", "/tmp/l", "--state", "s.txt",
                   "--speed", "250", "--action-ms", "5", "--baud", "115200", "--seed", "42", "-v",
                   "--fault-station", "2", "--refuse-close", "A1@3,5", "--refuse-open", "c1@all",
                   "--ignore-handshakes", "all", "--corrupt-every", "7", "--bad-copy-every", "3",
                   "--duplicate-every", "4", "--split", "--split-gap-ms", "12", "--junk", "--unused-bits",
                   "--drop-line-at", "9", "--restore-after", "300"},
                  o, message),
            ParseOutcome::Run)
      << message.toStdString();
  EXPECT_EQ(o.Stations, std::vector<int>{2});
  EXPECT_EQ(o.Devices.at(2), QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(o.LinkDir, QStringLiteral("/tmp/l"));
  EXPECT_EQ(o.StatePath, QStringLiteral("s.txt"));
  EXPECT_DOUBLE_EQ(o.Controller.Speed, 250);
  EXPECT_EQ(o.Controller.ActionMs, 5);
  EXPECT_EQ(o.Baud, 115200);
  EXPECT_EQ(o.Seed, 42u);
  EXPECT_TRUE(o.Verbose);
  EXPECT_EQ(o.FaultStation, 2);
  ASSERT_EQ(o.Controller.Refusals.size(), 3u);
  EXPECT_EQ(o.Controller.Refusals[0].Break, 0);
  EXPECT_TRUE(o.Controller.Refusals[0].OnClose);
  EXPECT_EQ(o.Controller.Refusals[0].Action, 3);
  EXPECT_EQ(o.Controller.Refusals[1].Action, 5);
  EXPECT_EQ(o.Controller.Refusals[2].Break, 2);
  EXPECT_FALSE(o.Controller.Refusals[2].OnClose);
  EXPECT_EQ(o.Controller.Refusals[2].Action, 0);
  EXPECT_EQ(o.Controller.IgnoreHandshakes, -1);
  EXPECT_EQ(o.Line.CorruptEvery, 7);
  EXPECT_EQ(o.Line.BadCopyEvery, 3);
  EXPECT_EQ(o.Line.DuplicateEvery, 4);
  EXPECT_TRUE(o.Line.Split);
  EXPECT_EQ(o.Line.SplitGapMs, 12);
  EXPECT_TRUE(o.Line.Junk);
  EXPECT_TRUE(o.Controller.SetUnusedBits);
  EXPECT_EQ(o.Controller.DropLineAt, 9);
  EXPECT_EQ(o.RestoreAfterMs, 300);
}

TEST(SimCommandLine, RefusesWhatItCannotUse) {
  const QStringList bad[] = {
      {"--stations", "1,x"}, {"--stations", "300"},     {"--device", "/dev/ttyS0"},  {"--speed", "0"},
      {"--speed", "fast"},   {"--refuse-close", "D1@2"}, {"--refuse-open", "A1@0"},  {"--refuse-open", "A1"},
      {"--corrupt-every", "0"}, {"--point-config", "Config.ini"},  // needs --link-dir
      {"--ignore-handshakes", "-1"}, {"--unknown"},     {"stray"},
  };
  for (const QStringList& args : bad) {
    SimOptions o;
    QString message;
    EXPECT_EQ(Parse(args, o, message), ParseOutcome::Error) << args.join(' ').toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("--help"))) << args.join(' ').toStdString();
  }
}

TEST(SimCommandLine, HelpDocumentsTheExchangesAndEveryFault) {
  SimOptions o;
  QString message;
  ASSERT_EQ(Parse({"--help"}, o, message), ParseOutcome::Help);
  for (const char* word : {"handshake", "s A0 03 00 01 12 22 cs", "104-byte", "s A3 01 00 11 11", "F1", "F2",
                           "--refuse-close", "--refuse-open", "--corrupt-every", "--split", "--junk",
                           "--ignore-handshakes", "--drop-line-at", "--restore-after", "--link-dir", "--state",
                           "--speed", "--point-config"})
    EXPECT_TRUE(message.contains(QLatin1String(word))) << word;
}

}  // namespace
}  // namespace rig::sim
