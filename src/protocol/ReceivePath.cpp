#include "protocol/ReceivePath.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cstring>

#include "protocol/ReceiveBuffer.h"
#include "core/RunLog.h"
#include "protocol/Frame.h"
#include "serial/HexText.h"

namespace rig {
namespace {

Q_LOGGING_CATEGORY(lcReceive, "rig.receive", QtWarningMsg)

// "收到" and each byte as a space and two hexadecimal digits.
QString ReceivedText(const uint8_t* data, int count) {
  QString dump = HexBytes(data, count);
  dump.chop(1);  // HexBytes puts the space after each byte
  return QStringLiteral("收到 ") + dump;
}

// Keeps the bytes from `from` on at the start of the buffer.
void KeepFrom(ReceiveBuffer& rx, int from) {
  const int kept = rx.RxCount - from;
  std::memmove(rx.RxBuffer.data(), rx.RxBuffer.data() + from, static_cast<size_t>(kept));
  std::memset(rx.RxBuffer.data() + kept, 0, static_cast<size_t>(kRxBufferSize - kept));
  rx.RxCount = kept;
}

}  // namespace

bool IsAcceptedFrameStart(uint8_t code, int length) {
  switch (code) {
    case kCodeLink: return length == kLinkReplyLength;
    case kCodeSettings: return length == 104;
    case kCodeStart: return length == 1;
    case kCodeStatus: return true;
    default: return false;
  }
}

namespace {

// Scans what is buffered: delivers every complete, verified frame and keeps
// what may still become one. False when the link is stopping.
//
// What it keeps is either under six bytes or the start of an accepted frame
// that fits the buffer and is not complete, so it always leaves room.
bool ScanBuffer(int station, ReceiveBuffer& rx, const FrameDelivery& deliver) {
  const uint8_t s = static_cast<uint8_t>(station);
  int i = 0;
  for (;;) {
    if (i >= rx.RxCount) {
      rx.RxCount = 0;  // nothing worth keeping
      return true;
    }
    const uint8_t* at = rx.RxBuffer.data() + i;
    if (at[0] != s) {
      ++i;
      continue;
    }
    if (i + 5 >= rx.RxCount) {  // fewer than six bytes: wait for more
      KeepFrom(rx, i);
      return true;
    }
    const uint8_t code = at[1];
    const int length = FramePayloadLength(at);
    if (!IsAcceptedFrameStart(code, length)) {
      ++i;
      continue;
    }
    const int frameLength = length + kFrameOverhead;
    if (i + frameLength > rx.RxCount) {
      if (frameLength > kRxBufferSize) {  // can never fit: not a frame start
        ++i;
        continue;
      }
      KeepFrom(rx, i);
      return true;
    }
    std::memcpy(rx.FrameBuffer.data(), at, static_cast<size_t>(frameLength));
    rx.FrameLength = frameLength;
    if (!VerifyFrameChecksum(rx.FrameBuffer.data(), frameLength)) {
      ++i;
      continue;
    }
    if (!deliver()) return false;  // the link is stopping
    const int end = i + frameLength;
    if (end >= rx.RxCount) {
      rx.RxCount = 0;
      return true;
    }
    KeepFrom(rx, end);
    i = 0;
  }
}

}  // namespace

void ReceiveBatch(int station, ReceiveBuffer& rx, const uint8_t* data, int count, const FrameDelivery& deliver) {
  if (count <= 0) return;
  const QString logText = ReceivedText(data, count);
  qCDebug(lcReceive).noquote() << logText;
  WriteLog(logText);

  // The batch goes in as far as there is room, is scanned, and the rest
  // follows: a frame waiting for its end is never pushed out by the bytes
  // that complete it, however the line's bytes fall into batches.
  if (rx.RxCount < 0 || rx.RxCount >= kRxBufferSize) rx.RxCount = 0;  // only after a stop
  while (count > 0) {
    const int take = std::min(count, kRxBufferSize - rx.RxCount);
    std::memcpy(rx.RxBuffer.data() + rx.RxCount, data, static_cast<size_t>(take));
    rx.RxCount += take;
    data += take;
    count -= take;
    if (!ScanBuffer(station, rx, deliver)) return;
  }
}

}  // namespace rig
