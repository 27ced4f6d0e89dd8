#include "protocol/StationLink.h"

#include <QPointer>
#include <QThread>
#include <QTimer>

#include "core/GlobVar.h"
#include "core/Notifier.h"
#include "core/RunLog.h"
#include "core/StationView.h"
#include "protocol/Frame.h"
#include "protocol/ReceivePath.h"
#include "serial/DevicePath.h"
#include "serial/SerialComm.h"

namespace rig {

QString LinkButtonCaption(int station, bool connected) {
  return (connected ? QStringLiteral("停止工位") : QStringLiteral("开启工位")) + QString::number(station);
}

TStationLink::TStationLink(int station, StationShared& shared, IStationView& view, INotifier& notifier,
                           QObject* window, QTimer& retryTimer)
    : station_(station),
      shared_(shared),
      view_(view),
      notifier_(notifier),
      window_(window),
      timer_(retryTimer),
      failureInbox_(std::make_unique<QObject>()),
      reopenTimer_(std::make_unique<QTimer>()) {
  reopenTimer_->setInterval(kReopenIntervalMs);
  QObject::connect(reopenTimer_.get(), &QTimer::timeout, failureInbox_.get(), [this] { ReopenTick(); });
}

TStationLink::~TStationLink() {
  comm_.reset();  // stops and joins the reader while everything it uses still exists
}

bool TStationLink::OpenPort() {
  const StationConfig& c = shared_.Config;
  // Resolved at every open: a link name may point at a new device by now.
  devicePath_ = DevicePathFor(c.PortName);
  if (!comm_) comm_ = std::make_unique<TSerialComm>();
  if (shared_.PortOpen) comm_->Close();
  shared_.PortOpen = false;
  comm_->SetReceiveCallback([this](const uint8_t* data, int count) { OnBatch(data, count); });
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
  if (!OpenPort()) notifier_.Notice(devicePath_ + QStringLiteral("打开串口失败，请配置串口!!"), NoticeIcon::None);
}

void TStationLink::OnPortFailed(const QString& reason) {
  if (lineLost_ || !comm_) return;
  lineLost_ = true;
  reconnectAfterReopen_ = shared_.Connected || timer_.isActive();
  if (shared_.State.TestRunning) {
    // The run is not over: the count reached and the queued actions stay, and
    // the next start after the line is back resumes it.
    shared_.State.ResumeAfterLineLoss = true;
    shared_.State.TestRunning = false;
    shared_.State.EndTime = now_();
  }
  comm_->Close();
  shared_.PortOpen = false;
  shared_.Connected = false;
  timer_.stop();
  SetStationControlsEnabled(view_, false);
  view_.SetLinkCaption(LinkButtonCaption(station_, false));
  view_.SetStartCaption(QStringLiteral("开始测试"));
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
  WriteLog(QStringLiteral("工位%1串口%2已重新打开").arg(station_).arg(devicePath_));
  if (reconnectAfterReopen_) ConnectStation();
  notifier_.Notice(QStringLiteral("工位%1的串口%2已恢复。").arg(station_).arg(devicePath_) +
                   (shared_.State.ResumeAfterLineLoss
                        ? QStringLiteral("连接后按“开始测试”，测试将从控制器记录的次数继续，已记录的动作不会丢失。")
                        : QString()));
}

void TStationLink::CloseLink() {
  reopenTimer_->stop();
  if (!comm_) return;
  if (shared_.PortOpen) comm_->Close();
  shared_.PortOpen = false;
  comm_.reset();
}

void TStationLink::RequestStop() {
  if (comm_) comm_->RequestStop();
}

void TStationLink::OnBatch(const uint8_t* data, int count) {
  ReceiveBatch(station_, shared_, data, count, [this] {
    return comm_->HandOver(window_, [this] {
      if (sink_) sink_(shared_.FrameBuffer.data(), shared_.FrameLength);
    });
  });
}

bool TStationLink::Write(const QByteArray& bytes) {
  if (!comm_) comm_ = std::make_unique<TSerialComm>();  // a closed link still logs what was sent
  return comm_->Write(bytes);
}

void TStationLink::ConnectStation() {
  shared_.State.FirstStatusPending = true;
  Write(HandshakeRequest(static_cast<uint8_t>(station_)));
  if (!timer_.isActive()) timer_.start();
}

bool TStationLink::DisconnectStation() {
  if (shared_.State.TestRunning) {
    Write(QByteArray(1, static_cast<char>(kCancelByte)));
    QThread::msleep(100);  // let the controller take the cancel before the disconnect
    shared_.State.TestRunning = false;
  }
  return Write(DisconnectRequest(static_cast<uint8_t>(station_)));
}

void TStationLink::RetryTick() {
  if (shared_.Connected) return;
  if (shared_.HandshakeRetries > 3) {
    shared_.HandshakeRetries = 0;
    timer_.stop();
    return;
  }
  ConnectStation();
  ++shared_.HandshakeRetries;
}

void TStationLink::OnLinkReply(uint8_t status) {
  if (status == kLinkAccepted) {
    SetStationControlsEnabled(view_, true);
    view_.SetLinkCaption(LinkButtonCaption(station_, true));
    shared_.Connected = true;
    timer_.stop();
    Write(SettingsQuery(static_cast<uint8_t>(station_)));
  } else if (status == kLinkDisconnected) {
    SetStationControlsEnabled(view_, false);
    view_.SetLinkCaption(LinkButtonCaption(station_, false));
    shared_.Connected = false;
    shared_.State.TestRunning = false;
    view_.SetStartCaption(QStringLiteral("开始测试"));
    shared_.State.EndTime = now_();
  }
}

}  // namespace rig
