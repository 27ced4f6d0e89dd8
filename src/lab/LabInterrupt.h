#pragma once
// Breaks off, from another thread, whatever a lab connection is waiting for,
// without that thread waiting on the network itself. Cancel() asks the
// server to cancel the running statement (PQcancel, sent from a short-lived
// thread of its own: a server that accepts the request and never answers
// would hold the sender); Cut() shuts the connection's socket, which ends
// every wait of the connection's thread at once whatever the server does.
// Either way the server rolls the open transaction back.
#include <mutex>

struct pg_conn;
struct pg_cancel;

namespace rig::lab {

class LabInterrupt {
 public:
  LabInterrupt() = default;
  ~LabInterrupt() { Detach(); }
  LabInterrupt(const LabInterrupt&) = delete;
  LabInterrupt& operator=(const LabInterrupt&) = delete;

  // On the connection's own thread, once connected and before it is closed.
  // A connection attached after Cancel() or Cut() is cut at once.
  void Attach(pg_conn* conn);
  void Detach();

  // From any thread; neither waits on the network.
  void Cancel();
  void Cut();

  // For the next run of the connection's thread (none attached).
  void Rearm();

 private:
  std::mutex mutex_;
  pg_cancel* cancel_ = nullptr;
  int socket_ = -1;
  bool fired_ = false;
};

}  // namespace rig::lab
