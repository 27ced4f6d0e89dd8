#include "station/StationLink.h"

#include <QPointer>
#include <QTimer>

#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "core/RunLog.h"
#include "station/CommandGate.h"
#include "station/StationLook.h"
#include "testing/CommandFrames.h"
#include "station/StationView.h"
#include "protocol/Frame.h"
#include "protocol/ReceivePath.h"
#include "serial/DevicePath.h"
#include "serial/SerialComm.h"

namespace rig {

TStationLink::TStationLink(int station, StationShared& shared, IStationView& view, INotifier& notifier,
                           QObject* window, QTimer& retryTimer, TCommandGate& gate)
    : station_(station),
      shared_(shared),
      view_(view),
      notifier_(notifier),
      window_(window),
      timer_(retryTimer),
      gate_(gate),
      failureInbox_(std::make_unique<QObject>()),
      reopenTimer_(std::make_unique<QTimer>()) {
  reopenTimer_->setInterval(kReopenIntervalMs);
  QObject::connect(reopenTimer_.get(), &QTimer::timeout, failureInbox_.get(), [this] { ReopenTick(); });
}

TStationLink::~TStationLink() { CloseLink(); }

void TStationLink::Draw() { DrawStation(shared_.Model, station_, view_); }

bool TStationLink::OpenPort() {
  const StationConfig& c = shared_.Config;
  // Resolved at every open: a link name may point at a new device by now.
  devicePath_ = DevicePathFor(c.PortName);
  if (!comm_) comm_ = std::make_unique<TSerialComm>(readerMode_);
  if (shared_.PortOpen) comm_->Close();
  shared_.PortOpen = false;
  // The reader reaches the link it belongs to through this pointer, never
  // through comm_, which is cleared while the link is being taken down.
  TSerialComm* comm = comm_.get();
  comm_->SetReceiveCallback([this, comm](const uint8_t* data, int count) { OnBatch(*comm, data, count); });
  // Bytes of the line before a close never join the bytes after it.
  comm_->SetNewLineCallback([this] { rx_.RxCount = 0; });
  QPointer<QObject> inbox(failureInbox_.get());
  comm_->SetPortFailureCallback([this, inbox](const QString& reason) {
    QMetaObject::invokeMethod(
        inbox, [this, reason] { OnPortFailed(reason); }, Qt::QueuedConnection);
  });
  // Only the low 8 bits of data bits, parity and stop bits reach the port.
  shared_.PortOpen = comm_->Open(devicePath_, static_cast<uint32_t>(c.BaudRate), static_cast<uint8_t>(c.DataBits),
                                 static_cast<uint8_t>(c.ParityIndex), static_cast<uint8_t>(c.StopBitsIndex), 0);
  return shared_.PortOpen;
}

void TStationLink::OpenLink() {
  reopenTimer_->stop();
  lineLost_ = false;
  const bool opened = OpenPort();
  if (!opened && shared_.Model.IsRunning()) shared_.State.EndTime = now_();
  shared_.Model.On(opened ? StationEvent::PortOpened : StationEvent::PortNotOpened);
  Draw();
  if (!opened) notifier_.Notice(devicePath_ + QStringLiteral("打开串口失败，请配置串口!!"), NoticeIcon::None);
}

void TStationLink::OnPortFailed(const QString& reason) {
  if (lineLost_ || !comm_) return;
  lineLost_ = true;
  reconnectAfterReopen_ = shared_.Model.Connected() || timer_.isActive();
  // A running test is not over: the count reached and the queued actions
  // stay, and the next start in its mode after the line is back resumes it.
  if (shared_.Model.IsRunning()) shared_.State.EndTime = now_();
  shared_.Model.On(StationEvent::LineLost);
  if (onLineLost_) onLineLost_();
  comm_->Close();
  shared_.PortOpen = false;
  timer_.stop();
  Draw();
  WriteLog(QStringLiteral("工位%1串口%2故障：%3").arg(station_).arg(devicePath_, reason));
  reopenTimer_->start();
  notifier_.Notice(QStringLiteral("工位%1的串口%2通讯中断（%3），正在每%4秒尝试重新打开。")
                       .arg(station_)
                       .arg(devicePath_, reason)
                       .arg(kReopenIntervalMs / 1000));
}

void TStationLink::ReopenTick() {
  if (!lineLost_) {
    reopenTimer_->stop();
    return;
  }
  if (!OpenPort()) return;
  lineLost_ = false;
  reopenTimer_->stop();
  shared_.Model.On(StationEvent::PortOpened);
  Draw();
  WriteLog(QStringLiteral("工位%1串口%2已重新打开").arg(station_).arg(devicePath_));
  if (reconnectAfterReopen_) ConnectStation();
  notifier_.Notice(QStringLiteral("工位%1的串口%2已恢复。").arg(station_).arg(devicePath_) +
                   (shared_.Model.ResumePending()
                        ? QStringLiteral("连接后按“开始测试”，测试将从控制器记录的次数继续，已记录的动作不会丢失。")
                        : QString()));
}

void TStationLink::CloseLink() {
  reopenTimer_->stop();
  if (disconnectPending_) SendDisconnectRequest();
  if (!comm_) return;
  // The reader is joined before anything it can reach goes away.
  comm_->Stop();
  if (shared_.PortOpen) comm_->Close();
  shared_.PortOpen = false;
  comm_.reset();
}

void TStationLink::RequestStop() {
  if (comm_) comm_->RequestStop();
}

void TStationLink::OnBatch(TSerialComm& comm, const uint8_t* data, int count) {
  ReceiveBatch(station_, rx_, data, count, [this, &comm] {
    return comm.HandOver(window_, [this] {
      if (sink_) sink_(rx_.FrameBuffer.data(), rx_.FrameLength);
    });
  });
}

bool TStationLink::Write(const QByteArray& bytes) {
  if (!comm_) comm_ = std::make_unique<TSerialComm>(readerMode_);  // a closed port fails the write
  return comm_->Write(bytes);
}

void TStationLink::ConnectStation() {
  shared_.Model.On(StationEvent::HandshakeSent);
  gate_.Send(StationCommand::Handshake, HandshakeRequest(static_cast<uint8_t>(station_)));
  if (!timer_.isActive()) timer_.start();
  Draw();
}

bool TStationLink::DisconnectStation() {
  // A start that waits for the controller's report must not follow a stop.
  shared_.Model.On(StationEvent::DisconnectRequested);
  const bool running = shared_.Model.IsRunning();
  const bool cancelled = running && gate_.Send(StationCommand::Cancel, CancelCommand());
  if (running) {
    shared_.State.EndTime = now_();
    shared_.Model.On(StationEvent::TestCancelled);
  }
  Draw();
  if (!running || cancelGapMs_ <= 0) return SendDisconnectRequest();
  // The controller takes the cancel before the disconnect; the window goes
  // on meanwhile, and a close sends what still waits.
  disconnectPending_ = true;
  QTimer::singleShot(cancelGapMs_, failureInbox_.get(), [this] {
    if (disconnectPending_) SendDisconnectRequest();
  });
  return cancelled;
}

bool TStationLink::SendDisconnectRequest() {
  disconnectPending_ = false;
  return gate_.Send(StationCommand::Disconnect, DisconnectRequest(static_cast<uint8_t>(station_)));
}

void TStationLink::RetryTick() {
  if (shared_.Model.Connected()) return;
  if (shared_.HandshakeRetries > 3) {
    shared_.HandshakeRetries = 0;
    timer_.stop();
    shared_.Model.On(StationEvent::HandshakeGivenUp);
    return;
  }
  ConnectStation();
  ++shared_.HandshakeRetries;
}

void TStationLink::OnLinkReply(uint8_t status) {
  if (status == kLinkAccepted) {
    // Also the answer to a repeated or unasked handshake: the run, if any,
    // goes on, and the report the query brings only fills an idle panel.
    shared_.Model.On(StationEvent::LinkAccepted);
    timer_.stop();
    Draw();
    gate_.Send(StationCommand::SettingsQuery, SettingsQuery(static_cast<uint8_t>(station_)));
  } else if (status == kLinkDisconnected) {
    if (shared_.Model.IsRunning()) shared_.State.EndTime = now_();
    shared_.Model.On(StationEvent::LinkDisconnected);
    Draw();
  }
}

}  // namespace rig
