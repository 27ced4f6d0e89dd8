#pragma once
// TSerialComm: one station's serial link. It owns the port and a reader
// thread (TCommThread) that polls the port every 20 ms and hands each batch of
// received bytes to the station's receive callback on the reader thread.
//
// Threads: Open, Close, Write, RequestStop and destruction belong to the
// link's owner (the window thread). The receive callback runs on the reader
// thread and must hand anything for the window over itself; HandOver() does
// that safely (see there).
//
// Stopping never hangs: destruction requests the stop (which also releases a
// reader waiting in HandOver), closes the port and then waits for the reader,
// processing the owner thread's events meanwhile, so a callback blocked in a
// Qt::BlockingQueuedConnection call into the owner's thread completes too.
// A thread is never terminated.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/CommPort.h"

namespace rig {

// One poll's bytes, `count` from 1 to kReadBufferSize; `data` is valid only
// during the call. Runs on the reader thread.
using ReceiveCallback = std::function<void(const uint8_t* data, int count)>;

// The open port failed: a read or write error, or the device went away.
// Called once per failure, on the thread that noticed it (the reader thread
// for reads, the owner's thread for writes); `reason` is the system's text.
// The link stays failed, reading nothing, until the next successful Open.
using PortFailureCallback = std::function<void(const QString& reason)>;

// The first batch read from a newly opened port is about to be delivered:
// whatever the receiver kept of the line before belongs to another line.
// Runs on the reader thread, before that batch's receive callback.
using NewLineCallback = std::function<void()>;

// The reader: a plain std::thread, so that its start and join are visible
// to the thread sanitizer (Qt's own thread class synchronises out of its sight).
class TCommThread {
 public:
  explicit TCommThread(TCommPort& port);
  ~TCommThread();
  TCommThread(const TCommThread&) = delete;
  TCommThread& operator=(const TCommThread&) = delete;

  // Starts the thread; later calls, and calls after a stop, do nothing.
  void Start();
  bool Started() const { return thread_.joinable(); }

  // Takes a new handle (kNoHandle to let go of the port). Waits for a read
  // in progress, so once it returns the reader no longer touches the old
  // handle. A new handle also clears the failed state.
  void SetHandle(PortHandle handle);
  void SetCallback(ReceiveCallback callback);
  void SetFailureCallback(PortFailureCallback callback);
  void SetNewLineCallback(NewLineCallback callback);

  // One poll: read what is waiting and, if anything came, call the callback.
  // True when the callback was called. The thread calls it every 20 ms;
  // tests call it directly on a link made with ReaderMode::Manual.
  bool PollOnce();

  // Marks the port failed and tells the failure callback, once.
  void ReportFailure(const QString& reason);
  bool Failed() const { return failed_.load(); }

  // After this no callback starts and HandOver gives up at once.
  void RequestStop();
  bool StopRequested() const { return stop_.load(); }

  // RequestStop, then wait until the thread has ended, processing the calling
  // thread's events while waiting, and join it.
  void Finish();

  // Runs `work` on `target`'s thread and waits until it has run. Returns
  // false, without running it, when the link is stopping: a stop request
  // releases the wait, and work still queued then never runs. Called on
  // `target`'s own thread it runs `work` at once.
  bool HandOver(QObject* target, std::function<void()> work);

  // Polls made so far (by the thread or PollOnce), for waiting on the reader.
  uint64_t PollCount() const { return polls_.load(); }

 private:
  void Run();

  enum class Ticket { Pending, Running, Done, Cancelled };
  struct WaitState {  // shared with work queued by HandOver, which may outlive us
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool finished = false;  // the thread has left its loop
  };

  TCommPort& port_;
  std::mutex ioMutex_;  // held while reading and while the handle changes
  PortHandle handle_ = kNoHandle;
  uint64_t handleGeneration_ = 0;     // under ioMutex_: counts the handles taken
  uint64_t deliveredGeneration_ = 0;  // reader only: the handle last delivered from
  std::mutex callbackMutex_;
  NewLineCallback newLineCallback_;
  std::shared_ptr<const ReceiveCallback> callback_;
  PortFailureCallback failureCallback_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::atomic<uint64_t> polls_{0};
  std::shared_ptr<WaitState> wait_ = std::make_shared<WaitState>();
  std::thread thread_;
};

enum class ReaderMode {
  Thread,  // the reader thread starts at the first Open
  Manual,  // no thread: the owner calls PollOnce (tests)
};

class TSerialComm {
 public:
  explicit TSerialComm(ReaderMode mode = ReaderMode::Thread);
  ~TSerialComm();
  TSerialComm(const TSerialComm&) = delete;
  TSerialComm& operator=(const TSerialComm&) = delete;

  // Opens the port (closing one still open first) and starts the reader the
  // first time; the reader runs even when the open failed and then delivers
  // nothing. True when the port is open.
  bool Open(const QString& devicePath, uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits,
            uint8_t flowControl);

  // False when no port was open. Once Close returns the reader reads nothing
  // more from the closed port, so the only callback that can still run is
  // one already handed its batch.
  bool Close();

  // Writes to the port (the station's command gate logs what it sends).
  // True when every byte went to an open port; a failing port is reported
  // through the failure callback.
  bool Write(const uint8_t* bytes, int count);
  bool Write(const QByteArray& bytes);

  void SetReceiveCallback(ReceiveCallback callback);
  void SetPortFailureCallback(PortFailureCallback callback);
  void SetNewLineCallback(NewLineCallback callback);

  bool IsOpen() const { return handle_ != kNoHandle; }
  bool PortFailed() const { return reader_->Failed(); }
  QString DevicePath() const { return devicePath_; }
  PortHandle Handle() const { return handle_; }

  // For the receive callback: see TCommThread.
  bool StopRequested() const { return reader_->StopRequested(); }
  bool HandOver(QObject* target, std::function<void()> work);

  // Stops the reader without waiting; lets an owner of several links stop
  // them all before waiting for any.
  void RequestStop() { reader_->RequestStop(); }
  // Stops the reader and waits for it (processing this thread's events), so
  // nothing the receive callback reaches is used any more once it returns.
  void Stop() { reader_->Finish(); }

  bool PollOnce() { return reader_->PollOnce(); }
  uint64_t PollCount() const { return reader_->PollCount(); }

 private:
  PortHandle handle_ = kNoHandle;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<TCommThread> reader_;
  ReaderMode mode_;
  QString devicePath_;
};

}  // namespace rig
