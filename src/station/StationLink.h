#pragma once
// One station's link with its controller: the serial port opened with the
// station's settings, the handshake that connects and disconnects, the
// one-second retries of an unanswered handshake, and the panel switched
// between usable and locked as the controller reports the link up or down.
// Runs on the window thread; received frames come back to it there. Its
// commands go out through the station's command gate; Write() is the port
// itself, for the gate.
#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>

#include "station/StationLook.h"
#include "protocol/ReceiveBuffer.h"
#include "protocol/StationWriter.h"
#include "serial/SerialComm.h"

class QTimer;

namespace rig {

class INotifier;
class IStationView;
class TCommandGate;
struct StationShared;

class TStationLink : public IStationWriter {
 public:
  // Called on the window thread with each frame of this station's controller.
  using FrameSink = std::function<void(const uint8_t* frame, int length)>;

  // `window` is the object on whose thread frames are dispatched; `retryTimer`
  // is the station's one-second handshake timer.
  TStationLink(int station, StationShared& shared, IStationView& view, INotifier& notifier, QObject* window,
               QTimer& retryTimer, TCommandGate& gate);
  ~TStationLink() override;

  int Station() const { return station_; }
  void SetFrameSink(FrameSink sink) { sink_ = std::move(sink); }
  void SetClock(std::function<QDateTime()> now) { now_ = std::move(now); }
  // Called once the model has heard of a failed line (the run's observers
  // are told through it).
  void SetLineLostHandler(std::function<void()> handler) { onLineLost_ = std::move(handler); }
  // How long the disconnect request waits after the cancel of a running
  // test (a timer step, the window thread goes on); 0 sends both at once.
  void SetCancelGap(int ms) { cancelGapMs_ = ms; }
  // Manual: no reader thread; whoever drives the link polls (tests).
  void SetReaderMode(ReaderMode mode) { readerMode_ = mode; }

  // (Re)opens the port with the station's settings; tells the operator when
  // it cannot be opened. Sends nothing.
  void OpenLink();
  // Closes the port and lets the reader go (program end). A disconnect
  // request still waiting for its gap goes out first.
  void CloseLink();
  // Stops the reader without waiting (so both stations stop at once).
  void RequestStop();

  void ConnectStation();
  // Withdraws a start that waits for the controller's answer; a running
  // test is cancelled and the disconnect request follows kCancelGapMs later.
  // False when a request that went out now was not written.
  bool DisconnectStation();
  bool DisconnectPending() const { return disconnectPending_; }
  static constexpr int kCancelGapMs = 100;
  // The retry timer's tick.
  void RetryTick();
  // A link reply of this station's controller: 0x22 accepted, 0x11 disconnected.
  void OnLinkReply(uint8_t status);

  // The open port failed (read or write error, device gone): the operator is
  // told, the run log records it, the panel is locked, and the port is tried
  // again every kReopenIntervalMs until it opens; then the handshake is made
  // again if the station was connected. Window thread.
  void OnPortFailed(const QString& reason);
  // One attempt to reopen a failed port.
  void ReopenTick();
  bool LineLost() const { return lineLost_; }
  QTimer& ReopenTimer() { return *reopenTimer_; }

  static constexpr int kReopenIntervalMs = 3000;

  bool Write(const QByteArray& bytes) override;

  QString DevicePath() const { return devicePath_; }
  TSerialComm* Comm() { return comm_.get(); }
  // The reader thread's; read it only while the reader is stopped or waits.
  const ReceiveBuffer& Received() const { return rx_; }

 private:
  void OnBatch(TSerialComm& comm, const uint8_t* data, int count);  // reader thread
  void Draw();
  bool OpenPort();
  bool SendDisconnectRequest();

  const int station_;
  StationShared& shared_;
  IStationView& view_;
  INotifier& notifier_;
  QObject* window_;
  QTimer& timer_;
  TCommandGate& gate_;
  ReceiveBuffer rx_;
  std::unique_ptr<TSerialComm> comm_;
  QString devicePath_;
  FrameSink sink_;
  // Receives the port's failure reports on the window thread; queued reports
  // die with it.
  std::unique_ptr<QObject> failureInbox_;
  std::unique_ptr<QTimer> reopenTimer_;
  bool lineLost_ = false;
  bool reconnectAfterReopen_ = false;
  std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };
  std::function<void()> onLineLost_;
  int cancelGapMs_ = kCancelGapMs;
  bool disconnectPending_ = false;
  ReaderMode readerMode_ = ReaderMode::Thread;
};

}  // namespace rig
