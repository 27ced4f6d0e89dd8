#include <gtest/gtest.h>

#include <QFile>

#include "core/GbkText.h"
#include "protocol/ReceiveBuffer.h"
#include "core/RunLog.h"
#include "protocol/ReceivePath.h"
#include "support/TempDir.h"

using namespace rig;

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// Feeds batches to one station's receive path and keeps what it delivers.
struct Receiver {
  int station = 1;
  ReceiveBuffer rx;
  std::vector<QByteArray> frames;
  bool stopping = false;

  void Feed(const QByteArray& batch) {
    ReceiveBatch(station, rx, reinterpret_cast<const uint8_t*>(batch.constData()), static_cast<int>(batch.size()), [this] {
      if (stopping) return false;
      frames.emplace_back(reinterpret_cast<const char*>(rx.FrameBuffer.data()), rx.FrameLength);
      return true;
    });
  }
  QByteArray Kept() const { return QByteArray(reinterpret_cast<const char*>(rx.RxBuffer.data()), rx.RxCount); }
};


}  // namespace

TEST(ReceivePath, FramesAcrossBatches) {
  const QByteArray reply = Hex("01A0030001122235");
  const QByteArray status = Hex("01A308000500000015000000") + QByteArray(1, char(0x05 + 0x15));
  struct Case {
    const char* name;
    std::vector<QByteArray> batches;
    std::vector<QByteArray> frames;
    QByteArray kept;
  } cases[] = {
      {"whole frame", {reply}, {reply}, {}},
      {"split after four bytes", {reply.left(4), reply.mid(4)}, {reply}, {}},
      {"split after six bytes", {reply.left(6), reply.mid(6)}, {reply}, {}},
      {"two frames in one batch", {reply + status}, {reply, status}, {}},
      {"junk before a frame", {Hex("00FF") + reply}, {reply}, {}},
      // Its payload holds a 01, which could start a frame of ours: kept.
      {"other station's frame", {Hex("02A0030001122235")}, {}, Hex("01122235")},
      {"link reply with L = 4 skipped byte by byte", {Hex("01A00400011222AA35") + reply}, {reply}, {}},
      {"bad checksum costs only its first byte", {Hex("01A0030001122236") + reply}, {reply}, {}},
      {"five-byte status waits for a sixth byte", {Hex("01A3000000")}, {}, Hex("01A3000000")},
      {"tail under six bytes starting with the station kept", {reply + Hex("01A003")}, {reply}, Hex("01A003")},
      {"incomplete frame kept", {status.left(9)}, {}, status.left(9)},
      {"nothing worth keeping", {Hex("0203040506070809")}, {}, {}},
      {"frame start that can never fit is no frame", {Hex("01A3FFFF") + reply}, {reply}, {}},
  };
  for (const Case& c : cases) {
    Receiver r;
    for (const QByteArray& b : c.batches) r.Feed(b);
    EXPECT_EQ(r.frames, c.frames) << c.name;
    EXPECT_EQ(r.Kept(), c.kept) << c.name;
  }
}

TEST(ReceivePath, StationTwoTakesOnlyItsOwnFrames) {
  Receiver r;
  r.station = 2;
  r.Feed(Hex("01A0030001122235") + Hex("02A0030001121124"));
  ASSERT_EQ(r.frames.size(), 1u);
  EXPECT_EQ(r.frames[0], Hex("02A0030001121124"));
}

TEST(ReceivePath, AStoppingLinkDeliversNoMoreFrames) {
  Receiver r;
  r.stopping = true;
  r.Feed(Hex("01A0030001122235") + Hex("01A0030001122235"));
  EXPECT_TRUE(r.frames.empty());
}

TEST(ReceivePath, ALongStartThatNeverCompletesOnlyDelaysLaterFrames) {
  Receiver r;
  // A kept start of a long status frame (2037 bytes) filled with bytes that
  // spoil its checksum: once its length is in, it costs one byte, and the
  // frame among the filler comes out.
  const QByteArray reply = Hex("01A0030001122235");
  r.Feed(Hex("01A3F007"));
  r.Feed(QByteArray(1000, '\0') + reply);
  EXPECT_TRUE(r.frames.empty());
  for (int i = 0; i < 3; ++i) r.Feed(QByteArray(1000, char(0x01)));
  EXPECT_LE(r.rx.RxCount, kRxBufferSize);
  EXPECT_EQ(r.frames, std::vector<QByteArray>{reply});
}

// Found by fuzzing: a batch that did not fit behind the bytes kept pushed
// them out, and with them the frame they began.
TEST(ReceivePath, NoFrameIsLostToHowTheBytesFallIntoBatches) {
  const QByteArray status = Hex("01A308000500000015000000") + QByteArray(1, char(0x05 + 0x15));
  QByteArray longest = Hex("01A3FB07") + QByteArray(2043, '\0');  // the longest frame the buffer holds
  longest.append('\0');
  struct Case {
    const char* name;
    std::vector<QByteArray> batches;
    std::vector<QByteArray> frames;
  } cases[] = {
      // The reader was held up: a full read completes the frame begun before.
      {"frame begun, then a full batch", {status.left(5), status.mid(5) + QByteArray(2048 - 8, '\0')}, {status}},
      {"frame begun, then a full batch holding another", {status.left(9), status.mid(9) + QByteArray(2000, '\0') + status +
                                                          QByteArray(2048 - 4 - 2000 - 13, '\0')}, {status, status}},
      {"the longest frame in twelve-byte batches", {}, {longest}},
      {"a batch longer than the buffer", {QByteArray(2500, '\0') + status + QByteArray(100, '\0') + status}, {status, status}},
  };
  // Not in step with the batches, and more bytes behind it.
  const QByteArray offset = Hex("0000") + longest + QByteArray(12, '\0');
  for (int at = 0; at < offset.size(); at += 12) cases[2].batches.push_back(offset.mid(at, 12));
  for (const Case& c : cases) {
    Receiver r;
    for (const QByteArray& b : c.batches) r.Feed(b);
    EXPECT_EQ(r.frames, c.frames) << c.name;
    EXPECT_LE(r.rx.RxCount, kRxBufferSize) << c.name;
  }
}

TEST(ReceivePath, EveryBatchIsLoggedAndChecksumMismatchesToo) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path());
  InstallRunLog(&log);
  Receiver r;
  r.Feed(Hex("01A0030001122236"));
  InstallRunLog(nullptr);
  QFile f(log.FileName());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = FromGbk(f.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral("  收到 01 A0 03 00 01 12 22 36\r\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("  原校验码为36,正确的校验码应该为35\r\n"))) << text.toStdString();
}

TEST(ReceivePath, AcceptedCodeAndLengthPairs) {
  EXPECT_TRUE(IsAcceptedFrameStart(0xA0, 3));
  EXPECT_FALSE(IsAcceptedFrameStart(0xA0, 4));
  EXPECT_TRUE(IsAcceptedFrameStart(0xA1, 104));
  EXPECT_FALSE(IsAcceptedFrameStart(0xA1, 1));
  EXPECT_TRUE(IsAcceptedFrameStart(0xA2, 1));
  EXPECT_FALSE(IsAcceptedFrameStart(0xA2, 104));
  EXPECT_TRUE(IsAcceptedFrameStart(0xA3, 0));
  EXPECT_TRUE(IsAcceptedFrameStart(0xA3, 8));
  EXPECT_FALSE(IsAcceptedFrameStart(0xA4, 1));
}
