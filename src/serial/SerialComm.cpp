#include "serial/SerialComm.h"

#include <QCoreApplication>
#include <QThread>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/RunLog.h"
#include "serial/HexText.h"

namespace rig {
namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(20);

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

TCommThread::TCommThread(TCommPort& port) : port_(port) {}

TCommThread::~TCommThread() { Finish(); }

void TCommThread::SetHandle(PortHandle handle) {
  std::lock_guard lock(ioMutex_);
  handle_ = handle;
  if (handle != kNoHandle) ++handleGeneration_;
  failed_.store(false);
}

void TCommThread::SetCallback(ReceiveCallback callback) {
  auto shared = callback ? std::make_shared<const ReceiveCallback>(std::move(callback)) : nullptr;
  std::lock_guard lock(callbackMutex_);
  callback_ = std::move(shared);
}

void TCommThread::SetNewLineCallback(NewLineCallback callback) {
  std::lock_guard lock(callbackMutex_);
  newLineCallback_ = std::move(callback);
}

void TCommThread::SetFailureCallback(PortFailureCallback callback) {
  std::lock_guard lock(callbackMutex_);
  failureCallback_ = std::move(callback);
}

bool TCommThread::PollOnce() {
  polls_.fetch_add(1);
  std::array<uint8_t, kReadBufferSize> buffer{};
  int count = 0;
  PortRead result;
  int error = 0;
  uint64_t generation = 0;
  {
    std::lock_guard lock(ioMutex_);
    if (handle_ == kNoHandle || failed_.load()) return false;
    result = port_.ReadData(handle_, buffer.data(), count);
    error = errno;
    generation = handleGeneration_;
  }
  if (result == PortRead::Failed) {
    ReportFailure(SystemErrorText(error));
    return false;
  }
  if (result != PortRead::Delivered || StopRequested()) return false;
  std::shared_ptr<const ReceiveCallback> callback;
  NewLineCallback newLine;
  {
    std::lock_guard lock(callbackMutex_);
    callback = callback_;
    newLine = newLineCallback_;
  }
  if (!callback) return false;
  if (generation != deliveredGeneration_) {
    deliveredGeneration_ = generation;
    if (newLine) newLine();
  }
  (*callback)(buffer.data(), count);
  return true;
}

void TCommThread::ReportFailure(const QString& reason) {
  if (failed_.exchange(true)) return;
  PortFailureCallback callback;
  {
    std::lock_guard lock(callbackMutex_);
    callback = failureCallback_;
  }
  if (callback) callback(reason);
}

void TCommThread::RequestStop() {
  stop_.store(true);
  {
    std::lock_guard lock(wait_->mutex);
    wait_->stop = true;
  }
  wait_->wake.notify_all();
}

void TCommThread::Start() {
  if (thread_.joinable() || StopRequested()) return;
  thread_ = std::thread([this] { Run(); });
}

void TCommThread::Finish() {
  RequestStop();
  if (!thread_.joinable()) return;
  // A reader blocked in a blocking queued call into this thread needs this
  // thread's events processed to come back; the stop flag keeps it from
  // starting another.
  for (;;) {
    {
      std::unique_lock lock(wait_->mutex);
      if (wait_->wake.wait_for(lock, std::chrono::milliseconds(5), [this] { return wait_->finished; })) break;
    }
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
  }
  thread_.join();
}

void TCommThread::Run() {
  while (!StopRequested()) {
    {
      std::unique_lock lock(wait_->mutex);
      wait_->wake.wait_for(lock, kPollPeriod, [this] { return wait_->stop; });
    }
    if (StopRequested()) break;
    PollOnce();
  }
  {
    std::lock_guard lock(wait_->mutex);
    wait_->finished = true;
  }
  wait_->wake.notify_all();
}

bool TCommThread::HandOver(QObject* target, std::function<void()> work) {
  if (!target || StopRequested()) return false;
  if (QThread::currentThread() == target->thread()) {
    work();
    return true;
  }
  auto state = wait_;
  auto ticket = std::make_shared<Ticket>(Ticket::Pending);
  const bool posted = QMetaObject::invokeMethod(
      target,
      [state, ticket, work = std::move(work)] {
        {
          std::lock_guard lock(state->mutex);
          if (*ticket != Ticket::Pending || state->stop) {
            *ticket = Ticket::Cancelled;
            state->wake.notify_all();
            return;
          }
          *ticket = Ticket::Running;
        }
        struct Release {  // the reader must be released even if work throws
          WaitState& s;
          Ticket& t;
          ~Release() {
            {
              std::lock_guard lock(s.mutex);
              t = Ticket::Done;
            }
            s.wake.notify_all();
          }
        } release{*state, *ticket};
        work();
      },
      Qt::QueuedConnection);
  if (!posted) return false;
  std::unique_lock lock(state->mutex);
  state->wake.wait(lock, [&] {
    return *ticket == Ticket::Done || *ticket == Ticket::Cancelled || (state->stop && *ticket == Ticket::Pending);
  });
  if (*ticket == Ticket::Pending) *ticket = Ticket::Cancelled;
  return *ticket == Ticket::Done;
}

TSerialComm::TSerialComm(ReaderMode mode)
    : port_(std::make_unique<TCommPort>()), reader_(std::make_unique<TCommThread>(*port_)), mode_(mode) {}

TSerialComm::~TSerialComm() {
  reader_->RequestStop();
  Close();
  reader_->Finish();
}

bool TSerialComm::Open(const QString& devicePath, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
                       uint8_t stopBits, uint8_t flowControl) {
  Close();
  devicePath_ = devicePath;
  handle_ = port_->OpenPort(devicePath, baudRate, dataBits, parity, stopBits, flowControl);
  reader_->SetHandle(handle_);
  if (mode_ == ReaderMode::Thread) reader_->Start();
  return handle_ != kNoHandle;
}

bool TSerialComm::Close() {
  if (handle_ == kNoHandle) return false;
  reader_->SetHandle(kNoHandle);
  port_->ClosePort(handle_);
  handle_ = kNoHandle;
  return true;
}

bool TSerialComm::Write(const uint8_t* bytes, int count) {
  errno = 0;
  const bool written = port_->WriteData(handle_, bytes, count);
  const int error = errno;
  if (!written && handle_ != kNoHandle)
    reader_->ReportFailure(error ? SystemErrorText(error) : QStringLiteral("write timed out"));
  return written;
}

bool TSerialComm::Write(const QByteArray& bytes) {
  return Write(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()));
}

void TSerialComm::SetReceiveCallback(ReceiveCallback callback) { reader_->SetCallback(std::move(callback)); }

void TSerialComm::SetNewLineCallback(NewLineCallback callback) { reader_->SetNewLineCallback(std::move(callback)); }

void TSerialComm::SetPortFailureCallback(PortFailureCallback callback) {
  reader_->SetFailureCallback(std::move(callback));
}

bool TSerialComm::HandOver(QObject* target, std::function<void()> work) {
  return reader_->HandOver(target, std::move(work));
}

}  // namespace rig
