#include "lab/LabLiveWriter.h"

#include <libpq-fe.h>

#include <memory>

#include "lab/LabConnection.h"
#include "lab/LabSchema.h"

namespace rig::lab {
namespace {

std::string Optional(const std::optional<int>& v) { return v ? std::to_string(*v) : std::string(); }

void Write(LabConnection& c, const QString& rig, const LiveSnapshot& snap) {
  c.Exec("BEGIN");
  try {
    for (const LiveState& s : snap.Stations)
      c.Query(
          "INSERT INTO lab_live(rig_name, station, updated_at, link, run_state, mode, count_done, count_set, "
          "rate_per_min, seconds_left, refusals, silent_seconds, pending_uploads, aside_uploads, programme, block) "
          "VALUES ($1, $2, now(), $3, $4, NULLIF($5, '')::integer, $6, $7, NULLIF($8, '')::real, "
          "NULLIF($9, '')::integer, $10, $11, $12, $13, $14, $15) "
          "ON CONFLICT (rig_name, station) DO UPDATE SET updated_at = now(), link = EXCLUDED.link, "
          "run_state = EXCLUDED.run_state, mode = EXCLUDED.mode, count_done = EXCLUDED.count_done, "
          "count_set = EXCLUDED.count_set, rate_per_min = EXCLUDED.rate_per_min, "
          "seconds_left = EXCLUDED.seconds_left, refusals = EXCLUDED.refusals, "
          "silent_seconds = EXCLUDED.silent_seconds, pending_uploads = EXCLUDED.pending_uploads, "
          "aside_uploads = EXCLUDED.aside_uploads, programme = EXCLUDED.programme, block = EXCLUDED.block",
          {rig.toStdString(), std::to_string(s.Station), s.Link.toStdString(), s.RunState.toStdString(),
           Optional(s.Mode), std::to_string(s.CountDone), std::to_string(s.CountSet),
           s.RatePerMinute ? std::to_string(*s.RatePerMinute) : std::string(), Optional(s.SecondsLeft),
           std::to_string(s.Refusals), std::to_string(s.SilentSeconds), std::to_string(snap.PendingUploads),
           std::to_string(snap.AsideUploads), s.Programme.toStdString(), s.Block.toStdString()});
    c.Exec("COMMIT");
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK && PQtransactionStatus(c.Handle()) != PQTRANS_IDLE)
      PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
}

}  // namespace

bool LiveWriteDue(const LiveSnapshot& offered, const std::optional<LiveSnapshot>& written,
                  std::chrono::milliseconds sinceWritten, const LiveTiming& timing) {
  if (!written) return true;
  if (sinceWritten >= timing.Fresh) return true;
  return sinceWritten >= timing.Every && !(offered == *written);
}

LabLiveWriter::LabLiveWriter(LabSettings settings, LiveTiming timing)
    : settings_(std::move(settings)), timing_(timing) {}

LabLiveWriter::~LabLiveWriter() { Stop(); }

void LabLiveWriter::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.Started()) return;
  stopping_ = false;
  thread_.Start([this] { Run(); });
}

void LabLiveWriter::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.Join(timing_.StopGrace);
}

void LabLiveWriter::Offer(LiveSnapshot snapshot) {
  std::lock_guard lock(mutex_);
  offered_ = std::move(snapshot);
}

int64_t LabLiveWriter::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

bool LabLiveWriter::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void LabLiveWriter::Run() {
  using Clock = std::chrono::steady_clock;
  std::unique_ptr<LabConnection> connection;
  std::optional<LiveSnapshot> written;
  Clock::time_point writtenAt;
  Clock::time_point nextTry;  // one try per Every, written or not
  // Checked a few times between writes, so a first state is written soon.
  const auto tick = std::min(timing_.Every, std::chrono::milliseconds(1000));
  while (!Stopping()) {
    std::optional<LiveSnapshot> offered;
    {
      std::lock_guard lock(mutex_);
      offered = offered_;
    }
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - writtenAt);
    if (offered && Clock::now() >= nextTry && LiveWriteDue(*offered, written, since, timing_)) {
      try {
        if (!connection) {
          connection = std::make_unique<LabConnection>(settings_, timing_.ConnectSeconds, [this] { return Stopping(); },
                                                       &thread_.Interrupt());
          connection->Exec("SET statement_timeout = 10000; SET lock_timeout = 5000");
          EnsureLabSchema(*connection);
        }
        Write(*connection, settings_.RigName, *offered);
        written = offered;
        writtenAt = Clock::now();
        std::lock_guard lock(mutex_);
        ++written_;
      } catch (const LabError&) {
        connection.reset();  // lost: the next state replaces it, on a new connection
      }
      nextTry = Clock::now() + timing_.Every;
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, tick, [this] { return stopping_; });
  }
}

}  // namespace rig::lab
