#pragma once
// Writes this rig's stations' live state to lab_live from a thread of its
// own: at most every 10 s, and when nothing changed only to keep updated_at
// fresh (every 60 s), so the overview can tell a rig that stopped reporting.
// A write that fails is simply lost: the next one replaces it. It has its
// own connection, so it never holds up the test uploads; the window thread
// only hands over the latest state (Offer), which never waits on the network.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "lab/LabThread.h"
#include "lab/LabSettings.h"
#include "station/LiveState.h"

namespace rig::lab {

struct LiveSnapshot {
  std::vector<LiveState> Stations;
  int PendingUploads = 0;
  int AsideUploads = 0;
  bool operator==(const LiveSnapshot&) const = default;
};

struct LiveTiming {
  std::chrono::milliseconds Every{10000};  // at most one write this often
  std::chrono::milliseconds Fresh{60000};  // a write at least this often, changed or not
  std::chrono::milliseconds StopGrace{1000};
  int ConnectSeconds = 5;
};

// Whether `offered` is to be written, `sinceWritten` after `written` was.
bool LiveWriteDue(const LiveSnapshot& offered, const std::optional<LiveSnapshot>& written,
                  std::chrono::milliseconds sinceWritten, const LiveTiming& timing);

class LabLiveWriter {
 public:
  explicit LabLiveWriter(LabSettings settings, LiveTiming timing = {});
  ~LabLiveWriter();
  LabLiveWriter(const LabLiveWriter&) = delete;
  LabLiveWriter& operator=(const LabLiveWriter&) = delete;

  void Start();
  // Ends the thread within about StopGrace whatever the server does (as the
  // uploader's Stop).
  void Stop();
  // The latest state; the thread writes it when due.
  void Offer(LiveSnapshot snapshot);
  // Writes the server committed so far.
  int64_t Written() const;

 private:
  void Run();
  bool Stopping() const;

  const LabSettings settings_;
  const LiveTiming timing_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<LiveSnapshot> offered_;
  bool stopping_ = false;
  int64_t written_ = 0;
  LabThread thread_;
};

}  // namespace rig::lab
