#include "station/CommandGate.h"

#include "core/RunLog.h"
#include "protocol/StationWriter.h"
#include "serial/HexText.h"

namespace rig {

bool TCommandGate::Send(StationCommand command, const QByteArray& frame) {
  if (const QString why = model_.Refusal(command); !why.isEmpty()) {
    WriteLog(QStringLiteral("工位%1：未发出%2（%3）").arg(station_).arg(CommandText(command), why));
    return false;
  }
  const bool written = writer_ && writer_->Write(frame);
  WriteLog(QStringLiteral("发出：") +
           HexBytes(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size())));
  return written;
}

}  // namespace rig
