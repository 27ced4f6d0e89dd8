#include <gtest/gtest.h>

#include <QFile>

#include "core/GbkText.h"
#include "core/RunLog.h"
#include "protocol/Frame.h"
#include "support/TempDir.h"

namespace rig {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (const int v : values) b.append(static_cast<char>(v));
  return b;
}

const uint8_t* Data(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallRunLog(&log); }
  void TearDown() override { InstallRunLog(nullptr); }
  QStringList LogLines() {
    QFile f(log.FileName());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return FromGbk(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }

  rigtest::TempDir dir;
  TRunLog log{dir.Path()};
};

TEST(FrameChecksum, SumsTheGivenBytesModulo256) {
  const QByteArray b = Bytes({0x01, 0xA0, 0x03, 0x00, 0x01, 0x12, 0x22, 0x35});
  EXPECT_EQ(FrameChecksum(Data(b), 4, 3), 0x35);
  EXPECT_EQ(FrameChecksum(Data(Bytes({0xFF, 0x02})), 0, 2), 0x01);  // wraps
  EXPECT_EQ(FrameChecksum(Data(b), 4, 0), 0x00);
  QByteArray many(1000, '\xFF');
  EXPECT_EQ(FrameChecksum(Data(many), 0, 1000), (1000 * 0xFF) % 256);
}

TEST_F(FrameTest, VerifiesGoodFramesWhateverTheirStationCodeAndLength) {
  const QByteArray good[] = {
      Bytes({0x01, 0xA0, 0x03, 0x00, 0x01, 0x12, 0x22, 0x35}),  // the worked link reply
      Bytes({0x02, 0xA1, 0x01, 0x00, 0x0F, 0x0F}),
      Bytes({0x01, 0xA1, 0x01, 0x00, 0x0F, 0x0F}),
      Bytes({0x01, 0xA3, 0x00, 0x00, 0x00}),                    // L = 0: five bytes
      Bytes({0x01, 0xA3, 0x02, 0x00, 0xFF, 0x02, 0x01}),
  };
  for (const QByteArray& f : good) EXPECT_TRUE(VerifyFrameChecksum(Data(f), f.size())) << f.toHex(' ').constData();
  EXPECT_TRUE(LogLines().isEmpty());
}

TEST_F(FrameTest, AMismatchIsLoggedWithTheReceivedAndTheCorrectChecksum) {
  const QByteArray bad = Bytes({0x01, 0xA0, 0x03, 0x00, 0x01, 0x12, 0x22, 0x36});
  EXPECT_FALSE(VerifyFrameChecksum(Data(bad), bad.size()));
  const QByteArray lowDigits = Bytes({0x02, 0xA2, 0x01, 0x00, 0x0F, 0x0A});
  EXPECT_FALSE(VerifyFrameChecksum(Data(lowDigits), lowDigits.size()));

  const QStringList lines = LogLines();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("  原校验码为36,正确的校验码应该为35"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral("  原校验码为0A,正确的校验码应该为0F"))) << lines[1].toStdString();
}

TEST_F(FrameTest, AFrameShorterThanItsOwnLengthIsRefusedWithoutReadingBeyondIt) {
  const QByteArray header = Bytes({0x01, 0xA3, 0x08, 0x00, 0x00});
  EXPECT_FALSE(VerifyFrameChecksum(Data(header), header.size()));
  EXPECT_FALSE(VerifyFrameChecksum(Data(header), 4));
  EXPECT_FALSE(VerifyFrameChecksum(Data(header), 0));
}

struct ShortFrameCase {
  QByteArray (*build)(uint8_t);
  uint8_t station;
  QByteArray bytes;
};

TEST(FrameBuilders, BuildTheSixByteFramesOfEachStation) {
  const ShortFrameCase cases[] = {
      {HandshakeRequest, 1, Bytes({0x01, 0xA0, 0x01, 0x00, 0x05, 0x05})},
      {HandshakeRequest, 2, Bytes({0x02, 0xA0, 0x01, 0x00, 0x05, 0x05})},
      {DisconnectRequest, 1, Bytes({0x01, 0xA0, 0x01, 0x00, 0x0A, 0x0A})},
      {DisconnectRequest, 2, Bytes({0x02, 0xA0, 0x01, 0x00, 0x0A, 0x0A})},
      {SettingsQuery, 1, Bytes({0x01, 0xA1, 0x01, 0x00, 0x0F, 0x0F})},
      {SettingsQuery, 2, Bytes({0x02, 0xA1, 0x01, 0x00, 0x0F, 0x0F})},
      {StatusQuery, 1, Bytes({0x01, 0xA3, 0x01, 0x00, 0x05, 0x05})},
      {StatusQuery, 2, Bytes({0x02, 0xA3, 0x01, 0x00, 0x05, 0x05})},
  };
  for (const ShortFrameCase& c : cases) EXPECT_EQ(c.build(c.station), c.bytes) << c.bytes.toHex(' ').constData();
}

TEST(FrameBuilders, BuildFrameWritesTheEnvelopeAroundAnyPayload) {
  EXPECT_EQ(BuildFrame(1, kCodeLink, Bytes({0x01, 0x12, 0x22})),
            Bytes({0x01, 0xA0, 0x03, 0x00, 0x01, 0x12, 0x22, 0x35}));
  EXPECT_EQ(BuildFrame(2, kCodeStatus, QByteArray()), Bytes({0x02, 0xA3, 0x00, 0x00, 0x00}));

  const QByteArray payload(300, '\x01');  // length above 255: high byte used
  const QByteArray frame = BuildFrame(1, kCodeStatus, payload);
  ASSERT_EQ(frame.size(), 305);
  EXPECT_EQ(static_cast<uint8_t>(frame[2]), 0x2C);
  EXPECT_EQ(static_cast<uint8_t>(frame[3]), 0x01);
  EXPECT_EQ(FramePayloadLength(Data(frame)), 300);
  EXPECT_EQ(static_cast<uint8_t>(frame.back()), 300 % 256);
}

}  // namespace
}  // namespace rig
