#include "lab/LabInterrupt.h"

#include <libpq-fe.h>
#include <sys/socket.h>

#include <thread>

namespace rig::lab {

void LabInterrupt::Attach(pg_conn* conn) {
  std::lock_guard lock(mutex_);
  socket_ = PQsocket(conn);
  if (fired_) {
    if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
    return;
  }
  cancel_ = PQgetCancel(conn);
}

void LabInterrupt::Detach() {
  std::lock_guard lock(mutex_);
  // Before the connection closes its socket: the number may be reused.
  socket_ = -1;
  if (cancel_) PQfreeCancel(cancel_);
  cancel_ = nullptr;
}

void LabInterrupt::Cancel() {
  PGcancel* request = nullptr;
  {
    std::lock_guard lock(mutex_);
    fired_ = true;
    std::swap(request, cancel_);
  }
  if (!request) return;
  // The request owns its copy of the server's address and key and touches
  // nothing else: nobody need wait for it.
  std::thread([request] {
    char error[256];
    PQcancel(request, error, sizeof error);
    PQfreeCancel(request);
  }).detach();
}

void LabInterrupt::Cut() {
  std::lock_guard lock(mutex_);
  fired_ = true;
  if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
}

void LabInterrupt::Rearm() {
  std::lock_guard lock(mutex_);
  fired_ = false;
}

}  // namespace rig::lab
